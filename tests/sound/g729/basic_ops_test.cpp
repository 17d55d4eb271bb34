// The fixed-point basic operators at the edges of their ranges.
#include "sound/g729/basic_ops.h"

#include <gtest/gtest.h>

using namespace g729;

TEST(G729BasicOps, SixteenBitAddAndSubSaturateAndFlag) {
    bool o = false;
    EXPECT_EQ(Add(kMax16, 1, o), kMax16);
    EXPECT_TRUE(o);
    o = false;
    EXPECT_EQ(Sub(kMin16, 1, o), kMin16);
    EXPECT_TRUE(o);
    o = false;
    EXPECT_EQ(Add(kMax16, kMin16, o), -1);
    EXPECT_EQ(Sub(0, kMax16, o), -kMax16);
    EXPECT_EQ(Add(-1, 1, o), 0);
    EXPECT_FALSE(o);  // never cleared, only set
    EXPECT_EQ(Sub(0, kMin16), kMax16);
}

TEST(G729BasicOps, AbsNegateAndExtract) {
    EXPECT_EQ(AbsS(kMin16), kMax16);
    EXPECT_EQ(AbsS(-1), 1);
    EXPECT_EQ(AbsS(0), 0);
    EXPECT_EQ(Negate(kMin16), kMax16);
    EXPECT_EQ(Negate(kMax16), -kMax16);
    EXPECT_EQ(Negate(1), -1);
    EXPECT_EQ(ExtractH(static_cast<int32_t>(0x8000ffff)), kMin16);
    EXPECT_EQ(ExtractL(0x12348000), kMin16);
    EXPECT_EQ(ExtractL(-1), -1);
    EXPECT_EQ(LNegate(kMin32), kMax32);
    EXPECT_EQ(LAbs(kMin32), kMax32);
}

TEST(G729BasicOps, ProductsSaturateOnlyForMinusOneSquared) {
    bool o = false;
    EXPECT_EQ(Mult(kMin16, kMin16, o), kMax16);
    EXPECT_TRUE(o);
    o = false;
    EXPECT_EQ(LMult(kMin16, kMin16, o), kMax32);
    EXPECT_TRUE(o);
    o = false;
    EXPECT_EQ(Mult(kMax16, kMax16, o), 32766);
    EXPECT_EQ(Mult(kMin16, kMax16, o), -kMax16);
    EXPECT_EQ(Mult(-1, 1, o), -1);  // floor, not truncation towards 0
    EXPECT_EQ(Mult(1, 1, o), 0);
    EXPECT_EQ(LMult(kMin16, kMax16, o), -2147418112);
    EXPECT_EQ(LMult(-1, 1, o), -2);
    EXPECT_FALSE(o);
    EXPECT_EQ(MultR(1, 16384), 1);  // 0.5 rounds up
    EXPECT_EQ(MultR(kMin16, kMin16), kMax16);
}

TEST(G729BasicOps, MacAndMsuSaturateEachStep) {
    bool o = false;
    EXPECT_EQ(LMac(kMax32, 1, 1, o), kMax32);
    EXPECT_TRUE(o);
    o = false;
    EXPECT_EQ(LMsu(kMin32, 1, 1, o), kMin32);
    EXPECT_TRUE(o);
    o = false;
    EXPECT_EQ(LMac(0, kMin16, kMin16, o), kMax32);
    EXPECT_TRUE(o);
    EXPECT_EQ(LMsu(0, kMin16, kMin16), -kMax32);
    EXPECT_EQ(LAdd(kMax32, kMin32), -1);
    EXPECT_EQ(LSub(-1, kMax32), kMin32);
    EXPECT_EQ(LSub(0, kMin32), kMax32);
}

TEST(G729BasicOps, ShiftsTakeNegativeCountsTheOtherWay) {
    bool o = false;
    EXPECT_EQ(Shl(1, 14, o), 16384);
    EXPECT_EQ(Shl(-1, 15, o), kMin16);
    EXPECT_EQ(Shl(8, -2, o), 2);
    EXPECT_EQ(Shr(-1, 3, o), -1);
    EXPECT_EQ(Shr(kMin16, 20, o), -1);
    EXPECT_EQ(Shr(kMax16, 15, o), 0);
    EXPECT_EQ(Shr(0, -40, o), 0);
    EXPECT_FALSE(o);
    EXPECT_EQ(Shr(1, -15, o), kMax16);
    EXPECT_TRUE(o);
    o = false;
    EXPECT_EQ(Shl(kMin16, 1, o), kMin16);
    EXPECT_TRUE(o);

    o = false;
    EXPECT_EQ(LShl(1, 30, o), 1 << 30);
    EXPECT_EQ(LShl(-1, 31, o), kMin32);
    EXPECT_EQ(LShl(-8, -2, o), -2);
    EXPECT_EQ(LShr(kMin32, 31, o), -1);
    EXPECT_EQ(LShr(kMax32, 40, o), 0);
    EXPECT_FALSE(o);
    EXPECT_EQ(LShl(1, 31, o), kMax32);
    EXPECT_TRUE(o);
    o = false;
    EXPECT_EQ(LShr(-2, -31, o), kMin32);
    EXPECT_TRUE(o);
    EXPECT_EQ(LShrR(3, 1), 2);
    EXPECT_EQ(LShrR(-3, 1), -1);
    EXPECT_EQ(LShrR(kMax32, 32), 0);
}

