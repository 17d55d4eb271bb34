// LP synthesis and analysis filters and bandwidth expansion.
#include <cstring>

#include "sound/g729/basic_ops.h"
#include "sound/g729/g729_blocks.h"

namespace g729 {

void SynthesisFilter(const int16_t a[kLpSize], const int16_t* x, int16_t* y, int n,
                     const int16_t memory[kOrder], bool& overflow) {
    int16_t buf[kOrder + kFrame];
    std::memcpy(buf, memory, sizeof(int16_t) * kOrder);
    int16_t* out = buf + kOrder;
    for (int i = 0; i < n; ++i) {
        int32_t s = LMult(x[i], a[0], overflow);
        for (int j = 1; j <= kOrder; ++j) s = LMsu(s, a[j], out[i - j], overflow);
        out[i] = Round(LShl(s, 3, overflow), overflow);  // Q12 -> Q0
    }
    std::memcpy(y, out, sizeof(int16_t) * n);
}

void ResidualFilter(const int16_t a[kLpSize], const int16_t* x, int16_t* y, int n) {
    for (int i = 0; i < n; ++i) {
        int32_t s = LMult(x[i], a[0]);
        for (int j = 1; j <= kOrder; ++j) s = LMac(s, a[j], x[i - j]);
        y[i] = Round(LShl(s, 3));
    }
}

void WeightLp(const int16_t a[kLpSize], int16_t gamma, int16_t weighted[kLpSize]) {
    weighted[0] = a[0];
    int16_t factor = gamma;
    for (int i = 1; i < kOrder; ++i) {
        weighted[i] = Round(LMult(a[i], factor));
        factor = Round(LMult(factor, gamma));
    }
    weighted[kOrder] = Round(LMult(a[kOrder], factor));
}

}  // namespace g729
