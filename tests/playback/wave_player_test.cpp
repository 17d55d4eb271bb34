#include "playback/wave_player.h"

#include <memory>
#include <mutex>
#include <numeric>
#include <thread>
#include <utility>

#include "playback/wave_exceptions.h"
#include "tests/playback/audio_fixture.h"

struct WavePlayerSections {
    static std::mutex& Free(WavePlayer& p) { return p.freeQueue.section; }
    static std::mutex& Filled(WavePlayer& p) { return p.filledQueue.section; }
};

namespace {

using enginetest::Pcm;
using enginetest::Ramp;
using enginetest::WaitFor;
using testutil::Bytes;

// 8000 Hz mono 16-bit: 16 bytes per ms, 3200-byte (1600-frame) buffers.
constexpr size_t kFramesPerBuffer = 1600;

class WavePlayerTest : public enginetest::FakeAudioTest {
  protected:
    WavePlayer& Open(const testutil::Format& format, const Bytes& data) {
        const std::string path = dir.File("play.wav");
        testutil::WriteFile(path, testutil::Wave(format, data));
        player = std::make_unique<WavePlayer>(path);
        return *player;
    }
    WavePlayer& OpenRamp(size_t frames) { return Open(Pcm(1, 8000, 16), Ramp(frames)); }

    // Plays ms of audio once the device holds all four buffers.
    void PlayFull(uint32_t ms) {
        ASSERT_TRUE(WaitFor([&] { return audio.PendingBuffers() == 4; }));
        audio.Advance(ms);
    }
    bool PositionReaches(uint32_t ms) {
        return WaitFor([&] { return player->GetPosition() == ms; });
    }
    // The first sample played since the last ClearPlayed; ramp samples name frame + 1.
    int16_t FirstPlayed() {
        const auto played = audio.Played();
        return played.empty() ? int16_t{0} : played.front();
    }

    // Seeks on another thread while this one holds freeQueue's section and then takes
    // filledQueue's, as the reader does. A seek that took them the other way round would hold
    // filledQueue's while it waits for freeQueue's, and neither thread could go on: this one
    // gives up after a while and lets the seek finish.
    void SeekAgainstTheReader(WavePlayer& p, uint32_t ms) {
        std::unique_lock freeSection(WavePlayerSections::Free(p));
        std::thread seek([&] { p.Seek(ms); });
        std::this_thread::sleep_for(std::chrono::milliseconds(200));  // Seek waits for a section
        std::unique_lock filledSection(WavePlayerSections::Filled(p), std::defer_lock);
        EXPECT_TRUE(WaitFor([&] { return filledSection.try_lock(); }))
            << "Seek holds filledQueue's section while it waits for freeQueue's";
        if (filledSection) filledSection.unlock();
        freeSection.unlock();
        seek.join();
    }

