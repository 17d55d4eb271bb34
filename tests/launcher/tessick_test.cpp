// End-to-end tests of the tessick program against a stand-in player (fake_player), which
// takes the hand-over the way the player does and logs what it received. Every program runs
// with its runtime and settings folders in a private temporary folder.
//
// Any program that serves the hand-over socket can take the stand-in's place through
// StartPlayerProgram (the player itself, say, with QT_QPA_PLATFORM=offscreen and
// CORVANE_AUDIO=null); the checks on "AutoPlay", exit codes and waiting hold for it too,
// only Records() is the stand-in's own.
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QFileInfo>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "platform/qt/handover_channel.h"
#include "platform/qt/settings.h"
#include "tests/test_util.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
using Strings = std::vector<std::string>;

// Nothing here should take long; waiting longer than this means something hangs.
constexpr auto kHangLimit = std::chrono::seconds(30);
// How long a program that should not have been started is given to show up anyway.
constexpr auto kGraceForAbsence = std::chrono::milliseconds(300);

// The folders the programs share, set once for this test process and inherited by every
// program it starts (the settings library keeps the first path it sees).
void UseSessionFolders() {
    static const testutil::TempDir root;
    static const bool ready = [] {
        const fs::path run = root.path() / "run";
        fs::create_directories(run);
        fs::permissions(run, fs::perms::owner_all);
        setenv("XDG_RUNTIME_DIR", run.c_str(), 1);
        setenv("XDG_CONFIG_HOME", (root.path() / "config").c_str(), 1);
        return true;
    }();
    (void)ready;
}

