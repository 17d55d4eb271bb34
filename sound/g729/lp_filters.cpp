// LP synthesis and analysis filters and bandwidth expansion.
#include <cstring>

#include "sound/g729/basic_ops.h"
#include "sound/g729/g729_blocks.h"

namespace g729 {

namespace {

// Sum of |a[j]|, j = 0..10.
int32_t Magnitude(const int16_t a[kLpSize]) {
    int32_t sum = 0;
    for (int j = 0; j < kLpSize; ++j) sum += a[j] < 0 ? -a[j] : a[j];
    return sum;
}

// Plain-arithmetic synthesis of out[0..n) from sample 0, valid while sum |a| (`magnitude`)
// times the largest magnitude of every input and output stays below 2^30: then no partial
// sum can saturate before the final shift. With kTrack false the caller has shown this for
// any 16-bit signal. Returns the number of samples produced (fewer than n when tracking shows
// the bound can no longer be kept). The last ten outputs stay in registers, and the newest
// enters last, to keep the sample-to-sample path short.
template <bool kTrack>
int PlainSynthesis(const int16_t a[kLpSize], const int16_t* x, int16_t* out, int n,
                   int64_t magnitude, int32_t largest, bool& overflow) {
    // Named scalars rather than arrays, so that no compiler rotates the history in memory.
    const int32_t c0 = a[0], c1 = a[1], c2 = a[2], c3 = a[3], c4 = a[4], c5 = a[5], c6 = a[6],
                  c7 = a[7], c8 = a[8], c9 = a[9], c10 = a[10];
    int32_t h1 = out[-1], h2 = out[-2], h3 = out[-3], h4 = out[-4], h5 = out[-5], h6 = out[-6],
            h7 = out[-7], h8 = out[-8], h9 = out[-9], h10 = out[-10];
    for (int i = 0; i < n; ++i) {
        const int32_t older = x[i] * c0 - c10 * h10 - c9 * h9 - c8 * h8 - c7 * h7 - c6 * h6 -
                              c5 * h5 - c4 * h4 - c3 * h3 - c2 * h2;
        const int16_t v = RoundShl3(2 * (older - c1 * h1), overflow);
        h10 = h9;
        h9 = h8;
        h8 = h7;
        h7 = h6;
        h6 = h5;
        h5 = h4;
        h4 = h3;
        h3 = h2;
        h2 = h1;
        h1 = v;
        out[i] = v;
        if constexpr (kTrack) {
            const int32_t m = v < 0 ? -v : v;
            if (m > largest) {
                largest = m;
                if (magnitude * largest >= (1 << 30)) return i + 1;
            }
        }
    }
    return n;
}

}  // namespace

void SynthesisFilter(const int16_t a[kLpSize], const int16_t* x, int16_t* y, int n,
                     const int16_t memory[kOrder], bool& overflow) {
    int16_t buf[kOrder + kFrame];
    std::memcpy(buf, memory, sizeof(int16_t) * kOrder);
    int16_t* out = buf + kOrder;

    const int64_t magnitude = Magnitude(a);
    int i = 0;
    if (magnitude <= kMax16) {
        i = PlainSynthesis<false>(a, x, out, n, magnitude, 0, overflow);
    } else {
        int32_t largest = MaxAbs(memory, kOrder);
        const int32_t largestInput = MaxAbs(x, n);
        if (largestInput > largest) largest = largestInput;
        if (magnitude * largest < (1 << 30)) {
            i = PlainSynthesis<true>(a, x, out, n, magnitude, largest, overflow);
        }
    }
    for (; i < n; ++i) {
        int32_t s = LMult(x[i], a[0], overflow);
        for (int j = 1; j <= kOrder; ++j) s = LMsu(s, a[j], out[i - j], overflow);
        out[i] = Round(LShl(s, 3, overflow), overflow);  // Q12 -> Q0
    }
    std::memcpy(y, out, sizeof(int16_t) * n);
}

void ResidualFilter(const int16_t a[kLpSize], const int16_t* x, int16_t* y, int n) {
    if (2 * static_cast<int64_t>(Magnitude(a)) * MaxAbs(x - kOrder, n + kOrder) <= kMax32) {
        // No partial sum can leave 32 bits: form the sums plainly, oldest input first.
        int16_t reversed[kLpSize];
        for (int k = 0; k < kLpSize; ++k) reversed[k] = a[kOrder - k];
        for (int i = 0; i < n; ++i) {
            const int16_t* window = x + i - kOrder;
            int32_t s = 0;
            for (int k = 0; k < kLpSize; ++k) s += reversed[k] * window[k];
            bool ignored = false;
            y[i] = RoundShl3(2 * s, ignored);
        }
        return;
    }
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
