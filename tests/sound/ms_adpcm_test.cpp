#include "sound/ms_adpcm.h"

#include <gtest/gtest.h>

#include "tests/test_util.h"

using testutil::Bytes;
using testutil::Put16;

namespace {

// Mono block: predictor index, step, sample1, sample2, then code bytes.
Bytes MonoBlock(uint8_t predictor, int16_t step, int16_t s1, int16_t s2, size_t codeBytes,
                uint8_t code) {
    Bytes b{predictor};
    Put16(b, static_cast<uint16_t>(step));
    Put16(b, static_cast<uint16_t>(s1));
    Put16(b, static_cast<uint16_t>(s2));
    b.resize(7 + codeBytes, code);
    return b;
}

Bytes Extension(int16_t count, std::initializer_list<int16_t> values) {
    Bytes b;
    Put16(b, 32);   // extension size
    Put16(b, 500);  // samples per block
    Put16(b, static_cast<uint16_t>(count));
    for (int16_t v : values) Put16(b, static_cast<uint16_t>(v));
    return b;
}

}  // namespace

TEST(MsAdpcm, SamplesPerBlock) {
    EXPECT_EQ(MsAdpcmSamplesPerBlock(1, 256), 500u);
    EXPECT_EQ(MsAdpcmSamplesPerBlock(2, 512), 500u);
    EXPECT_EQ(MsAdpcmSamplesPerBlock(1, 1024), 2036u);
    EXPECT_EQ(MsAdpcmSamplesPerBlock(1, 6), 0u);
    EXPECT_EQ(MsAdpcmSamplesPerBlock(0, 256), 0u);
}

TEST(MsAdpcm, CoefficientTableFallsBackToTheStandardPairs) {
    const auto standard = MsAdpcmCoefficientTable({});
    ASSERT_EQ(standard.size(), 7u);
    EXPECT_EQ(standard[1].first, 512);
    EXPECT_EQ(standard[1].second, -256);
    EXPECT_EQ(standard[6].second, -232);

    const auto own = MsAdpcmCoefficientTable(Extension(2, {100, -50, 7, 8}));
    ASSERT_EQ(own.size(), 2u);
    EXPECT_EQ(own[0].first, 100);
    EXPECT_EQ(own[1].second, 8);

    // Zero, negative or more pairs than the extension holds: the standard pairs.
    EXPECT_EQ(MsAdpcmCoefficientTable(Extension(0, {})).size(), 7u);
    EXPECT_EQ(MsAdpcmCoefficientTable(Extension(-3, {1, 2})).size(), 7u);
    EXPECT_EQ(MsAdpcmCoefficientTable(Extension(3, {1, 2, 3, 4})).size(), 7u);
    EXPECT_EQ(MsAdpcmCoefficientTable(Bytes{1, 2, 3, 4, 5}).size(), 7u);
}

TEST(MsAdpcm, DecodeNibbleStepAndSignedCodes) {
    MsAdpcmChannelState state{16, 256, 0};
    // Code 8 is -8: prediction 100, sample 100 - 8 * 16; step 16 * 768 >> 8 = 48.
    EXPECT_EQ(MsAdpcmDecodeNibble(8, state, 100, 0), 100 - 128);
    EXPECT_EQ(state.step, 48);
    state = {16, 256, 0};
    EXPECT_EQ(MsAdpcmDecodeNibble(7, state, 100, 0), 100 + 7 * 16);
    // 16 * 230 >> 8 = 14, raised to 16.
    state = {16, 256, 0};
    MsAdpcmDecodeNibble(0, state, 0, 0);
    EXPECT_EQ(state.step, 16);
}

TEST(MsAdpcm, DecodeNibbleSaturatesAndNeverOverflows) {
    MsAdpcmChannelState state{32767, 32767, 32767};
    EXPECT_EQ(MsAdpcmDecodeNibble(7, state, 32767, 32767), 32767);
    state = {32767, -32768, -32768};
    EXPECT_EQ(MsAdpcmDecodeNibble(8, state, 32767, 32767), -32768);
    state = {-32768, -32768, -32768};
    const int16_t s = MsAdpcmDecodeNibble(15, state, -32768, -32768);
    EXPECT_GE(s, -32768);
}

TEST(MsAdpcm, BlockStartsWithSampleTwoThenSampleOne) {
    const Bytes block = MonoBlock(0, 16, 1000, 2000, 4, 0x00);
    std::vector<int16_t> out(11);
    std::vector<MsAdpcmChannelState> states;
    MsAdpcmBlockExpand(1, MsAdpcmCoefficientTable({}), block.data(), out.data(), 10, states);
    EXPECT_EQ(out[0], 2000);
    EXPECT_EQ(out[1], 1000);
    // Pair (256, 0) continues sample 1 with code 0: 1000 + 0.
    EXPECT_EQ(out[2], 1000);
}

TEST(MsAdpcm, PredictorIndexOutOfRangeUsesPairZero) {
    const Bytes b = MonoBlock(0, 20, 500, 400, 8, 0x17);
    std::vector<int16_t> outA(19), outB(19);
    std::vector<MsAdpcmChannelState> states;
    MsAdpcmBlockExpand(1, MsAdpcmCoefficientTable({}), b.data(), outB.data(), 18, states);
    // 7 is the first index past the seven standard pairs.
    for (uint8_t index : {7, 9}) {
        const Bytes a = MonoBlock(index, 20, 500, 400, 8, 0x17);
        MsAdpcmBlockExpand(1, MsAdpcmCoefficientTable({}), a.data(), outA.data(), 18, states);
        EXPECT_EQ(outA, outB) << int{index};
    }
}

TEST(MsAdpcm, ManyChannelsAndEmptyBlocks) {
    // Five channels: state grows with the channel count.
    const uint32_t c = 5;
    Bytes block(7 * c + 10, 0x11);
    const uint32_t n = MsAdpcmSamplesPerBlock(c, static_cast<uint32_t>(block.size()));
    std::vector<int16_t> out(2 * n * c);
    std::vector<MsAdpcmChannelState> states;
    MsAdpcmBlockExpand(c, MsAdpcmCoefficientTable({}), block.data(), out.data(), n, states);
    EXPECT_EQ(states.size(), c);

    int16_t untouched[2] = {7, 7};
    MsAdpcmBlockExpand(1, MsAdpcmCoefficientTable({}), block.data(), untouched, 0, states);
    EXPECT_EQ(untouched[0], 7);
}
