#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <thread>

#include "convert/batch.h"
#include "platform/locked_folder.h"
#include "tests/test_util.h"

using namespace testutil;

namespace {

struct Result {
    int status;
    std::string output;  // stdout and stderr together
};

const std::string kConverter = std::string(CORVANE_BIN_DIR) + "/corvane-convert";

// Runs the converter through the shell; environment is put before the command ("NAME=value ",
// "cd DIR && "). The output is stdout, and stderr too unless withStderr is false.
Result RunConvert(const std::string& arguments, const std::string& environment = "",
                  bool withStderr = true) {
    const std::string command =
        environment + kConverter + " " + arguments + (withStderr ? " 2>&1" : " 2>/dev/null");
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

// A G.729 file whose header announces no data, followed by 64 MB of frames that are not on
// the disk: its conversion takes long enough to be interrupted.
void WriteSlowSource(const std::string& path) {
    Format f;
    f.formatTag = FormatTag::G729;
    f.byteRate = 1000;
    f.blockAlign = 10;
    f.bitsPerSample = 0;
    WriteFile(path, Wave(f, {}));
    std::filesystem::resize_file(path, 44 + (64 << 20));
}

size_t ScratchFilesIn(const std::filesystem::path& folder) {
    size_t n = 0;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        n += entry.path().filename().string().find(".corvane-part-") != std::string::npos;
    return n;
}

// Starts the converter with every signal at its default action, whatever the test runner set;
// stdin, stdout and stderr go to files when named, and environment is added to the converter's.
pid_t StartConvert(const std::vector<std::string>& arguments,
                   const std::string& standardOutput = "", const std::string& standardError = "",
                   const std::vector<std::string>& environment = {},
                   const std::string& standardInput = "") {
    std::vector<char*> argv{const_cast<char*>(kConverter.c_str())};
    for (const std::string& a : arguments) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    std::vector<char*> env(environment.size());
    std::transform(environment.begin(), environment.end(), env.begin(),
                   [](const std::string& e) { return const_cast<char*>(e.c_str()); });
    for (char** e = environ; *e; ++e) env.push_back(*e);
    env.push_back(nullptr);
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t signals;
    sigemptyset(&signals);
    posix_spawnattr_setsigmask(&attributes, &signals);
    sigfillset(&signals);
    posix_spawnattr_setsigdefault(&attributes, &signals);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK);
    posix_spawn_file_actions_t files;
    posix_spawn_file_actions_init(&files);
    const int flags = O_WRONLY | O_CREAT | O_TRUNC;
    if (!standardInput.empty())
        posix_spawn_file_actions_addopen(&files, 0, standardInput.c_str(), O_RDONLY, 0);
    if (!standardOutput.empty())
        posix_spawn_file_actions_addopen(&files, 1, standardOutput.c_str(), flags, 0600);
    if (!standardError.empty())
        posix_spawn_file_actions_addopen(&files, 2, standardError.c_str(), flags, 0600);
    pid_t pid = -1;
    posix_spawn(&pid, kConverter.c_str(), &files, &attributes, argv.data(), env.data());
    posix_spawn_file_actions_destroy(&files);
    posix_spawnattr_destroy(&attributes);
    return pid;
}

// The wait status; a process still running after 20 s is killed.
int Ended(pid_t pid) {
    int status = 0;
    for (int i = 0; i < 2000; ++i) {
        if (::waitpid(pid, &status, WNOHANG) == pid) return status;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ::kill(pid, SIGKILL);
    ::waitpid(pid, &status, 0);
    return status;
}

}  // namespace

TEST(ConvertCli, ConvertsAndDescribes) {
    TempDir dir;
    WriteFile(dir.File("in.wav"), MuLawFile());
    Result r = RunConvert(Quote(dir.File("in.wav")) + " " + Quote(dir.File("out.wav")));
    EXPECT_EQ(r.status, 0) << r.output;
    EXPECT_EQ(ReadPcm(dir.File("out.wav")).samples.size(), 8000u);

    // A trailing chunk is no sound: the data to decode ends where the data chunk does.
    Bytes tagged = MuLawFile();
    for (const char* b : {"LIST", "\x04\0\0\0", "INFO"}) tagged.insert(tagged.end(), b, b + 4);
    WriteFile(dir.File("in.wav"), tagged);
    r = RunConvert("--info " + Quote(dir.File("in.wav")));
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.output.find("G.711 mu-law"), std::string::npos) << r.output;
    EXPECT_NE(r.output.find("8000 Hz"), std::string::npos) << r.output;
    EXPECT_NE(r.output.find("sound data:      8000 bytes"), std::string::npos) << r.output;
    // A WAVE file named *.gsm is described as the raw GSM that its conversion reads.
    std::filesystem::rename(dir.File("in.wav"), dir.File("in.GSM"));
    r = RunConvert("--info " + Quote(dir.File("in.GSM")));
    EXPECT_NE(r.output.find("GSM 06.10 (format tag 0x31), raw GSM file"), std::string::npos)
        << r.output;
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

