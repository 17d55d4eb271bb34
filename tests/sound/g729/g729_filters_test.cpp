// The filters' plain-arithmetic shortcuts against the same filters written with the basic
// operators step by step, on signals and coefficients from tiny to full scale.
#include <gtest/gtest.h>

#include <cstring>
#include <random>

#include "sound/g729/basic_ops.h"
#include "sound/g729/g729_blocks.h"
#include "sound/g729/g729_tables.h"

using namespace g729;

namespace {

// Values in [-limit, limit], with the extremes more likely than uniform.
int16_t Draw(std::mt19937& rng, int limit) {
    const int r = static_cast<int>(rng() % 16);
    if (r == 0) return static_cast<int16_t>(limit);
    if (r == 1) return static_cast<int16_t>(limit >= 32768 ? kMin16 : -limit);
    return static_cast<int16_t>(static_cast<int>(rng() % (2u * limit + 1)) - limit);
}

constexpr int kLimits[] = {64, 1000, 4096, 12000, 32767, 32768};

void ReferenceSynthesis(const int16_t a[kLpSize], const int16_t* x, int16_t* y, int n,
                        const int16_t memory[kOrder], bool& overflow) {
    int16_t buf[kOrder + kFrame];
    std::memcpy(buf, memory, sizeof(int16_t) * kOrder);
    for (int i = 0; i < n; ++i) {
        int32_t s = LMult(x[i], a[0], overflow);
        for (int j = 1; j <= kOrder; ++j) s = LMsu(s, a[j], buf[kOrder + i - j], overflow);
        buf[kOrder + i] = Round(LShl(s, 3, overflow), overflow);
    }
    std::memcpy(y, buf + kOrder, sizeof(int16_t) * n);
}

}  // namespace

TEST(G729Filters, SynthesisMatchesTheOperatorChain) {
    std::mt19937 rng(1);
    for (int round = 0; round < 3000; ++round) {
        int16_t a[kLpSize], memory[kOrder], x[kSubframe];
        a[0] = round % 7 == 0 ? Draw(rng, 32768) : 4096;
        const int coefficientLimit = kLimits[rng() % 6];
        for (int j = 1; j < kLpSize; ++j) a[j] = Draw(rng, coefficientLimit);
        const int signalLimit = kLimits[rng() % 6];
        for (auto& m : memory) m = Draw(rng, signalLimit);
        for (auto& v : x) v = Draw(rng, signalLimit);
        int16_t expected[kSubframe], actual[kSubframe];
        bool expectedOverflow = false, actualOverflow = false;
        ReferenceSynthesis(a, x, expected, kSubframe, memory, expectedOverflow);
        SynthesisFilter(a, x, actual, kSubframe, memory, actualOverflow);
        ASSERT_EQ(0, std::memcmp(expected, actual, sizeof actual)) << "round " << round;
        ASSERT_EQ(expectedOverflow, actualOverflow) << "round " << round;
    }
}

TEST(G729Filters, ResidualMatchesTheOperatorChain) {
    std::mt19937 rng(2);
    for (int round = 0; round < 3000; ++round) {
        int16_t a[kLpSize], signal[kOrder + kSubframe];
        a[0] = round % 7 == 0 ? Draw(rng, 32768) : 4096;
        const int coefficientLimit = kLimits[rng() % 6];
        for (int j = 1; j < kLpSize; ++j) a[j] = Draw(rng, coefficientLimit);
        const int signalLimit = kLimits[rng() % 6];
        for (auto& v : signal) v = Draw(rng, signalLimit);
        const int16_t* x = signal + kOrder;
        int16_t expected[kSubframe], actual[kSubframe];
        for (int i = 0; i < kSubframe; ++i) {
            int32_t s = LMult(x[i], a[0]);
            for (int j = 1; j <= kOrder; ++j) s = LMac(s, a[j], x[i - j]);
            expected[i] = Round(LShl(s, 3));
        }
        ResidualFilter(a, x, actual, kSubframe);
        ASSERT_EQ(0, std::memcmp(expected, actual, sizeof actual)) << "round " << round;
    }
}

