#include "sound/ima_adpcm.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

// A mono block with the given header and every code byte set to codes.
std::vector<uint8_t> MonoBlock(int16_t first, uint8_t index, size_t size, uint8_t codes) {
    std::vector<uint8_t> b(size, codes);
    b[0] = static_cast<uint8_t>(first);
    b[1] = static_cast<uint8_t>(static_cast<uint16_t>(first) >> 8);
    b[2] = index;
    b[3] = 0;
    return b;
}

}  // namespace

TEST(ImaAdpcm, SamplesPerBlock) {
    EXPECT_EQ(ImaSamplesPerBlock(1, 256), 505u);
    EXPECT_EQ(ImaSamplesPerBlock(2, 512), 505u);
    EXPECT_EQ(ImaSamplesPerBlock(1, 100), 193u);
    EXPECT_EQ(ImaSamplesPerBlock(1, 3), 0u);
    EXPECT_EQ(ImaSamplesPerBlock(1, 4), 1u);
    EXPECT_EQ(ImaSamplesPerBlock(0, 256), 0u);  // no division by zero
    EXPECT_EQ(ImaSamplesPerBlock(65535, 65535), 0u);
}

TEST(ImaAdpcm, HeaderSampleAndStepIndexLimits) {
    std::vector<int16_t> out(1);
    ImaBlockExpand(1, MonoBlock(-32768, 0, 4, 0).data(), out.data(), 1);
    EXPECT_EQ(out[0], -32768);
    ImaBlockExpand(1, MonoBlock(32767, 0, 4, 0).data(), out.data(), 1);
    EXPECT_EQ(out[0], 32767);

    // A step index of 89 or more decodes exactly as index 0.
    std::vector<int16_t> a(9), b(9);
    ImaBlockExpand(1, MonoBlock(100, 89, 8, 0x3C).data(), a.data(), 9);
    ImaBlockExpand(1, MonoBlock(100, 0, 8, 0x3C).data(), b.data(), 9);
    EXPECT_EQ(a, b);
    ImaBlockExpand(1, MonoBlock(100, 255, 8, 0x3C).data(), a.data(), 9);
    EXPECT_EQ(a, b);
}

TEST(ImaAdpcm, LowNibbleFirstAndShiftedSumDifference) {
    // Byte 0x71 from index 0 (step 7): code 1 first: d = 7>>3 + 7>>2 = 0 + 1 = 1 -> 101;
    // index stays 0 (-1 limited). Then code 7: d = 0 + 7 + 3 + 1 = 11 -> 112.
    std::vector<uint8_t> block = MonoBlock(100, 0, 8, 0);
    block[4] = 0x71;
    std::vector<int16_t> out(9);
    ImaBlockExpand(1, block.data(), out.data(), 9);
    EXPECT_EQ(out[0], 100);
    EXPECT_EQ(out[1], 101);
    EXPECT_EQ(out[2], 112);
}

TEST(ImaAdpcm, SaturatesAtBothEnds) {
    std::vector<int16_t> out(505);
    ImaBlockExpand(1, MonoBlock(32000, 40, 256, 0x77).data(), out.data(), 505);
    EXPECT_EQ(out[504], 32767);
    for (int16_t s : out) EXPECT_GE(s, 32000);
    ImaBlockExpand(1, MonoBlock(-32000, 40, 256, 0xFF).data(), out.data(), 505);
    EXPECT_EQ(out[504], -32768);
}

TEST(ImaAdpcm, StereoGroupsInterleave) {
    // Channel 0 codes all 0x11 (rising), channel 1 codes all 0x99 (falling).
    std::vector<uint8_t> block(8 + 16);
    block[0] = 0;
    block[1] = 0;
    block[2] = 10;
    block[4] = 0;
    block[5] = 0;
    block[6] = 10;
    for (int g = 0; g < 2; ++g) {
        for (int i = 0; i < 4; ++i) {
            block[8 + g * 8 + i] = 0x11;
            block[8 + g * 8 + 4 + i] = 0x99;
        }
    }
    std::vector<int16_t> out(17 * 2);
    ImaBlockExpand(2, block.data(), out.data(), 17);
    for (int i = 1; i < 17; ++i) {
        EXPECT_GT(out[i * 2], out[(i - 1) * 2]) << i;
        EXPECT_LT(out[i * 2 + 1], out[(i - 1) * 2 + 1]) << i;
    }
}

TEST(ImaAdpcm, ZeroSamplesTouchNothing) {
    int16_t out[2] = {123, 456};
    const uint8_t block[3] = {1, 2, 3};
    ImaBlockExpand(1, block, out, 0);
    EXPECT_EQ(out[0], 123);
    EXPECT_EQ(out[1], 456);
}