    // A successful conversion replaces it, also through a link, and keeps its mode.
    WriteFile(dir.File("in.wav"), MuLawFile());
    ::chmod(dir.File("out.wav").c_str(), 0600);
    std::filesystem::create_symlink("out.wav", dir.File("link.wav"));
    ASSERT_EQ(RunConvert(Quote(dir.File("in.wav")) + " " + Quote(dir.File("link.wav"))).status, 0);
    EXPECT_EQ(ReadPcm(dir.File("out.wav")).samples.size(), 8000u);
    EXPECT_TRUE(std::filesystem::is_symlink(dir.File("link.wav")));
    struct stat st {};
    ::stat(dir.File("out.wav").c_str(), &st);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
}

TEST(ConvertCli, AnUnwritableFolderLeavesAWritableOutputAsItWas) {
    TempDir dir;
    WriteFile(dir.File("in.wav"), MuLawFile());
    WriteFile(dir.File("bad.wav"), Bytes{'R', 'I', 'F', 'F', 0, 0});
    std::filesystem::create_directory(dir.path() / "locked");
    const Bytes previous{'o', 'l', 'd'};
    // A WAVE output, and a shared copy (decoded elsewhere first).
    for (const char* name : {"out.wav", "out.opus"}) {
        WriteFile(dir.File("locked/") + name, previous);
        ::chmod((dir.File("locked/") + name).c_str(), 0666);
    }
    // The superuser writes anywhere: the converter then runs as nobody, who cannot write the
    // folder (the superuser's, mode 755).
    const bool root = ::geteuid() == 0;
    const std::string as = root ? "setpriv --reuid=65534 --regid=65534 --clear-groups " : "";
    if (!root) ::chmod(dir.File("locked").c_str(), 0555);
    for (const char* name : {"out.wav", "out.opus"}) {
        const std::string output = dir.File("locked/") + name;
        for (const char* source : {"bad.wav", "in.wav"}) {
            const Result r = RunConvert(Quote(dir.File(source)) + " " + Quote(output), as);
            EXPECT_EQ(r.status, 1) << source;
            EXPECT_NE(r.output.find("Permission denied"), std::string::npos) << r.output;
            EXPECT_EQ(ReadFile(output), previous) << source << " " << name;
            EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path() / "locked"), {}),
                      2);
        }
    }
    ::chmod(dir.File("locked").c_str(), 0755);
    // A full disk midway through a shared copy, on a device.
    const Result r = RunConvert("--format flac " + Quote(dir.File("in.wav")) + " /dev/full");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.output, "corvane-convert: " + dir.File("in.wav") +
                            ": Cannot write \"/dev/full\": No space left on device.\n");
}

TEST(ConvertCli, ASignalLeavesTheOutputAndNoScratchFile) {
    TempDir dir;
    WriteSlowSource(dir.File("slow.wav"));
    WriteSlowSource(dir.File("slow2.wav"));
    std::filesystem::create_directory(dir.path() / "batch");
    const std::string output = dir.File("out.wav");
    const Bytes previous = MuLawFile();
    WriteFile(output, previous);
    struct Case {
        int signal;
        std::vector<std::string> arguments;
        std::filesystem::path folder;  // where the scratch files appear
        size_t conversions;
    };
    const Case cases[] = {
        {SIGTERM, {dir.File("slow.wav"), output}, dir.path(), 1},
        {SIGHUP, {dir.File("slow.wav"), output}, dir.path(), 1},
        // Two conversions at once in batch mode.
        {SIGINT,
         {"--output-dir", dir.File("batch"), "-j", "2", dir.File("slow.wav"),
          dir.File("slow2.wav")},
         dir.path() / "batch",
         2},
    };
    for (const Case& c : cases) {
        const pid_t pid = StartConvert(c.arguments);
        ASSERT_GT(pid, 0);
        for (int i = 0; i < 2000 && ScratchFilesIn(c.folder) < c.conversions; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        EXPECT_EQ(ScratchFilesIn(c.folder), c.conversions) << strsignal(c.signal);
        ::kill(pid, c.signal);
        const int status = Ended(pid);
        EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == c.signal) << strsignal(c.signal);
        EXPECT_EQ(ReadFile(output), previous);
        EXPECT_EQ(ScratchFilesIn(dir.path()) + ScratchFilesIn(dir.path() / "batch"), 0u)
            << strsignal(c.signal);
        EXPECT_TRUE(std::filesystem::is_empty(dir.path() / "batch"));
    }
}

