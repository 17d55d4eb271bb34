#include "playback/waveform_overview.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <vector>

#include "tests/playback/audio_fixture.h"
#include "tests/test_util.h"

namespace {

using enginetest::Pcm;
using testutil::Bytes;

class WaveformOverviewTest : public ::testing::Test {
  protected:
    std::string Write(const Bytes& file) {
        const std::string path = dir.File("cvtemp.wav");
        testutil::WriteFile(path, file);
        return path;
    }
    WaveformOverview Overview(const Bytes& file, size_t buckets) {
        return ComputeWaveformOverview(Write(file), nullptr, buckets);
    }

    testutil::TempDir dir;
};

Bytes Samples16(const std::vector<int16_t>& samples) {
    Bytes b;
    for (int16_t s : samples) testutil::Put16(b, static_cast<uint16_t>(s));
    return b;
}

TEST_F(WaveformOverviewTest, EachBucketHoldsTheExtremesOfItsFramesOverAllChannels) {
    // Stereo, 5 frames in 2 buckets: frames [0, 2) and [2, 5). The left channel's peak and
    // the right channel's trough land in one bucket each.
    const Bytes data = Samples16({10, -20, 30, 5, -7, 0, 1, 2, -300, 250});
    const WaveformOverview o = Overview(testutil::Wave(Pcm(2, 8000, 16), data), 2);
    EXPECT_EQ(o.low, (std::vector<int16_t>{-20, -300}));
    EXPECT_EQ(o.high, (std::vector<int16_t>{30, 250}));

    // 8-bit samples are unsigned around 128: 0 is the lowest, 255 the highest.
    const WaveformOverview eight = Overview(testutil::Wave(Pcm(1, 8000, 8), {128, 0, 255, 129}), 2);
    EXPECT_EQ(eight.low, (std::vector<int16_t>{-32768, 256}));
    EXPECT_EQ(eight.high, (std::vector<int16_t>{0, 32512}));

    // Fewer frames than buckets: one bucket per frame.
    EXPECT_EQ(Overview(testutil::Wave(Pcm(1, 8000, 16), Samples16({4, 5, 6})), 4096).Buckets(), 3u);
}

TEST_F(WaveformOverviewTest, StopsAtTheDataEnd) {
    // Neither the half frame at the end of the data (it would read as 127) nor the chunk
    // after it (loud bytes) is sound.
    Bytes data = Samples16({1, -2, 3, -4});
    data.push_back(0x7F);
    Bytes file = testutil::Wave(Pcm(1, 8000, 16), data);
    file.push_back(0);  // the pad byte after the odd-sized data
    testutil::PutTag(file, "LIST");
    testutil::Put32(file, 4);
    testutil::Put32(file, 0x7FFF7FFF);
    const WaveformOverview o = Overview(file, 1);
    EXPECT_EQ(o.low, (std::vector<int16_t>{-4}));
    EXPECT_EQ(o.high, (std::vector<int16_t>{3}));
}

TEST_F(WaveformOverviewTest, MatchesAPlainScanAcrossManyReads) {
    // 3 channels of 400001 frames (2.4 MB, several reads whose ends fall inside buckets and
    // inside frames' bucket runs) in 7 unequal buckets.
    constexpr size_t kFrames = 400001, kChannels = 3, kBuckets = 7;
    std::vector<int16_t> samples(kFrames * kChannels);
    uint32_t seed = 12345;
    for (int16_t& s : samples) {
        seed = seed * 1103515245u + 12345u;
        s = static_cast<int16_t>(seed >> 16);
    }
    const WaveformOverview o =
        Overview(testutil::Wave(Pcm(kChannels, 8000, 16), Samples16(samples)), kBuckets);
    ASSERT_EQ(o.Buckets(), kBuckets);
    for (size_t b = 0; b < kBuckets; ++b) {
        const auto first = samples.begin() + static_cast<long>(b * kFrames / kBuckets * kChannels);
        const auto last =
            samples.begin() + static_cast<long>((b + 1) * kFrames / kBuckets * kChannels);
        const auto [low, high] = std::minmax_element(first, last);
        EXPECT_EQ(o.low[b], *low) << b;
        EXPECT_EQ(o.high[b], *high) << b;
    }
}

TEST_F(WaveformOverviewTest, AnythingButWholeFramesOfPcmGivesAnEmptyOverview) {
    EXPECT_TRUE(Overview(testutil::Wave(Pcm(1, 8000, 16), {}), 16).Empty());      // no data
    EXPECT_TRUE(Overview(testutil::Wave(Pcm(2, 8000, 16), {1, 2}), 16).Empty());  // half a frame
    EXPECT_TRUE(Overview(testutil::Wave(Pcm(1, 8000, 24), {1, 2, 3}), 16).Empty());
    EXPECT_TRUE(Overview(testutil::Wave(Pcm(0, 8000, 16), {1, 2}), 16).Empty());
    testutil::Format alaw = Pcm(1, 8000, 8);
    alaw.formatTag = FormatTag::ALaw;
    EXPECT_TRUE(Overview(testutil::Wave(alaw, {1, 2}), 16).Empty());
    EXPECT_TRUE(Overview(Bytes(30, 0x55), 16).Empty());  // no header
    EXPECT_TRUE(ComputeWaveformOverview(dir.File("missing.wav")).Empty());

    const std::atomic<bool> cancelled{true};
    const std::string path = Write(testutil::Wave(Pcm(1, 8000, 16), Samples16({1, 2})));
    EXPECT_TRUE(ComputeWaveformOverview(path, &cancelled).Empty());
}

}  // namespace
