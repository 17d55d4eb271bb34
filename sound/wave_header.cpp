#include "sound/wave_header.h"

#include <algorithm>
#include <cstring>

#include "platform/file.h"

namespace {

uint16_t Le16(const uint8_t* p) {
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}
uint32_t Le32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
           (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}
void PutLe16(uint8_t* p, uint16_t v) {
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
}
void PutLe32(uint8_t* p, uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}

bool ReadExact(CFile& file, void* buffer, size_t n) {
    return file.Read(buffer, n) == n;
}

bool ReadTag(CFile& file, WaveHeader::Tag& tag) {
    return ReadExact(file, tag.data(), 4);
}

bool Read32(CFile& file, uint32_t& value) {
    uint8_t b[4];
    if (!ReadExact(file, b, 4)) return false;
    value = Le32(b);
    return true;
}

bool Read16(CFile& file, uint16_t& value) {
    uint8_t b[2];
    if (!ReadExact(file, b, 2)) return false;
    value = Le16(b);
    return true;
}

bool IsIdByte(uint8_t c) {
    return c >= 0x20 && c <= 0x7E;
}

// Reads up to n bytes at offset; returns how many arrived.
size_t ReadAt(CFile& file, uint64_t offset, uint8_t* buffer, size_t n) {
    file.Seek(offset);
    return file.Read(buffer, n);
}

// True when offset holds a zero byte followed by four chunk-id bytes: the pad byte that
// RIFF writers put after an odd-sized chunk.
bool PadBeforeChunkId(CFile& file, uint64_t offset) {
    uint8_t b[5];
    return ReadAt(file, offset, b, 5) == 5 && b[0] == 0 && IsIdByte(b[1]) && IsIdByte(b[2]) &&
           IsIdByte(b[3]) && IsIdByte(b[4]);
}

// Where the sound data that starts at start with the header's size ends (see ReadHeader).
uint64_t DataEnd(CFile& file, uint64_t start, uint32_t size) {
    const uint64_t length = file.GetLength();
    if (size == 0 || start > length || size > length - start) return std::max(start, length);
    const uint64_t end = start + size;
    uint8_t b[8];
    uint64_t next = end;
    if ((size & 1u) && ReadAt(file, next, b, 1) == 1 && b[0] == 0) ++next;
    if (next == length) return end;
    const bool chunkFollows = length - next >= 8 && ReadAt(file, next, b, 8) == 8 &&
                              IsIdByte(b[0]) && IsIdByte(b[1]) && IsIdByte(b[2]) &&
                              IsIdByte(b[3]) && Le32(b + 4) <= length - next - 8;
    return chunkFollows ? end : length;
}

// WAVE_FORMAT_EXTENSIBLE: the fmt extension holds its own size (2 bytes), the valid bits
// per sample (2), the channel mask (4) and the sub-format GUID (16). A standard GUID is a
// 16-bit format tag followed by these 14 bytes; any other names no encoding we know.
FormatTag SubFormat(const std::vector<uint8_t>& fmtExtra) {
    static constexpr size_t kGuidAt = 8;
    static constexpr uint8_t kStandardTail[14] = {0x00, 0x00, 0x00, 0x00, 0x10, 0x00, 0x80,
                                                  0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};
    if (fmtExtra.size() < kGuidAt + 16) return FormatTag::Extensible;
    const uint8_t* guid = fmtExtra.data() + kGuidAt;
    if (std::memcmp(guid + 2, kStandardTail, sizeof kStandardTail) != 0)
        return FormatTag::Extensible;
    return static_cast<FormatTag>(Le16(guid));
}

// Byte scan for "fmt " in any letter case. A byte that breaks a partial match is not
// tried again as a new 'f'.
bool ScanForFmt(CFile& file) {
    static constexpr char kUpper[] = "FMT ";
    static constexpr char kLower[] = "fmt ";
    for (;;) {
        size_t matched = 0;
        for (;;) {
            char c;
            if (!ReadExact(file, &c, 1)) return false;
            if (c != kUpper[matched] && c != kLower[matched]) break;
            if (++matched == 4) return true;
        }
    }
}

}  // namespace

