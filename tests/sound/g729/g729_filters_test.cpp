// The decoder's filters by what they must do: known answers, the inverse of a filter undoing
// it, the response to tones and constants, and saturation (never wrap-around) at full scale.
// Bit-exactness over real speech is the conformance vectors' job.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <random>
#include <vector>

#include "sound/g729/basic_ops.h"
#include "sound/g729/g729_blocks.h"
#include "sound/g729/g729_tables.h"

using namespace g729;

namespace {

int16_t Uniform(std::mt19937& rng, int limit) {
    return static_cast<int16_t>(static_cast<int>(rng() % (2u * limit + 1)) - limit);
}

constexpr double kPi = std::numbers::pi;

}  // namespace

TEST(G729Filters, SynthesisKnownAnswersAndSaturation) {
    const int16_t zeros[kOrder] = {};
    bool overflow = false;
    // A(z) = 1 passes any signal through unchanged.
    std::mt19937 rng(1);
    int16_t a[kLpSize] = {4096};
    int16_t x[kSubframe], y[kSubframe];
    for (auto& v : x) v = Uniform(rng, 32767);
    SynthesisFilter(a, x, y, kSubframe, zeros, overflow);
    EXPECT_TRUE(std::equal(x, x + kSubframe, y));
    EXPECT_FALSE(overflow);

    // 1/(1 - 0.5 z^-1): an impulse decays by halves.
    a[1] = -2048;
    std::fill(x, x + kSubframe, 0);
    x[0] = 16384;
    SynthesisFilter(a, x, y, kSubframe, zeros, overflow);
    for (int i = 0; i < 14; ++i) EXPECT_EQ(y[i], 16384 >> i) << i;
    EXPECT_FALSE(overflow);

    // 1/(1 - 2 z^-1) grows without bound: the output stops at full scale and says so.
    a[1] = -8191;
    std::fill(x, x + kSubframe, 20000);
    SynthesisFilter(a, x, y, kSubframe, zeros, overflow);
    EXPECT_TRUE(overflow);
    EXPECT_EQ(*std::min_element(y + 2, y + kSubframe), kMax16);

    // Coefficients whose products pass 32 bits: sums that only grow stay at full scale,
    // never wrapping to a negative sample.
    std::fill(a + 1, a + 6, -8191);
    overflow = false;
    SynthesisFilter(a, x, y, kSubframe, zeros, overflow);
    EXPECT_TRUE(overflow);
    EXPECT_EQ(*std::min_element(y + 2, y + kSubframe), kMax16);
}

TEST(G729Filters, ResidualSaturatesSumsThatPass32Bits) {
    // Every product of a sample has the same sign: the output is full scale of that sign.
    int16_t a[kLpSize] = {4096};
    for (int j = 1; j < kLpSize; ++j) a[j] = j % 2 ? -3000 : 3000;
    int16_t x[kOrder + kSubframe], y[kSubframe];
    for (int k = 0; k < kOrder + kSubframe; ++k) x[k] = k % 2 ? -32767 : 32767;
    ResidualFilter(a, x + kOrder, y, kSubframe);
    for (int i = 0; i < kSubframe; ++i) EXPECT_EQ(y[i], i % 2 ? kMin16 : kMax16) << i;
}

TEST(G729Filters, ResidualUndoesSynthesisFromAnyMemory) {
    std::mt19937 rng(2);
    for (int round = 0; round < 500; ++round) {
        // Small coefficients keep 1/A(z) stable with a gain under 2, so nothing saturates.
        int16_t a[kLpSize] = {4096};
        for (int j = 1; j < kLpSize; ++j) a[j] = Uniform(rng, 200);
        int16_t buffer[kOrder + kSubframe], x[kSubframe], r[kSubframe];
        for (int i = 0; i < kOrder; ++i) buffer[i] = Uniform(rng, 10000);
        for (auto& v : x) v = Uniform(rng, 10000);
        bool overflow = false;
        SynthesisFilter(a, x, buffer + kOrder, kSubframe, buffer, overflow);
        ASSERT_FALSE(overflow);
        ResidualFilter(a, buffer + kOrder, r, kSubframe);
        for (int i = 0; i < kSubframe; ++i) {
            ASSERT_LE(std::abs(r[i] - x[i]), 2) << "round " << round << " sample " << i;
        }
    }
}

TEST(G729Filters, AdaptiveCodebookRepeatsAToneAtTheFractionalDelay) {
    // A slow tone before the sub-frame comes out delayed by integer + fraction / 3 samples.
    // Under a sub-frame's delay the vector repeats itself: a tone of that period goes on.
    constexpr double kAmplitude = 8000;
    auto check = [&](double period, PitchDelay delay) {
        auto tone = [&](double n) { return kAmplitude * std::sin(2 * kPi * n / period); };
        std::vector<int16_t> e(kExcitationHistory + kSubframe);
        for (int n = 0; n < kExcitationHistory; ++n) {
            e[n] = static_cast<int16_t>(std::lround(tone(n - kExcitationHistory)));
        }
        AdaptiveCodebookVector(e.data() + kExcitationHistory, delay);
        for (int j = 0; j < kSubframe; ++j) {
            ASSERT_NEAR(e[kExcitationHistory + j], tone(j - delay.integer - delay.fraction / 3.0),
                        0.03 * kAmplitude)
                << "delay " << delay.integer << " " << delay.fraction << " sample " << j;
        }
    };
    for (const int16_t integer : {40, 77, 143, 144}) {
        for (const int16_t fraction : {-1, 0, 1}) {
            if (integer != 144 || fraction != 1) check(80, {integer, fraction});
        }
    }
    check(20, {20, 0});
    check(25, {25, 0});
}