    std::unique_ptr<WavePlayer> player;
};

// The text of the CWaveIOException that work throws; empty when it throws nothing.
template <typename Work>
std::string ErrorText(Work&& work) {
    const ExceptionPtr error = CatchException(std::forward<Work>(work));
    if (!error) return "";
    EXPECT_NE(dynamic_cast<CWaveIOException*>(error.get()), nullptr);
    return error->Message();
}

std::string ConstructionError(const std::string& path) {
    return ErrorText([&] { WavePlayer p(path); });
}

TEST_F(WavePlayerTest, ConstructionRefusesMissingUnreadableAndUnplayableFiles) {
    EXPECT_EQ(ConstructionError(dir.File("missing.wav")), "Cannot open file.");
    EXPECT_EQ(ConstructionError(dir.path().string()), "Cannot open file.");  // a directory

    testutil::WriteFile(dir.File("junk.wav"), Bytes(100, 'x'));
    EXPECT_EQ(ConstructionError(dir.File("junk.wav")), "Cannot read wav header.");

    auto unsupported = [&](testutil::Format f) {
        testutil::WriteFile(dir.File("f.wav"), testutil::Wave(f, Ramp(100)));
        return ConstructionError(dir.File("f.wav"));
    };
    testutil::Format alaw = Pcm(1, 8000, 8);
    alaw.formatTag = FormatTag::ALaw;
    EXPECT_EQ(unsupported(alaw), "Unsupported sound format.");
    EXPECT_EQ(unsupported(Pcm(1, 8000, 4)), "Unsupported sound format.");  // under a byte
    EXPECT_EQ(unsupported(Pcm(1, 999, 8)), "Unsupported sound format.");   // under 1 byte per ms
    // 2 * 65535 * 200000 / 1000 bytes per ms: 200 ms of it does not fit 32 bits.
    EXPECT_EQ(unsupported(Pcm(65535, 200000, 16)), "Unsupported sound format.");
}

TEST_F(WavePlayerTest, DurationAndPositionUseWholeBytesPerMillisecond) {
    struct Case {
        uint16_t channels;
        uint32_t rate;
        uint16_t bits;
        uint32_t dataBytes, bytesPerMs;
    };
    // 11025 Hz gives 22.05 bytes per ms and 22050 Hz 8-bit stereo 44.1: both truncated.
    for (const Case& c : {Case{1, 8000, 8, 4000, 8}, Case{1, 11025, 16, 22050, 22},
                          Case{2, 22050, 8, 44100, 44}, Case{2, 8000, 16, 6400, 32}}) {
        WavePlayer& p = Open(Pcm(c.channels, c.rate, c.bits), Bytes(c.dataBytes, 0x40));
        EXPECT_EQ(p.GetDuration(), c.dataBytes / c.bytesPerMs) << c.rate;
        EXPECT_EQ(p.GetPosition(), 0u);
        EXPECT_EQ(p.GetState(), Stopped);
        p.Play();
        const uint32_t bufferBytes = 200 * c.bytesPerMs;
        ASSERT_TRUE(WaitFor([&] { return audio.PendingBuffers() >= 1; }));
        audio.Advance(201);  // covers the buffer even where it is a little short of 200 ms
        EXPECT_TRUE(PositionReaches(bufferBytes / c.bytesPerMs)) << c.rate;
        EXPECT_EQ(audio.PlayedFrames() >= bufferBytes / (c.channels * c.bits / 8u), true);
        p.Stop();
        audio.ClearPlayed();
    }
}

TEST_F(WavePlayerTest, DataOfWholeBuffersEndsWithAnEmptyMarkedBuffer) {
    WavePlayer& p = OpenRamp(2 * kFramesPerBuffer);
    EXPECT_EQ(p.GetDuration(), 400u);
    p.Play();
    PlayFull(200);
    EXPECT_TRUE(PositionReaches(200));
    EXPECT_FALSE(p.IsFinished());
    audio.Advance(200);
    ASSERT_TRUE(WaitFor([&] { return p.IsFinished(); }));
    EXPECT_EQ(p.GetPosition(), 400u);
    EXPECT_EQ(p.GetState(), Playing);  // the window stops it
    const auto played = audio.Played();
    ASSERT_EQ(played.size(), 2 * kFramesPerBuffer);
    for (size_t i = 0; i < played.size(); ++i) ASSERT_EQ(played[i], static_cast<int16_t>(i + 1));
}

TEST_F(WavePlayerTest, ShortLastBufferCarriesTheEndMarker) {
    WavePlayer& p = OpenRamp(2 * kFramesPerBuffer + 800);
    p.Play();
    PlayFull(400);
    EXPECT_TRUE(PositionReaches(400));
    EXPECT_FALSE(p.IsFinished());
    audio.Advance(100);
    ASSERT_TRUE(WaitFor([&] { return p.IsFinished(); }));
    EXPECT_EQ(p.GetPosition(), 500u);
}

TEST_F(WavePlayerTest, EmptyDataChunkFinishesAtOnce) {
    WavePlayer& p = OpenRamp(0);
    EXPECT_EQ(p.GetDuration(), 0u);
    p.Play();
    ASSERT_TRUE(WaitFor([&] { return p.IsFinished(); }));
    EXPECT_EQ(p.GetPosition(), 0u);
}

TEST_F(WavePlayerTest, PauseHoldsResumeGoesOnStopRewindsAndPlayStartsAfresh) {
    WavePlayer& p = OpenRamp(2 * kFramesPerBuffer);
    p.Play();
    PlayFull(200);
    EXPECT_TRUE(PositionReaches(200));
    p.Pause();
    EXPECT_EQ(p.GetState(), Paused);
    const size_t before = audio.PlayedFrames();
    audio.Advance(400);
    EXPECT_EQ(audio.PlayedFrames(), before);
    EXPECT_EQ(p.GetPosition(), 200u);
    p.Resume();
    EXPECT_EQ(p.GetState(), Playing);
    audio.Advance(200);
    ASSERT_TRUE(WaitFor([&] { return p.IsFinished(); }));

    p.Stop();
    EXPECT_EQ(p.GetState(), Stopped);
    EXPECT_EQ(p.GetPosition(), 0u);
    EXPECT_FALSE(audio.IsOpen());
    p.Play();
    EXPECT_FALSE(p.IsFinished());
    audio.ClearPlayed();
    PlayFull(200);
    EXPECT_TRUE(PositionReaches(200));
    EXPECT_EQ(FirstPlayed(), 1);
    EXPECT_FALSE(p.IsFinished());
}

TEST_F(WavePlayerTest, ReplayIgnoresCompletionsLeftFromTheLastStop) {
    WavePlayer& p = OpenRamp(8 * kFramesPerBuffer);
    p.Play();
    PlayFull(100);
    p.Stop();  // its reset hands four buffers back after the threads have ended
    p.Play();
    ASSERT_TRUE(WaitFor([&] { return audio.PendingBuffers() == 4; }));
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(p.GetPosition(), 0u);
}

TEST_F(WavePlayerTest, SeekWhilePlayingMovesPositionAndAudio) {
    WavePlayer& p = OpenRamp(10 * kFramesPerBuffer);
    p.Play();
    PlayFull(200);
    EXPECT_TRUE(PositionReaches(200));
    SeekAgainstTheReader(p, 1000);
    EXPECT_EQ(p.GetState(), Playing);
    EXPECT_EQ(p.GetPosition(), 1000u);
    audio.ClearPlayed();
    PlayFull(200);
    EXPECT_TRUE(PositionReaches(1200));  // buffers flushed by the seek added nothing
    EXPECT_EQ(FirstPlayed(), 8001);
    const auto played = audio.Played();
    for (size_t i = 0; i < played.size(); ++i) ASSERT_EQ(played[i], static_cast<int16_t>(8001 + i));
}

TEST_F(WavePlayerTest, SeekWhilePausedStaysPaused) {
    WavePlayer& p = OpenRamp(10 * kFramesPerBuffer);
    p.Play();
    PlayFull(200);
    p.Pause();
    p.Seek(500);
    EXPECT_EQ(p.GetState(), Paused);
    EXPECT_EQ(p.GetPosition(), 500u);
    audio.ClearPlayed();
    audio.Advance(100);
    EXPECT_EQ(audio.PlayedFrames(), 0u);
    p.Resume();
    PlayFull(200);
    EXPECT_TRUE(PositionReaches(700));
    EXPECT_EQ(FirstPlayed(), 4001);
}

TEST_F(WavePlayerTest, SeeksAndResumeAfterLongPausesWakeTheIdleThreads) {
    WavePlayer& p = OpenRamp(20 * kFramesPerBuffer);
    p.Play();
    PlayFull(200);
    p.Pause();
    // The first seek hands every buffer back; the reader refills them all while the writer,
    // Paused, keeps them. The second seek sends them back to the reader with no completion
    // to wake it, and Resume alone must wake the writer. The waits let both threads go idle.
    p.Seek(500);
    std::this_thread::sleep_for(std::chrono::milliseconds(150));
    p.Seek(1000);
    std::this_thread::sleep_for(std::chrono::milliseconds(150));
    EXPECT_EQ(audio.PendingBuffers(), 0u);
    audio.ClearPlayed();
    p.Resume();
    PlayFull(200);
    EXPECT_TRUE(PositionReaches(1200));
    EXPECT_EQ(FirstPlayed(), 8001);
}

TEST_F(WavePlayerTest, SeekWhileStoppedSetsWherePlayStarts) {
    WavePlayer& p = OpenRamp(10 * kFramesPerBuffer);
    p.Seek(1500);
    EXPECT_EQ(p.GetState(), Stopped);
    EXPECT_EQ(p.GetPosition(), 1500u);
    p.Play();
    PlayFull(200);
    EXPECT_TRUE(PositionReaches(1700));
    EXPECT_EQ(FirstPlayed(), 12001);
}

TEST_F(WavePlayerTest, SeekRoundsDownToWholeFrames) {
    // 16-bit mono at 11500 Hz has 23 bytes per ms: 1 ms is 23 bytes, rounded down to 22,
    // the start of frame 11 (whose ramp sample is 12).
    WavePlayer& p = Open(Pcm(1, 11500, 16), Ramp(11500));
    p.Seek(1);
    p.Play();
    ASSERT_TRUE(WaitFor([&] { return audio.PendingBuffers() >= 1; }));
    audio.Advance(10);
    EXPECT_EQ(FirstPlayed(), 12);  // frame 11
}

TEST_F(WavePlayerTest, SeekFarOutStaysPastTheEndInsteadOfWrapping) {
    // 384000 Hz, 8 channels, 16-bit: 6144 bytes per ms. 699051 ms is 2^32 + 2048 bytes,
    // which in 32 bits would land 2048 bytes into the data.
    WavePlayer& p = Open(Pcm(8, 384000, 16), Bytes(6144 * 10, 0));
    p.Seek(699051);
    EXPECT_EQ(p.GetPosition(), 699050u);  // the largest whole-frame offset, divided by 6144
    p.Play();
    ASSERT_TRUE(WaitFor([&] { return p.IsFinished(); }));
    EXPECT_EQ(audio.PlayedFrames(), 0u);
}

TEST_F(WavePlayerTest, PlaysToTheEndOfTheDataNeverIntoATrailingChunk) {
    // A LIST chunk after the data is not sound, also where the data ends inside a buffer. A
    // header whose size was never patched (0) plays to the end of the file, and the duration
    // counts what is there.
    constexpr size_t kTailedFrames = kFramesPerBuffer + 400;
    Bytes tailed = testutil::Wave(Pcm(1, 8000, 16), Ramp(kTailedFrames));
    testutil::PutTag(tailed, "LIST");
    testutil::Put32(tailed, 3200);
    tailed.resize(tailed.size() + 3200, 0x7F);
    Bytes unpatched = testutil::Wave(Pcm(1, 8000, 16), Ramp(2 * kFramesPerBuffer));
    std::fill(unpatched.begin() + 40, unpatched.begin() + 44, 0);
    for (const auto& [file, frames] :
         {std::pair{tailed, kTailedFrames}, std::pair{unpatched, 2 * kFramesPerBuffer}}) {
        testutil::WriteFile(dir.File("play.wav"), file);
        player = std::make_unique<WavePlayer>(dir.File("play.wav"));
        EXPECT_EQ(player->GetDuration(), frames / 8);
        player->Play();
        PlayFull(500);
        ASSERT_TRUE(WaitFor([&] { return player->IsFinished(); }));
        EXPECT_EQ(player->GetPosition(), frames / 8);
        std::vector<int16_t> ramp(frames);
        std::iota(ramp.begin(), ramp.end(), int16_t{1});
        EXPECT_EQ(audio.Played(), ramp);
        player.reset();
        audio.ClearPlayed();
    }
}

TEST_F(WavePlayerTest, SeekPastTheEndFinishes) {
    WavePlayer& p = OpenRamp(5 * kFramesPerBuffer);
    p.Play();
    PlayFull(100);
    p.Seek(5000);
    ASSERT_TRUE(WaitFor([&] { return p.IsFinished(); }));
    EXPECT_EQ(p.GetPosition(), 5000u);
}

TEST_F(WavePlayerTest, FastBackNearTheEndDoesNotFinish) {
    WavePlayer& p = OpenRamp(5 * kFramesPerBuffer);  // 1 s
    p.Play();
    PlayFull(600);
    EXPECT_TRUE(PositionReaches(600));
    // The device now holds the last buffer and the empty ones with the end marker.
    ASSERT_TRUE(WaitFor([&] { return audio.PendingBuffers() == 4; }));
    p.Seek(500);
    ASSERT_TRUE(WaitFor([&] { return audio.PendingBuffers() == 4; }));
    EXPECT_FALSE(p.IsFinished());
    EXPECT_EQ(p.GetPosition(), 500u);
    audio.Advance(200);
    EXPECT_TRUE(PositionReaches(700));
    EXPECT_FALSE(p.IsFinished());
    audio.Advance(300);
    ASSERT_TRUE(WaitFor([&] { return p.IsFinished(); }));
    EXPECT_EQ(p.GetPosition(), 1000u);
}

TEST_F(WavePlayerTest, CallsInTheWrongStateChangeNothing) {
    WavePlayer& p = OpenRamp(10 * kFramesPerBuffer);
    p.Pause();
    p.Resume();
    p.Stop();
    EXPECT_EQ(p.GetState(), Stopped);
    EXPECT_EQ(audio.OpenCount(), 0u);
    p.Play();
    p.Play();
    p.Resume();
    EXPECT_EQ(p.GetState(), Playing);
    EXPECT_EQ(audio.OpenCount(), 1u);
    p.Pause();
    p.Pause();
    p.Play();
    EXPECT_EQ(p.GetState(), Paused);
    EXPECT_EQ(audio.OpenCount(), 1u);
    p.Stop();
    p.Stop();
    EXPECT_EQ(p.GetState(), Stopped);
}

TEST_F(WavePlayerTest, SpeedBelongsToTheOpenDevice) {
    WavePlayer& p = OpenRamp(10 * kFramesPerBuffer);
    EXPECT_EQ(p.GetSpeed(), 1u);
    p.SetSpeed(3);
    EXPECT_EQ(p.GetSpeed(), 1u);
    p.Play();
    EXPECT_EQ(p.GetSpeed(), 1u);
    p.SetSpeed(2);
    EXPECT_EQ(p.GetSpeed(), 2u);
    p.SetSpeed(3);
    EXPECT_EQ(p.GetSpeed(), 3u);
    p.Stop();
    EXPECT_EQ(p.GetSpeed(), 1u);
    p.Play();
    EXPECT_EQ(p.GetSpeed(), 1u);
}

TEST_F(WavePlayerTest, PlayWithoutAUsableDeviceThrowsAndStaysStopped) {
    WavePlayer& p = OpenRamp(10 * kFramesPerBuffer);
    auto playError = [&] { return ErrorText([&] { p.Play(); }); };
    audio.SetDeviceCount(0);
    EXPECT_EQ(playError(), "Cannot open sound device.");
    EXPECT_EQ(p.GetState(), Stopped);
    // Without a device the controls are harmless.
    p.SetSpeed(2);
    EXPECT_EQ(p.GetSpeed(), 1u);
    p.Seek(300);
    p.Pause();
    p.Resume();
    EXPECT_EQ(p.GetState(), Stopped);
    audio.SetDeviceCount(1);
    audio.SetRefuseOpen(true);
    EXPECT_EQ(playError(), "Cannot open sound device.");
    audio.SetRefuseOpen(false);
    EXPECT_EQ(playError(), "");
    EXPECT_EQ(p.GetState(), Playing);
    PlayFull(200);
    EXPECT_TRUE(PositionReaches(500));
    EXPECT_EQ(FirstPlayed(), 2401);

    // A PCM layout the device cannot play: 24-bit.
    WavePlayer& wide = Open(Pcm(1, 8000, 24), Bytes(2400, 0));
    EXPECT_EQ(wide.GetDuration(), 100u);
    EXPECT_EQ(ErrorText([&] { wide.Play(); }), "Cannot open sound device.");
}

}  // namespace