TEST(ConvertCli, WritesTheCompleteFileToAPipeOrAFifo) {
    TempDir dir;
    WriteFile(dir.File("in.wav"), MuLawFile());
    ASSERT_EQ(RunConvert(Quote(dir.File("in.wav")) + " " + Quote(dir.File("file.wav"))).status, 0);
    const Bytes expected = ReadFile(dir.File("file.wav"));
    const std::string in = dir.File("in.wav");

    Result r = RunConvert(Quote(in) + " -", "cd " + Quote(dir.File("")) + " && ", false);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(Bytes(r.output.begin(), r.output.end()), expected);

    ASSERT_EQ(::mkfifo(dir.File("fifo").c_str(), 0600), 0);
    r = RunConvert(Quote(in) + " " + Quote(dir.File("fifo")) + " & cat " + Quote(dir.File("fifo")),
                   "", false);
    EXPECT_EQ(Bytes(r.output.begin(), r.output.end()), expected);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 3);
}

TEST(ConvertCli, BatchConvertsEverySourceIntoTheFolderAndReportsEachFailure) {
    EXPECT_EQ(BatchOutputName("calls/msg.gsm"), "msg.wav");
    EXPECT_EQ(BatchOutputName("note"), "note.wav");
    EXPECT_EQ(BatchOutputName("a.b.WAV"), "a.b.wav");

    TempDir dir;
    for (const char* folder : {"in", "other", "out"})
        std::filesystem::create_directory(dir.path() / folder);
    WriteFile(dir.File("in/msg.gsm"), Bytes(33 * 5, 0));
    WriteFile(dir.File("in/note"), MuLawFile());
    WriteFile(dir.File("in/bad.wav"), Bytes{'R', 'I', 'F'});
    WriteFile(dir.File("other/note.wav"), MuLawFile());
    const std::string out = Quote(dir.File("out"));

    // Clashes are refused before anything is converted.
    Result r = RunConvert("--output-dir " + out + " " + Quote(dir.File("in/note")) + " " +
                          Quote(dir.File("in/msg.gsm")) + " " + Quote(dir.File("other/note.wav")));
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.output, "corvane-convert: " + dir.File("other/note.wav") +
                            ": Same output name as \"" + dir.File("in/note") + "\".\n");
    WriteFile(dir.File("out/own.wav"), MuLawFile());
    r = RunConvert("--output-dir " + out + " " + Quote(dir.File("out/own.wav")));
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.output.find("own source"), std::string::npos) << r.output;
    std::filesystem::remove(dir.File("out/own.wav"));
    EXPECT_TRUE(std::filesystem::is_empty(dir.path() / "out"));
    // Two output names that are one file through a link, with that file new or existing.
    WriteFile(dir.File("in/q.wav"), MuLawFile());
    WriteFile(dir.File("in/p.gsm"), Bytes(33, 0));
    std::filesystem::create_symlink("q.wav", dir.File("out/p.wav"));
    for (bool exists : {false, true}) {
        if (exists) WriteFile(dir.File("out/q.wav"), Bytes{'o', 'l', 'd'});
        r = RunConvert("--output-dir " + out + " " + Quote(dir.File("in/msg.gsm")) + " " +
                       Quote(dir.File("in/q.wav")) + " " + Quote(dir.File("in/p.gsm")));
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(r.output, "corvane-convert: " + dir.File("in/p.gsm") +
                                ": Same output name as \"" + dir.File("in/q.wav") + "\".\n");
        EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path() / "out"), {}),
                  exists ? 2 : 1);
    }
    std::filesystem::remove(dir.File("out/p.wav"));
    std::filesystem::remove(dir.File("out/q.wav"));

    r = RunConvert("--output-dir " + out + " -j 2 " + Quote(dir.File("in/msg.gsm")) + " " +
                   Quote(dir.File("in/bad.wav")) + " " + Quote(dir.File("in/note")));
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.output, "corvane-convert: " + dir.File("in/bad.wav") + ": Invalid wav header.\n");
    // The same bytes as one conversion at a time.
    for (const char* name : {"msg", "note"}) {
        const std::string source =
            dir.File(std::string("in/") + name + (name[0] == 'm' ? ".gsm" : ""));
        ASSERT_EQ(RunConvert(Quote(source) + " " + Quote(dir.File("single.wav"))).status, 0);
        EXPECT_EQ(ReadFile(dir.File(std::string("out/") + name + ".wav")),
                  ReadFile(dir.File("single.wav")))
            << name;
    }
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path() / "out"), {}), 2);
}

TEST(ConvertCli, HelpVersionAndTheEndOfOptions) {
    Result r = RunConvert("--help", "", false);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.output.rfind("usage: corvane-convert", 0), 0u) << r.output;
    EXPECT_NE(r.output.find("--output-dir DIR"), std::string::npos);
    r = RunConvert("--version", "", false);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.output.rfind("corvane-convert ", 0), 0u) << r.output;

    TempDir dir;
    WriteFile(dir.File("-dash.wav"), MuLawFile());
    const std::string cd = "cd " + Quote(dir.File("")) + " && ";
    EXPECT_EQ(RunConvert("-dash.wav out.wav", cd).status, 2);
    EXPECT_EQ(RunConvert("-- -dash.wav out.wav", cd).status, 0);
    EXPECT_EQ(ReadPcm(dir.File("out.wav")).samples.size(), 8000u);
}

