// Post-processing: 100 Hz high-pass filter with up-scaling by 2.
#include "sound/g729/basic_ops.h"
#include "sound/g729/g729_blocks.h"
#include "sound/g729/g729_tables.h"

namespace g729 {

void PostProcessingState::Reset() {
    input1 = input2 = 0;
    output1Hi = output1Lo = output2Hi = output2Lo = 0;
}

void PostProcess(PostProcessingState& state, int16_t* signal, int n) {
    const int16_t* b = kHighPassNumerator;    // Q13
    const int16_t* a = kHighPassDenominator;  // Q13, a[1] and a[2] are added
    for (int i = 0; i < n; ++i) {
        const int16_t x = signal[i];
        // The two feedback products cannot saturate (|a| < 2^14) and their sum stays below
        // 2^31; the three feed-forward products saturate step by step as 32-bit sums.
        int64_t y = Mpy32By16(state.output1Hi, state.output1Lo, a[1]) +
                    static_cast<int64_t>(Mpy32By16(state.output2Hi, state.output2Lo, a[2]));
        y = Saturate32(y + 2 * x * b[0]);
        y = Saturate32(y + 2 * state.input1 * b[1]);
        const int32_t sum = Saturate32(y + 2 * state.input2 * b[2]);
        const int32_t scaled = LShl(sum, 2);  // Q13 -> Q15 coefficients
        signal[i] = Round(LShl(scaled, 1));   // doubled, saturated
        state.input2 = state.input1;
        state.input1 = x;
        state.output2Hi = state.output1Hi;
        state.output2Lo = state.output1Lo;
        LExtract(scaled, state.output1Hi, state.output1Lo);
    }
}

}  // namespace g729
