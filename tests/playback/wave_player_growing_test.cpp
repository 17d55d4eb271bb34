// The engine on a file that a conversion is still writing.
#include <fstream>
#include <memory>
#include <numeric>

#include "playback/wave_player.h"
#include "sound/background_conversion.h"
#include "sound/convert_file.h"
#include "tests/playback/audio_fixture.h"

namespace {

using enginetest::WaitFor;

constexpr size_t kFramesPerBuffer = 1600;  // 8000 Hz mono 16-bit, 200 ms

class GrowingFileTest : public enginetest::FakeAudioTest {
  protected:
    // Writes the header of an 8000 Hz mono 16-bit file expected to hold `frames` ramp frames,
    // and publishes it as a converter does.
    void Begin(size_t frames) {
        out_.open(path_, std::ios::binary);
        testutil::Bytes b = testutil::Wave(enginetest::Pcm(1, 8000, 16), {});
        testutil::Bytes size;
        testutil::Put32(size, static_cast<uint32_t>(2 * frames));
        std::copy(size.begin(), size.end(), b.begin() + 40);
        Write(b);
        WaveHeader h;
        h.formatTag = FormatTag::Pcm;
        h.channels = 1;
        h.sampleRate = 8000;
        h.byteRate = 16000;
        h.blockAlign = 2;
        h.bitsPerSample = 16;
        h.dataStart = 44;
        h.dataEnd = 44 + 2 * frames;
        progress_->PublishHeader(h, 2 * frames);
        player = std::make_unique<WavePlayer>(path_, progress_);
    }
    // Appends ramp frames up to `frames` and publishes them.
    void GrowTo(size_t frames) {
        testutil::Bytes b;
        for (; written_ < frames; ++written_)
            testutil::Put16(b, static_cast<uint16_t>(written_ + 1));
        Write(b);
        progress_->PublishData(2 * frames);
    }
    void Write(const testutil::Bytes& b) {
        out_.write(reinterpret_cast<const char*>(b.data()), static_cast<std::streamsize>(b.size()));
        out_.flush();
    }
    // Plays until the end marker comes back.
    void PlayToTheEnd() {
        while (!player->IsFinished()) {
            ASSERT_TRUE(
                WaitFor([&] { return audio.PendingBuffers() > 0 || player->IsFinished(); }));
            audio.Advance(200);
        }
    }
    static std::vector<int16_t> RampFrom(int16_t first, size_t count) {
        std::vector<int16_t> r(count);
        std::iota(r.begin(), r.end(), first);
        return r;
    }

    std::shared_ptr<ConversionProgress> progress_ = std::make_shared<ConversionProgress>();
    std::string path_ = dir.File("growing.wav");
    std::ofstream out_;
    size_t written_ = 0;
    std::unique_ptr<WavePlayer> player;
};

TEST_F(GrowingFileTest, WaitsAtTheMarkAndPlaysToTheFinalEnd) {
    Begin(5 * kFramesPerBuffer);
    EXPECT_EQ(player->GetDuration(), 1000u);  // expected before any data
    GrowTo(kFramesPerBuffer + 100);
    player->Play();
    ASSERT_TRUE(WaitFor([&] { return audio.PendingBuffers() == 1; }));
    audio.Advance(400);
    ASSERT_TRUE(WaitFor([&] { return player->GetPosition() == 200; }));
    // The 100 frames after the first buffer are no whole buffer: the reader waits for more
    // instead of taking them for the end.
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(audio.PendingBuffers(), 0u);
    EXPECT_FALSE(player->IsFinished());
    // The source ended early: 4.5 buffers instead of 5.
    GrowTo(4 * kFramesPerBuffer + 800);
    progress_->Finish(2 * written_);
    EXPECT_EQ(player->GetDuration(), 900u);
    PlayToTheEnd();
    EXPECT_EQ(player->GetPosition(), 900u);
    EXPECT_EQ(audio.Played(), RampFrom(1, written_));
}

TEST_F(GrowingFileTest, SeekPastTheMarkReturnsAtOnceAndPlaysFromThereOnceTheDataCame) {
    Begin(10 * kFramesPerBuffer);
    GrowTo(kFramesPerBuffer);
    player->Play();
    ASSERT_TRUE(WaitFor([&] { return audio.PendingBuffers() == 1; }));
    player->Seek(1000);
    EXPECT_EQ(player->GetPosition(), 1000u);
    audio.ClearPlayed();
    audio.Advance(200);
    EXPECT_EQ(audio.PlayedFrames(), 0u);
    EXPECT_FALSE(player->IsFinished());
    GrowTo(10 * kFramesPerBuffer);
    progress_->Finish(2 * written_);
    PlayToTheEnd();
    EXPECT_EQ(player->GetPosition(), 2000u);
    EXPECT_EQ(audio.Played(), RampFrom(8001, 5 * kFramesPerBuffer));
}

TEST_F(GrowingFileTest, AFailedConversionEndsPlaybackWhereItsDataEnds) {
    Begin(10 * kFramesPerBuffer);
    player->Play();
    GrowTo(2 * kFramesPerBuffer + 400);
    progress_->Fail("Cannot write: No space left on device.");
    EXPECT_EQ(player->GetDuration(), 450u);
    PlayToTheEnd();
    EXPECT_EQ(player->GetPosition(), 450u);
    EXPECT_EQ(audio.Played(), RampFrom(1, written_));
}

TEST_F(GrowingFileTest, PlaysABackgroundConversionAsTheWholeConversionSoundsAndStopsWhileItRuns) {
    const std::string source = std::string(CORVANE_SAMPLES) + "/greeting-gsm.wav";
    ConvertFile(source, dir.File("whole.wav"));
    const testutil::PcmFile whole = testutil::ReadPcm(dir.File("whole.wav"));
    {
        BackgroundConversion conversion(source, path_);
        player = std::make_unique<WavePlayer>(path_, conversion.Progress());
        EXPECT_EQ(player->GetDuration(), whole.dataSize / 16);
        player->Play();
        PlayToTheEnd();
    }
    EXPECT_EQ(audio.Played(), whole.samples);
    player.reset();

    // Stopping, seeking and the end of a conversion while the reader waits for data.
    auto slow = std::make_unique<BackgroundConversion>(source, dir.File("other.wav"));
    player = std::make_unique<WavePlayer>(dir.File("other.wav"), slow->Progress());
    player->Play();
    player->Seek(3000);
    player->Stop();
    player->Play();
    slow.reset();
    PlayToTheEnd();
}

}  // namespace