TEST(ConvertCli, InfoReportsOutOfMemoryForAHugeFmtChunk) {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
    GTEST_SKIP() << "the sanitizers need more address space than the limit leaves";
#endif
    TempDir dir;
    Bytes header = MuLawFile();
    header.resize(36);
    const uint32_t fmtSize = 16 + 300'000'000;  // the extension's bytes are in the file
    for (int i = 0; i < 4; ++i) header[16 + i] = static_cast<uint8_t>(fmtSize >> (8 * i));
    WriteFile(dir.File("huge.wav"), header);
    std::filesystem::resize_file(dir.File("huge.wav"), 36 + fmtSize);
    const Result r = RunConvert("--info " + Quote(dir.File("huge.wav")), "ulimit -v 200000; ");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.output, "corvane-convert: " + dir.File("huge.wav") + ": Out of memory.\n");
}

// A descriptor closed by whoever started the converter is opened on /dev/null, so no file
// the converter opens takes its number and no message lands in a converted file.
TEST(ConvertCli, ClosedStandardDescriptorsNeverReachAnOutput) {
    TempDir dir;
    std::filesystem::create_directory(dir.path() / "out");
    WriteFile(dir.File("good.wav"), MuLawFile());
    WriteFile(dir.File("bad.wav"), Bytes{'R', 'I', 'F'});
    ASSERT_EQ(RunConvert(Quote(dir.File("good.wav")) + " " + Quote(dir.File("one.wav"))).status, 0);
    const Bytes expected = ReadFile(dir.File("one.wav"));
    std::string sources;
    for (int i = 0; i < 24; ++i) {
        for (const char* kind : {"good", "bad"}) {
            const std::string name = dir.File(kind + std::to_string(i) + ".wav");
            std::filesystem::copy_file(dir.File(std::string(kind) + ".wav"), name);
            sources += " " + Quote(name);
        }
    }
    const std::string batch = "--output-dir " + Quote(dir.File("out")) + " -j 2" + sources;
    // Run in a subshell that closes the descriptor; what is left of stdout and stderr is read.
    const auto closing = [](int fd, const std::string& arguments) {
        return RunConvert(arguments + ")", "(exec " + std::to_string(fd) + ">&-; ");
    };
    for (int fd : {0, 2}) {
        std::filesystem::remove_all(dir.path() / "out");
        std::filesystem::create_directory(dir.path() / "out");
        EXPECT_EQ(closing(fd, batch).status, 1) << fd;
        for (int i = 0; i < 24; ++i)
            EXPECT_TRUE(ReadFile(dir.File("out/good" + std::to_string(i) + ".wav")) == expected)
                << "descriptor " << fd << ", file " << i;
    }

    // What would go to a closed standard output is an error, and nothing is converted.
    std::filesystem::remove_all(dir.path() / "out");
    std::filesystem::create_directory(dir.path() / "out");
    for (const std::string& arguments :
         {"--verbose " + batch, Quote(dir.File("good.wav")) + " -",
          "--verbose " + Quote(dir.File("good.wav")) + " " + Quote(dir.File("out/v.wav")),
          "--info " + Quote(dir.File("good.wav"))}) {
        const Result r = closing(1, arguments);
        EXPECT_EQ(r.status, 1) << arguments;
        EXPECT_EQ(r.output,
                  "corvane-convert: Cannot write to standard output: Bad file "
                  "descriptor.\n");
    }
    EXPECT_TRUE(std::filesystem::is_empty(dir.path() / "out"));
    EXPECT_EQ(closing(2, Quote(dir.File("bad.wav")) + " " + Quote(dir.File("out/b.wav"))).status,
              1);
    EXPECT_TRUE(std::filesystem::is_empty(dir.path() / "out"));
}

// "SIGPIPE (Broken pipe)", "SIGRTMIN+2 (Real-time signal 2)".
std::string SignalText(int signal) {
    const int n = signal - SIGRTMIN;
    return sigabbrev_np(signal)
               ? "SIG" + std::string(sigabbrev_np(signal)) + " (" + sigdescr_np(signal) + ")"
               : "SIGRTMIN+" + std::to_string(n) + " (Real-time signal " + std::to_string(n) + ")";
}

// Every other signal that ends the process removes the scratch file too, also the one in the
// temporary folder for OUTPUT -, ends with that signal's status and says why.
class ConvertEndedBy : public ::testing::TestWithParam<int> {};