TEST_F(WavePlayerTest, SkippedSilenceKeepsPositionsSeeksAndDurationInTheMessagesTime) {
    // 1 s of sound, 2 s of silence, 1 s of sound: plays in 2.25 s.
    std::vector<int16_t> samples(4 * 8000, 0);
    for (size_t i = 0; i < samples.size(); ++i)
        if (i < 8000 || i >= 24000)
            samples[i] = static_cast<int16_t>((i % 2 ? 1 : -1) * (3000 + int(i % 997)));
    Bytes data;
    for (int16_t s : samples) testutil::Put16(data, static_cast<uint16_t>(s));
    WavePlayer& p = Open(Pcm(1, 8000, 16), data);
    VoiceLevels levels;
    levels.noiseFloorDbfs = -120;
    levels.speechDbfs = -20;
    p.SetVoiceLevels(levels);
    p.SetVoiceTools({.skipSilence = true});
    p.Play();
    // Buffers of a shortened pause may be empty: the device does not always hold four.
    for (int i = 0; i < 100 && !p.IsFinished(); ++i) {
        WaitFor([&] { return audio.PendingBuffers() > 0 || p.IsFinished(); });
        audio.Advance(50);
    }
    ASSERT_TRUE(p.IsFinished());
    EXPECT_EQ(p.GetPosition(), 4000u);
    EXPECT_EQ(p.GetDuration(), 4000u);
    EXPECT_EQ(audio.PlayedFrames(), 8000u + 2000 + 8000);
    EXPECT_EQ(p.TimeSavedMs(), 1750u);

    // A seek while the reader holds part of the pause back starts at the target's own sound.
    p.Stop();
    p.Play();
    PlayFull(600);
    ASSERT_TRUE(PositionReaches(600));
    p.Seek(3000);
    EXPECT_EQ(p.GetPosition(), 3000u);
    audio.ClearPlayed();
    PlayFull(200);
    EXPECT_TRUE(PositionReaches(3200));
    const auto played = audio.Played();
    ASSERT_GE(played.size(), 1600u);
    for (size_t i = 0; i < 1600; ++i) ASSERT_EQ(played[i], samples[24000 + i]) << i;
}

