// Decodes files that sox writes at test time and compares every sample with sox's own
// decoding of the same file.
#include <cstdlib>

#include "tests/sound/converter_fixture.h"

using namespace testutil;

namespace {

int Shell(const std::string& command) {
    return std::system((command + " 2>/dev/null").c_str());
}

class SoxCrossCheck : public ConversionTest, public ::testing::WithParamInterface<const char*> {};

}  // namespace

TEST_P(SoxCrossCheck, SamplesMatchSox) {
    const std::string encoded =
        dir.File(std::string("encoded.") + (std::string(GetParam()) == "raw-gsm" ? "gsm" : "wav"));
    const std::string reference = dir.File("reference.wav");
    // Two seconds of a rising tone with some noise: exercises every code range.
    std::string make = "sox -n -r 8000 -c 1 ";
    const std::string encoding = GetParam();
    if (encoding != "raw-gsm") make += "-e " + encoding + " ";
    make += encoded + " synth 2 sine 200-3000 synth 2 whitenoise amod 0.3 vol 0.8";
    ASSERT_EQ(Shell(make), 0) << "sox is missing or failed: " << make;
    ASSERT_EQ(Shell("sox " + encoded + " -e signed-integer -b 16 " + reference), 0);

    ASSERT_EQ(ConvertPath(encoded), "");
    const PcmFile ours = Output();
    const PcmFile theirs = ReadPcm(reference);
    ASSERT_EQ(ours.samples.size(), theirs.samples.size());
    EXPECT_EQ(ours.samples, theirs.samples);
}

INSTANTIATE_TEST_SUITE_P(Encodings, SoxCrossCheck,
                         ::testing::Values("mu-law", "a-law", "ima-adpcm", "ms-adpcm",
                                           "gsm-full-rate", "raw-gsm"),
                         [](const auto& info) {
                             std::string name = info.param;
                             for (char& c : name) c = (c == '-') ? '_' : c;
                             return name;
                         });