bool WaitFor(const std::function<bool()>& condition) {
    const auto deadline = Clock::now() + kHangLimit;
    while (!condition()) {
        if (Clock::now() > deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
}

// A started program; killed at destruction if it still runs.
class Process {
  public:
    explicit Process(const Strings& argv) {
        std::vector<char*> args;
        for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
        args.push_back(nullptr);
        started_ = Clock::now();
        if (posix_spawn(&pid_, args[0], nullptr, nullptr, args.data(), environ) != 0) pid_ = -1;
    }
    ~Process() {
        if (pid_ > 0 && !status_) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
        }
    }
    Process(const Process&) = delete;
    Process& operator=(const Process&) = delete;

    bool Running() {
        if (pid_ <= 0 || status_) return false;
        int status = 0;
        if (::waitpid(pid_, &status, WNOHANG) != pid_) return true;
        status_ = status;
        ended_ = Clock::now();
        return false;
    }
    // The exit code, or nothing when the program did not end normally in time.
    std::optional<int> Wait() {
        if (!WaitFor([this] { return !Running(); }) || !status_ || !WIFEXITED(*status_)) {
            return std::nullopt;
        }
        return WEXITSTATUS(*status_);
    }
    void Kill() {
        if (Running()) ::kill(pid_, SIGKILL);
        Wait();
    }
    Clock::duration RunTime() const { return ended_ - started_; }

  private:
    pid_t pid_ = -1;
    std::optional<int> status_;
    Clock::time_point started_, ended_;
};

// Records that end with a NUL byte each.
Strings SplitAtNul(const testutil::Bytes& bytes) {
    Strings records;
    std::string current;
    for (uint8_t b : bytes) {
        if (b == 0) {
            records.push_back(current);
            current.clear();
        } else {
            current.push_back(static_cast<char>(b));
        }
    }
    return records;
}

// text as tessick hands it on when it started in this program's working directory.
std::string Here(const std::string& text) {
    return fs::current_path().string() + '/' + text;
}

std::string Taken(const std::string& text) {
    return "CorvanePlay\n=" + text;
}
const std::string kNothingTaken = "CorvanePlay\n-";

class TessickTest : public ::testing::Test {
  protected:
    void SetUp() override {
        UseSessionFolders();
        // tessick starts the player from its own folder: give it a stand-in that records its
        // arguments, one per NUL-terminated record.
        fs::copy_file(CORVANE_TESSICK, folder_.File("tessick"));
        testutil::WriteFile(folder_.File("corvane"),
                            Bytes("#!/bin/sh\nd=$(dirname \"$0\")\n"
                                  "printf '%s\\0' \"$@\" > \"$d/started.tmp\" && mv "
                                  "\"$d/started.tmp\" \"$d/started\"\n"));
        fs::permissions(folder_.File("corvane"), fs::perms::owner_all);
        ClearAutoPlay();
    }
    void TearDown() override {
        if (player_) player_->Kill();
        ::unlink(SocketPath().c_str());
        ClearAutoPlay();
    }

    static testutil::Bytes Bytes(const std::string& s) { return {s.begin(), s.end()}; }
    static std::string SocketPath() { return HandOverSocketPath().toStdString(); }

    // Starts a program that serves the hand-over socket and waits until it listens.
    void StartPlayerProgram(const Strings& argv) {
        ::unlink(SocketPath().c_str());
        player_ = std::make_unique<Process>(argv);
        ASSERT_TRUE(WaitFor([this] { return fs::exists(SocketPath()) || !player_->Running(); }));
        ASSERT_TRUE(player_->Running()) << argv[0] << " did not start";
    }
    // Starts the stand-in player with options (see fake_player.cpp).
    void StartPlayer(const Strings& options = {}) {
        Strings argv{CORVANE_FAKE_PLAYER, log_};
        argv.insert(argv.end(), options.begin(), options.end());
        StartPlayerProgram(argv);
    }

    std::unique_ptr<Process> StartTessick(const Strings& args) {
        Strings argv{folder_.File("tessick")};
        argv.insert(argv.end(), args.begin(), args.end());
        return std::make_unique<Process>(argv);
    }
    // Runs tessick to its end; expects it to end in time with exit code 0.
    Clock::duration RunTessick(const Strings& args) {
        auto tessick = StartTessick(args);
        EXPECT_EQ(tessick->Wait(), 0) << "tessick hung or failed";
        return tessick->RunTime();
    }

    // What the stand-in player took, one entry per request.
    Strings Records() const {
        return fs::exists(log_) ? SplitAtNul(testutil::ReadFile(log_)) : Strings{};
    }

    // The arguments the player program was started with; nothing when it was not started
    // within the time given.
    std::optional<Strings> StartedPlayer(bool expected) const {
        const std::string path = folder_.File("started");
        if (expected) {
            if (!WaitFor([&] { return fs::exists(path); })) return std::nullopt;
        } else {
            std::this_thread::sleep_for(kGraceForAbsence);
            if (!fs::exists(path)) return std::nullopt;
        }
        return SplitAtNul(testutil::ReadFile(path));
    }

    static std::optional<std::string> AutoPlay() {
        const auto settings = OpenCorvaneSettings();
        if (!settings->contains(kAutoPlayKey)) return std::nullopt;
        return settings->value(kAutoPlayKey).toString().toStdString();
    }
    static void ClearAutoPlay() {
        const auto settings = OpenCorvaneSettings();
        settings->remove(kAutoPlayKey);
        settings->sync();
    }

    testutil::TempDir folder_;
    const std::string log_ = folder_.File("player.log");
    std::unique_ptr<Process> player_;
};

// The text arrives as it was given, except that a relative path (the player works in a folder
// of its own) is joined to tessick's working directory; the tag stays as it is.
TEST_F(TessickTest, HandsTheTextOverWithOnlyARelativePathMadeAbsolute) {
    StartPlayer();
    const std::string quoted = "/home/ann/Voice Mail/msg \"from Bob\" it's.wav<cvnm:Bob's <call>";
    RunTessick({quoted});
    // An unquoted path arrives as several arguments and is joined back with single blanks;
    // texts that look like Qt's own options stay the text.
    RunTessick({"-platform", "offscreen", "-qmljsdebugger=port:9", "-reverse.wav<cvnm:Label>"});
    RunTessick({"@odd, name; #1 = ä\\x.wav"});
    RunTessick({"  two  blanks .wav "});
    EXPECT_EQ(
        Records(),
        (Strings{Taken(quoted),
                 Taken(Here("-platform offscreen -qmljsdebugger=port:9 -reverse.wav"
                            "<cvnm:Label>")),
                 Taken(Here("@odd, name; #1 = ä\\x.wav")), Taken(Here("  two  blanks .wav "))}));
    EXPECT_EQ(AutoPlay(), std::nullopt);
    EXPECT_EQ(StartedPlayer(false), std::nullopt);
}

TEST_F(TessickTest, WaitsUntilThePlayerHasDealtWithTheFile) {
    StartPlayer({"--sleep-ms", "300"});
    const auto runTime = RunTessick({"/tmp/a.wav"});
    EXPECT_GE(runTime, std::chrono::milliseconds(300));
    EXPECT_EQ(Records(), Strings{Taken("/tmp/a.wav")});
}

// Left behind, the text would play at the next request that finds no text of its own.
TEST_F(TessickTest, TextThePlayerDidNotTakeIsNotLeftBehind) {
    StartPlayer({"--leave"});
    RunTessick({"/tmp/left.wav"});
    EXPECT_EQ(Records(), Strings{kNothingTaken});
    EXPECT_EQ(AutoPlay(), std::nullopt);
    EXPECT_EQ(StartedPlayer(false), std::nullopt);
}

TEST_F(TessickTest, WithoutATextDoesNothing) {
    RunTessick({});
    RunTessick({""});
    EXPECT_EQ(StartedPlayer(false), std::nullopt);

    StartPlayer();
    RunTessick({});
    RunTessick({""});
    RunTessick({"/m/marker.wav"});
    EXPECT_EQ(Records(), Strings{Taken("/m/marker.wav")});
}

TEST_F(TessickTest, StartsThePlayerWithTheTextWhenNoneRuns) {
    RunTessick({"-platform", "x \"y\".wav<cvnm:Name>"});
    EXPECT_EQ(StartedPlayer(true), Strings{Here("-platform x \"y\".wav<cvnm:Name>")});
    EXPECT_EQ(AutoPlay(), std::nullopt);
}

TEST_F(TessickTest, StartsThePlayerWhenTheLastOneCrashed) {
    StartPlayer();
    player_->Kill();  // its socket stays behind
    ASSERT_TRUE(fs::exists(SocketPath()));
    RunTessick({"/tmp/b.wav"});
    EXPECT_EQ(StartedPlayer(true), Strings{"/tmp/b.wav"});
    EXPECT_EQ(AutoPlay(), std::nullopt);
}

TEST_F(TessickTest, PlayerEndingBeforeTakingTheTextIsReplacedByANewOne) {
    StartPlayer({"--die-before-take"});
    RunTessick({"/tmp/c d.wav"});
    EXPECT_EQ(StartedPlayer(true), Strings{"/tmp/c d.wav"});
    EXPECT_EQ(AutoPlay(), std::nullopt);
}

TEST_F(TessickTest, PlayerEndingAfterTakingTheTextEndsTessick) {
    StartPlayer({"--die-after-take"});
    RunTessick({"/tmp/e.wav"});
    EXPECT_EQ(Records(), Strings{Taken("/tmp/e.wav")});
    EXPECT_EQ(AutoPlay(), std::nullopt);
    EXPECT_EQ(StartedPlayer(false), std::nullopt);
}

// While the player is busy with one file, two launchers write "AutoPlay" in turn: the later
// text wins, the other request finds nothing, and every launcher ends.
TEST_F(TessickTest, RacingLaunchersHandOverTheLaterFile) {
    const std::string release = folder_.File("release");
    StartPlayer({"--hold", release});
    auto busy = StartTessick({"/m/first.wav"});
    ASSERT_TRUE(WaitFor([&] { return Records().size() == 1; }));
    auto earlier = StartTessick({"/m/earlier.wav"});
    ASSERT_TRUE(WaitFor([] { return AutoPlay() == "/m/earlier.wav"; }));
    auto later = StartTessick({"/m/later.wav"});
    ASSERT_TRUE(WaitFor([] { return AutoPlay() == "/m/later.wav"; }));
    testutil::WriteFile(release, {});

    EXPECT_EQ(busy->Wait(), 0);
    EXPECT_EQ(earlier->Wait(), 0);
    EXPECT_EQ(later->Wait(), 0);
    EXPECT_EQ(Records(), (Strings{Taken("/m/first.wav"), Taken("/m/later.wav"), kNothingTaken}));
    EXPECT_EQ(AutoPlay(), std::nullopt);
}

TEST_F(TessickTest, SocketIsPrivateToTheUser) {
    StartPlayer();
    const fs::path socket = SocketPath();
    EXPECT_EQ(socket.parent_path(), fs::path(std::getenv("XDG_RUNTIME_DIR")));
    struct stat info {};
    ASSERT_EQ(::lstat(socket.c_str(), &info), 0);
    EXPECT_TRUE(S_ISSOCK(info.st_mode));
    EXPECT_EQ(info.st_uid, ::getuid());
    EXPECT_EQ(info.st_mode & 077, 0u);
}

// A socket at the player's path that another user serves (possible where the path falls back
// to a shared folder) is not our player: the text goes to a new player of our own instead.
TEST_F(TessickTest, IgnoresASocketServedByAnotherUser) {
    if (::geteuid() != 0) GTEST_SKIP() << "needs root to serve a socket as another user";
    const std::string path = SocketPath();
    ::unlink(path.c_str());
    const pid_t stranger = ::fork();
    ASSERT_GE(stranger, 0);
    if (stranger == 0) {
        // The peer's credentials are those in effect at listen().
        const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
        if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
            ::setresuid(65534, 65534, 65534) != 0 || ::listen(fd, 8) != 0) {
            ::_exit(1);
        }
        for (;;) {
            const int peer = ::accept(fd, nullptr, nullptr);
            if (peer >= 0 && ::write(peer, "done\n", 5) != 5) ::_exit(1);
        }
    }
    ASSERT_TRUE(WaitFor([&] { return fs::exists(path); }));
    RunTessick({"/tmp/mine.wav"});
    ::kill(stranger, SIGKILL);
    ::waitpid(stranger, nullptr, 0);
    EXPECT_EQ(StartedPlayer(true), Strings{"/tmp/mine.wav"});
    EXPECT_EQ(AutoPlay(), std::nullopt);
}

}  // namespace
