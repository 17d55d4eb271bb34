// ITU-T G.711 A-law and µ-law expansion to 16-bit linear samples.
#pragma once

#include <cstddef>
#include <cstdint>

// Expand n bytes into n samples, in order.
void ALawToLinear(const uint8_t* in, int16_t* out, size_t n);
void MuLawToLinear(const uint8_t* in, int16_t* out, size_t n);
