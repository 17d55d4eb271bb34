#include "sound/message_sidecar.h"

#include <algorithm>
#include <cctype>
#include <charconv>

#include "platform/file.h"
#include "sound/wave_metadata.h"

namespace {

std::string_view Trim(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
    return s;
}

std::string Lower(std::string_view s) {
    std::string l(s);
    for (char& c : l) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return l;
}

template <typename T>
std::optional<T> Number(std::string_view s) {
    T value{};
    const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), value);
    if (ec != std::errc() || end != s.data() + s.size()) return std::nullopt;
    return value;
}

bool AllDigits(std::string_view s) {
    if (s.empty()) return false;
    for (const char c : s)
        if (!std::isdigit(static_cast<unsigned char>(c)) && c != '+' && c != '-') return false;
    return true;
}

// "Ann Lee" <5551234>, Ann Lee <5551234>, <5551234>, 5551234 or Ann Lee.
void ParseCallerId(std::string_view value, MessageSidecar& sidecar) {
    const size_t open = value.rfind('<');
    std::string_view name = value;
    if (open != std::string_view::npos) {
        const size_t close = value.find('>', open);
        sidecar.callerNumber = FieldText(value.substr(
            open + 1, close == std::string_view::npos ? std::string_view::npos : close - open - 1));
        name = value.substr(0, open);
    }
    name = Trim(name);
    if (name.size() >= 2 && name.front() == '"') {
        name.remove_prefix(1);
        if (name.back() == '"') name.remove_suffix(1);
    }
    if (open == std::string_view::npos && AllDigits(name)) {
        sidecar.callerNumber = FieldText(name);
        return;
    }
    sidecar.callerName = FieldText(name);
}

}  // namespace

MessageSidecar ParseMessageSidecar(std::string_view text) {
    MessageSidecar sidecar;
    bool inMessage = true;  // keys before any section count
    while (!text.empty()) {
        const size_t end = text.find_first_of("\r\n");
        std::string_view line = Trim(text.substr(0, end));
        text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
        if (line.empty() || line.front() == ';' || line.front() == '#') continue;
        if (line.front() == '[') {
            inMessage = Lower(line) == "[message]";
            continue;
        }
        const size_t equals = line.find('=');
        if (!inMessage || equals == std::string_view::npos) continue;
        const std::string key = Lower(Trim(line.substr(0, equals)));
        const std::string_view value = Trim(line.substr(equals + 1));
        if (key == "callerid") {
            ParseCallerId(value, sidecar);
        } else if (key == "origdate") {
            sidecar.origDate = FieldText(value);
        } else if (key == "origtime") {
            const auto seconds = Number<int64_t>(value);
            // Up to the year 9999; 0 is what systems write when they do not know.
            if (seconds && *seconds > 0 && *seconds < 253402300800) sidecar.origTime = seconds;
        } else if (key == "duration") {
            sidecar.durationSeconds = Number<uint32_t>(value);
        }
    }
    return sidecar;
}

bool ReadMessageSidecar(const std::string& path, MessageSidecar& sidecar) {
    CFile file;
    if (!file.Open(path, CFile::modeRead, nullptr, /*regularOnly=*/true)) return false;
    std::string text;
    if (CatchException([&] {
            text.resize(
                static_cast<size_t>(std::min<uint64_t>(file.GetLength(), kMaxSidecarBytes)));
            text.resize(file.Read(text.data(), text.size()));
        }))
        return false;
    sidecar = ParseMessageSidecar(text);
    return true;
}
