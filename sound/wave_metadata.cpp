#include "sound/wave_metadata.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "platform/file.h"
#include "sound/wave_header.h"

namespace {

// The bext chunk's fixed fields up to the origination time: Description (256 bytes),
// Originator (32), OriginatorReference (32), OriginationDate (10), OriginationTime (8).
constexpr size_t kBextOriginator = 256;
constexpr size_t kBextDate = 320;
constexpr size_t kBextTime = 330;
constexpr size_t kBextUsed = 338;

std::string Read(CFile& file, uint64_t at, size_t n) {
    std::string bytes(n, '\0');
    file.Seek(at);
    bytes.resize(file.Read(bytes.data(), n));
    return bytes;
}

uint32_t Le32(const char* p) {
    const auto* b = reinterpret_cast<const unsigned char*>(p);
    return b[0] | (b[1] << 8) | (b[2] << 16) | (static_cast<uint32_t>(b[3]) << 24);
}

// The INFO sub-chunks of a LIST payload held in memory: id, size, text, a pad byte after an
// odd size.
void ReadInfo(std::string_view list, WaveMetadata& metadata) {
    size_t at = 4;  // after the list type "INFO"
    while (list.size() - at >= 8) {
        WaveHeader::Tag id;
        std::memcpy(id.data(), list.data() + at, 4);
        const uint32_t size = Le32(list.data() + at + 4);
        at += 8;
        const std::string_view text = list.substr(at, std::min<size_t>(size, list.size() - at));
        if (WaveHeader::TagIs(id, "IART")) metadata.artist = FieldText(text);
        if (WaveHeader::TagIs(id, "ICRD")) metadata.created = FieldText(text);
        if (WaveHeader::TagIs(id, "INAM")) metadata.name = FieldText(text);
        if (size >= list.size() - at) return;
        at += size + (size & 1u);
    }
}

}  // namespace

std::string FieldText(std::string_view bytes) {
    bytes = bytes.substr(0, std::min(bytes.find('\0'), kMaxFieldBytes));
    std::string text(bytes);
    for (char& c : text)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = ' ';
    const size_t first = text.find_first_not_of(' ');
    if (first == std::string::npos) return {};
    return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

void ReadWaveMetadata(CFile& file, WaveMetadata& metadata) {
    WaveHeader::Tag riff, wave;
    uint32_t size;
    if (!WaveHeader::ReadChunkHeader(file, 0, riff, size) || !WaveHeader::TagIs(riff, "RIFF"))
        return;
    file.Seek(8);
    if (file.Read(wave.data(), 4) != 4 || !WaveHeader::TagIs(wave, "WAVE")) return;
    WaveHeader::WalkChunks(file, [&](const WaveHeader::Tag& id, uint64_t at, uint32_t size) {
        if (WaveHeader::TagIs(id, "BEXT")) {
            const std::string b = Read(file, at, std::min<size_t>(size, kBextUsed));
            const auto field = [&](size_t from, size_t n) {
                return from < b.size() ? FieldText(std::string_view(b).substr(from, n))
                                       : std::string();
            };
            metadata.originator = field(kBextOriginator, 32);
            metadata.originationDate = field(kBextDate, 10);
            metadata.originationTime = field(kBextTime, 8);
        } else if (WaveHeader::TagIs(id, "LIST")) {
            const std::string list = Read(file, at, std::min<size_t>(size, kMaxListBytes));
            if (list.size() >= 4 && WaveHeader::TagIs({list[0], list[1], list[2], list[3]}, "INFO"))
                ReadInfo(list, metadata);
        }
        return true;
    });
}
