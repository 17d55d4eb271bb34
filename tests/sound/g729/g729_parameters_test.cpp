// Frame unpacking and the pitch parity check.
#include "sound/g729/g729_parameters.h"

#include <gtest/gtest.h>

#include "tests/sound/g729/g729_test_frames.h"

TEST(G729Parameters, ParityFlagFollowsTheSixHighBitsOfP1) {
    EXPECT_EQ(G729PitchParityError(0, 1), 0);
    EXPECT_EQ(G729PitchParityError(0, 0), 1);
    EXPECT_EQ(G729PitchParityError(4, 0), 0);  // one high bit set
    EXPECT_EQ(G729PitchParityError(4, 1), 1);
    EXPECT_EQ(G729PitchParityError(3, 1), 0);    // the two low bits do not count
    EXPECT_EQ(G729PitchParityError(255, 1), 0);  // six ones: even, so P0 must be 1
    EXPECT_EQ(G729PitchParityError(255, 0), 1);
    EXPECT_EQ(G729PitchParityError(0x80, 0), 0);
}

TEST(G729Parameters, UnpacksMostSignificantBitFirstInFrameOrder) {
    const uint16_t values[11] = {0xA5, 0x3C7, 0x81, 1, 0x1ABC, 0x9, 0x55, 0x13, 0x0F0F, 0x6, 0x2A};
    const g729test::Frame f =
        g729test::Pack({values[0], values[1], values[2], values[3], values[4], values[5], values[6],
                        values[7], values[8], values[9], values[10]});
    const G729Parameters p = UnpackG729Frame(f.data());
    for (int i = 0; i < 11; ++i) {
        if (i == 3) continue;
        EXPECT_EQ(p.values[i], values[i]) << "value " << i;
    }
    EXPECT_EQ(p.values[3], G729PitchParityError(0x81, 1));
    EXPECT_EQ(f[0], 0xA5);  // L0L1 is the whole first byte
}

TEST(G729Parameters, ZeroFrameIsAllZeroWithAParityError) {
    const uint8_t zeros[kG729FrameBytes] = {};
    const G729Parameters p = UnpackG729Frame(zeros);
    for (int i = 0; i < 11; ++i) EXPECT_EQ(p.values[i], i == 3 ? 1 : 0) << "value " << i;
}

TEST(G729Parameters, AllOnesFrameFillsEveryField) {
    uint8_t ones[kG729FrameBytes];
    std::fill(ones, ones + kG729FrameBytes, 0xFF);
    const G729Parameters p = UnpackG729Frame(ones);
    const uint16_t expected[11] = {255, 1023, 255, 0, 8191, 15, 127, 31, 8191, 15, 127};
    for (int i = 0; i < 11; ++i) EXPECT_EQ(p.values[i], expected[i]) << "value " << i;
}
