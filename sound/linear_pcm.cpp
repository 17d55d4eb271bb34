#include "sound/linear_pcm.h"

#include <bit>
#include <cmath>

namespace {

uint64_t LeBytes(const uint8_t* p, size_t width) {
    uint64_t v = 0;
    for (size_t i = 0; i < width; ++i) v |= static_cast<uint64_t>(p[i]) << (8 * i);
    return v;
}

}  // namespace

void IntegerPcmToPcm16(const uint8_t* in, int16_t* out, size_t n, size_t width) {
    for (size_t i = 0; i < n; ++i, in += width)
        out[i] = static_cast<int16_t>(in[width - 1] << 8 | in[width - 2]);
}

void FloatPcmToPcm16(const uint8_t* in, int16_t* out, size_t n, size_t width) {
    for (size_t i = 0; i < n; ++i, in += width) {
        const uint64_t bits = LeBytes(in, width);
        const double value = width == 4 ? std::bit_cast<float>(static_cast<uint32_t>(bits))
                                        : std::bit_cast<double>(bits);
        out[i] = FloatToPcm16(value);
    }
}

int16_t FloatToPcm16(double value) {
    if (std::isnan(value)) return 0;
    // Scaling by a power of two is exact; nearbyint rounds ties to even in the default
    // rounding mode, which nothing in the converter changes.
    const double scaled = std::nearbyint(value * 32768.0);
    if (scaled >= 32767.0) return 32767;
    if (scaled <= -32768.0) return -32768;
    return static_cast<int16_t>(scaled);
}
