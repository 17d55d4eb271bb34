// Post-filter: long-term (pitch) post-filter on the LP residual, tilt compensation,
// short-term post-filter and adaptive gain control, per sub-frame.
#include <cstring>

#include "sound/g729/basic_ops.h"
#include "sound/g729/g729_blocks.h"

namespace g729 {
namespace {

constexpr int16_t kNumeratorGamma = 18022;    // 0.55, Q15: residual weighting A(z/0.55)
constexpr int16_t kDenominatorGamma = 22938;  // 0.70, Q15: synthesis weighting 1/A(z/0.70)
constexpr int16_t kTiltFactor = 26214;        // 0.8, Q15
constexpr int kImpulseLength = 22;            // truncated impulse response for the tilt
constexpr int16_t kAgcFactor = 29491;         // 0.9, Q15: gain smoothing
constexpr int16_t kAgcComplement = 3276;      // 1 - 0.9, Q15
constexpr int16_t kPitchFactor = 16384;       // 0.5, Q15: pitch post-filter strength
// Weights of the delayed and the current residual when the pitch gain is capped at 1:
// 0.5 / 1.5 and 1 / 1.5 (Q15).
constexpr int16_t kCappedDelayedWeight = 10923;
constexpr int16_t kCappedCurrentWeight = 21845;

// 2 * sum x[j] y[j] over a sub-frame plus `start`, saturating at each step unless `plain`
// (the caller has shown that no partial sum leaves 32 bits).
int32_t DotProduct(const int16_t* x, const int16_t* y, int32_t start, bool plain) {
    if (plain) {
        int32_t s = 0;
        for (int j = 0; j < kSubframe; ++j) s += x[j] * y[j];
        return start + 2 * s;
    }
    int32_t s = start;
    for (int j = 0; j < kSubframe; ++j) s = LMac(s, x[j], y[j]);
    return s;
}

// Whether 1 + 2 * 40 * m^2 fits in 32 bits, m the largest magnitude of the factors.
bool SumsFit(int32_t largest) {
    return 1 + 2 * kSubframe * static_cast<int64_t>(largest) * largest <= kMax32;
}

// Long-term post-filter of one sub-frame. `residual` and `scaled` (residual / 4) have
// kPitchMax past samples before index 0. Searches the lags low..high on the scaled copy.
void PitchPostFilter(const int16_t* residual, const int16_t* scaled, int low, int high,
                     int16_t out[kSubframe]) {
    const bool plain = SumsFit(MaxAbs(scaled - high, high + kSubframe));
    int32_t best = kMin32;
    int lag = low;
    for (int t = low; t <= high; ++t) {
        const int32_t corr = DotProduct(scaled, scaled - t, 0, plain);
        if (corr > best) {  // the lowest lag wins ties
            best = corr;
            lag = t;
        }
    }

    const int32_t delayedEnergy = Energy(scaled - lag, kSubframe, 1);
    const int32_t energy = Energy(scaled, kSubframe, 1);
    if (best < 0) best = 0;

    // Bring the three to 16 bits with a common shift.
    int32_t largest = best;
    if (delayedEnergy > largest) largest = delayedEnergy;
    if (energy > largest) largest = energy;
    const int shift = NormL(largest);
    int16_t cmax = Round(LShl(best, shift));
    int16_t en = Round(LShl(delayedEnergy, shift));
    const int16_t en0 = Round(LShl(energy, shift));

    // Prediction gain under 3 dB (cmax^2 < en * en0 / 2): no pitch post-filtering.
    const int32_t test = LSub(LMult(cmax, cmax), LShr(LMult(en, en0), 1));
    if (test < 0) {
        std::memcpy(out, residual, sizeof(int16_t) * kSubframe);
        return;
    }

    int16_t current, delayed;  // Q15 weights
    if (cmax > en) {           // pitch gain above 1
        current = kCappedCurrentWeight;
        delayed = kCappedDelayedWeight;
    } else {
        cmax = Shr(Mult(cmax, kPitchFactor), 1);  // Q14
        en = Shr(en, 1);                          // Q14
        const int16_t sum = Add(cmax, en);
        if (sum > 0) {
            delayed = DivS(cmax, sum);
            current = Sub(32767, delayed);
        } else {
            current = 32767;
            delayed = 0;
        }
    }
    for (int i = 0; i < kSubframe; ++i) {
        out[i] = Add(Mult(current, residual[i]), Mult(delayed, residual[i - lag]));
    }
}

// Tilt compensation factor (Q15) from the impulse response of A(z/0.55) / A(z/0.70).
int16_t TiltFactor(const int16_t numerator[kLpSize], const int16_t denominator[kLpSize]) {
    int16_t h[kImpulseLength] = {};
    std::memcpy(h, numerator, sizeof(int16_t) * kLpSize);
    const int16_t zeros[kOrder] = {};
    bool ignored = false;
    SynthesisFilter(denominator, h, h, kImpulseLength, zeros, ignored);

    int32_t r0, r1;
    const int32_t largest = MaxAbs(h, kImpulseLength);
    if (2 * kImpulseLength * static_cast<int64_t>(largest) * largest <= kMax32) {
        // No partial sum can saturate.
        r0 = 0;
        r1 = 0;
        for (int i = 0; i < kImpulseLength; ++i) r0 += h[i] * h[i];
        for (int i = 0; i < kImpulseLength - 1; ++i) r1 += h[i] * h[i + 1];
        r0 *= 2;
        r1 *= 2;
    } else {
        r0 = LMult(h[0], h[0]);
        for (int i = 1; i < kImpulseLength; ++i) r0 = LMac(r0, h[i], h[i]);
        r1 = LMult(h[0], h[1]);
        for (int i = 1; i < kImpulseLength - 1; ++i) r1 = LMac(r1, h[i], h[i + 1]);
    }
    const int16_t high0 = ExtractH(r0);
    const int16_t high1 = ExtractH(r1);
    if (high1 <= 0) return 0;
    return DivS(Mult(high1, kTiltFactor), high0);
}

// First-order tilt filter x[i] - k x[i-1] in place, k >= 0 (Q15).
void CompensateTilt(int16_t x[kSubframe], int16_t k, int16_t& memory) {
    int16_t previous[kSubframe];
    previous[0] = memory;
    std::memcpy(previous + 1, x, sizeof(int16_t) * (kSubframe - 1));
    memory = x[kSubframe - 1];
    // k * x >> 15 cannot saturate for k >= 0; the difference can.
    for (int i = 0; i < kSubframe; ++i) x[i] = Saturate16(x[i] - ((k * previous[i]) >> 15));
}

// Energy 2 * sum (x[i] / 4)^2 of a sub-frame, the quarter taken by arithmetic shift.
int32_t QuarterEnergy(const int16_t x[kSubframe]) {
    int16_t v[kSubframe];
    for (int i = 0; i < kSubframe; ++i) v[i] = static_cast<int16_t>(x[i] >> 2);
    return Energy(v, kSubframe, 0);
}

// Scales `out` towards the energy of `in`, with the gain (Q12) smoothed sample by sample.
void AdaptiveGainControl(const int16_t in[kSubframe], int16_t out[kSubframe], int16_t& gain) {
    int32_t s = QuarterEnergy(out);
    if (s == 0) {
        gain = 0;
        return;
    }
    int exponent = NormL(s) - 1;
    const int16_t outGain = Round(LShl(s, exponent));

    s = QuarterEnergy(in);
    int16_t target = 0;  // Q12: (1 - 0.9) * sqrt(in energy / out energy)
    if (s != 0) {
        const int n = NormL(s);
        const int16_t inGain = Round(LShl(s, n));
        exponent -= n;
        int32_t ratio = DivS(outGain, inGain);                // Q15
        ratio = LShr(LShl(ratio, 7), exponent);               // Q22
        const int16_t root = Round(LShl(InvSqrt(ratio), 9));  // Q12
        target = Mult(root, kAgcComplement);
    }

    // The gain stays within 0 .. 32766: 0.9 * 32767 rounds down to 29490 and the target is
    // at most 3275, so neither the product nor the sum saturates.
    int32_t gains[kSubframe];
    int32_t g = gain;
    for (int i = 0; i < kSubframe; ++i) {
        g = ((g * kAgcFactor) >> 15) + target;
        gains[i] = g;
    }
    gain = static_cast<int16_t>(g);
    // ExtractH(LShl(LMult(out, g), 3)): out * g * 16 saturated to 32 bits, high half.
    for (int i = 0; i < kSubframe; ++i) {
        const int32_t p = out[i] * gains[i];
        out[i] =
            static_cast<int16_t>(p >= (1 << 27) ? kMax16 : (p < -(1 << 27) ? kMin16 : p >> 12));
    }
}

}  // namespace

void PostFilterState::Reset() {
    std::memset(residual, 0, sizeof residual);
    std::memset(scaledResidual, 0, sizeof scaledResidual);
    std::memset(shortTermMemory, 0, sizeof shortTermMemory);
    tiltMemory = 0;
    agcGain = 4096;  // 1.0
}

void PostFilter(PostFilterState& state, const int16_t* speech, const int16_t a[2][kLpSize],
                const int16_t delays[2], int16_t out[kFrame]) {
    int16_t* residual = state.residual + kPitchMax;
    int16_t* scaled = state.scaledResidual + kPitchMax;
    for (int sf = 0; sf < 2; ++sf) {
        const int16_t* in = speech + sf * kSubframe;
        int16_t* result = out + sf * kSubframe;

        int low = delays[sf] - 3;
        int high = low + 6;
        if (high > kPitchMax) {
            high = kPitchMax;
            low = high - 6;
        }

        int16_t numerator[kLpSize], denominator[kLpSize];
        WeightLp(a[sf], kNumeratorGamma, numerator);
        WeightLp(a[sf], kDenominatorGamma, denominator);

        ResidualFilter(numerator, in, residual, kSubframe);
        for (int j = 0; j < kSubframe; ++j) scaled[j] = Shr(residual[j], 2);

        int16_t filtered[kSubframe];
        PitchPostFilter(residual, scaled, low, high, filtered);
        CompensateTilt(filtered, TiltFactor(numerator, denominator), state.tiltMemory);

        bool ignored = false;
        SynthesisFilter(denominator, filtered, result, kSubframe, state.shortTermMemory, ignored);
        std::memcpy(state.shortTermMemory, result + kSubframe - kOrder, sizeof(int16_t) * kOrder);

        AdaptiveGainControl(in, result, state.agcGain);

        std::memmove(state.residual, state.residual + kSubframe, sizeof(int16_t) * kPitchMax);
        std::memmove(state.scaledResidual, state.scaledResidual + kSubframe,
                     sizeof(int16_t) * kPitchMax);
    }
}

}  // namespace g729
