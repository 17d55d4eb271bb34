#include <gsm.h>

#include <cmath>

#include "tests/sound/converter_fixture.h"

using namespace testutil;

namespace {

Format GsmWave() {
    Format f;
    f.formatTag = FormatTag::Gsm610;
    f.channels = 1;
    f.sampleRate = 8000;
    f.byteRate = 1625;
    f.blockAlign = 65;
    f.bitsPerSample = 0;
    f.extra = {2, 0, 64, 1};  // extension size 2, 320 samples per block
    return f;
}

// n frames of a 300 Hz tone encoded by libgsm; with wav49 as 65-byte blocks.
Bytes EncodeTone(size_t frames, bool wav49, std::vector<int16_t>* tone = nullptr) {
    gsm g = gsm_create();
    int on = 1;
    if (wav49) gsm_option(g, GSM_OPT_WAV49, &on);
    Bytes out;
    std::vector<int16_t> all;
    for (size_t f = 0; f < frames; ++f) {
        gsm_signal pcm[160];
        for (int i = 0; i < 160; ++i) {
            pcm[i] = static_cast<gsm_signal>(
                8000 * std::sin(2 * M_PI * 300 * static_cast<double>(f * 160 + i) / 8000));
            all.push_back(pcm[i]);
        }
        gsm_byte frame[33];
        gsm_encode(g, pcm, frame);
        // The WAV49 encoder writes the first half of a block as 32 bytes, keeping 4 bits
        // back, and the second half as 33 bytes starting with them.
        out.insert(out.end(), frame, frame + ((wav49 && f % 2 == 0) ? 32 : 33));
    }
    gsm_destroy(g);
    if (tone) *tone = all;
    return out;
}

double Correlation(const std::vector<int16_t>& a, const std::vector<int16_t>& b, size_t from) {
    double ab = 0, aa = 0, bb = 0;
    for (size_t i = from; i < std::min(a.size(), b.size()); ++i) {
        ab += a[i] * b[i];
        aa += a[i] * a[i];
        bb += b[i] * b[i];
    }
    return ab / std::sqrt(aa * bb);
}

}  // namespace

TEST(Gsm, InstalledLibraryHasWav49Support) {
    gsm g = gsm_create();
    int on = 1;
    // A build without WAV49 answers -1 and would decode WAVE GSM as noise.
    EXPECT_GE(gsm_option(g, GSM_OPT_WAV49, &on), 0);
    gsm_destroy(g);
}

TEST_F(ConversionTest, GsmWaveBlocksDecodeToTheSignal) {
    std::vector<int16_t> tone;
    const Bytes data = EncodeTone(20, true, &tone);
    ASSERT_EQ(data.size(), 65u * 10);
    ASSERT_EQ(Convert(Wave(GsmWave(), data)), "");
    const PcmFile p = Output();
    ASSERT_EQ(p.samples.size(), 3200u);
    EXPECT_GT(Correlation(p.samples, tone, 320), 0.9);
}

TEST_F(ConversionTest, GsmWavePartialBlocks) {
    Bytes data = EncodeTone(4, true);
    data.resize(65 + 33 + 20);  // whole block, whole first half, partial second half
    ASSERT_EQ(Convert(Wave(GsmWave(), data)), "");
    EXPECT_EQ(Output().samples.size(), 3u * 160);
    data.resize(65 + 32);  // whole block, partial first half
    ASSERT_EQ(Convert(Wave(GsmWave(), data)), "");
    EXPECT_EQ(Output().samples.size(), 2u * 160);
    // 33 + 32 + 20: two frames.
    data.resize(33 + 32 + 20);
    ASSERT_EQ(Convert(Wave(GsmWave(), data)), "");
    EXPECT_EQ(Output().samples.size(), 320u);
}

TEST_F(ConversionTest, GsmOutputHeaderIsAlwaysMonoEightKilohertz) {
    Format f = GsmWave();
    f.channels = 2;
    f.sampleRate = 44100;
    ASSERT_EQ(Convert(Wave(f, {})), "");
    const PcmFile p = Output();
    EXPECT_EQ(p.samples.size(), 0u);
    EXPECT_EQ(p.dataSize, 0u);
    EXPECT_EQ(p.channels, 1);
    EXPECT_EQ(p.sampleRate, 8000u);
    EXPECT_EQ(p.byteRate, 16000u);
    EXPECT_EQ(p.blockAlign, 2);
}

TEST_F(ConversionTest, RawGsmFramesAndTheirSignature) {
    std::vector<int16_t> tone;
    Bytes raw = EncodeTone(10, false, &tone);
    ASSERT_EQ(Convert(raw, "message.GSM"), "");  // any letter case
    const PcmFile whole = Output();
    ASSERT_EQ(whole.samples.size(), 1600u);
    EXPECT_GT(Correlation(whole.samples, tone, 320), 0.9);

    // Trailing bytes short of a frame change nothing.
    raw.resize(raw.size() + 17, 0xAB);
    ASSERT_EQ(Convert(raw, "b.gsm"), "");
    EXPECT_EQ(Output().samples, whole.samples);

    // A frame without the 0xD signature decodes as if it had it.
    raw.resize(33 * 10);
    for (size_t f = 0; f < 10; ++f) raw[f * 33] = static_cast<uint8_t>(raw[f * 33] & 0x0F);
    ASSERT_EQ(Convert(raw, "c.gsm"), "");
    EXPECT_EQ(Output().samples, whole.samples);

    ASSERT_EQ(Convert({}, "empty.gsm"), "");
    EXPECT_EQ(OutputSize(), 44u);
}

TEST_F(ConversionTest, WaveNamedGsmIsReadAsRawFramesHeaderIncluded) {
    const Bytes file = Wave(GsmWave(), EncodeTone(2, true));
    ASSERT_EQ(Convert(file, "disguised.gsm"), "");
    EXPECT_EQ(Output().samples.size(), (file.size() / 33) * 160);
}

TEST_F(ConversionTest, ConvertingTwiceGivesIdenticalOutput) {
    const Bytes file = Wave(GsmWave(), EncodeTone(8, true));
    ASSERT_EQ(Convert(file), "");
    const Bytes first = ReadFile(Out());
    ASSERT_EQ(Convert(file), "");
    EXPECT_EQ(ReadFile(Out()), first);
}
