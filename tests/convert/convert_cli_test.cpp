#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <filesystem>

#include "tests/test_util.h"

using namespace testutil;

namespace {

struct Result {
    int status;
    std::string output;  // stdout and stderr together
};

// Runs the converter; environment is put before the command ("NAME=value ").
Result RunConvert(const std::string& arguments, const std::string& environment = "") {
    const std::string command =
        environment + std::string(CORVANE_BIN_DIR) + "/corvane-convert " + arguments + " 2>&1";
    FILE* pipe = ::popen(command.c_str(), "r");
    Result r{-1, ""};
    char buffer[256];
    while (size_t n = std::fread(buffer, 1, sizeof buffer, pipe)) r.output.append(buffer, n);
    const int status = ::pclose(pipe);
    r.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return r;
}

std::string Quote(const std::string& s) {
    return "'" + s + "'";
}

Bytes MuLawFile() {
    Format f;
    f.formatTag = FormatTag::MuLaw;
    f.byteRate = 8000;
    f.blockAlign = 1;
    f.bitsPerSample = 8;
    return Wave(f, Bytes(8000, 0x80));
}

}  // namespace

TEST(ConvertCli, ConvertsAndDescribes) {
    TempDir dir;
    WriteFile(dir.File("in.wav"), MuLawFile());
    Result r = RunConvert(Quote(dir.File("in.wav")) + " " + Quote(dir.File("out.wav")));
    EXPECT_EQ(r.status, 0) << r.output;
    EXPECT_EQ(ReadPcm(dir.File("out.wav")).samples.size(), 8000u);

    r = RunConvert("--info " + Quote(dir.File("in.wav")));
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.output.find("G.711 mu-law"), std::string::npos) << r.output;
    EXPECT_NE(r.output.find("8000 Hz"), std::string::npos) << r.output;
}

TEST(ConvertCli, FailuresPrintTheSourceAndTheSystemsMessage) {
    TempDir dir;
    WriteFile(dir.File("bad.wav"), Bytes{'R', 'I', 'F'});
    Result r = RunConvert(Quote(dir.File("bad.wav")) + " " + Quote(dir.File("out.wav")));
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.output, "corvane-convert: " + dir.File("bad.wav") + ": Invalid wav header.\n");

    r = RunConvert(Quote(dir.File("none.wav")) + " " + Quote(dir.File("out.wav")));
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.output.find("No such file or directory"), std::string::npos) << r.output;

    r = RunConvert("");
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.output.find("usage:"), std::string::npos);
    EXPECT_EQ(RunConvert("--bogus a b").status, 2);
}

TEST(ConvertCli, RefusesToWriteOverItsOwnSource) {
    TempDir dir;
    const Bytes original = MuLawFile();
    WriteFile(dir.File("in.wav"), original);
    std::filesystem::create_symlink(dir.File("in.wav"), dir.File("link.wav"));
    for (const char* target : {"in.wav", "link.wav"}) {
        const Result r = RunConvert(Quote(dir.File("in.wav")) + " " + Quote(dir.File(target)));
        EXPECT_EQ(r.status, 1) << target;
        EXPECT_NE(r.output.find("own source"), std::string::npos) << r.output;
        EXPECT_EQ(ReadFile(dir.File("in.wav")), original) << "source destroyed via " << target;
    }
}

TEST(ConvertCli, PlaysToTheEndOnTheNullDeviceAndLeavesNothingBehind) {
    TempDir dir;
    std::filesystem::create_directory(dir.path() / "tmp");
    WriteFile(dir.File("short.wav"), Wave(Format{}, Bytes(8000, 0)));  // 0.5 s of silence
    const Result played = RunConvert("--play " + Quote(dir.File("short.wav")),
                                     "CORVANE_AUDIO=null TMPDIR=" + Quote(dir.File("tmp")) + " ");
    EXPECT_EQ(played.status, 0) << played.output;
    EXPECT_NE(played.output.find("/ 0:00"), std::string::npos) << played.output;
    EXPECT_TRUE(std::filesystem::is_empty(dir.path() / "tmp"));

    const Result r = RunConvert("--play " + Quote(dir.File("missing.wav")));
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.output.find("No such file or directory"), std::string::npos) << r.output;
}

TEST(ConvertCli, AFailedConversionLeavesAnExistingOutputAsItWas) {
    TempDir dir;
    WriteFile(dir.File("bad.wav"), Bytes{'R', 'I', 'F', 'F', 0, 0});
    const Bytes previous = MuLawFile();
    WriteFile(dir.File("out.wav"), previous);
    const Result r = RunConvert(Quote(dir.File("bad.wav")) + " " + Quote(dir.File("out.wav")));
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(ReadFile(dir.File("out.wav")), previous);
    // Nothing else is left in the folder.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 2);

    // A successful conversion replaces it.
    WriteFile(dir.File("in.wav"), MuLawFile());
    ASSERT_EQ(RunConvert(Quote(dir.File("in.wav")) + " " + Quote(dir.File("out.wav"))).status, 0);
    EXPECT_EQ(ReadPcm(dir.File("out.wav")).samples.size(), 8000u);
}
