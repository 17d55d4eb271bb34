#include "sound/recorded_time.h"

#include <array>
#include <cctype>
#include <string>
#include <vector>

namespace {

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

bool Valid(const RecordedTime& t) {
    static constexpr int kDays[] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (t.year < 1 || t.year > 9999 || t.month < 1 || t.month > 12 || t.day < 1) return false;
    const bool leap = (t.year % 4 == 0 && t.year % 100 != 0) || t.year % 400 == 0;
    if (t.day > kDays[t.month - 1] || (t.month == 2 && t.day == 29 && !leap)) return false;
    return t.hour >= 0 && t.hour < 24 && t.minute >= 0 && t.minute < 60 && t.second >= 0 &&
           t.second < 61;
}

// Up to count numbers of at most 4 digits each, separated by one non-digit; stops at the
// first text that breaks that. Returns how many were read.
size_t Numbers(std::string_view text, int* out, size_t count) {
    size_t n = 0;
    size_t i = 0;
    while (n < count && i < text.size() && IsDigit(text[i])) {
        int value = 0;
        size_t digits = 0;
        for (; i < text.size() && IsDigit(text[i]) && digits < 4; ++i, ++digits)
            value = value * 10 + (text[i] - '0');
        if (i < text.size() && IsDigit(text[i])) return 0;  // five digits or more
        out[n++] = value;
        if (i + 1 < text.size() && !IsDigit(text[i]) && IsDigit(text[i + 1]))
            ++i;
        else
            break;
    }
    return n;
}

std::string Lower(std::string_view s) {
    std::string l(s);
    for (char& c : l) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return l;
}

}  // namespace

std::optional<RecordedTime> ParseIsoTime(std::string_view date, std::string_view time) {
    while (!date.empty() && date.front() == ' ') date.remove_prefix(1);
    int v[6] = {};
    size_t n = Numbers(date, v, 3);
    if (n < 3) return std::nullopt;
    // The time in the same text: after the date's third number and one separator.
    if (time.empty()) {
        size_t at = 0;
        for (int seen = 0; at < date.size() && seen < 3; ++at)
            if (IsDigit(date[at]) && (at + 1 == date.size() || !IsDigit(date[at + 1]))) ++seen;
        if (at < date.size()) time = date.substr(at + 1);
    }
    RecordedTime t{v[0], v[1], v[2]};
    if (!time.empty()) {
        int h[3] = {};
        const size_t m = Numbers(time, h, 3);
        if (m >= 2) t.hour = h[0], t.minute = h[1], t.second = m == 3 ? h[2] : 0;
    }
    if (!Valid(t)) return std::nullopt;
    return t;
}

std::optional<RecordedTime> ParseSidecarTime(std::string_view text) {
    static constexpr std::array<const char*, 12> kMonths = {
        "jan", "feb", "mar", "apr", "may", "jun", "jul", "aug", "sep", "oct", "nov", "dec"};
    std::vector<std::string_view> words;
    for (size_t i = 0; i < text.size() && words.size() < 16;) {
        while (i < text.size() && text[i] == ' ') ++i;
        const size_t start = i;
        while (i < text.size() && text[i] != ' ') ++i;
        if (i > start) words.push_back(text.substr(start, i - start));
    }
    RecordedTime t;
    bool haveTime = false, haveDay = false, pm = false, am = false;
    for (const std::string_view word : words) {
        const std::string l = Lower(word);
        int v[3] = {};
        if (word.find(':') != std::string_view::npos) {
            const size_t n = Numbers(word, v, 3);
            if (n < 2) return std::nullopt;
            t.hour = v[0], t.minute = v[1], t.second = n == 3 ? v[2] : 0;
            haveTime = true;
        } else if (l == "am" || l == "pm") {
            (l == "pm" ? pm : am) = true;
        } else if (l == "utc" || l == "gmt" || l == "z") {
            t.utc = true;
        } else if (IsDigit(word[0])) {
            if (Numbers(word, v, 1) != 1 || word.size() > 4) return std::nullopt;
            if (word.size() == 4)
                t.year = v[0];
            else if (!haveDay)
                t.day = v[0], haveDay = true;
        } else if (l.size() >= 3) {
            for (size_t m = 0; m < kMonths.size(); ++m)
                if (l.compare(0, 3, kMonths[m]) == 0) t.month = static_cast<int>(m) + 1;
        }
    }
    if (!haveTime || !haveDay) return std::nullopt;
    if (am || pm) {
        if (t.hour < 1 || t.hour > 12) return std::nullopt;
        t.hour = t.hour % 12 + (pm ? 12 : 0);
    }
    if (!Valid(t)) return std::nullopt;
    return t;
}
