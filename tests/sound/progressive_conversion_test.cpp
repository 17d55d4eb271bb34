#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <future>
#include <string>

#include "platform/file.h"
#include "sound/background_conversion.h"
#include "sound/convert_file.h"
#include "tests/test_util.h"

using namespace testutil;
using Event = ConversionProgress::Event;

namespace {

Bytes ReadRange(const std::string& path, uint64_t offset, uint64_t count) {
    std::ifstream in(path, std::ios::binary);
    in.seekg(static_cast<std::streamoff>(offset));
    Bytes b(count);
    in.read(reinterpret_cast<char*>(b.data()), static_cast<std::streamsize>(count));
    b.resize(static_cast<size_t>(in.gcount()));
    return b;
}

Bytes Slice(const Bytes& b, uint64_t offset, uint64_t count) {
    const auto from = b.begin() + static_cast<ptrdiff_t>(std::min<uint64_t>(offset, b.size()));
    return Bytes(from, from + static_cast<ptrdiff_t>(std::min<uint64_t>(count, b.end() - from)));
}

// A G.711 source of `bytes` bytes.
std::string WriteALaw(const TempDir& dir, size_t bytes) {
    Format f;
    f.formatTag = FormatTag::ALaw;
    f.byteRate = 8000;
    f.blockAlign = 1;
    f.bitsPerSample = 8;
    Bytes data(bytes);
    for (size_t i = 0; i < bytes; ++i) data[i] = static_cast<uint8_t>(i * 37);
    WriteFile(dir.File("alaw.wav"), Wave(f, data));
    return dir.File("alaw.wav");
}

class ProgressiveConversionTest : public ::testing::TestWithParam<std::string> {
  protected:
    // A bundled sample, or "pcm24": 24-bit PCM (no sample has it), with a partial sample at
    // the end that the converter drops.
    std::string Source() const {
        if (GetParam() != "pcm24") return std::string(CORVANE_SAMPLES) + "/" + GetParam();
        Format f;
        f.byteRate = 24000;
        f.blockAlign = 3;
        f.bitsPerSample = 24;
        Bytes data(3 * 40000 + 2);
        for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<uint8_t>(i * 11 + i / 97);
        WriteFile(dir.File("pcm24.wav"), Wave(f, data));
        return dir.File("pcm24.wav");
    }

