// Fixed (algebraic) codebook vector and its pitch sharpening.
#include <algorithm>

#include "sound/g729/basic_ops.h"
#include "sound/g729/g729_blocks.h"

namespace g729 {

void FixedCodebookVector(uint16_t positions, uint16_t signs, int16_t code[kSubframe]) {
    // Tracks: pulse 0 at 5k, pulse 1 at 5k+1, pulse 2 at 5k+2, pulse 3 at 5k+3 or 5k+4.
    int position[4];
    position[0] = (positions & 7) * 5;
    position[1] = ((positions >> 3) & 7) * 5 + 1;
    position[2] = ((positions >> 6) & 7) * 5 + 2;
    position[3] = ((positions >> 10) & 7) * 5 + 3 + ((positions >> 9) & 1);

    std::fill(code, code + kSubframe, int16_t{0});
    for (int j = 0; j < 4; ++j) {
        code[position[j]] = ((signs >> j) & 1) ? int16_t{8191} : int16_t{-8192};  // +-1.0, Q13
    }
}

void SharpenPitch(int16_t code[kSubframe], int delay, int16_t sharpening) {
    const auto factor = static_cast<int16_t>(sharpening * 2);  // Q14 -> Q15, at most 0.8
    for (int i = delay; i < kSubframe; ++i) code[i] = Add(code[i], Mult(code[i - delay], factor));
}

}  // namespace g729