bool WaveHeader::ReadHeader(CFile& file) {
    fmtExtra.clear();
    fmtExtra.shrink_to_fit();
    extensible = false;

    if (!ReadTag(file, riffTag) || !TagIs(riffTag, "RIFF")) return false;
    if (!Read32(file, riffSize) || !ReadTag(file, waveTag)) return false;
    if (!TagIs(waveTag, "WAVE")) return false;

    if (!ScanForFmt(file)) return false;
    fmtTag = {'f', 'm', 't', ' '};
    if (!Read32(file, fmtSize)) return false;
    const uint64_t payloadStart = file.GetPosition();

    uint16_t tag = 0;
    const bool fieldsRead = Read16(file, tag);
    formatTag = static_cast<FormatTag>(tag);
    if (!fieldsRead || !Read16(file, channels) || !Read32(file, sampleRate) ||
        !Read32(file, byteRate) || !Read16(file, blockAlign) || !Read16(file, bitsPerSample)) {
        return false;
    }

    if (fmtSize > 16) {
        const uint64_t extra = fmtSize - 16u;
        // An extension longer than the rest of the file cannot be read whole: refuse it
        // before allocating.
        const uint64_t length = file.GetLength();
        const uint64_t position = file.GetPosition();
        if (position > length || extra > length - position) return false;
        fmtExtra.resize(static_cast<size_t>(extra));
        if (!ReadExact(file, fmtExtra.data(), fmtExtra.size())) return false;
    }
    if (formatTag == FormatTag::Extensible) {
        extensible = true;
        formatTag = SubFormat(fmtExtra);
    }

    uint64_t next = payloadStart + fmtSize;
    for (;;) {
        file.Seek(next);
        if (!ReadTag(file, dataTag) || !Read32(file, dataSize)) return false;
        if (TagIs(dataTag, "DATA")) break;
        if (!NextChunk(file, next, dataSize)) return false;
    }
    dataStart = file.GetPosition();
    dataEnd = DataEnd(file, dataStart, dataSize);
    file.Seek(dataStart);
    return true;
}

bool WaveHeader::TagIs(const Tag& tag, const char* upper) {
    for (int i = 0; i < 4; ++i) {
        const char c = tag[i];
        const char u = upper[i];
        const char l = (u >= 'A' && u <= 'Z') ? static_cast<char>(u - 'A' + 'a') : u;
        if (c != u && c != l) return false;
    }
    return true;
}

bool WaveHeader::NextChunk(CFile& file, uint64_t& at, uint32_t size) {
    // The step is formed in 32 bits and may wrap; a step of 0 would read the same chunk
    // header forever.
    const uint32_t step = size + 8u;
    if (step == 0) return false;
    at += step;
    // The zero pad byte after an odd-sized chunk, when a chunk id follows it. Files written
    // without pad bytes walk on from the unpadded place.
    if ((size & 1u) && PadBeforeChunkId(file, at)) ++at;
    return true;
}

bool WaveHeader::ReadChunkHeader(CFile& file, uint64_t at, Tag& id, uint32_t& size) {
    uint8_t b[8];
    if (ReadAt(file, at, b, 8) != 8) return false;
    std::memcpy(id.data(), b, 4);
    size = Le32(b + 4);
    return true;
}

void WaveHeader::WriteHeader(CFile& file) {
    fmtSize = 16;
    uint8_t b[kCanonicalSize];
    std::memcpy(b + 0, riffTag.data(), 4);
    PutLe32(b + 4, riffSize);
    std::memcpy(b + 8, waveTag.data(), 4);
    std::memcpy(b + 12, fmtTag.data(), 4);
    PutLe32(b + 16, fmtSize);
    PutLe16(b + 20, static_cast<uint16_t>(formatTag));
    PutLe16(b + 22, channels);
    PutLe32(b + 24, sampleRate);
    PutLe32(b + 28, byteRate);
    PutLe16(b + 32, blockAlign);
    PutLe16(b + 34, bitsPerSample);
    std::memcpy(b + 36, dataTag.data(), 4);
    PutLe32(b + 40, dataSize);
    file.Write(b, sizeof b);
}