TEST_F(WavePlayerTest, TheFirstLevelsApplyAtOnceAndLaterOnesGlide) {
    // A steady level: 100 either way, alternating.
    Bytes data;
    for (int i = 0; i < 3 * 8000; ++i)
        testutil::Put16(data, static_cast<uint16_t>(i % 2 ? 100 : -100));
    WavePlayer& p = Open(Pcm(1, 8000, 16), data);
    auto levelsAt = [](double lufs) {
        VoiceLevels levels;
        levels.loudnessLufs = lufs;
        return levels;
    };
    auto playedDb = [&](size_t at) {
        return 20 * std::log10(std::abs(audio.Played().at(at)) / 100.0);
    };
    p.SetVoiceLevels(levelsAt(VoiceLevels::kTargetLufs - 10));
    p.SetVoiceTools({.level = true});
    p.Play();
    PlayFull(200);
    ASSERT_TRUE(PositionReaches(200));
    EXPECT_NEAR(playedDb(800), 10, 0.1);
    // 20 dB from the fifth buffer (0.8 s) on, reached at 1 dB a second: 11.2 dB at 2 s.
    p.SetVoiceLevels(levelsAt(VoiceLevels::kTargetLufs - 20));
    for (uint32_t ms = 400; ms <= 2000; ms += 200) {
        PlayFull(200);
        ASSERT_TRUE(PositionReaches(ms));
    }
    EXPECT_NEAR(playedDb(2 * 8000 - 100), 11.2, 0.15);
}
