#include "sound/oki_adpcm.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <vector>

TEST(OkiAdpcm, OpenAcceptsOnlyTheTwoRates) {
    OkiAdpcmDecoder d;
    EXPECT_TRUE(d.Open(32000));
    EXPECT_TRUE(d.Open(24000));
    EXPECT_FALSE(d.Open(64000));
    EXPECT_FALSE(d.Open(0));
    // 2^32 + 32000 must not pass for 32000.
    EXPECT_FALSE(d.Open((int64_t{1} << 32) + 32000));
    const uint8_t byte = 0x80;
    int16_t out[4];
    EXPECT_EQ(d.Decode(&byte, out, 1), 0u);  // no state after a failed open
}

TEST(OkiAdpcm, FreshStateDecodesByteHighNibbleFirst) {
    OkiAdpcmDecoder d;
    ASSERT_TRUE(d.Open(32000));
    const uint8_t byte = 0x80;
    int16_t out[2];
    ASSERT_EQ(d.Decode(&byte, out, 1), 2u);
    EXPECT_EQ(out[0], -32);  // code 8: d = 16 >> 3 = 2, negative; x16
    EXPECT_EQ(out[1], 0);    // code 0 from -2: +2
}

TEST(OkiAdpcm, SampleAndStepIndexStayInRange) {
    OkiAdpcmState s{};
    for (int i = 0; i < 200; ++i) OkiDecodeNibble(s, 7);
    EXPECT_EQ(s.lastSample, 2047);
    EXPECT_EQ(s.stepIndex, 48);
    for (int i = 0; i < 400; ++i) OkiDecodeNibble(s, 15);
    EXPECT_EQ(s.lastSample, -2048);
    s = OkiAdpcmState{};
    for (int i = 0; i < 50; ++i) OkiDecodeNibble(s, 0);
    EXPECT_EQ(s.stepIndex, 0);

    OkiAdpcmDecoder d;
    ASSERT_TRUE(d.Open(32000));
    std::vector<uint8_t> sevens(100, 0x77);
    std::vector<int16_t> out(200);
    d.Decode(sevens.data(), out.data(), sevens.size());
    EXPECT_EQ(out.back(), 32752);
}

TEST(OkiAdpcm, StepTableEntry47Is1408) {
    // Walk the index to 47 with code 4 (+2) from 0 ... 46, then one code 0 step: the
    // difference of code 0 at index 47 is 1408 >> 3 = 176.
    OkiAdpcmState s{};
    s.stepIndex = 47;
    s.lastSample = 0;
    EXPECT_EQ(OkiDecodeNibble(s, 0), 176);
}

TEST(OkiAdpcm, TwentyFourKbitResamplesThreeCodesToFourSamples) {
    OkiAdpcmDecoder d;
    ASSERT_TRUE(d.Open(24000));
    // 3 bytes = 6 codes. The first output is phase 0 from an empty history: 0. Then per
    // cycle of 4 outputs, 3 codes: 6 codes -> 1 + 8 outputs; the loop stops when the byte
    // position reaches the end right after a code.
    const uint8_t in[3] = {0x17, 0x71, 0x44};
    int16_t out[16];
    const size_t n = d.Decode(in, out, 3);
    EXPECT_EQ(n, 8u);
    EXPECT_EQ(out[0], 0);

    // Pieces join without a seam: one call over 300 bytes equals 3 calls over 100.
    std::vector<uint8_t> data(300);
    for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<uint8_t>(i * 37 + 11);
    OkiAdpcmDecoder whole, pieces;
    ASSERT_TRUE(whole.Open(24000));
    ASSERT_TRUE(pieces.Open(24000));
    std::vector<int16_t> a(1000), b(1000);
    const size_t na = whole.Decode(data.data(), a.data(), 300);
    size_t nb = 0;
    for (int k = 0; k < 3; ++k) nb += pieces.Decode(data.data() + 100 * k, b.data() + nb, 100);
    ASSERT_EQ(na, nb);
    a.resize(na);
    b.resize(nb);
    EXPECT_EQ(a, b);
    // 600 codes give 800 outputs plus the initial phase-0 one, less the phase-0 output that
    // is still due when the data ends.
    EXPECT_EQ(na, 800u);
}

TEST(OkiAdpcm, TwentyFourKbitRandomCodesMatchTheRecordedDigest) {
    // Stretches of any code (the step index climbs and the samples swing between the
    // limits, so some filter outputs pass 16 bits) alternate with stretches whose codes lack
    // bit 2 (the index falls back to small steps). Pieces of random length start the calls
    // in every phase. The digest was taken from the plain product-by-product filter, so any
    // change in the order or precision of the sums shows here.
    std::mt19937 rng(20261207);
    std::vector<uint8_t> data(40000);
    for (size_t i = 0; i < data.size(); i += 64) {
        const uint8_t mask = (rng() & 1) ? 0xFF : 0xBB;
        for (size_t j = i; j < i + 64; ++j) data[j] = static_cast<uint8_t>(rng()) & mask;
    }
    OkiAdpcmDecoder d;
    ASSERT_TRUE(d.Open(24000));
    std::vector<int16_t> out(3 * 1500);
    uint64_t hash = 1469598103934665603ull;  // FNV-1a over the samples
    size_t total = 0;
    for (size_t at = 0; at < data.size();) {
        const size_t n = std::min<size_t>(1 + rng() % 1500, data.size() - at);
        const size_t k = d.Decode(data.data() + at, out.data(), n);
        for (size_t i = 0; i < k; ++i)
            hash = (hash ^ static_cast<uint16_t>(out[i])) * 1099511628211ull;
        total += k;
        at += n;
    }
    EXPECT_EQ(total, 106667u);  // 80000 codes, and a phase-0 output before each three
    EXPECT_EQ(hash, 0xc9960549d2091d7eull);
}