TEST_P(ConvertEndedBy, ASignalLeavesNoScratchFileAndSaysWhy) {
    const int signal = GetParam();
    const rlimit noCore{0, 0};  // faults and SIGQUIT would write a core file
    ::setrlimit(RLIMIT_CORE, &noCore);
    TempDir dir;
    WriteSlowSource(dir.File("slow.wav"));
    std::filesystem::create_directory(dir.path() / "tmp");
    const std::string output = dir.File("out.wav");
    const Bytes previous = MuLawFile();
    WriteFile(output, previous);
    for (const std::string& to : {output, std::string("-")}) {
        const std::filesystem::path folder = to == "-" ? dir.path() / "tmp" : dir.path();
        const pid_t pid = StartConvert({dir.File("slow.wav"), to}, "/dev/null", dir.File("err"),
                                       {"TMPDIR=" + dir.File("tmp")});
        ASSERT_GT(pid, 0);
        for (int i = 0; i < 2000 && ScratchFilesIn(folder) == 0; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        ASSERT_EQ(ScratchFilesIn(folder), 1u) << to;
        ::kill(pid, signal);
        const int status = Ended(pid);
        EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == signal) << to;
        EXPECT_EQ(ScratchFilesIn(dir.path()) + ScratchFilesIn(dir.path() / "tmp"), 0u) << to;
        EXPECT_TRUE(ReadFile(output) == previous);
        const Bytes said = ReadFile(dir.File("err"));
        EXPECT_EQ(std::string(said.begin(), said.end()),
                  "corvane-convert: ended by " + SignalText(signal) + ".\n");
    }
}

INSTANTIATE_TEST_SUITE_P(EveryEndingSignal, ConvertEndedBy,
                         ::testing::Values(SIGPIPE, SIGXFSZ, SIGQUIT, SIGALRM, SIGUSR1, SIGUSR2,
                                           SIGXCPU, SIGPWR, SIGVTALRM, SIGPROF, SIGTRAP, SIGABRT,
                                           SIGRTMIN + 2),
                         [](const ::testing::TestParamInfo<int>& info) {
                             const std::string text = SignalText(info.param);
                             return text.substr(0, text.find_first_of(" +"));
                         });

// SOURCE - is standard input, spooled privately in the temporary folder and never left there.
TEST(ConvertCli, ReadsStandardInputThroughASpoolThatIsAlwaysRemoved) {
    TempDir dir;
    std::filesystem::create_directory(dir.path() / "tmp");
    WriteFile(dir.File("in.wav"), MuLawFile());
    ASSERT_EQ(RunConvert(Quote(dir.File("in.wav")) + " " + Quote(dir.File("file.wav"))).status, 0);
    const std::string tmp = "TMPDIR=" + Quote(dir.File("tmp")) + " ";
    const std::string in = " < " + Quote(dir.File("in.wav"));
    Result r = RunConvert("- " + Quote(dir.File("out.wav")) + in, tmp);
    EXPECT_EQ(r.status, 0) << r.output;
    EXPECT_TRUE(ReadFile(dir.File("out.wav")) == ReadFile(dir.File("file.wav")));
    r = RunConvert("--info -" + in, tmp);
    EXPECT_NE(r.output.find("G.711 mu-law"), std::string::npos) << r.output;
    r = RunConvert("- -" + std::string(" < ") + Quote(dir.File("file.wav")) + " | head -c 0", tmp);
    EXPECT_TRUE(std::filesystem::is_empty(dir.path() / "tmp"));
    EXPECT_EQ(RunConvert("- " + Quote(dir.File("out.wav")) + " < /dev/null", tmp).output,
              "corvane-convert: -: Invalid wav header.\n");
    // Closed, or one source among many, it is refused.
    r = RunConvert("- " + Quote(dir.File("new.wav")) + " <&-");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.output, "corvane-convert: Cannot read standard input: Bad file descriptor.\n");
    EXPECT_EQ(RunConvert("--output-dir " + Quote(dir.File("tmp")) + " -" + in).status, 2);

    // A signal during the conversion removes the spool, which only the user can read.
    WriteSlowSource(dir.File("slow.wav"));
    const pid_t pid = StartConvert({"-", dir.File("new.wav")}, "", "/dev/null",
                                   {"TMPDIR=" + dir.File("tmp")}, dir.File("slow.wav"));
    for (int i = 0; i < 2000 && ScratchFilesIn(dir.path()) == 0; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    ASSERT_EQ(ScratchFilesIn(dir.path() / "tmp"), 1u);
    const auto spool = *std::filesystem::directory_iterator(dir.path() / "tmp");
    EXPECT_EQ(spool.status().permissions(),
              std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
    ::kill(pid, SIGUSR1);
    EXPECT_EQ(WTERMSIG(Ended(pid)), SIGUSR1);
    EXPECT_TRUE(std::filesystem::is_empty(dir.path() / "tmp"));
    EXPECT_FALSE(std::filesystem::exists(dir.File("new.wav")));
}

// --play keeps its decoded copy in a locked folder of its own: the next run removes the one a
// killed run left, but not one whose process still runs.
TEST(ConvertCli, PlayRemovesTheCopyAKilledPlayLeft) {
    TempDir dir;
    std::filesystem::create_directory(dir.path() / "tmp");
    WriteFile(dir.File("long.wav"), Wave(Format{}, Bytes(16000 * 60, 0)));
    const std::vector<std::string> environment{"CORVANE_AUDIO=null", "TMPDIR=" + dir.File("tmp")};
    const pid_t killed =
        StartConvert({"--play", dir.File("long.wav")}, "/dev/null", "/dev/null", environment);
    std::filesystem::path left;
    for (int i = 0; i < 2000 && left.empty(); ++i) {
        for (const auto& entry : std::filesystem::directory_iterator(dir.path() / "tmp"))
            if (ScratchFilesIn(entry.path()) == 1) left = entry.path();
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ASSERT_FALSE(left.empty());
    ::kill(killed, SIGKILL);
    Ended(killed);
    ASSERT_TRUE(std::filesystem::exists(left));

    const LockedFolder living(dir.File("tmp"));
    WriteFile(dir.File("short.wav"), Wave(Format{}, Bytes(1600, 0)));
    const Result r = RunConvert("--play " + Quote(dir.File("short.wav")),
                                "CORVANE_AUDIO=null TMPDIR=" + Quote(dir.File("tmp")) + " ");
    EXPECT_EQ(r.status, 0) << r.output;
    EXPECT_FALSE(std::filesystem::exists(left));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path() / "tmp"), {}), 1);
    EXPECT_TRUE(std::filesystem::exists(living.Path()));
}

