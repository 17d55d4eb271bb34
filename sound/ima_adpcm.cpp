#include "sound/ima_adpcm.h"

#include <algorithm>
#include <array>

namespace {

constexpr std::array<int32_t, 89> kStepTable = {
    7,     8,     9,     10,    11,    12,    13,    14,    16,    17,    19,   21,    23,
    25,    28,    31,    34,    37,    41,    45,    50,    55,    60,    66,   73,    80,
    88,    97,    107,   118,   130,   143,   157,   173,   190,   209,   230,  253,   279,
    307,   337,   371,   408,   449,   494,   544,   598,   658,   724,   796,  876,   963,
    1060,  1166,  1282,  1411,  1552,  1707,  1878,  2066,  2272,  2499,  2749, 3024,  3327,
    3660,  4026,  4428,  4871,  5358,  5894,  6484,  7132,  7845,  8630,  9493, 10442, 11487,
    12635, 13899, 15289, 16818, 18500, 20350, 22385, 24623, 27086, 29794, 32767};

// Next step index for every (index, low three code bits): the standard's adjustment
// (-1, -1, -1, -1, 2, 4, 6, 8) applied in advance and held within 0..88.
constexpr auto kIndexTable = [] {
    std::array<std::array<uint8_t, 8>, 89> table{};
    constexpr int kAdjust[8] = {-1, -1, -1, -1, 2, 4, 6, 8};
    for (int i = 0; i < 89; ++i) {
        for (int c = 0; c < 8; ++c)
            table[i][c] = static_cast<uint8_t>(std::clamp(i + kAdjust[c], 0, 88));
    }
    return table;
}();

}  // namespace

uint32_t ImaSamplesPerBlock(uint32_t channels, uint32_t m) {
    if (channels == 0) return 0;
    const uint64_t header = 4ull * channels;
    if (m < header) return 0;
    return static_cast<uint32_t>(8 * ((m - header) / header) + 1);
}

void ImaBlockExpand(uint32_t channels, const uint8_t* block, int16_t* out, uint32_t n) {
    if (n == 0) return;
    const size_t c = channels;
    for (size_t ch = 0; ch < c; ++ch) {
        const uint8_t* header = block + 4 * ch;
        int32_t predictor = static_cast<int16_t>(header[0] | (header[1] << 8));
        uint32_t index = header[2] > 88 ? 0 : header[2];
        out[ch] = static_cast<int16_t>(predictor);

        size_t offset = 4 * c + 4 * ch;  // this channel's current code byte
        for (uint32_t i = 1; i < n; ++i) {
            uint32_t code;
            if (i & 1) {
                code = block[offset] & 0x0F;
            } else {
                code = block[offset] >> 4;
                ++offset;
                if (i % 8 == 0) offset += 4 * (c - 1);  // skip the other channels' groups
            }
            const int32_t step = kStepTable[index];
            index = kIndexTable[index][code & 7];
            int32_t diff = step >> 3;
            if (code & 4) diff += step;
            if (code & 2) diff += step >> 1;
            if (code & 1) diff += step >> 2;
            predictor =
                (code & 8) ? std::max(predictor - diff, -32768) : std::min(predictor + diff, 32767);
            out[i * c + ch] = static_cast<int16_t>(predictor);
        }
    }
}
