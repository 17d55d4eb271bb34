#include <cstdlib>
#include <mutex>
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

    static void Callback(WaveOut*, uint32_t message, uintptr_t instance, uintptr_t param1,
                         uintptr_t) {
        auto* self = reinterpret_cast<Completions*>(instance);
        std::lock_guard lock(self->mutex);
        EXPECT_EQ(message, kWaveOutDone);
        self->done.push_back(reinterpret_cast<WaveBuffer*>(param1));
        self->threads.push_back(std::this_thread::get_id());
    }
    size_t Count() {
        std::lock_guard lock(mutex);
        return done.size();
    }
};

WaveFormat Format(uint16_t channels, uint32_t rate, uint16_t bits) {
    WaveFormat f;
    f.formatTag = 1;
    f.channels = channels;
    f.samplesPerSec = rate;
    f.bitsPerSample = bits;
    f.blockAlign = static_cast<uint16_t>(channels * bits / 8);
    f.avgBytesPerSec = rate * f.blockAlign;
    return f;
}

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
            ASSERT_EQ(device.PrepareHeader(&r, sizeof r), kWaveOutOk);
            ASSERT_EQ(device.Write(&r, sizeof r), kWaveOutOk);
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
    std::unique_ptr<WaveOut> Open(const WaveFormat& format) {
        std::unique_ptr<WaveOut> device;
        EXPECT_EQ(WaveOut::Open(&device, 0, format, &Completions::Callback,
                                reinterpret_cast<uintptr_t>(&done)),
                  kWaveOutOk);
        return device;
    }
    Completions done;
};

TEST_F(WaveOutTest, CompletesInWriteOrderOnceEachFromItsOwnThreadAsTheAudioIsPlayed) {
    std::vector<int16_t> samples(2000);
    for (size_t i = 0; i < samples.size(); ++i) samples[i] = static_cast<int16_t>(i);
    // A zero-length buffer first, one between and one last; odd lengths split frames.
    Buffers buffers(Bytes16(samples), {0, 801, 0, 1599, 1600, 0});
    auto device = Open(Format(1, 8000, 16));
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
        EXPECT_EQ(buffers.records[i].flags & (kWaveBufferDone | kWaveBufferInQueue),
                  kWaveBufferDone);
    }
    EXPECT_EQ(audio.Played(), samples);  // the split frames joined up again
    EXPECT_EQ(device->UnprepareHeader(&buffers.records[1], sizeof(WaveBuffer)), kWaveOutOk);
    EXPECT_EQ(buffers.records[1].flags & kWaveBufferPrepared, 0u);
}

TEST_F(WaveOutTest, WriteWhilePausedQueuesAndRestartPlaysOn) {
    Buffers buffers(Bytes16(std::vector<int16_t>(800, 7)), {800, 800});
    auto device = Open(Format(1, 8000, 16));
    EXPECT_EQ(device->Pause(), kWaveOutOk);
    buffers.WriteAll(*device);
    audio.Advance(200);
    EXPECT_EQ(audio.PlayedFrames(), 0u);
    EXPECT_EQ(done.Count(), 0u);
    EXPECT_EQ(device->Restart(), kWaveOutOk);
    audio.Advance(100);
    EXPECT_EQ(done.Count(), 2u);
    EXPECT_EQ(audio.PlayedFrames(), 800u);
}

TEST_F(WaveOutTest, ResetHandsEveryPendingBufferBackBeforeItReturnsAndDropsTheirAudio) {
    Buffers buffers(Bytes16(std::vector<int16_t>(4000, 5)), {1600, 1600, 1600, 1600, 0});
    auto device = Open(Format(1, 8000, 16));
    buffers.WriteAll(*device);
    audio.Advance(100);
    EXPECT_EQ(done.Count(), 1u);
    EXPECT_EQ(device->Reset(), kWaveOutOk);
    ASSERT_EQ(done.Count(), 5u);
    for (size_t i = 0; i < 5; ++i) EXPECT_EQ(done.done[i], &buffers.records[i]);
    const size_t before = audio.PlayedFrames();
    audio.Advance(300);
    EXPECT_EQ(audio.PlayedFrames(), before);  // nothing queued before the reset plays after it

    // The device plays on after a reset.
    Buffers more(Bytes16(std::vector<int16_t>(800, 9)), {1600});
    more.WriteAll(*device);
    audio.Advance(100);
    EXPECT_EQ(done.Count(), 6u);
    EXPECT_EQ(audio.PlayedFrames(), before + 800);
}

TEST_F(WaveOutTest, CloseHandsBackWhatIsPendingAndNoCompletionFollows) {
    Buffers buffers(Bytes16(std::vector<int16_t>(1600, 1)), {1600, 1600});
    auto device = Open(Format(1, 8000, 16));
    buffers.WriteAll(*device);
    EXPECT_EQ(device->Close(), kWaveOutOk);
    EXPECT_EQ(done.Count(), 2u);
    EXPECT_FALSE(audio.IsOpen());
    EXPECT_NE(device->Write(&buffers.records[0], sizeof(WaveBuffer)), kWaveOutOk);
    device.reset();
    EXPECT_EQ(done.Count(), 2u);
}