namespace {

// A spoken message (espeak-ng, about 9 s at 8000 Hz, mono, 16-bit) as a WAVE file.
void WriteSpeech(const TempDir& dir, const std::string& path) {
    const std::vector<int16_t> speech = VoiceMessage(dir, {300, 600, 400}, -70.0);
    ASSERT_FALSE(speech.empty()) << "espeak-ng or sox failed";
    WritePcmWave(path, speech);
}

// The samples of a file as ffmpeg decodes it: 16-bit, mono, at rate.
std::vector<int16_t> DecodedByFfmpeg(const std::string& path, unsigned rate) {
    const std::string raw = path + ".raw";
    EXPECT_EQ(std::system(("ffmpeg -v error -y -i " + Quote(path) + " -f s16le -ac 1 -ar " +
                           std::to_string(rate) + " " + Quote(raw))
                              .c_str()),
              0)
        << path;
    const Bytes bytes = ReadFile(raw);
    std::vector<int16_t> samples(bytes.size() / 2);
    std::memcpy(samples.data(), bytes.data(), samples.size() * 2);
    return samples;
}

// A field of a file's first stream as ffprobe reads it: "codec_name" gives "opus", "mp3".
std::string StreamField(const std::string& path, const std::string& field) {
    std::string text =
        ShellOutput("ffprobe -v error -select_streams a:0 -show_entries stream=" + field +
                    " -of default=nw=1:nk=1 " + Quote(path));
    while (!text.empty() && text.back() == '\n') text.pop_back();
    return text;
}

double Rms(const std::vector<int16_t>& samples) {
    double sum = 0;
    for (int16_t s : samples) sum += static_cast<double>(s) * s;
    return samples.empty() ? 0 : std::sqrt(sum / samples.size());
}

// The channel count and input rate in an Ogg Opus file's identification header.
std::pair<unsigned, uint32_t> OpusHead(const Bytes& file) {
    const std::string text(file.begin(), file.end());
    const size_t at = text.find("OpusHead");
    if (at == std::string::npos || at + 16 > file.size()) return {0, 0};
    uint32_t rate = 0;
    for (int i = 3; i >= 0; --i) rate = rate << 8 | file[at + 12 + i];
    return {file[at + 9], rate};
}

}  // namespace

