// The 11 transmitted values of one 10-byte G.729 frame, and their unpacking.
#pragma once

#include <cstddef>
#include <cstdint>

inline constexpr size_t kG729FrameBytes = 10;    // one frame: 80 bits, 10 ms
inline constexpr size_t kG729FrameSamples = 80;  // 8000 Hz

struct G729Parameters {
    // In frame order: L0L1, L2L3, P1, P0 (parity-error flag once unpacked), C1, S1, GA1GB1,
    // P2, C2, S2, GA2GB2.
    uint16_t values[11] = {};
};

// 1 when the parity bit p0 does not match the six most significant bits of the 8-bit first
// sub-frame pitch index p1, else 0.
uint16_t G729PitchParityError(uint16_t p1, uint16_t p0);

// Reads the 11 values, most significant bit first, from the frame's bytes in order and puts
// the parity-error flag in the place of P0 (values[3]).
G729Parameters UnpackG729Frame(const uint8_t frame[kG729FrameBytes]);