TEST_F(WaveOutTest, EightBitSamplesAreUnsignedAndVolumeScalesEachSide) {
    Buffers buffers({'\x80', '\xFF', '\x00', '\x40', '\x80', '\x80'}, {6});
    auto device = Open(Format(2, 8000, 8));
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
    std::unique_ptr<WaveOut> device;
    auto refuses = [&](WaveFormat f) {
        return WaveOut::Open(&device, 0, f, nullptr, 0) != kWaveOutOk && !device && !audio.IsOpen();
    };
    WaveFormat tag = Format(1, 8000, 16);
    tag.formatTag = 3;
    EXPECT_TRUE(refuses(tag));
    EXPECT_TRUE(refuses(Format(1, 8000, 24)));
    EXPECT_TRUE(refuses(Format(1, 8000, 4)));
    EXPECT_TRUE(refuses(Format(0, 8000, 16)));
    EXPECT_TRUE(refuses(Format(9, 8000, 16)));
    EXPECT_TRUE(refuses(Format(1, 999, 16)));
    EXPECT_TRUE(refuses(Format(1, 384001, 16)));
    ASSERT_EQ(WaveOut::Open(&device, 0, Format(8, 384000, 8), nullptr, 0), kWaveOutOk);
    device.reset();
    ASSERT_EQ(WaveOut::Open(&device, 0, Format(1, 1000, 16), nullptr, 0), kWaveOutOk);
    device.reset();

    audio.SetDeviceCount(0);
    EXPECT_EQ(WaveOut::GetNumDevs(), 0u);
    EXPECT_TRUE(refuses(Format(1, 8000, 16)));
    audio.SetDeviceCount(1);
    audio.SetRefuseOpen(true);
    EXPECT_TRUE(refuses(Format(1, 8000, 16)));
}

TEST_F(WaveOutTest, ExtremeFormatsPlayAtEveryRate) {
    for (const WaveFormat& f : {Format(1, 1000, 8), Format(8, 384000, 16)}) {
        for (uint32_t rate : {1u, 2u, 3u}) {
            Completions local;
            std::unique_ptr<WaveOut> device;
            ASSERT_EQ(WaveOut::Open(&device, 0, f, &Completions::Callback,
                                    reinterpret_cast<uintptr_t>(&local)),
                      kWaveOutOk);
            device->SetPlaybackRate(rate << 16);
            const uint32_t bytes = f.samplesPerSec / 10 * f.blockAlign;  // 100 ms
            std::vector<char> noise(bytes);
            for (size_t i = 0; i < noise.size(); ++i) noise[i] = static_cast<char>(i * 7919 >> 3);
            Buffers buffers(noise, {bytes / 2, bytes - bytes / 2});
            buffers.WriteAll(*device);
            audio.Advance(150);
            EXPECT_EQ(local.Count(), 2u) << f.samplesPerSec << " Hz at rate " << rate;
        }
    }
}

TEST(WaveOutBackendTest, EnvironmentChoosesTheNullDevice) {
    const char* was = std::getenv("CORVANE_AUDIO");
    const std::string previous = was ? was : "";
    ::setenv("CORVANE_AUDIO", "null", 1);
    EXPECT_NE(dynamic_cast<NullWaveOutBackend*>(&CurrentWaveOutBackend()), nullptr);
    EXPECT_EQ(WaveOut::GetNumDevs(), 1u);
    std::unique_ptr<WaveOut> device;
    EXPECT_EQ(WaveOut::Open(&device, 0, Format(2, 44100, 16), nullptr, 0), kWaveOutOk);
    device.reset();
    if (was) {
        ::setenv("CORVANE_AUDIO", previous.c_str(), 1);
    } else {
        ::unsetenv("CORVANE_AUDIO");
    }
}

TEST_F(WaveOutTest, RateStartsAtOneAndAcceptsTheSpeeds) {
    auto device = Open(Format(1, 8000, 16));
    uint32_t rate = 0;
    ASSERT_EQ(device->GetPlaybackRate(&rate), kWaveOutOk);
    EXPECT_EQ(rate, 0x10000u);
    for (uint32_t r : {0x20000u, 0x30000u, 0x18000u}) {
        ASSERT_EQ(device->SetPlaybackRate(r), kWaveOutOk);
        device->GetPlaybackRate(&rate);
        EXPECT_EQ(rate, r);
    }
    EXPECT_NE(device->SetPlaybackRate(0), kWaveOutOk);
    device->GetPlaybackRate(&rate);
    EXPECT_EQ(rate, 0x18000u);

    device.reset();
    device = Open(Format(1, 8000, 16));
    device->GetPlaybackRate(&rate);
    EXPECT_EQ(rate, 0x10000u);
}

// At rate n a tone comes out n times shorter with its pitch kept.
TEST_F(WaveOutTest, FasterRatesShortenTheSoundAndKeepItsPitch) {
    const std::vector<int16_t> tone = enginetest::Tone(440, 8000, 8000);
    const double inputCrossings = enginetest::CrossingRate(tone);
    for (uint32_t rate : {2u, 3u}) {
        audio.ClearPlayed();
        Completions local;
        std::unique_ptr<WaveOut> device;
        ASSERT_EQ(WaveOut::Open(&device, 0, Format(1, 8000, 16), &Completions::Callback,
                                reinterpret_cast<uintptr_t>(&local)),
                  kWaveOutOk);
        device->SetPlaybackRate(rate << 16);
        Buffers buffers(Bytes16(tone), std::vector<uint32_t>(5, 3200));
        buffers.WriteAll(*device);
        uint32_t ms = 0;
        while (local.Count() < 5 && ms < 2000) {
            audio.Advance(10);
            ms += 10;
        }
        EXPECT_EQ(local.Count(), 5u);
        EXPECT_NEAR(ms, 1000.0 / rate, 40.0) << "rate " << rate;
        audio.Advance(100);  // the held-back tail
        const std::vector<int16_t> out = audio.Played();
        EXPECT_NEAR(static_cast<double>(out.size()), 8000.0 / rate, 8000.0 / rate * 0.03)
            << "rate " << rate;
        EXPECT_NEAR(enginetest::CrossingRate(out), inputCrossings, inputCrossings * 0.03)
            << "rate " << rate;
    }
}

}  // namespace
