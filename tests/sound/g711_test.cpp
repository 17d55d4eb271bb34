#include "sound/g711.h"

#include <gtest/gtest.h>

TEST(G711, ALawKnownValues) {
    const uint8_t in[] = {0xD5, 0x55, 0xAA, 0x2A, 0x80};
    int16_t out[5];
    ALawToLinear(in, out, 5);
    EXPECT_EQ(out[0], 8);
    EXPECT_EQ(out[1], -8);
    EXPECT_EQ(out[2], 32256);
    EXPECT_EQ(out[3], -32256);
    EXPECT_EQ(out[4], 5504);
}

TEST(G711, MuLawKnownValues) {
    const uint8_t in[] = {0xFF, 0x7F, 0x80, 0x00, 0xD5};
    int16_t out[5];
    MuLawToLinear(in, out, 5);
    EXPECT_EQ(out[0], 0);
    EXPECT_EQ(out[1], 0);
    EXPECT_EQ(out[2], 32124);
    EXPECT_EQ(out[3], -32124);
    EXPECT_EQ(out[4], 716);
}

TEST(G711, EveryCodeIsSymmetricAndWithinRange) {
    uint8_t in[256];
    for (int i = 0; i < 256; ++i) in[i] = static_cast<uint8_t>(i);
    int16_t a[256], u[256];
    ALawToLinear(in, a, 256);
    MuLawToLinear(in, u, 256);
    for (int i = 0; i < 128; ++i) {
        // Bit 7 is the sign in both laws.
        EXPECT_EQ(a[i], -a[i | 0x80]) << i;
        EXPECT_EQ(u[i], -u[i | 0x80]) << i;
        EXPECT_GE(std::abs(a[i]), 8);
        EXPECT_LE(std::abs(a[i]), 32256);
        EXPECT_LE(std::abs(u[i]), 32124);
    }
}
