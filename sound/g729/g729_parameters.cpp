#include "sound/g729/g729_parameters.h"

#include <bit>

#include "sound/g729/g729_tables.h"

uint16_t G729PitchParityError(uint16_t p1, uint16_t p0) {
    const int ones = std::popcount(static_cast<unsigned>((p1 >> 2) & 0x3f));
    return static_cast<uint16_t>((1 + ones + p0) & 1);
}

G729Parameters UnpackG729Frame(const uint8_t frame[kG729FrameBytes]) {
    G729Parameters p;
    size_t bit = 0;  // next frame bit, 0 = most significant bit of byte 0
    for (size_t v = 0; v < 11; ++v) {
        uint16_t value = 0;
        for (unsigned n = 0; n < g729::kParameterBits[v]; ++n, ++bit) {
            const unsigned b = (frame[bit / 8] >> (7 - bit % 8)) & 1u;
            value = static_cast<uint16_t>((value << 1) | b);
        }
        p.values[v] = value;
    }
    p.values[3] = G729PitchParityError(p.values[2], p.values[3]);
    return p;
}
