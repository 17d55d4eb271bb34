#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/wave_out_null.h"
#include "tests/playback/audio_fixture.h"

namespace {

using enginetest::FakeAudioTest;
using enginetest::WaitFor;

// Records every completion with the thread it came on.
struct Completions {
    std::mutex mutex;
    std::vector<WaveBuffer*> done;
    std::vector<std::thread::id> threads;

    WaveOut::Callback Callback() {
        return [this](WaveBuffer& b) {
            std::lock_guard lock(mutex);
            done.push_back(&b);
            threads.push_back(std::this_thread::get_id());
        };
    }
    size_t Count() {
        std::lock_guard lock(mutex);
        return done.size();
    }
};

// Buffers over slices of one byte block.
struct Buffers {
    std::vector<char> bytes;
    std::vector<WaveBuffer> records;

    Buffers(std::vector<char> data, const std::vector<uint32_t>& lengths)
        : bytes(std::move(data)), records(lengths.size()) {
        uint32_t at = 0;
        for (size_t i = 0; i < lengths.size(); ++i) {
            records[i].data = bytes.data() + at;
            records[i].length = lengths[i];
            at += lengths[i];
        }
    }
    void WriteAll(WaveOut& device) {
        for (WaveBuffer& r : records) {
            device.Prepare(r);
            ASSERT_EQ(device.Write(r), WaveOutResult::Ok);
        }
    }
};

std::vector<char> Bytes16(const std::vector<int16_t>& samples) {
    std::vector<char> b;
    for (int16_t s : samples) {
        b.push_back(static_cast<char>(s & 0xFF));
        b.push_back(static_cast<char>((s >> 8) & 0xFF));
    }
    return b;
}

class WaveOutTest : public FakeAudioTest {
  protected:
    std::unique_ptr<WaveOut> Open(const WaveFormat& format) { return Open(format, done); }
    static std::unique_ptr<WaveOut> Open(const WaveFormat& format, Completions& to) {
        WaveOutOpened opened = WaveOut::Open(format, to.Callback());
        EXPECT_EQ(opened.result, WaveOutResult::Ok);
        return std::move(opened.device);
    }
    Completions done;
};

TEST_F(WaveOutTest, CompletesInWriteOrderOnceEachFromItsOwnThreadAsTheAudioIsPlayed) {
    std::vector<int16_t> samples(2000);
    for (size_t i = 0; i < samples.size(); ++i) samples[i] = static_cast<int16_t>(i);
    // A zero-length buffer first, one between and one last; odd lengths split frames.
    Buffers buffers(Bytes16(samples), {0, 801, 0, 1599, 1600, 0});
    auto device = Open({1, 8000, 16});
    buffers.WriteAll(*device);

    ASSERT_TRUE(WaitFor([&] { return done.Count() == 1; }));  // the leading empty one
    audio.Advance(49);                                        // 392 frames
    EXPECT_EQ(done.Count(), 1u);
    // Frame 400 is the last whole frame of the 801 bytes (the odd byte starts the next
    // buffer's first frame); the empty buffer completes with it.
    audio.Advance(1);
    EXPECT_EQ(done.Count(), 3u);
    audio.Advance(500);
    ASSERT_EQ(done.Count(), 6u);
    for (size_t i = 0; i < 6; ++i) {
        EXPECT_EQ(done.done[i], &buffers.records[i]);
        EXPECT_NE(done.threads[i], std::this_thread::get_id());
        EXPECT_EQ(buffers.records[i].flags & (WaveBuffer::kDone | WaveBuffer::kInQueue),
                  WaveBuffer::kDone);
    }
    EXPECT_EQ(audio.Played(), samples);  // the split frames joined up again
    EXPECT_EQ(device->Unprepare(buffers.records[1]), WaveOutResult::Ok);
    EXPECT_EQ(buffers.records[1].flags & WaveBuffer::kPrepared, 0u);
    EXPECT_EQ(device->Write(buffers.records[1]), WaveOutResult::Unprepared);
}

TEST_F(WaveOutTest, WriteWhilePausedQueuesAndRestartPlaysOn) {
    Buffers buffers(Bytes16(std::vector<int16_t>(800, 7)), {800, 800});
    auto device = Open({1, 8000, 16});
    device->Pause();
    buffers.WriteAll(*device);
    audio.Advance(200);
    EXPECT_EQ(audio.PlayedFrames(), 0u);
    EXPECT_EQ(done.Count(), 0u);
    // A queued buffer can be neither queued again nor unprepared.
    EXPECT_EQ(device->Write(buffers.records[0]), WaveOutResult::StillPlaying);
    EXPECT_EQ(device->Unprepare(buffers.records[0]), WaveOutResult::StillPlaying);
    device->Restart();
    audio.Advance(100);
    EXPECT_EQ(done.Count(), 2u);
    EXPECT_EQ(audio.PlayedFrames(), 800u);
}

// On the real-time null device, whose clock (unlike the fake one's) never wakes the device: a
// restart wakes the completion thread at once, so an 8 ms buffer written while paused
// completes within about one 40 ms sink period, not at the thread's next timed wake-up, 200 ms
// after it went to sleep. The fastest of three tries allows for a loaded machine.
TEST_F(WaveOutTest, RestartOnTheRealTimeDeviceIsServedAtOnce) {
    NullWaveOutBackend null;
    SetWaveOutBackend(&null);
    auto device = Open({1, 8000, 16});
    ASSERT_TRUE(device);
    Buffers buffers(Bytes16(std::vector<int16_t>(3 * 64, 3)), {128, 128, 128});
    double fastestMs = 1e9;
    for (size_t i = 0; i < buffers.records.size(); ++i) {
        device->Pause();
        device->Prepare(buffers.records[i]);
        ASSERT_EQ(device->Write(buffers.records[i]), WaveOutResult::Ok);
        std::this_thread::sleep_for(std::chrono::milliseconds(20));  // the thread sleeps, paused
        const auto restart = std::chrono::steady_clock::now();
        device->Restart();
        ASSERT_TRUE(WaitFor([&] { return done.Count() == i + 1; }));
        fastestMs = std::min(fastestMs, std::chrono::duration<double, std::milli>(
                                            std::chrono::steady_clock::now() - restart)
                                            .count());
    }
    EXPECT_LT(fastestMs, 120.0);
}

TEST_F(WaveOutTest, ResetHandsEveryPendingBufferBackBeforeItReturnsAndDropsTheirAudio) {
    Buffers buffers(Bytes16(std::vector<int16_t>(4000, 5)), {1600, 1600, 1600, 1600, 0});
    auto device = Open({1, 8000, 16});
    buffers.WriteAll(*device);
    audio.Advance(100);
    EXPECT_EQ(done.Count(), 1u);
    device->Reset();
    ASSERT_EQ(done.Count(), 5u);
    for (size_t i = 0; i < 5; ++i) EXPECT_EQ(done.done[i], &buffers.records[i]);
    const size_t before = audio.PlayedFrames();
    audio.Advance(300);
    EXPECT_EQ(audio.PlayedFrames(), before);  // nothing queued before the reset plays after it

    // The device plays on after a reset, from a whole frame: the odd byte of a buffer played
    // before it does not join the next buffer's first byte.
    Buffers odd(Bytes16(std::vector<int16_t>(8, 5)), {15});
    odd.WriteAll(*device);
    audio.Advance(10);
    device->Reset();
    const size_t afterOdd = audio.PlayedFrames();
    Buffers more(Bytes16(std::vector<int16_t>(800, 9)), {1600});
    more.WriteAll(*device);
    audio.Advance(100);
    EXPECT_EQ(done.Count(), 7u);
    const std::vector<int16_t> played = audio.Played();
    EXPECT_EQ(std::vector<int16_t>(played.begin() + static_cast<ptrdiff_t>(afterOdd), played.end()),
              std::vector<int16_t>(800, 9));
}

TEST_F(WaveOutTest, CloseHandsBackWhatIsPendingAndNoCompletionFollows) {
    Buffers buffers(Bytes16(std::vector<int16_t>(1600, 1)), {1600, 1600});
    auto device = Open({1, 8000, 16});
    buffers.WriteAll(*device);
    device->Close();
    EXPECT_EQ(done.Count(), 2u);
    EXPECT_FALSE(audio.IsOpen());
    EXPECT_EQ(device->Write(buffers.records[0]), WaveOutResult::Closed);
    device.reset();
    EXPECT_EQ(done.Count(), 2u);
}

TEST_F(WaveOutTest, EightBitSamplesAreUnsignedAndVolumeScalesEachSide) {
    Buffers buffers({'\x80', '\xFF', '\x00', '\x40', '\x80', '\x80'}, {6});
    auto device = Open({2, 8000, 8});
    buffers.WriteAll(*device);
    WaveOutSetVolume(0x0000FFFF);  // left full, right silent
    audio.Advance(10);
    WaveOutSetVolume(0xFFFFFFFF);
    EXPECT_EQ(audio.Played(), (std::vector<int16_t>{0, 0, -32768, 0, 0, 0}));

    Buffers half({'\x00', '\x00', '\x00', '\x80'}, {4});
    half.WriteAll(*device);
    WaveOutSetVolume(0x80008000);
    audio.Advance(10);
    WaveOutSetVolume(0xFFFFFFFF);
    EXPECT_EQ(audio.Played()[6], -16384);
    EXPECT_EQ(audio.Played()[7], -16384);
}

TEST_F(WaveOutTest, OpenRefusesWhatItCannotPlay) {
    auto refusal = [&](const WaveFormat& f) {
        WaveOutOpened opened = WaveOut::Open(f, nullptr);
        EXPECT_FALSE(opened.device || audio.IsOpen());
        return opened.result;
    };
    for (const WaveFormat& f :
         {WaveFormat{1, 8000, 24}, WaveFormat{1, 8000, 4}, WaveFormat{0, 8000, 16},
          WaveFormat{9, 8000, 16}, WaveFormat{1, 999, 16}, WaveFormat{1, 384001, 16}})
        EXPECT_EQ(refusal(f), WaveOutResult::BadFormat) << f.channels << " " << f.sampleRate;
    EXPECT_TRUE(WaveOut::Open({8, 384000, 8}, nullptr).device);
    EXPECT_TRUE(WaveOut::Open({1, 1000, 16}, nullptr).device);

    audio.SetDeviceCount(0);
    EXPECT_EQ(WaveOut::GetNumDevs(), 0u);
    EXPECT_EQ(refusal({1, 8000, 16}), WaveOutResult::BadDeviceId);
    audio.SetDeviceCount(1);
    audio.SetRefuseOpen(true);
    EXPECT_EQ(refusal({1, 8000, 16}), WaveOutResult::BadFormat);
}

TEST_F(WaveOutTest, ExtremeFormatsPlayAtEveryRate) {
    for (const WaveFormat& f : {WaveFormat{1, 1000, 8}, WaveFormat{8, 384000, 16}}) {
        for (uint32_t rate : {1u, 2u, 3u}) {
            Completions local;
            auto device = Open(f, local);
            ASSERT_TRUE(device);
            device->SetPlaybackRate(rate << 16);
            const uint32_t bytes =
                f.sampleRate / 10 * f.channels * f.bitsPerSample / 8;  // 100 ms
            std::vector<char> noise(bytes);
            for (size_t i = 0; i < noise.size(); ++i) noise[i] = static_cast<char>(i * 7919 >> 3);
            Buffers buffers(noise, {bytes / 2, bytes - bytes / 2});
            buffers.WriteAll(*device);
            audio.Advance(150);
            EXPECT_EQ(local.Count(), 2u) << f.sampleRate << " Hz at rate " << rate;
        }
    }
}

TEST(WaveOutBackendTest, EnvironmentChoosesTheNullDevice) {
    const char* was = std::getenv("CORVANE_AUDIO");
    const std::string previous = was ? was : "";
    ::setenv("CORVANE_AUDIO", "null", 1);
    EXPECT_NE(dynamic_cast<NullWaveOutBackend*>(&CurrentWaveOutBackend()), nullptr);
    EXPECT_EQ(WaveOut::GetNumDevs(), 1u);
    EXPECT_TRUE(WaveOut::Open({2, 44100, 16}, nullptr).device);
    if (was) {
        ::setenv("CORVANE_AUDIO", previous.c_str(), 1);
    } else {
        ::unsetenv("CORVANE_AUDIO");
    }
}

TEST_F(WaveOutTest, RateStartsAtOneAndAcceptsTheSpeeds) {
    auto device = Open({1, 8000, 16});
    EXPECT_EQ(device->GetPlaybackRate(), 0x10000u);
    for (uint32_t r : {0x20000u, 0x30000u, 0x18000u}) {
        ASSERT_EQ(device->SetPlaybackRate(r), WaveOutResult::Ok);
        EXPECT_EQ(device->GetPlaybackRate(), r);
    }
    for (uint32_t outOfRange : {0u, 0x40001u})  // 0.25 to 4 are accepted
        EXPECT_EQ(device->SetPlaybackRate(outOfRange), WaveOutResult::InvalidParam);
    EXPECT_EQ(device->GetPlaybackRate(), 0x18000u);

    device.reset();
    device = Open({1, 8000, 16});
    EXPECT_EQ(device->GetPlaybackRate(), 0x10000u);
}

// At rate n a tone comes out n times shorter with its pitch kept, to the last frame, and
// also when the device was reset at that rate before.
TEST_F(WaveOutTest, FasterRatesShortenTheSoundAndKeepItsPitch) {
    const std::vector<int16_t> tone = enginetest::Tone(440, 8000, 8000);
    const double inputCrossings = enginetest::CrossingRate(tone);
    for (uint32_t rate : {2u, 3u}) {
        Completions local;
        auto device = Open({1, 8000, 16}, local);
        ASSERT_TRUE(device);
        device->SetPlaybackRate(rate << 16);
        Buffers dropped(Bytes16(tone), {3200});
        dropped.WriteAll(*device);
        audio.Advance(50);
        device->Reset();
        audio.ClearPlayed();
        Buffers buffers(Bytes16(tone), std::vector<uint32_t>(5, 3200));
        buffers.WriteAll(*device);
        uint32_t ms = 0;
        while (local.Count() < 6 && ms < 2000) {
            audio.Advance(10);
            ms += 10;
        }
        EXPECT_EQ(local.Count(), 6u);
        EXPECT_NEAR(ms, 1000.0 / rate, 40.0) << "rate " << rate;
        audio.Advance(100);  // the held-back tail
        const std::vector<int16_t> out = audio.Played();
        EXPECT_NEAR(static_cast<double>(out.size()), 8000.0 / rate, 1.0) << "rate " << rate;
        EXPECT_NEAR(enginetest::CrossingRate(out), inputCrossings, inputCrossings * 0.03)
            << "rate " << rate;
    }
}

}  // namespace
