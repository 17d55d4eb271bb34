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
    ALaw = 0x0006,
    MuLaw = 0x0007,
    OkiAdpcm = 0x0010,
    ImaAdpcm = 0x0011,
    Gsm610 = 0x0031,
    G729 = 0x0133,
};

struct WaveHeader {
    using Tag = std::array<char, 4>;

    Tag riffTag{'R', 'I', 'F', 'F'};
    uint32_t riffSize = 0;
    Tag waveTag{'W', 'A', 'V', 'E'};
    Tag fmtTag{'f', 'm', 't', ' '};
    uint32_t fmtSize = 16;
    FormatTag formatTag{};  // any 16-bit value, as read
    uint16_t channels = 0;
    uint32_t sampleRate = 0;
    uint32_t byteRate = 0;
    uint16_t blockAlign = 0;
    uint16_t bitsPerSample = 0;
    Tag dataTag{'d', 'a', 't', 'a'};
    uint32_t dataSize = 0;
    std::vector<uint8_t> fmtExtra;  // fmt payload bytes beyond the first 16

    static constexpr uint32_t kCanonicalSize = 44;

    // Reads the header from file (at offset 0). On true the file stands at the first byte
    // of the data payload. On false the fields hold what was read before the failure.
    bool ReadHeader(CFile& file);

    // Writes the canonical 44-byte header at the file's position; sets fmtSize to 16.
    void WriteHeader(CFile& file);
};
