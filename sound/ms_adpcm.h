// Microsoft ADPCM (WAVE format 2): 4-bit codes with a two-coefficient predictor, in blocks
// of blockAlign bytes.
#pragma once

#include <cstdint>
#include <vector>

struct MsAdpcmCoefficients {
    int16_t first;
    int16_t second;
};

struct MsAdpcmChannelState {
    int16_t step = 0;
    int16_t first = 0;  // coefficients, Q8
    int16_t second = 0;
};

// The coefficient pairs of a file: from the fmt extension (nCoef at byte 4, pairs from
// byte 6) when it holds a positive count and all its pairs, else the seven standard pairs.
std::vector<MsAdpcmCoefficients> MsAdpcmCoefficientTable(const std::vector<uint8_t>& fmtExtra);

// Samples per channel that m bytes of a block hold: 2 * (m - 7C) / C + 2, or 0 when the
// block is shorter than its header (or C is 0).
uint32_t MsAdpcmSamplesPerBlock(uint32_t channels, uint32_t m);

// Decodes n samples per channel of one block, interleaved. out must hold n * C + 1
// samples (the second nibble of the last byte may land one past n * C).
void MsAdpcmBlockExpand(uint32_t channels, const std::vector<MsAdpcmCoefficients>& coefficients,
                        const uint8_t* block, int16_t* out, uint32_t n,
                        std::vector<MsAdpcmChannelState>& states);

// Decodes one code from the channel's two previous samples and adapts the channel's step.
int16_t MsAdpcmDecodeNibble(uint8_t code, MsAdpcmChannelState& state, int32_t sample1,
                            int32_t sample2);
