// The voice tools over real speech (espeak-ng) with line hiss, checked by ffmpeg's meters.
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

#include "playback/wave_exceptions.h"
#include "sound/voice_tools_file.h"
#include "tests/test_util.h"

using namespace testutil;

namespace {

constexpr uint32_t kRate = 8000;

// Runs the file at in through the tools into the WAVE file at out; returns the frames left out.
uint64_t ApplyTools(const std::string& in, const std::string& out, VoiceTools tools) {
    VoiceToolsFile message(in, tools);
    std::vector<int16_t> samples;
    EXPECT_TRUE(message.Run([&](const int16_t* f, size_t n) {
        samples.insert(samples.end(), f, f + n * message.Channels());
    }));
    WritePcmWave(out, samples, message.SampleRate(), message.Channels());
    return message.SkippedFrames();
}

// The message scaled (and clipped, for the loud ones) by gainDb.
std::vector<int16_t> Scaled(std::vector<int16_t> samples, double gainDb) {
    const double g = std::pow(10.0, gainDb / 20.0);
    for (int16_t& s : samples)
        s = static_cast<int16_t>(std::clamp(std::lround(s * g), -32768L, 32767L));
    return samples;
}

}  // namespace

TEST(VoiceTools, SkipSilenceShortensLongPausesAndKeepsEverySpokenPartWhole) {
    TempDir dir;
    // Pauses of 1-3 s to shorten, and one of 0.4 s that must stay.
    const std::vector<uint32_t> pausesMs = {1000, 400, 2000, 3000, 1500};
    const std::vector<int16_t> message = VoiceMessage(dir, pausesMs, -50.0);
    ASSERT_FALSE(message.empty()) << "espeak-ng or sox failed";
    const std::string in = dir.File("in.wav");
    const std::string out = dir.File("out.wav");
    WritePcmWave(in, message);
    const uint64_t skipped = ApplyTools(in, out, {.skipSilence = true});

    // The hiss peaks near -45 dBFS: under -35 dB is pause. The speech's own pauses (at
    // commas) are 0.2 s; those left of the long ones at least 0.24 s.
    const Pauses before = DetectPauses(in, -35, 0.22);
    const Pauses after = DetectPauses(out, -35, 0.22);
    ASSERT_EQ(before.pauses.size(), pausesMs.size());
    ASSERT_EQ(after.pauses.size(), pausesMs.size());
    ASSERT_EQ(after.sounds.size(), before.sounds.size());
    for (size_t i = 0; i < pausesMs.size(); ++i) {
        if (pausesMs[i] > 500)
            EXPECT_LE(after.pauses[i].Length(), 0.3) << "pause " << i;
        else
            EXPECT_NEAR(after.pauses[i].Length(), before.pauses[i].Length(), 0.02) << "pause " << i;
        EXPECT_NEAR(after.sounds[i].Length(), before.sounds[i].Length(), 0.02) << "sound " << i;
    }
    double expected = 0;
    for (uint32_t ms : pausesMs)
        if (ms > 500) expected += (ms - 250) / 1000.0;
    EXPECT_NEAR(double(skipped) / kRate, expected, 0.1);
    EXPECT_EQ(ReadPcm(in).samples.size() - ReadPcm(out).samples.size(), skipped);
}

