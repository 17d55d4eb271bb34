// Linear PCM wider than the output device takes (WAVE format 1 above 16 bits, format 3 IEEE
// float), to 16-bit samples. Integers keep their top 16 bits; floats are scaled by 32768,
// rounded to nearest (ties to even) and saturated. No dither: the result is exact and
// repeatable.
#pragma once

#include <cstddef>
#include <cstdint>

// n little-endian two's-complement samples of width bytes each (2, 3 or 4), the sample in
// the container's top bits: the top 16 bits of each, which is an arithmetic shift right by
// 8 * width - 16.
void IntegerPcmToPcm16(const uint8_t* in, int16_t* out, size_t n, size_t width);

// n little-endian IEEE floats of width bytes each (4 or 8).
void FloatPcmToPcm16(const uint8_t* in, int16_t* out, size_t n, size_t width);

// value * 32768, rounded to nearest with ties to even, saturated to -32768..32767; NaN is 0.
int16_t FloatToPcm16(double value);
