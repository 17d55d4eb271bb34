// Builds packed G.729 frames from the 11 values for the tests.
#pragma once

#include <array>
#include <cstdint>
#include <initializer_list>

#include "sound/g729/g729_parameters.h"

namespace g729test {

using Frame = std::array<uint8_t, kG729FrameBytes>;

// Packs L0L1, L2L3, P1, P0, C1, S1, GA1GB1, P2, C2, S2, GA2GB2 most significant bit first.
inline Frame Pack(std::initializer_list<uint16_t> values) {
    static constexpr int kBits[11] = {8, 10, 8, 1, 13, 4, 7, 5, 13, 4, 7};
    Frame f{};
    int bit = 0, v = 0;
    for (uint16_t value : values) {
        for (int n = kBits[v] - 1; n >= 0; --n, ++bit) {
            if ((value >> n) & 1) f[bit / 8] |= static_cast<uint8_t>(0x80 >> (bit % 8));
        }
        ++v;
    }
    return f;
}

// The parity bit that makes P1 check clean.
inline uint16_t GoodParity(uint16_t p1) {
    return G729PitchParityError(p1, 0) ? 1 : 0;
}

}  // namespace g729test
