// The decoder against the Annex A conformance vectors, through the converter.
#include <gtest/gtest.h>

#include <string>

#include "sound/wave_converter.h"
#include "tests/test_util.h"

namespace {

std::string Vector(const std::string& name) {
    return std::string(CORVANE_TEST_DATA) + "/g729/" + name;
}

class G729Vector : public ::testing::TestWithParam<const char*> {};

TEST_P(G729Vector, ConvertsToTheReferenceOutput) {
    testutil::TempDir dir;
    const std::string out = dir.File("out.wav");
    {
        WaveConverter converter(Vector(std::string(GetParam()) + ".wav"), out);
        converter.Convert();
    }
    const testutil::Bytes expected = testutil::ReadFile(Vector(std::string(GetParam()) + ".raw"));
    const testutil::Bytes actual = testutil::ReadFile(out);
    ASSERT_EQ(actual.size(), 44 + expected.size());
    size_t firstDifference = expected.size();
    for (size_t i = 0; i < expected.size(); ++i) {
        if (actual[44 + i] != expected[i]) {
            firstDifference = i;
            break;
        }
    }
    EXPECT_EQ(firstDifference, expected.size()) << "first differing sample " << firstDifference / 2
                                                << " (frame " << firstDifference / 160 << ")";

    const testutil::PcmFile pcm = testutil::ReadPcm(out);
    EXPECT_EQ(pcm.formatTag, FormatTag::Pcm);
    EXPECT_EQ(pcm.channels, 1);
    EXPECT_EQ(pcm.sampleRate, 8000u);
    EXPECT_EQ(pcm.bitsPerSample, 16);
    EXPECT_EQ(pcm.blockAlign, 2);
    EXPECT_EQ(pcm.byteRate, 16000u);
    EXPECT_EQ(pcm.dataSize, expected.size());
    EXPECT_EQ(pcm.riffSize, expected.size() + 36);
}

INSTANTIATE_TEST_SUITE_P(ConformanceVectors, G729Vector,
                         ::testing::Values("algthm", "fixed", "lsp", "pitch", "speech", "parity",
                                           "test", "erasure_prefix10", "overflow_prefix19"));

}  // namespace
