// Pitch delay decoding and the adaptive-codebook vector (1/3-resolution interpolation).
#include "sound/g729/basic_ops.h"
#include "sound/g729/g729_blocks.h"
#include "sound/g729/g729_tables.h"

namespace g729 {
namespace {

constexpr int kResolution = 3;  // fractional steps per sample
constexpr int kHalfTaps = 10;   // interpolation filter taps on each side

// (index + 2) / 3 as the fixed-point product by 10923 (1/3 in Q15).
int DivideByThree(int indexPlus2) {
    return (indexPlus2 * 10923) >> 15;
}

}  // namespace

PitchDelay DecodeFirstPitchDelay(uint16_t index) {
    if (index < 197) {
        const int integer = DivideByThree(index + 2) + 19;
        return {static_cast<int16_t>(integer), static_cast<int16_t>(index - 3 * integer + 58)};
    }
    return {static_cast<int16_t>(index - 112), 0};
}

PitchDelay DecodeSecondPitchDelay(uint16_t index, int16_t firstInteger) {
    int low = firstInteger - 5;
    if (low < kPitchMin) low = kPitchMin;
    int high = low + 9;
    if (high > kPitchMax) {
        high = kPitchMax;
        low = high - 9;
    }
    const int i = DivideByThree(index + 2) - 1;
    return {static_cast<int16_t>(i + low), static_cast<int16_t>(index - 2 - 3 * i)};
}

void AdaptiveCodebookVector(int16_t* excitation, PitchDelay delay) {
    // Delays reach at most 144 samples plus the filter's 10 taps (and one more sample only
    // for a positive fraction, which never comes with the longest delay): within history.
    const int16_t* x0 = excitation - delay.integer;
    int phase = -delay.fraction;
    if (phase < 0) {
        phase += kResolution;
        --x0;
    }
    const int16_t* c1 = &kPitchInterpolationFilter[phase];
    const int16_t* c2 = &kPitchInterpolationFilter[kResolution - phase];
    for (int j = 0; j < kSubframe; ++j) {
        // Samples written earlier in this loop are read back for delays under 50.
        const int16_t* x1 = x0 + j;
        const int16_t* x2 = x1 + 1;
        int32_t s = 0;
        for (int i = 0; i < kHalfTaps; ++i) {
            s = LMac(s, x1[-i], c1[kResolution * i]);
            s = LMac(s, x2[i], c2[kResolution * i]);
        }
        excitation[j] = Round(s);
    }
}

}  // namespace g729
