// tessick against a stand-in player (fake_player) that misbehaves on request: it takes the
// hand-over the way the player does, through the player's own routines, and logs what it
// received. What the real player makes of a hand-over is in player_handover_test.cpp.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QThread>
#include <cstring>
#include <optional>
#include <string>

#include "tests/player_process_test.h"
#include "tests/test_util.h"

namespace {

using testutil::WaitUntil;
using Strings = QStringList;

// How long a program that should not have been started is given to show up anyway.
constexpr int kGraceForAbsenceMs = 300;

// Records that end with a NUL byte each.
Strings SplitAtNul(const QByteArray& bytes) {
    Strings records = QString::fromUtf8(bytes).split(QChar(u'\0'));
    records.removeLast();  // after the last NUL
    return records;
}

QString Taken(const QString& text) {
    return "CorvanePlay\n=" + text;
}
const QString kNothingTaken = "CorvanePlay\n-";

class TessickTest : public testutil::PlayerProcessTest {
  protected:
    void SetUp() override {
        PlayerProcessTest::SetUp();
        // tessick starts the player from its own folder: give it a stand-in that records its
        // arguments, one per NUL-terminated record.
        QDir(Root()).mkpath("bin");
        ASSERT_TRUE(QFile::copy(CORVANE_TESSICK, Path("bin/tessick")));
        testutil::WriteFile(Path("bin/corvane").toStdString(),
                            Bytes("#!/bin/sh\nd=$(dirname \"$0\")\n"
                                  "printf '%s\\0' \"$@\" > \"$d/started.tmp\" && mv "
                                  "\"$d/started.tmp\" \"$d/started\"\n"));
        QFile::setPermissions(Path("bin/corvane"),
                              QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }

    static testutil::Bytes Bytes(const std::string& s) { return {s.begin(), s.end()}; }
    QString SocketPath() const { return Path("run/corvane-%1.sock").arg(::getuid()); }

    // Starts the stand-in player with options (see fake_player.cpp) and waits until it listens.
    void StartPlayer(const Strings& options = {}) {
        player_ = Start(CORVANE_FAKE_PLAYER, Strings{Path("player.log")} + options);
        ASSERT_TRUE(player_->waitForStarted(testutil::kHangLimitMs));
        ASSERT_TRUE(WaitUntil([this] {
            return QFileInfo::exists(SocketPath()) || player_->state() == QProcess::NotRunning;
        }));
        ASSERT_EQ(player_->state(), QProcess::Running) << "the stand-in did not start";
    }
    void KillPlayer() {
        player_->kill();
        player_->waitForFinished(testutil::kHangLimitMs);
    }

    // Runs tessick to its end, which must come in time and with exit code 0; returns how long
    // it ran, in milliseconds.
    qint64 RunTessick(const Strings& args) {
        QElapsedTimer clock;
        clock.start();
        ExpectEndsWithZero(Start(Path("bin/tessick"), args), "tessick");
        return clock.elapsed();
    }

    // What the stand-in player took, one entry per request.
    Strings Records() const {
        QFile log(Path("player.log"));
        return log.open(QIODevice::ReadOnly) ? SplitAtNul(log.readAll()) : Strings{};
    }

    // The arguments the player program was started with; nothing when it was not started
    // within the time given.
    std::optional<Strings> StartedPlayer(bool expected) const {
        const QString path = Path("bin/started");
        if (expected) {
            if (!WaitUntil([&] { return QFileInfo::exists(path); })) return std::nullopt;
        } else {
            QThread::msleep(kGraceForAbsenceMs);
        }
        QFile started(path);
        if (!started.open(QIODevice::ReadOnly)) return std::nullopt;
        return SplitAtNul(started.readAll());
    }

    QProcess* player_ = nullptr;
};

TEST_F(TessickTest, WaitsForThePlayersAnswer) {
    StartPlayer({"--sleep-ms", "300"});
    EXPECT_GE(RunTessick({"/tmp/a.wav"}), 300);
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

TEST_F(TessickTest, StartsThePlayerWhenTheLastOneCrashed) {
    StartPlayer();
    KillPlayer();  // its socket stays behind
    ASSERT_TRUE(QFileInfo::exists(SocketPath()));
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

TEST_F(TessickTest, SocketIsPrivateToTheUser) {
    StartPlayer();
    // The socket is bound, then made user-only, inside a folder only the user can enter: the
    // player may be seen between the two.
    struct stat info {};
    EXPECT_TRUE(testutil::WaitUntil([&] {
        return ::lstat(SocketPath().toLocal8Bit().constData(), &info) == 0 &&
               (info.st_mode & 077) == 0;
    }));
    EXPECT_TRUE(S_ISSOCK(info.st_mode));
    EXPECT_EQ(info.st_uid, ::getuid());
    EXPECT_EQ(info.st_mode & 077, 0u);
}

// A socket at the player's path that another user serves (possible where the path falls back
// to a shared folder) is not our player: the text goes to a new player of our own instead.
TEST_F(TessickTest, IgnoresASocketServedByAnotherUser) {
    if (::geteuid() != 0) GTEST_SKIP() << "needs root to serve a socket as another user";
    const QByteArray path = SocketPath().toLocal8Bit();
    const pid_t stranger = ::fork();
    ASSERT_GE(stranger, 0);
    if (stranger == 0) {
        // The peer's credentials are those in effect at listen().
        const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::strncpy(address.sun_path, path.constData(), sizeof address.sun_path - 1);
        if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
            ::setresuid(65534, 65534, 65534) != 0 || ::listen(fd, 8) != 0) {
            ::_exit(1);
        }
        for (;;) {
            const int peer = ::accept(fd, nullptr, nullptr);
            if (peer >= 0 && ::write(peer, "done\n", 5) != 5) ::_exit(1);
        }
    }
    ASSERT_TRUE(WaitUntil([&] { return QFileInfo::exists(SocketPath()); }));
    RunTessick({"/tmp/mine.wav"});
    ::kill(stranger, SIGKILL);
    ::waitpid(stranger, nullptr, 0);
    EXPECT_EQ(StartedPlayer(true), Strings{"/tmp/mine.wav"});
    EXPECT_EQ(AutoPlay(), std::nullopt);
}

}  // namespace
