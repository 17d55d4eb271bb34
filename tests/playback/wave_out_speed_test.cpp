// Faster rates on the real-time null device: the data is used up 2 or 3 times sooner.
#include "platform/wave_out_null.h"
#include "playback/wave_player.h"
#include "tests/playback/audio_fixture.h"

namespace {

using enginetest::Pcm;
using enginetest::WaitFor;

class NullDeviceSpeedTest : public ::testing::Test {
  protected:
    void SetUp() override { previous_ = SetWaveOutBackend(&null_); }
    void TearDown() override { SetWaveOutBackend(previous_); }

    // Wall time in ms from Play to the end of 1200 ms of audio at the given rate.
    double PlayTimeMs(uint32_t rate) {
        testutil::Bytes data;
        for (int16_t s : enginetest::Tone(300, 8000, 9600))
            testutil::Put16(data, static_cast<uint16_t>(s));
        const std::string path = dir_.File("tone.wav");
        testutil::WriteFile(path, testutil::Wave(Pcm(1, 8000, 16), data));
        WavePlayer p(path);
        const auto start = std::chrono::steady_clock::now();
        p.Play();
        p.SetSpeed(rate);
        EXPECT_TRUE(WaitFor([&] { return p.IsFinished(); }));
        return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
            .count();
    }

  private:
    NullWaveOutBackend null_;
    WaveOutBackend* previous_ = nullptr;
    testutil::TempDir dir_;
};

// Lower bounds are firm (the device is paced in real time). The upper bound only tells a
// faster rate from 1x (1200 ms) and leaves a loaded or sanitised run plenty of room; the
// exact ratios are checked on the output's length elsewhere.
TEST_F(NullDeviceSpeedTest, RateTwoPlaysTwiceAsFast) {
    const double ms = PlayTimeMs(2);
    EXPECT_GT(ms, 550);
    EXPECT_LT(ms, 1150);
}

TEST_F(NullDeviceSpeedTest, RateThreePlaysThreeTimesAsFast) {
    const double ms = PlayTimeMs(3);
    EXPECT_GT(ms, 350);
    EXPECT_LT(ms, 1150);
}

}  // namespace