    TempDir dir;
};

// Every publication is checked as it is made, on the converting thread: the header in the
// file is already the whole conversion's, and each mark grows by a few tens of ms of audio
// over bytes that are in the file and final.
TEST_P(ProgressiveConversionTest, PublishesTheFinalHeaderFirstThenFlushedDataInSmallSteps) {
    const std::string source = Source();
    const std::string out = dir.File("out.wav");
    ConvertFile(source, dir.File("whole.wav"));
    const Bytes whole = ReadFile(dir.File("whole.wav"));
    uint64_t mark = 0;
    size_t dataEvents = 0;
    size_t ends = 0;
    ConversionProgress progress([&](Event event) {
        const uint64_t readable = progress.ReadableBytes();
        switch (event) {
            case Event::kHeader:
                EXPECT_EQ(ReadRange(out, 0, 44), Slice(whole, 0, 44));
                break;
            case Event::kData: {
                ++dataEvents;
                ASSERT_TRUE(progress.HasHeader());
                ASSERT_GE(readable, mark);
                // 100 ms of the output's audio: a step and one block.
                EXPECT_LE(readable - mark, progress.Header().byteRate / 10u);
                EXPECT_EQ(ReadRange(out, 44 + mark, readable - mark),
                          Slice(whole, 44 + mark, readable - mark));
                mark = readable;
                break;
            }
            case Event::kEnd:
                ++ends;
                break;
        }
    });
    ConvertFile(source, out, &progress);
    EXPECT_EQ(ends, 1u);
    EXPECT_GT(dataEvents, 10u);
    EXPECT_EQ(progress.State(), ConversionState::kFinished);
    EXPECT_EQ(ReadFile(out), whole);
    // Predicted exactly: the expected length is the final one, and the one a player finds.
    EXPECT_EQ(progress.ExpectedBytes(), progress.DataBytes());
    WaveHeader reread;
    CFile file;
    ASSERT_TRUE(file.Open(out, CFile::modeRead));
    ASSERT_TRUE(reread.ReadHeader(file));
    EXPECT_EQ(reread.DataLength(), progress.DataBytes());
    EXPECT_EQ(progress.Header().dataEnd - progress.Header().dataStart, progress.ExpectedBytes());
}

INSTANTIATE_TEST_SUITE_P(EveryEncoding, ProgressiveConversionTest,
                         ::testing::Values("greeting-pcm.wav", "pcm24", "greeting-alaw.wav",
                                           "greeting-mulaw.wav", "greeting-ima.wav",
                                           "greeting-msadpcm.wav", "greeting-gsm.wav",
                                           "reminder.gsm", "reminder-oki32.wav",
                                           "reminder-oki24.wav", "speech-g729.wav"),
                         [](const auto& info) {
                             std::string name = info.param;
                             for (char& c : name)
                                 if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
                             return name;
                         });

TEST(BackgroundConversionTest, CancelStopsAtTheNextBlockAndRemovesTheOutput) {
    TempDir dir;
    const std::string source = WriteALaw(dir, 400000);
    std::promise<void> cancelled;
    std::shared_future<void> gate = cancelled.get_future().share();
    bool held = false;
    BackgroundConversion conversion(source, dir.File("out.wav"), [&](Event event) {
        // Holds the converter after its first publication until the cancel was asked.
        if (event == Event::kData && !held) {
            held = true;
            gate.wait();
        }
    });
    const auto progress = conversion.Progress();
    ASSERT_TRUE(progress->WaitForBytes(1, std::chrono::seconds(10)));
    conversion.Cancel();
    cancelled.set_value();
    conversion.Wait();
    EXPECT_EQ(progress->State(), ConversionState::kCancelled);
    EXPECT_EQ(progress->Error(), "");
    EXPECT_LT(progress->ReadableBytes(), progress->ExpectedBytes() / 10);
    EXPECT_FALSE(std::filesystem::exists(dir.File("out.wav")));
}

TEST(BackgroundConversionTest, AFailureBeforeTheHeaderIsReportedOnceAndLeavesNoOutput) {
    TempDir dir;
    Format f;
    f.formatTag = static_cast<FormatTag>(0x55);
    WriteFile(dir.File("in.wav"), Wave(f, Bytes(100, 1)));
    size_t ends = 0;
    BackgroundConversion conversion(dir.File("in.wav"), dir.File("out.wav"),
                                    [&](Event event) { ends += event == Event::kEnd; });
    conversion.Wait();
    const auto progress = conversion.Progress();
    EXPECT_EQ(progress->State(), ConversionState::kFailed);
    EXPECT_EQ(progress->Error(), "Unsupported wave format.");
    EXPECT_FALSE(progress->HasHeader());
    EXPECT_EQ(ends, 1u);
    EXPECT_FALSE(std::filesystem::exists(dir.File("out.wav")));

    // A source that cannot be opened leaves an existing output alone.
    WriteFile(dir.File("keep.wav"), Bytes(10, 7));
    BackgroundConversion(dir.File("missing.wav"), dir.File("keep.wav")).Wait();
    EXPECT_EQ(ReadFile(dir.File("keep.wav")), Bytes(10, 7));
}

TEST(BackgroundConversionTest, ASourceThatEndsEarlyPublishesTheShorterLengthAndPatchesTheHeader) {
    TempDir dir;
    const std::string source = WriteALaw(dir, 1000000);
    bool cut = false;
    ConversionProgress progress([&](Event event) {
        // The file shrinks under the converter, past what its read buffer holds.
        if (event == Event::kData && !cut) {
            cut = true;
            std::filesystem::resize_file(source, 300000);
        }
    });
    ConvertFile(source, dir.File("out.wav"), &progress);
    EXPECT_EQ(progress.State(), ConversionState::kFinished);
    EXPECT_EQ(progress.ExpectedBytes(), 2000000u);
    EXPECT_EQ(progress.DataBytes(), 2 * (300000u - 44));
    EXPECT_EQ(progress.ReadableBytes(), progress.DataBytes());
    const PcmFile output = ReadPcm(dir.File("out.wav"));
    EXPECT_EQ(output.dataSize, progress.DataBytes());
    EXPECT_EQ(output.samples.size() * 2, progress.DataBytes());
}

}  // namespace