// FLAC holds exactly the WAVE output's samples (8-bit ones too); Opus and MP3 are small
// speech copies that a common decoder reads back at the message's length. The format comes
// from OUTPUT's extension in any letter case, or from --format whatever the name says.
TEST(ConvertCli, SharedCopiesDecodeBackWithAnIndependentDecoder) {
    TempDir dir;
    WriteSpeech(dir, dir.File("speech.wav"));
    const std::string in = Quote(dir.File("speech.wav"));
    ASSERT_EQ(RunConvert(in + " " + Quote(dir.File("plain.wav"))).status, 0);
    const PcmFile wave = ReadPcm(dir.File("plain.wav"));
    const double seconds = wave.samples.size() / 8000.0;
    ASSERT_GT(seconds, 5);
    for (const char* name : {"copy.flac", "copy.OPUS", "copy.Mp3"})
        ASSERT_EQ(RunConvert(in + " " + Quote(dir.File(name))).status, 0) << name;
    Result r = RunConvert("--format mp3 " + in + " " + Quote(dir.File("named.wav")));
    ASSERT_EQ(r.status, 0) << r.output;

    const auto flacSamples = [&](const std::string& flac, const char* sign) {
        const std::string raw = dir.File("flac.raw");
        EXPECT_EQ(std::system(("flac -s -d -f --force-raw-format --endian=little --sign=" +
                               std::string(sign) + " -o " + Quote(raw) + " " + Quote(flac))
                                  .c_str()),
                  0);
        return ReadFile(raw);
    };
    const Bytes plain = ReadFile(dir.File("plain.wav"));
    EXPECT_TRUE(flacSamples(dir.File("copy.flac"), "signed") ==
                Bytes(plain.begin() + 44, plain.end()));
    // An 8-bit message stays 8-bit in its WAVE output, and so in the FLAC copy.
    Format eight;
    eight.byteRate = 8000;
    eight.blockAlign = 1;
    eight.bitsPerSample = 8;
    Bytes bytes(4000);
    for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<uint8_t>(i * 7 % 251);
    WriteFile(dir.File("eight.wav"), Wave(eight, bytes));
    ASSERT_EQ(RunConvert(Quote(dir.File("eight.wav")) + " " + Quote(dir.File("eight.flac"))).status,
              0);
    EXPECT_TRUE(flacSamples(dir.File("eight.flac"), "unsigned") == bytes);

    // Speech at 24 kbit/s: about a fifth of 8 kHz 16-bit PCM (128 kbit/s); MP3 at 32.
    const Bytes opus = ReadFile(dir.File("copy.OPUS"));
    const auto kbits = [&](const std::string& name) {
        return std::filesystem::file_size(dir.File(name)) * 8 / seconds / 1000;
    };
    EXPECT_GT(kbits("copy.OPUS"), 18);
    EXPECT_LT(kbits("copy.OPUS"), 30);
    EXPECT_NEAR(kbits("copy.Mp3"), 32, 2);
    EXPECT_EQ(OpusHead(opus), (std::pair<unsigned, uint32_t>{1, 8000}));
    for (const char* name : {"copy.OPUS", "copy.Mp3", "named.wav"}) {
        const std::vector<int16_t> decoded = DecodedByFfmpeg(dir.File(name), 8000);
        // MP3 adds up to a frame of padding (576 samples at 8 kHz).
        EXPECT_NEAR(decoded.size() / 8000.0, seconds, 0.1) << name;
        EXPECT_NEAR(Rms(decoded), Rms(wave.samples), Rms(wave.samples) * 0.2) << name;
    }
    EXPECT_EQ(StreamField(dir.File("named.wav"), "codec_name"), "mp3");
    EXPECT_EQ(StreamField(dir.File("copy.Mp3"), "codec_name"), "mp3");
}

// Opus and MP3 copies are mono, both channels mixed, at the nearest rate above the message's
// that the format takes; the length stays.
TEST(ConvertCli, SpeechCopiesMixDownToMonoAtARateTheFormatTakes) {
    TempDir dir;
    WriteSpeech(dir, dir.File("mono.wav"));
    std::vector<int16_t> stereo;  // the voice on the right only
    for (int16_t s : ReadPcm(dir.File("mono.wav")).samples) stereo.insert(stereo.end(), {0, s});
    WritePcmWave(dir.File("stereo8k.wav"), stereo, 8000, 2);
    ASSERT_EQ(std::system(("sox " + Quote(dir.File("stereo8k.wav")) + " -r 11025 " +
                           Quote(dir.File("stereo.wav")))
                              .c_str()),
              0);
    const std::string in = Quote(dir.File("stereo.wav"));
    const PcmFile wave = ReadPcm(dir.File("stereo.wav"));
    const double seconds = wave.samples.size() / 2 / 11025.0;
    std::vector<int16_t> right;
    for (size_t i = 1; i < wave.samples.size(); i += 2) right.push_back(wave.samples[i]);
    for (const char* name : {"copy.opus", "copy.mp3"})
        ASSERT_EQ(RunConvert(in + " " + Quote(dir.File(name))).status, 0) << name;
    EXPECT_EQ(OpusHead(ReadFile(dir.File("copy.opus"))), (std::pair<unsigned, uint32_t>{1, 12000}));
    for (const char* name : {"copy.opus", "copy.mp3"}) {
        const std::vector<int16_t> decoded = DecodedByFfmpeg(dir.File(name), 11025);
        EXPECT_NEAR(decoded.size() / 11025.0, seconds, 0.1) << name;
        EXPECT_EQ(StreamField(dir.File(name), "channels"), "1") << name;
        // Half the voice: the mean of a silent and a speaking channel.
        EXPECT_NEAR(Rms(decoded), Rms(right) / 2, Rms(right) * 0.1) << name;
    }
}