TEST(G729Filters, AdaptiveCodebookMatchesTheOperatorChain) {
    std::mt19937 rng(3);
    for (int round = 0; round < 3000; ++round) {
        int16_t expected[kExcitationHistory + kSubframe], actual[kExcitationHistory + kSubframe];
        const int signalLimit = kLimits[rng() % 6];
        for (auto& v : expected) v = Draw(rng, signalLimit);
        std::memcpy(actual, expected, sizeof actual);
        // Every delay the decoder can produce: 19..143 with any fraction, 144 with 0 or -1.
        PitchDelay delay{static_cast<int16_t>(19 + rng() % 126),
                         static_cast<int16_t>(rng() % 3 - 1)};
        if (delay.integer == 144 && delay.fraction == 1) delay.fraction = 0;

        int16_t* e = expected + kExcitationHistory;
        const int16_t* x0 = e - delay.integer;
        int phase = -delay.fraction;
        if (phase < 0) {
            phase += 3;
            --x0;
        }
        for (int j = 0; j < kSubframe; ++j) {
            const int16_t* x1 = x0 + j;
            const int16_t* x2 = x1 + 1;
            int32_t s = 0;
            for (int i = 0; i < 10; ++i) {
                s = LMac(s, x1[-i], kPitchInterpolationFilter[phase + 3 * i]);
                s = LMac(s, x2[i], kPitchInterpolationFilter[3 - phase + 3 * i]);
            }
            e[j] = Round(s);
        }
        AdaptiveCodebookVector(actual + kExcitationHistory, delay);
        ASSERT_EQ(0, std::memcmp(expected, actual, sizeof actual))
            << "round " << round << " delay " << delay.integer << " " << delay.fraction;
    }
}

TEST(G729Filters, EnergyMatchesTheOperatorChain) {
    std::mt19937 rng(4);
    for (int round = 0; round < 2000; ++round) {
        int16_t x[kSubframe];
        const int limit = kLimits[rng() % 6];
        for (auto& v : x) v = Draw(rng, limit);
        const int32_t start = round % 2;
        int32_t expected = start;
        for (int16_t v : x) expected = LMac(expected, v, v);
        ASSERT_EQ(Energy(x, kSubframe, start), expected) << "round " << round;
    }
}

TEST(G729Filters, HighPassMatchesTheOperatorChain) {
    std::mt19937 rng(5);
    PostProcessingState state;
    state.Reset();
    int16_t x1 = 0, x2 = 0, y1Hi = 0, y1Lo = 0, y2Hi = 0, y2Lo = 0;
    for (int round = 0; round < 500; ++round) {
        int16_t expected[kFrame], actual[kFrame];
        const int limit = kLimits[rng() % 6];
        for (auto& v : expected) v = Draw(rng, limit);
        std::memcpy(actual, expected, sizeof actual);
        for (int16_t& v : expected) {
            const int16_t x0 = v;
            int32_t y = Mpy32By16(y1Hi, y1Lo, kHighPassDenominator[1]);
            y = LAdd(y, Mpy32By16(y2Hi, y2Lo, kHighPassDenominator[2]));
            y = LMac(y, x0, kHighPassNumerator[0]);
            y = LMac(y, x1, kHighPassNumerator[1]);
            y = LMac(y, x2, kHighPassNumerator[2]);
            y = LShl(y, 2);
            v = Round(LShl(y, 1));
            x2 = x1;
            x1 = x0;
            y2Hi = y1Hi;
            y2Lo = y1Lo;
            LExtract(y, y1Hi, y1Lo);
        }
        PostProcess(state, actual, kFrame);
        ASSERT_EQ(0, std::memcmp(expected, actual, sizeof actual)) << "round " << round;
    }
}

TEST(G729Filters, LspToLpMatchesTheOperatorChain) {
    // Any 16-bit LSP values, ordered or not, reach saturation in the polynomial products.
    auto polynomial = [](const int16_t* lsp, int32_t f[6]) {
        f[0] = LMult(4096, 2048);
        f[1] = LMsu(0, lsp[0], 512);
        for (int i = 2; i <= 5; ++i) {
            const int16_t q = lsp[2 * (i - 1)];
            f[i] = f[i - 2];
            for (int k = i; k >= 2; --k) {
                int16_t hi, lo;
                LExtract(f[k - 1], hi, lo);
                f[k] = LSub(LAdd(f[k], f[k - 2]), LShl(Mpy32By16(hi, lo, q), 1));
            }
            f[1] = LMsu(f[1], q, 512);
        }
    };
    std::mt19937 rng(6);
    for (int round = 0; round < 20000; ++round) {
        int16_t lsp[kOrder];
        const int limit = kLimits[rng() % 6];
        for (auto& v : lsp) v = Draw(rng, limit);
        int32_t f1[6], f2[6];
        polynomial(&lsp[0], f1);
        polynomial(&lsp[1], f2);
        for (int i = 5; i > 0; --i) {
            f1[i] = LAdd(f1[i], f1[i - 1]);
            f2[i] = LSub(f2[i], f2[i - 1]);
        }
        int16_t expected[kLpSize], actual[kLpSize];
        expected[0] = 4096;
        for (int i = 1, j = 10; i <= 5; ++i, --j) {
            expected[i] = ExtractL(LShrR(LAdd(f1[i], f2[i]), 13));
            expected[j] = ExtractL(LShrR(LSub(f1[i], f2[i]), 13));
        }
        LspToLp(lsp, actual);
        ASSERT_EQ(0, std::memcmp(expected, actual, sizeof actual)) << "round " << round;
    }
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
