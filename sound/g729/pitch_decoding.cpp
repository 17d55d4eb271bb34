// Pitch delay decoding and the adaptive-codebook vector (1/3-resolution interpolation).
#include "sound/g729/basic_ops.h"
#include "sound/g729/g729_blocks.h"
#include "sound/g729/g729_tables.h"

namespace g729 {
namespace {

constexpr int kResolution = 3;  // fractional steps per sample
constexpr int kHalfTaps = 10;   // interpolation filter taps on each side

// The interpolation filter's taps for each phase, in the order of a forward dot product over
// x0[j - 9 .. j + 10] (see AdaptiveCodebookVector), and the sum of their magnitudes.
struct PhaseTaps {
    int16_t taps[kResolution][2 * kHalfTaps];
    int32_t magnitude[kResolution];
};

constexpr PhaseTaps MakePhaseTaps() {
    PhaseTaps t{};
    for (int phase = 0; phase < kResolution; ++phase) {
        int32_t sum = 0;
        for (int k = 0; k < kHalfTaps; ++k) {
            t.taps[phase][k] = kPitchInterpolationFilter[phase + kResolution * (kHalfTaps - 1 - k)];
            t.taps[phase][kHalfTaps + k] =
                kPitchInterpolationFilter[kResolution - phase + kResolution * k];
        }
        for (int16_t c : t.taps[phase]) sum += c < 0 ? -c : c;
        t.magnitude[phase] = sum;
    }
    return t;
}

constexpr PhaseTaps kPhaseTaps = MakePhaseTaps();

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
    // The oldest sample read lies delay + 9 back, or delay + 10 for a positive fraction.
    // The longest delay, 144, comes only with fraction 0 or -1, so reads stay within the
    // kExcitationHistory (154) samples of history.
    const int16_t* x0 = excitation - delay.integer;
    int phase = -delay.fraction;
    if (phase < 0) {
        phase += kResolution;
        --x0;
    }
    const int16_t* c1 = &kPitchInterpolationFilter[phase];
    const int16_t* c2 = &kPitchInterpolationFilter[kResolution - phase];
    const int16_t* taps = kPhaseTaps.taps[phase];

    // Inputs are x0[j - 9 .. j + 10]; those at or after `excitation` are outputs of this loop,
    // written before they are read (delays are at least 19). While the largest magnitude seen
    // keeps every partial sum and the rounding inside 32 bits, a plain dot product is exact.
    const int32_t limit = (kMax32 - 0x8000) / (2 * kPhaseTaps.magnitude[phase]);
    const int16_t* first = x0 - (kHalfTaps - 1);
    const int historyLength = static_cast<int>(excitation - first);
    int32_t largest =
        MaxAbs(first, historyLength < 2 * kHalfTaps + kSubframe ? historyLength
                                                                : 2 * kHalfTaps + kSubframe);
    for (int j = 0; j < kSubframe; ++j) {
        int16_t value;
        if (largest <= limit) {
            const int16_t* x = first + j;
            int32_t s = 0;
            for (int k = 0; k < 2 * kHalfTaps; ++k) s += taps[k] * x[k];
            value = static_cast<int16_t>((2 * s + 0x8000) >> 16);
        } else {
            const int16_t* x1 = x0 + j;
            const int16_t* x2 = x1 + 1;
            int32_t s = 0;
            for (int i = 0; i < kHalfTaps; ++i) {
                s = LMac(s, x1[-i], c1[kResolution * i]);
                s = LMac(s, x2[i], c2[kResolution * i]);
            }
            value = Round(s);
        }
        excitation[j] = value;
        const int32_t magnitude = value < 0 ? -value : value;
        if (magnitude > largest) largest = magnitude;
    }
}

}  // namespace g729