TEST(ConvertCli, OutputOptionsAreRefusedWhereTheyHaveNoUseAndBadFormatsNamed) {
    TempDir dir;
    WriteFile(dir.File("in.wav"), MuLawFile());
    const std::string in = Quote(dir.File("in.wav"));
    for (const std::string& arguments :
         {"--format ogg " + in + " out.ogg", "--format= " + in + " out.wav",
          "--format FLAC2 " + in + " out.flac", "--format opus --info " + in,
          "--level --info " + in, "--trim-silence --play " + in}) {
        const Result r = RunConvert(arguments);
        EXPECT_EQ(r.status, 2) << arguments;
        EXPECT_NE(r.output.find("usage: corvane-convert"), std::string::npos) << r.output;
        if (arguments.starts_with("--format ogg")) {
            EXPECT_EQ(r.output.rfind(
                          "corvane-convert: unknown format 'ogg' (wav, flac, opus or mp3)\n", 0),
                      0u)
                << r.output;
        }
    }
    EXPECT_FALSE(std::filesystem::exists(dir.File("out.ogg")));

    // Standard output is WAVE unless a format is named; any letter case names it.
    Result r = RunConvert(in + " -", "", false);
    EXPECT_EQ(r.output.substr(0, 4), "RIFF");
    r = RunConvert("--format FLAC " + in + " -", "", false);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.output.substr(0, 4), "fLaC");
    // An extension that names no format is WAVE, byte for byte.
    ASSERT_EQ(RunConvert(in + " " + Quote(dir.File("a.wav"))).status, 0);
    ASSERT_EQ(RunConvert(in + " " + Quote(dir.File("a.ogg"))).status, 0);
    EXPECT_TRUE(ReadFile(dir.File("a.ogg")) == ReadFile(dir.File("a.wav")));
}

TEST(ConvertCli, BatchWritesEachSourceInTheFormatUnderItsExtension) {
    EXPECT_EQ(BatchOutputName("calls/msg.gsm", ShareFormat::kOpus), "msg.opus");
    TempDir dir;
    std::filesystem::create_directory(dir.path() / "out");
    WriteFile(dir.File("msg.gsm"), Bytes(33 * 50, 0));
    WriteFile(dir.File("note.wav"), MuLawFile());
    const Result r =
        RunConvert("--verbose --format flac --output-dir " + Quote(dir.File("out")) + " -j 2 " +
                   Quote(dir.File("msg.gsm")) + " " + Quote(dir.File("note.wav")));
    EXPECT_EQ(r.status, 0) << r.output;
    EXPECT_NE(r.output.find("wrote FLAC, 1 channel(s), 8000 Hz, 8000 samples per channel"),
              std::string::npos)
        << r.output;
    for (const char* name : {"msg.flac", "note.flac"})
        EXPECT_EQ(StreamField(dir.File(std::string("out/") + name), "codec_name"), "flac") << name;
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path() / "out"), {}), 2);
}

// --trim-silence and --level each reach their tool, in any format and in batch mode.
TEST(ConvertCli, VoiceToolsShapeTheOutputOnlyWhenAskedFor) {
    TempDir dir;
    std::vector<int16_t> message = VoiceMessage(dir, {2000}, -50.0);
    ASSERT_FALSE(message.empty()) << "espeak-ng or sox failed";
    for (int16_t& s : message) s = static_cast<int16_t>(s / 8);  // a quiet caller
    WritePcmWave(dir.File("quiet.wav"), message);
    const double seconds = message.size() / 8000.0;
    const double quiet = MeasureLoudness(dir.File("quiet.wav")).integratedLufs;
    ASSERT_LT(quiet, -20);
    const std::string in = Quote(dir.File("quiet.wav"));
    std::filesystem::create_directory(dir.path() / "batch");
    for (const std::string& arguments :
         {"--trim-silence " + in + " " + Quote(dir.File("trimmed.wav")),
          "--level " + in + " " + Quote(dir.File("levelled.flac")),
          "--trim-silence --level --output-dir " + Quote(dir.File("batch")) + " " + in})
        ASSERT_EQ(RunConvert(arguments).status, 0) << arguments;
    const auto length = [](const std::string& path) {
        return DecodedByFfmpeg(path, 8000).size() / 8000.0;
    };
    // The pause of 2 s plays as a quarter of a second.
    EXPECT_NEAR(length(dir.File("trimmed.wav")), seconds - 1.75, 0.1);
    EXPECT_NEAR(MeasureLoudness(dir.File("trimmed.wav")).integratedLufs, quiet, 1.0);
    EXPECT_NEAR(length(dir.File("levelled.flac")), seconds, 0.01);
    EXPECT_NEAR(MeasureLoudness(dir.File("levelled.flac")).integratedLufs, -16, 1.0);
    EXPECT_NEAR(length(dir.File("batch/quiet.wav")), seconds - 1.75, 0.1);
    EXPECT_NEAR(MeasureLoudness(dir.File("batch/quiet.wav")).integratedLufs, -16, 1.0);
}
