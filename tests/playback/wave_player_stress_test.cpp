// Drives the player's controls against running playback as fast as they come, for the
// thread and address sanitizers: nothing may race, deadlock or lose a buffer.
#include <atomic>
#include <random>

#include "platform/wave_out_null.h"
#include "playback/wave_player.h"
#include "tests/playback/audio_fixture.h"

namespace {

using enginetest::Pcm;
using enginetest::Ramp;
using enginetest::WaitFor;

class WavePlayerStressTest : public enginetest::FakeAudioTest {};

void Hammer(WavePlayer& p, std::chrono::milliseconds length, uint32_t seed) {
    std::mt19937 random(seed);
    const auto until = std::chrono::steady_clock::now() + length;
    while (std::chrono::steady_clock::now() < until) {
        switch (random() % 8) {
            case 0:
            case 1:
                p.Seek(random() % 3000);  // also past the 2.5 s of data
                break;
            case 2:
                p.Pause();
                break;
            case 3:
                p.Resume();
                break;
            case 4:
                p.Stop();
                break;
            case 5:
                p.Play();
                break;
            case 6:
                p.SetSpeed(1 + random() % 3);
                break;
            default:
                (void)p.GetPosition();
                (void)p.IsFinished();
                (void)p.GetSpeed();
                break;
        }
        std::this_thread::sleep_for(std::chrono::microseconds(random() % 3000));
    }
}

TEST_F(WavePlayerStressTest, ControlsAgainstPlaybackKeepEveryBufferAndTheData) {
    const std::string path = dir.File("stress.wav");
    testutil::WriteFile(path, testutil::Wave(Pcm(1, 8000, 16), Ramp(20000)));
    WavePlayer p(path);
    p.Play();
    std::atomic<bool> run{true};
    std::thread clock([&] {
        while (run) audio.Advance(10);
    });
    Hammer(p, std::chrono::milliseconds(1500), 7);
    run = false;
    clock.join();

    // Afterwards all four buffers still circulate and the audio is the file's.
    if (p.GetState() == Stopped) p.Play();
    p.Resume();
    p.SetSpeed(1);
    p.Seek(0);
    ASSERT_TRUE(WaitFor([&] { return audio.PendingBuffers() == 4; }));
    EXPECT_EQ(p.GetPosition(), 0u);
    EXPECT_FALSE(p.IsFinished());
    audio.ClearPlayed();
    audio.Advance(200);
    ASSERT_TRUE(WaitFor([&] { return p.GetPosition() == 200; }));
    const auto played = audio.Played();
    ASSERT_EQ(played.size(), 1600u);
    for (size_t i = 0; i < played.size(); ++i) ASSERT_EQ(played[i], static_cast<int16_t>(i + 1));
    p.Stop();
}

TEST_F(WavePlayerStressTest, ControlsAgainstTheRealTimeNullDevice) {
    NullWaveOutBackend null;
    SetWaveOutBackend(&null);
    const std::string path = dir.File("stress.wav");
    testutil::WriteFile(path,
                        testutil::Wave(Pcm(2, 48000, 16), testutil::Bytes(48000 * 4 * 2, 0x11)));
    {
        WavePlayer p(path);
        p.Play();
        Hammer(p, std::chrono::milliseconds(1500), 11);
        p.Stop();
        // Plays to the end afterwards.
        p.Play();
        p.SetSpeed(3);
        p.Seek(1500);
        EXPECT_TRUE(WaitFor([&] { return p.IsFinished(); }));
    }
    SetWaveOutBackend(&audio);
}

}  // namespace
