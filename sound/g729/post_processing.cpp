// Post-processing: 100 Hz high-pass filter with up-scaling by 2.
#include "sound/g729/basic_ops.h"
#include "sound/g729/g729_blocks.h"
#include "sound/g729/g729_tables.h"

namespace g729 {

void PostProcessingState::Reset() {
    input1 = input2 = 0;
    output1Hi = output1Lo = output2Hi = output2Lo = 0;
}

namespace {

// Mpy32By16 on a value held whole, x = hi * 2^16 + lo * 2: 2 * hi * n + 2 * (lo * n >> 15),
// which is 2 * floor((x >> 1) * n / 2^15). With |n| < 2^14 no step can saturate.
int32_t Feedback(int32_t x, int16_t n) {
    return static_cast<int32_t>(2 * ((static_cast<int64_t>(x >> 1) * n) >> 15));
}

}  // namespace

void PostProcess(PostProcessingState& state, int16_t* signal, int n) {
    const int16_t* b = kHighPassNumerator;    // Q13
    const int16_t* a = kHighPassDenominator;  // Q13, a[1] and a[2] are added
    int32_t y1 = LComp(state.output1Hi, state.output1Lo);
    int32_t y2 = LComp(state.output2Hi, state.output2Lo);
    int32_t x1 = state.input1, x2 = state.input2;
    for (int i = 0; i < n; ++i) {
        const int32_t x0 = signal[i];
        // Feedback: each product below 2^30 + 2^16, their sum below 2^31.
        const int32_t feedback = Feedback(y1, a[1]) + Feedback(y2, a[2]);
        // Feed-forward: 2 x b, each below 2^31 / 2 in magnitude, their sum below 2^31.
        const int32_t t0 = 2 * x0 * b[0], t1 = 2 * x1 * b[1], t2 = 2 * x2 * b[2];
        const int32_t reach = (t0 < 0 ? -t0 : t0) + (t1 < 0 ? -t1 : t1) + (t2 < 0 ? -t2 : t2);
        int32_t sum;
        if ((feedback < 0 ? -feedback : feedback) <= kMax32 - reach) {
            sum = feedback + t0 + t1 + t2;  // no partial sum can saturate
        } else {
            sum = Saturate32(Saturate32(Saturate32(static_cast<int64_t>(feedback) + t0) +
                                        static_cast<int64_t>(t1)) +
                             static_cast<int64_t>(t2));
        }
        const int32_t y = LShl(sum, 2);  // Q13 -> Q15 coefficients
        signal[i] = Round(LShl(y, 1));   // doubled, saturated
        x2 = x1;
        x1 = x0;
        y2 = y1;
        y1 = y;
    }
    state.input1 = static_cast<int16_t>(x1);
    state.input2 = static_cast<int16_t>(x2);
    LExtract(y1, state.output1Hi, state.output1Lo);
    LExtract(y2, state.output2Hi, state.output2Lo);
}

}  // namespace g729