TEST(G729BasicOps, RoundAddsHalfAndSaturates) {
    bool o = false;
    EXPECT_EQ(Round(0x00008000, o), 1);
    EXPECT_EQ(Round(0x00007fff, o), 0);
    EXPECT_EQ(Round(-0x8000, o), 0);
    EXPECT_EQ(Round(-0x8001, o), -1);
    EXPECT_FALSE(o);
    EXPECT_EQ(Round(kMax32, o), kMax16);
    EXPECT_TRUE(o);
}

TEST(G729BasicOps, NormalisationCounts) {
    EXPECT_EQ(NormS(0), 0);
    EXPECT_EQ(NormS(-1), 15);
    EXPECT_EQ(NormS(1), 14);
    EXPECT_EQ(NormS(kMax16), 0);
    EXPECT_EQ(NormS(kMin16), 0);
    EXPECT_EQ(NormS(-16385), 0);
    EXPECT_EQ(NormS(-16384), 1);
    EXPECT_EQ(NormL(0), 0);
    EXPECT_EQ(NormL(-1), 31);
    EXPECT_EQ(NormL(1), 30);
    EXPECT_EQ(NormL(kMax32), 0);
    EXPECT_EQ(NormL(kMin32), 0);
    EXPECT_EQ(NormL(-0x40000000), 1);
}

TEST(G729BasicOps, FractionalDivision) {
    EXPECT_EQ(DivS(1, 2), 16384);
    EXPECT_EQ(DivS(1, 3), 10922);
    EXPECT_EQ(DivS(kMax16, kMax16), kMax16);
    EXPECT_EQ(DivS(0, 5), 0);
    EXPECT_EQ(DivS(16383, 16384), 32766);
    // Against the bit-by-bit restoring division that defines the operator.
    for (int b = 1; b <= kMax16; b += 97) {
        for (int a = 1; a < b; a += 61) {
            int32_t num = a, out = 0;
            for (int i = 0; i < 15; ++i) {
                out <<= 1;
                num <<= 1;
                if (num >= b) {
                    num -= b;
                    out += 1;
                }
            }
            ASSERT_EQ(DivS(static_cast<int16_t>(a), static_cast<int16_t>(b)), out) << a << "/" << b;
        }
    }
}

TEST(G729BasicOps, DoublePrecisionRoundTrip) {
    for (int32_t x : {0, 1, -1, 0x12345678, -0x12345678, kMax32, kMin32 + 1}) {
        int16_t hi, lo;
        LExtract(x, hi, lo);
        EXPECT_GE(lo, 0);
        // The lowest bit is lost: x is held as hi * 2^16 + lo * 2.
        EXPECT_EQ(LComp(hi, lo), x & ~1) << x;
    }
    int16_t hi, lo;
    LExtract(0x40000000, hi, lo);  // 0.5
    EXPECT_EQ(Mpy32By16(hi, lo, 16384), 0x20000000);
    EXPECT_EQ(Mpy32(hi, lo, hi, lo), 0x20000000);
    LExtract(kMax32, hi, lo);
    EXPECT_EQ(Mpy32By16(hi, lo, kMin16), -kMax32 + 1);
}

TEST(G729BasicOps, LogPowerAndInverseRoot) {
    int16_t e, f;
    Log2(1, e, f);
    EXPECT_EQ(e, 0);
    EXPECT_EQ(f, 0);
    Log2(1 << 20, e, f);
    EXPECT_EQ(e, 20);
    EXPECT_EQ(f, 0);
    Log2(3 << 10, e, f);  // log2(3) = 1.585
    EXPECT_EQ(e, 11);
    EXPECT_NEAR(f, 0.585 * 32768, 20);
    Log2(0, e, f);
    EXPECT_EQ(e, 0);
    Log2(-5, e, f);
    EXPECT_EQ(f, 0);

    EXPECT_EQ(Pow2(14, 0), 16384);
    EXPECT_EQ(Pow2(30, 0), 1 << 30);
    EXPECT_NEAR(Pow2(14, 16384), 23170, 1);  // 2^14.5

    EXPECT_EQ(InvSqrt(0), 0x3fffffff);
    EXPECT_EQ(InvSqrt(-1), 0x3fffffff);
    EXPECT_NEAR(InvSqrt(1), 1 << 30, 1 << 16);
    EXPECT_NEAR(InvSqrt(4), 1 << 29, 1 << 16);
}

TEST(G729BasicOps, RoundShl3MatchesShiftThenRound) {
    for (int64_t x = kMin32; x <= kMax32; x += 4093) {
        for (int32_t d : {0, 1, -1}) {
            const int64_t v = x + d;
            if (v < kMin32 || v > kMax32) continue;
            bool o1 = false, o2 = false;
            const int16_t a = RoundShl3(static_cast<int32_t>(v), o1);
            const int16_t b = Round(LShl(static_cast<int32_t>(v), 3, o2), o2);
            ASSERT_EQ(a, b) << v;
            ASSERT_EQ(o1, o2) << v;
        }
    }
    for (int32_t x : {0x0ffff000 - 1, 0x0ffff000, 0x0fffffff, -0x10000000, -0x10000001}) {
        bool o1 = false, o2 = false;
        EXPECT_EQ(RoundShl3(x, o1), Round(LShl(x, 3, o2), o2)) << x;
        EXPECT_EQ(o1, o2) << x;
    }
}
