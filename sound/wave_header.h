// The RIFF/WAVE header record: a tolerant reader and a writer of the canonical 44 bytes.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

class CFile;

// Format tags of the fmt chunk that the system reads or writes.
enum class FormatTag : uint16_t {
    Pcm = 0x0001,
    MsAdpcm = 0x0002,
    IeeeFloat = 0x0003,
    ALaw = 0x0006,
    MuLaw = 0x0007,
    OkiAdpcm = 0x0010,
    ImaAdpcm = 0x0011,
    Gsm610 = 0x0031,
    G729 = 0x0133,
    // The real encoding is named by a sub-format GUID in the fmt extension.
    Extensible = 0xFFFE,
};

struct WaveHeader {
    using Tag = std::array<char, 4>;

    Tag riffTag{'R', 'I', 'F', 'F'};
    uint32_t riffSize = 0;
    Tag waveTag{'W', 'A', 'V', 'E'};
    Tag fmtTag{'f', 'm', 't', ' '};
    uint32_t fmtSize = 16;
    // Any 16-bit value, as read; for a WAVE_FORMAT_EXTENSIBLE fmt chunk with a standard
    // sub-format GUID, the tag that GUID names (Extensible when it names none).
    FormatTag formatTag{};
    uint16_t channels = 0;
    uint32_t sampleRate = 0;
    uint32_t byteRate = 0;
    uint16_t blockAlign = 0;
    uint16_t bitsPerSample = 0;
    Tag dataTag{'d', 'a', 't', 'a'};
    uint32_t dataSize = 0;
    std::vector<uint8_t> fmtExtra;  // fmt payload bytes beyond the first 16
    bool extensible = false;        // the fmt chunk's own tag was Extensible

    // File offsets of the data payload, set by ReadHeader: the first byte, and the end of
    // the sound data. The end is the first byte past dataSize when the header's size is
    // trustworthy (see ReadHeader), else the end of the file.
    uint64_t dataStart = 0;
    uint64_t dataEnd = 0;
    uint64_t DataLength() const { return dataEnd - dataStart; }

    static constexpr uint32_t kCanonicalSize = 44;

    // Reads the header from file (at offset 0). On true the file stands at the first byte
    // of the data payload. On false the fields hold what was read before the failure. The
    // walk from "fmt " to "data" skips the zero pad byte after an odd-sized chunk when a
    // chunk id follows it.
    //
    // The sound data ends dataSize bytes after its start when dataSize is above 0, fits in
    // the file, and is followed (after one zero pad byte when dataSize is odd) by nothing or
    // by something that looks like a chunk header: four id bytes each 0x20-0x7E and a size
    // that fits in the rest of the file. Otherwise it runs to the end of the file: recorders
    // that never patch their header leave 0 or a stale size there.
    bool ReadHeader(CFile& file);

    // The RIFF chunk walk from the first chunk after the form type (offset 12): calls
    // visit(id, payloadOffset, size) for each chunk header read, in file order, until visit
    // returns false, a header cannot be read whole, or maxChunks were visited. Steps as
    // ReadHeader's walk does (see NextChunk). The file's position afterwards is unspecified.
    template <typename Visit>
    static void WalkChunks(CFile& file, Visit visit, int maxChunks = 1024);

    // The offset of the chunk header after the chunk whose header stands at `at` with a
    // payload of size bytes: 8 + size on, formed in 32 bits, plus the zero pad byte after an
    // odd size when a chunk id follows it. False when the 32-bit step wraps to 0, which
    // would read the same header forever.
    static bool NextChunk(CFile& file, uint64_t& at, uint32_t size);
    // Reads the 8-byte chunk header at `at`; false when fewer bytes are there.
    static bool ReadChunkHeader(CFile& file, uint64_t at, Tag& id, uint32_t& size);
    // Four-character codes compare in either letter case, byte by byte ("RiFf" is "RIFF").
    static bool TagIs(const Tag& tag, const char* upper);

    // Writes the canonical 44-byte header at the file's position; sets fmtSize to 16.
    void WriteHeader(CFile& file);
};

template <typename Visit>
void WaveHeader::WalkChunks(CFile& file, Visit visit, int maxChunks) {
    uint64_t at = 12;
    Tag id;
    uint32_t size = 0;
    for (int i = 0; i < maxChunks && ReadChunkHeader(file, at, id, size); ++i) {
        if (!visit(id, at + 8, size) || !NextChunk(file, at, size)) return;
    }
}