TEST(VoiceTools, LevelBringsQuietAndLoudMessagesToTheTargetUnderTheCeiling) {
    TempDir dir;
    const std::vector<int16_t> speech = VoiceMessage(dir, {300, 600}, -70.0);
    ASSERT_FALSE(speech.empty()) << "espeak-ng or sox failed";
    const std::string original = dir.File("original.wav");
    WritePcmWave(original, speech);
    const double made = MeasureLoudness(original).integratedLufs;
    ASSERT_TRUE(std::isfinite(made)) << "ffmpeg failed";
    // -45 LUFS is more than the +24 dB the leveler may add: it ends at -21.
    for (const double wanted : {-45.0, -35.0, -23.0, -10.0}) {
        const std::string in = dir.File("in.wav");
        const std::string out = dir.File("out.wav");
        // Clipping keeps a loud one under what its gain alone would give: a second step
        // makes up for it.
        double gain = wanted - made;
        double before = 0;
        for (int step = 0; step < 3; ++step) {
            WritePcmWave(in, Scaled(speech, gain));
            before = MeasureLoudness(in).integratedLufs;
            gain += wanted - before;
        }
        ASSERT_NEAR(before, wanted, 0.5);
        ApplyTools(in, out, {.level = true});
        const Loudness after = MeasureLoudness(out);
        const double target = std::min(VoiceLevels::kTargetLufs, before + VoiceLevels::kMaxGainDb);
        EXPECT_NEAR(after.integratedLufs, target, 1.0) << "made at " << wanted;
        EXPECT_LE(after.truePeakDbtp, VoiceLeveler::kCeilingDbtp) << "made at " << wanted;
    }
}

TEST(VoiceTools, WithBothOffTheFramesAreTheFilesData) {
    TempDir dir;
    std::vector<int16_t> samples(12345);
    for (size_t i = 0; i < samples.size(); ++i) samples[i] = static_cast<int16_t>(i * 7919);
    const std::string in = dir.File("in.wav");
    const std::string out = dir.File("out.wav");
    WritePcmWave(in, samples, 8000, 3);  // 4115 frames
    ApplyTools(in, out, {});
    EXPECT_EQ(ReadPcm(out).samples, samples);
}

TEST(VoiceTools, TheJoinOfAShortenedPauseDoesNotClick) {
    // A pause of a low hum: cut without a fade its wave would jump.
    SilenceSkipper skipper(kRate, 1);
    skipper.SetThreshold(-40);
    const double amplitude = 32768 * std::pow(10.0, -50 / 20.0);
    std::vector<int16_t> in(3 * kRate);
    for (size_t i = 0; i < in.size(); ++i)
        in[i] = static_cast<int16_t>(
            std::lround(amplitude * std::sin(2 * std::numbers::pi * 53 * i / kRate)));
    std::vector<int16_t> out;
    skipper.Process(in.data(), in.size(), out);
    skipper.Flush(out);
    ASSERT_EQ(out.size(), size_t{kRate} * SilenceSkipper::kKeptPauseMs / 1000);
    int largestStep = 0;
    for (size_t i = 1; i < out.size(); ++i)
        largestStep = std::max(largestStep, std::abs(out[i] - out[i - 1]));
    // The hum itself moves by 2 pi 53 / 8000 of its amplitude per sample.
    EXPECT_LT(largestStep, amplitude * 0.1);
}

TEST(VoiceTools, AGainFromPartOfAMessageGlidesAtOneDecibelASecond) {
    VoiceLeveler leveler(kRate, 1);
    leveler.SetGain(-6, false);
    leveler.SetGain(0, true);
    const std::vector<int16_t> quiet(kRate / 2, 100);
    std::vector<int16_t> out;
    for (int halfSeconds = 1; halfSeconds <= 4; ++halfSeconds) {
        leveler.Process(quiet.data(), quiet.size(), out);
        EXPECT_NEAR(leveler.GainDb(), -6 + halfSeconds * 0.5, 0.02);
    }
    // Output follows: the last sample is 100 at -4 dB.
    EXPECT_NEAR(out.back(), 100 * std::pow(10.0, -4 / 20.0), 1.0);
}

TEST(VoiceTools, MoreChannelsThanTheMeterTakesAreRefused) {
    TempDir dir;
    const uint32_t channels = VoiceMeasure::kMaxChannels + 1;
    WritePcmWave(dir.File("wide.wav"), std::vector<int16_t>(channels * kRate / 10, 1000), kRate,
                 channels);
    try {
        VoiceToolsFile(dir.File("wide.wav"), {.skipSilence = false, .level = true});
        ADD_FAILURE() << "opened";
    } catch (CWaveIOException* e) {
        EXPECT_EQ(e->Message(), WaveIOErrorText(UnsupportedSoundFormat));
        delete e;
    }
}
