// IMA ADPCM (WAVE format 0x11): 4-bit codes in blocks of blockAlign bytes.
#pragma once

#include <cstddef>
#include <cstdint>

// Samples per channel that m bytes of a block hold: 8 * ((m - 4C) / 4C) + 1, or 0 when the
// block is shorter than its headers (or C is 0).
uint32_t ImaSamplesPerBlock(uint32_t channels, uint32_t m);

// Decodes n samples per channel of one block, interleaved (sample i of channel ch at
// i * C + ch). The block must hold at least the bytes ImaSamplesPerBlock counted for n.
void ImaBlockExpand(uint32_t channels, const uint8_t* block, int16_t* out, uint32_t n);
