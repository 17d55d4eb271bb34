// The converter's G.729 routine: framing, header and repeatability.
#include <gtest/gtest.h>

#include <string>

#include "sound/wave_converter.h"
#include "tests/test_util.h"

namespace {

testutil::Format G729Format(uint16_t channels = 1, uint32_t sampleRate = 8000) {
    testutil::Format f;
    f.formatTag = FormatTag::G729;
    f.channels = channels;
    f.sampleRate = sampleRate;
    f.byteRate = 1000;
    f.blockAlign = 10;
    f.bitsPerSample = 0;
    f.extra = {0, 0};
    return f;
}

testutil::PcmFile Convert(const testutil::TempDir& dir, const testutil::Bytes& wave,
                          const std::string& name = "out.wav") {
    const std::string in = dir.File("in.wav");
    testutil::WriteFile(in, wave);
    {
        WaveConverter converter(in, dir.File(name));
        converter.Convert();
    }
    return testutil::ReadPcm(dir.File(name));
}

testutil::Bytes Vector(const std::string& name) {
    return testutil::ReadFile(std::string(CORVANE_TEST_DATA) + "/g729/" + name);
}

}  // namespace

TEST(WaveConverterG729, PartialTrailingFrameIsDropped) {
    testutil::TempDir dir;
    testutil::Bytes data(29);
    for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<uint8_t>(i * 37 + 5);
    const testutil::PcmFile whole =
        Convert(dir, testutil::Wave(G729Format(), testutil::Bytes(data.begin(), data.begin() + 20)),
                "whole.wav");
    for (size_t size : {21u, 25u, 29u}) {
        const testutil::PcmFile pcm = Convert(
            dir, testutil::Wave(G729Format(), testutil::Bytes(data.begin(), data.begin() + size)));
        EXPECT_EQ(pcm.samples, whole.samples) << size;
        EXPECT_EQ(pcm.dataSize, 320u);
        EXPECT_EQ(pcm.riffSize, 36u + 320u);
    }
    EXPECT_EQ(whole.samples.size(), 160u);
}

TEST(WaveConverterG729, EmptyDataGivesAHeaderOnly) {
    testutil::TempDir dir;
    const testutil::PcmFile pcm = Convert(dir, testutil::Wave(G729Format(), {}));
    EXPECT_TRUE(pcm.samples.empty());
    EXPECT_EQ(pcm.dataSize, 0u);
    EXPECT_EQ(pcm.formatTag, FormatTag::Pcm);
    EXPECT_EQ(pcm.bitsPerSample, 16);
}

TEST(WaveConverterG729, ChannelsAndRatePassThrough) {
    testutil::TempDir dir;
    const testutil::PcmFile pcm =
        Convert(dir, testutil::Wave(G729Format(2, 11025), testutil::Bytes(30, 0x5A)));
    EXPECT_EQ(pcm.channels, 2);
    EXPECT_EQ(pcm.sampleRate, 11025u);
    EXPECT_EQ(pcm.blockAlign, 4);
    EXPECT_EQ(pcm.byteRate, 44100u);
    EXPECT_EQ(pcm.samples.size(), 240u);
}

TEST(WaveConverterG729, SecondConversionOfAFileIsIdentical) {
    // Decoding another file in between must not leak state into the repeat.
    testutil::TempDir dir;
    const std::string in = dir.File("speech.wav");
    testutil::WriteFile(in, Vector("pitch.wav"));
    const std::string other = dir.File("other.wav");
    testutil::WriteFile(other, Vector("test.wav"));
    for (const char* out : {"a.wav", "b.wav"}) {
        WaveConverter(in, dir.File(out)).Convert();
        WaveConverter(other, dir.File("c.wav")).Convert();
    }
    EXPECT_EQ(testutil::ReadFile(dir.File("a.wav")), testutil::ReadFile(dir.File("b.wav")));
}