TEST(G729Filters, EnergySumsTwiceTheSquaresAndSaturates) {
    int16_t x[kSubframe];
    std::fill(x, x + kSubframe, 1000);
    EXPECT_EQ(Energy(x, kSubframe, 1), 1 + kSubframe * 2 * 1000 * 1000);
    std::fill(x, x + kSubframe, kMin16);
    EXPECT_EQ(Energy(x, kSubframe, 0), kMax32);
}

TEST(G729Filters, PostProcessingRemovesDcAndDoublesTheVoiceBand) {
    PostProcessingState state;
    state.Reset();
    int16_t frame[kFrame];
    for (int f = 0; f < 10; ++f) {
        std::fill(frame, frame + kFrame, 1000);
        PostProcess(state, frame, kFrame);
    }
    EXPECT_LE(*std::max_element(frame, frame + kFrame), 20);

    // 1 kHz at 8 kHz: twice the amplitude; at full scale the peaks saturate, never wrap.
    for (const double amplitude : {4000.0, 30000.0}) {
        state.Reset();
        int16_t low = 0, high = 0;
        for (int f = 0; f < 10; ++f) {
            for (int i = 0; i < kFrame; ++i) {
                frame[i] = static_cast<int16_t>(
                    std::lround(amplitude * std::sin(2 * kPi * (f * kFrame + i) / 8)));
            }
            PostProcess(state, frame, kFrame);
            if (f < 5) continue;  // past the filter's settling
            low = std::min(low, *std::min_element(frame, frame + kFrame));
            high = std::max(high, *std::max_element(frame, frame + kFrame));
        }
        if (amplitude < 16000) {
            EXPECT_NEAR(high, 2 * amplitude, 0.1 * amplitude);
            EXPECT_NEAR(low, -2 * amplitude, 0.1 * amplitude);
        } else {
            EXPECT_EQ(high, kMax16);
            EXPECT_LE(low, -32767);
        }
    }
}

TEST(G729Filters, LspToLpMatchesTheProductOfItsSumAndDifferencePolynomials) {
    // A(z) = (F1(z)(1 + z^-1) + F2(z)(1 - z^-1)) / 2, where F1 and F2 are the products of
    // (1 - 2 q z^-1 + z^-2) over the even and the odd LSPs q (cosines, Q15). Coefficients
    // in Q12.
    std::mt19937 rng(6);
    int checked = 0;
    for (int round = 0; round < 400; ++round) {
        int16_t lsp[kOrder];
        if (round == 0) {
            std::copy(kLspInitialPrevious, kLspInitialPrevious + kOrder, lsp);
        } else {
            std::vector<double> w(kOrder);  // frequencies, ordered and apart, in (0, pi)
            for (auto& v : w) v = 0.05 + (kPi - 0.1) * (rng() % 10000) / 10000.0;
            std::sort(w.begin(), w.end());
            for (int i = 0; i < kOrder; ++i) {
                lsp[i] = static_cast<int16_t>(std::lround(32767 * std::cos(w[i])));
            }
        }
        std::vector<double> f[2] = {{1}, {1}};
        for (int i = 0; i < kOrder; ++i) {
            std::vector<double>& p = f[i % 2];
            const double q = lsp[i] / 32768.0;
            std::vector<double> next(p.size() + 2, 0.0);
            for (size_t k = 0; k < p.size(); ++k) {
                next[k] += p[k];
                next[k + 1] -= 2 * q * p[k];
                next[k + 2] += p[k];
            }
            p = next;
        }
        double expected[kLpSize];
        for (int i = 1; i < kLpSize; ++i) {
            const double sum = f[0][i] + f[0][i - 1], difference = f[1][i] - f[1][i - 1];
            expected[i] = 4096 * (sum + difference) / 2;
        }
        // LSPs crowded together give coefficients past Q12's 16 bits; real ones do not.
        if (std::any_of(expected + 1, expected + kLpSize,
                        [](double c) { return std::abs(c) > 32000; })) {
            continue;
        }
        ++checked;
        int16_t a[kLpSize];
        LspToLp(lsp, a);
        EXPECT_EQ(a[0], 4096);
        for (int i = 1; i < kLpSize; ++i) {
            ASSERT_NEAR(a[i], expected[i], 2.0) << "round " << round << " " << i;
        }
    }
    EXPECT_GE(checked, 100);
}

TEST(G729Filters, PostFilterTiltSaturatesAtFullScale) {
    // Full-scale samples of alternating sign through A(z) = 1 - 0.5 z^-1: the tilt
    // compensation's difference passes 16 bits. Saturated, every sample keeps its sign;
    // wrapped, nearly every one would come out with the opposite sign.
    PostFilterState state;
    state.Reset();
    int16_t speech[kOrder + kFrame];
    for (int i = 0; i < kOrder + kFrame; ++i) speech[i] = i % 2 ? kMax16 : -kMax16;
    const int16_t a[2][kLpSize] = {{4096, -2048}, {4096, -2048}};
    const int16_t delays[2] = {40, 40};
    int16_t out[kFrame];
    for (int frame = 0; frame < 3; ++frame) {
        PostFilter(state, speech + kOrder, a, delays, out);
        for (int i = 0; i < kFrame; ++i)
            ASSERT_EQ(out[i] < 0, speech[kOrder + i] < 0) << "frame " << frame << " sample " << i;
    }
}
