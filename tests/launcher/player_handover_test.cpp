// End-to-end tests of the hand-over: tessick and second starts of corvane hand recordings to
// a corvane that runs offscreen with the null audio device, or tessick starts one from its own
// folder. Every test gives the programs their own runtime, settings and temporary folders, and
// each program a working directory. What the player shows and plays is read from its trace
// (CORVANE_TRACE, see player/trace.h); in that mode it presses OK on its own message boxes, so
// an error waits for no one. What only a misbehaving player shows is in tessick_test.cpp.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QProcess>
#include <QSettings>
#include <algorithm>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <functional>
#include <optional>
#include <ostream>
#include <vector>

#include "platform/qt/settings.h"
#include "tests/player_process_test.h"
#include "tests/test_util.h"

// Failures show texts as texts (found through the argument's namespace, so not in ours).
static void PrintTo(const QString& text, std::ostream* out) {
    *out << '"' << text.toStdString() << '"';
}

namespace {

using testutil::kHangLimitMs;
using testutil::WaitUntil;

class PlayerHandOverTest : public testutil::PlayerProcessTest {
  protected:
    void SetUp() override {
        PlayerProcessTest::SetUp();
        env_.insert("LC_ALL", "C.UTF-8");  // the system's error texts in English
        // The players stay off the desktop's session bus and its media controls.
        env_.remove("DBUS_SESSION_BUS_ADDRESS");
        env_.remove("DISPLAY");
        // tessick starts the player from its own folder.
        ASSERT_EQ(QFileInfo(kTessick).absolutePath(), QFileInfo(kPlayer).absolutePath());
    }

    void TearDown() override {
        PlayerProcessTest::TearDown();
        // A player that tessick started is not our child, but it works in our folder (also a
        // second player that a failed hand-over started, which holds no lock).
        for (const QString& pid : QDir("/proc").entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
            const QString exe = QFileInfo("/proc/" + pid + "/exe").symLinkTarget();
            const QString cwd = QFileInfo("/proc/" + pid + "/cwd").symLinkTarget();
            if (pid.toLongLong() > 0 && exe == QFileInfo(kPlayer).canonicalFilePath() &&
                (cwd == Root() || cwd.startsWith(Root() + '/'))) {
                ::kill(static_cast<pid_t>(pid.toLongLong()), SIGKILL);
            }
        }
    }

    // The runtime folder (lock and socket) of the programs started from now on.
    void SetRuntimeFolder(const QString& folder) { env_.insert("XDG_RUNTIME_DIR", folder); }

    // A 16-bit mono 8000 Hz PCM recording (a quiet tone) of ms milliseconds at path.
    static QString MakeRecording(const QString& path, uint32_t ms) {
        testutil::Bytes data;
        for (uint32_t i = 0; i < ms * 8; ++i) {
            testutil::Put16(data,
                            static_cast<uint16_t>(static_cast<int16_t>(1000 * std::sin(i * 0.2))));
        }
        testutil::WriteFile(path.toStdString(), testutil::Wave({}, data));
        return path;
    }

    // Starts a player and waits until it serves the hand-over socket.
    QProcess* StartPlayer(const QStringList& args = {}, const QString& workingDirectory = {},
                          const std::function<void()>& inChild = {}) {
        QProcess* player = Start(kPlayer, args, workingDirectory, inChild);
        EXPECT_TRUE(WaitUntil([&] { return QFileInfo::exists(SocketPath()); }))
            << "the player does not listen";
        return player;
    }
    QProcess* StartTessick(const QStringList& args, const QString& workingDirectory = {}) {
        return Start(kTessick, args, workingDirectory);
    }
    // Runs tessick to its end, which must come in time and with exit code 0.
    void RunTessick(const QStringList& args, const QString& workingDirectory = {}) {
        ExpectEndsWithZero(StartTessick(args, workingDirectory), "tessick");
    }

    // The trace from the first event after the first `skip` ones.
    QStringList TraceAfter(qsizetype skip) const { return Trace().mid(skip); }
    // The same, once it holds at least count events: the player answers a hand-over as soon
    // as it has taken the text, and opens it after that.
    QStringList TraceAfter(qsizetype skip, qsizetype count) const {
        WaitUntil([&] { return Trace().size() >= skip + count; });
        return TraceAfter(skip);
    }

    // True when no player holds its lock (it ended cleanly) and the players' temporary
    // folders are gone.
    bool NoPlayerLeft() const {
        return QDir(Path(runFolder_)).entryList({"corvane-*.lock"}).isEmpty() &&
               TemporaryFolders().isEmpty();
    }

    QString SocketPath() const { return Path(runFolder_ + "/corvane-%1.sock").arg(::getuid()); }
    // The players' temporary folders.
    QStringList TemporaryFolders() const {
        return QDir(Path("tmp")).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    }

    static inline const QString kTessick = CORVANE_TESSICK;
    static inline const QString kPlayer = CORVANE_PLAYER;

    // Where the programs keep the socket and the lock, below the root folder.
    QString runFolder_ = "run";
};

TEST_F(PlayerHandOverTest, HandedOverFilePlaysUnderItsLabelAndAutoPlayIsGone) {
    SetCloseOnFinish(true);
    QProcess* player = StartPlayer();
    ASSERT_TRUE(WaitForTrace("name <No File Opened>"));
    const qsizetype before = Trace().size();
    const QString recording = MakeRecording(Path("media/greeting.wav"), 500);

    // A path relative to tessick's working directory (the player's is another).
    ASSERT_NO_FATAL_FAILURE(RunTessick({"greeting.wav<cvnm:Ann's call>"}, Path("media")));
    EXPECT_EQ(AutoPlay(), std::nullopt);
    EXPECT_EQ(TraceAfter(before, 3), (QStringList{"open " + recording, "name Ann's call", "play"}));

    // It plays to its end; Close On Finish then ends the player, which leaves nothing behind.
    ExpectEndsWithZero(player, "the player");
    EXPECT_EQ(Trace().last(), "stop");
    EXPECT_TRUE(NoPlayerLeft());
}

// The text goes through tessick's start of the player unchanged, a relative path made
// absolute: double blanks, quotation marks and the tag.
TEST_F(PlayerHandOverTest, WithoutARunningPlayerTessickStartsOneThatPlaysTheFile) {
    SetCloseOnFinish(true);
    const QString folder = Path("media/Voice \"Mail\"");
    QDir().mkpath(folder);
    const QString recording = MakeRecording(folder + "/it's  \"urgent\" .wav", 500);

    ASSERT_NO_FATAL_FAILURE(RunTessick({"it's  \"urgent\" .wav<cvnm:From \"Bob\">"}, folder));
    ASSERT_TRUE(WaitForTrace("play"));
    EXPECT_EQ(Trace(), (QStringList{"open " + recording, "name From \"Bob\"", "play"}));
    EXPECT_EQ(AutoPlay(), std::nullopt);

    ASSERT_TRUE(WaitForTrace("stop"));
    EXPECT_TRUE(WaitUntil([&] { return NoPlayerLeft(); })) << "the started player did not end";
}

// The text arrives as it was given, except that a relative path is joined to tessick's working
// directory: blanks (leading, trailing, doubled), quotation marks, a tag holding '<', texts
// that look like Qt's own options, other characters, and paths of any length the command line
// takes. A caller that did not quote the path hands it over in pieces; single blanks come
// back.
TEST_F(PlayerHandOverTest, OddPathsArriveExactly) {
    QProcess* player = StartPlayer();
    ASSERT_TRUE(WaitForTrace("name <No File Opened>"));
    const QString folder = Path("media/  Voice Mail \"2026\" ");
    QDir().mkpath(folder);
    const QString quoted = MakeRecording(folder + "/\"Bob\" said: it's  done .wav", 2000);
    const QString options =
        MakeRecording(Path("media/-platform offscreen -qmljsdebugger=port:9 -reverse.wav"), 2000);
    const QString odd = MakeRecording(Path("media/@odd, name; #1 = \u00e4\\x.wav"), 2000);
    const QString blanks = MakeRecording(Path("media/  two  blanks .wav "), 2000);
    const QString deep = Path("media/" + QString(150, 'd') + '/' + QString(150, 'e'));
    QDir().mkpath(deep);
    const QString longPath = MakeRecording(deep + "/long.wav", 2000);
    ASSERT_GT(longPath.size(), 300);

    const struct {
        QStringList args;
        QString path, name;
    } cases[] = {
        {{quoted + "<cvnm:Bob's <call>"}, quoted, "Bob's <call"},
        {{"-platform", "offscreen", "-qmljsdebugger=port:9", "-reverse.wav<cvnm:Label>"},
         options,
         "Label"},
        {{"@odd, name; #1 = \u00e4\\x.wav"}, odd, "@odd, name; #1 = \u00e4\\x.wav"},
        {{"  two  blanks .wav "}, blanks, "  two  blanks .wav "},
        {{longPath}, longPath, "long.wav"},
    };
    bool first = true;
    for (const auto& c : cases) {
        const qsizetype before = Trace().size();
        ASSERT_NO_FATAL_FAILURE(RunTessick(c.args, Path("media")));
        QStringList expected{"open " + c.path, "name " + c.name, "play"};
        expected.replaceInStrings("\\", "\\\\");  // as the trace writes a backslash
        if (!first) expected.prepend("stop");
        EXPECT_EQ(TraceAfter(before, expected.size()), expected);
        first = false;
    }
    EXPECT_EQ(AutoPlay(), std::nullopt);
    EXPECT_TRUE(StillRunning(player));
}

// Both launchers write "AutoPlay" before the player reads it (it is stopped meanwhile): the
// later file plays, the other request finds nothing, and every program goes on.
TEST_F(PlayerHandOverTest, RacingLaunchersEndWithTheLaterFilePlaying) {
    QProcess* player = StartPlayer();
    ASSERT_TRUE(WaitForTrace("name <No File Opened>"));
    const QString earlier = MakeRecording(Path("media/earlier.wav"), 2000);
    const QString later = MakeRecording(Path("media/later.wav"), 2000);

    ASSERT_EQ(::kill(static_cast<pid_t>(player->processId()), SIGSTOP), 0);
    QProcess* first = StartTessick({earlier});
    const bool firstWrote = WaitUntil([&] { return AutoPlay() == earlier; });
    QProcess* second = StartTessick({later});
    const bool secondWrote = WaitUntil([&] { return AutoPlay() == later; });
    ::kill(static_cast<pid_t>(player->processId()), SIGCONT);
    ASSERT_TRUE(firstWrote && secondWrote);

    ExpectEndsWithZero(first, "the earlier tessick");
    ExpectEndsWithZero(second, "the later tessick");
    EXPECT_EQ(AutoPlay(), std::nullopt);
    EXPECT_EQ(TraceAfter(0, 4),
              (QStringList{"name <No File Opened>", "open " + later, "name later.wav", "play"}));
    EXPECT_TRUE(StillRunning(player));
}

// What the player cannot convert it reports (its box is closed at once under the trace);
// tessick ends as usual each time, and the player goes on taking files.
TEST_F(PlayerHandOverTest, TextThePlayerCannotConvertIsReportedAndTessickEnds) {
    QProcess* player = StartPlayer();
    ASSERT_TRUE(WaitForTrace("name <No File Opened>"));
    const qsizetype before = Trace().size();
    // Without its closing '>' the tag is part of the path.
    const QString missing = Path("media/missing.wav<cvnm:Label");
    const QString notWave = Path("media/notes.wav");
    testutil::WriteFile(notWave.toStdString(), {'h', 'e', 'l', 'l', 'o', '\n'});
    const QString recording = MakeRecording(Path("media/good.wav"), 2000);

    ASSERT_NO_FATAL_FAILURE(RunTessick({missing}));
    ASSERT_NO_FATAL_FAILURE(RunTessick({notWave + "<cvnm:Notes>"}));
    ASSERT_NO_FATAL_FAILURE(RunTessick({recording}));
    EXPECT_EQ(
        TraceAfter(before, 5),
        (QStringList{"error Cannot open \"" + missing + "\": No such file or directory.",
                     "error Invalid wav header.", "open " + recording, "name good.wav", "play"}));
    EXPECT_EQ(AutoPlay(), std::nullopt);
    EXPECT_TRUE(StillRunning(player));
}

// Without the trace no one presses OK on the player's error box: tessick, like the mail
// client that started it, must not wait for the user. The player takes further files while
// the box is open.
TEST_F(PlayerHandOverTest, TessickDoesNotWaitForThePlayersErrorBox) {
    env_.remove("CORVANE_TRACE");
    QProcess* player = StartPlayer();
    const QString notWave = Path("media/notes.wav");
    testutil::WriteFile(notWave.toStdString(), {'h', 'e', 'l', 'l', 'o', '\n'});

    ASSERT_NO_FATAL_FAILURE(RunTessick({notWave}));
    EXPECT_EQ(AutoPlay(), std::nullopt);
    ASSERT_NO_FATAL_FAILURE(RunTessick({MakeRecording(Path("media/good.wav"), 2000)}));
    EXPECT_EQ(AutoPlay(), std::nullopt);
    EXPECT_TRUE(StillRunning(player));
}

// A name that is not valid UTF-8 (Latin-1 bytes from an older system) is opened by its bytes,
// from the player's command line and from the launcher; only the shown name is lossy.
TEST_F(PlayerHandOverTest, FileNamesThatAreNotUtf8Play) {
    const testutil::Bytes wave =
        testutil::ReadFile(MakeRecording(Path("media/plain.wav"), 500).toStdString());
    for (const char* name : {"/caf\xe9.wav", "/b\xf6se.wav"}) {
        testutil::WriteFile(Path("media").toStdString() + name, wave);
    }
    // The programs get the raw bytes through a shell, which makes them from octal escapes.
    auto startWithByteName = [&](const QString& program, const char* octalName) {
        const QString command = QStringLiteral("exec \"$0\" \"$(printf '%1')\"").arg(octalName);
        return Start("/bin/sh", {"-c", command, program});
    };
    QProcess* player = startWithByteName(kPlayer, "media/caf\\351.wav");
    ASSERT_TRUE(WaitForTrace("play"));
    EXPECT_TRUE(Trace().contains(QString::fromUtf8("name caf\xef\xbf\xbd.wav")));

    const qsizetype before = Trace().size();
    ExpectEndsWithZero(startWithByteName(kTessick, "media/b\\366se.wav"), "tessick");
    // The first file may still play (its stop comes first) or have ended already.
    ASSERT_TRUE(WaitUntil([&] { return Trace().size() > before && Trace().last() == "play"; }));
    const QStringList after = TraceAfter(before);
    EXPECT_EQ(after.mid(after.size() - 2),
              (QStringList{QString::fromUtf8("name b\xef\xbf\xbdse.wav"), "play"}));
    EXPECT_TRUE(StillRunning(player));
}

// A second start hands its file to the running player as tessick does, whichever installed
// copy of the player it is (one player per user), with a path relative to its own working
// directory; without a file it only brings the running one to the front.
TEST_F(PlayerHandOverTest, SecondStartHandsItsFileToTheRunningPlayer) {
    QProcess* player = StartPlayer();
    ASSERT_TRUE(WaitForTrace("name <No File Opened>"));
    const QString copy = Path("other/bin/corvane");
    QDir().mkpath(Path("other/bin"));
    ASSERT_TRUE(QFile::copy(kPlayer, copy));
    const QString recording = MakeRecording(Path("media/second.wav"), 2000);

    qsizetype before = Trace().size();
    ExpectEndsWithZero(Start(copy, {"second.wav<cvnm:Second>"}, Path("media")), "second start");
    EXPECT_EQ(TraceAfter(before, 3), (QStringList{"open " + recording, "name Second", "play"}));
    EXPECT_EQ(AutoPlay(), std::nullopt);

    before = Trace().size();
    ExpectEndsWithZero(Start(kPlayer, {}), "second start without a file");
    EXPECT_EQ(Trace().size(), before);
    EXPECT_TRUE(StillRunning(player));
}

// A folder given to tessick or to a second start opens in the running player as its list of
// messages, a relative path as well.
TEST_F(PlayerHandOverTest, AFolderHandedOverOpensAsTheList) {
    QProcess* player = StartPlayer();
    ASSERT_TRUE(WaitForTrace("name <No File Opened>"));
    QDir().mkpath(Path("media/box"));
    MakeRecording(Path("media/box/msg0000.wav"), 500);
    MakeRecording(Path("media/box/msg0001.wav"), 500);
    RunTessick({"box"}, Path("media"));
    EXPECT_TRUE(WaitForTrace("list 2 2"));

    QDir().mkpath(Path("media/other"));
    MakeRecording(Path("media/other/msg0000.wav"), 500);
    ExpectEndsWithZero(Start(kPlayer, {"other"}, Path("media")), "second start");
    EXPECT_TRUE(WaitForTrace("list 1 1"));
    EXPECT_EQ(Trace().filter("open ").size(), 0);  // listed, not played
    EXPECT_TRUE(StillRunning(player));
}

// A start that comes while the player is still starting (it holds the lock, but its socket
// is not there yet) waits for the socket and then hands its file over.
TEST_F(PlayerHandOverTest, AStartWhileThePlayerIsStartingIsNotLost) {
    QProcess* player = StartPlayer();
    ASSERT_TRUE(WaitForTrace("name <No File Opened>"));
    const QString recording = MakeRecording(Path("media/early.wav"), 2000);
    const QString away = SocketPath() + ".away";
    ASSERT_TRUE(QFile::rename(SocketPath(), away));

    const qsizetype before = Trace().size();
    QProcess* second = Start(kPlayer, {recording});
    EXPECT_TRUE(StillRunning(second)) << "the second start did not wait";
    ASSERT_TRUE(QFile::rename(away, SocketPath()));
    ExpectEndsWithZero(second, "second start");
    EXPECT_EQ(TraceAfter(before, 3), (QStringList{"open " + recording, "name early.wav", "play"}));
    EXPECT_TRUE(StillRunning(player));
}

// A lock that cannot be made at all does not stop the player: it comes up at once, as the
// only player, rather than waiting 10 s for a running one that never answers. Here no folder
// can hold it, which holds for root too: the runtime and temporary folders' paths are too
// long for a socket, and a file stands where the cache folder would get one.
TEST_F(PlayerHandOverTest, APlayerThatCannotMakeItsLockStartsAtOnce) {
    const QString folder = Path("run/" + QString(sizeof(sockaddr_un::sun_path), 'r'));
    ASSERT_TRUE(QDir().mkpath(folder));
    QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    SetRuntimeFolder(folder);
    testutil::WriteFile(Path("cache/corvane").toStdString(), {});
    const QString temporary = Path("tmp/" + QString(sizeof(sockaddr_un::sun_path), 't'));
    ASSERT_TRUE(QDir().mkpath(temporary));
    env_.insert("TMPDIR", temporary);
    const QString recording = MakeRecording(Path("media/at-once.wav"), 2000);

    QElapsedTimer clock;
    clock.start();
    Start(kPlayer, {recording});
    ASSERT_TRUE(WaitForTrace("play"));
    EXPECT_LT(clock.elapsed(), 7000) << "the player waited for another one";
}

// SIGTERM (logout, kill), SIGINT and SIGHUP end the player as its close box does: nothing is
// left behind. The player's own relative path is made absolute at its start.
TEST_F(PlayerHandOverTest, EndSignalsCloseThePlayerAndItsTemporaryFolderGoes) {
    const QString recording = MakeRecording(Path("media/long.wav"), 60000);
    for (const int signalNumber : {SIGTERM, SIGINT, SIGHUP}) {
        const qsizetype before = Trace().size();
        QProcess* player = StartPlayer({"long.wav"}, Path("media"));
        ASSERT_TRUE(WaitUntil([&] { return TraceAfter(before).contains("play"); }));
        EXPECT_EQ(TraceAfter(before).first(), "open " + recording);
        EXPECT_FALSE(NoPlayerLeft());
        ASSERT_EQ(::kill(static_cast<pid_t>(player->processId()), signalNumber), 0);
        ExpectEndsWithZero(player, strsignal(signalNumber));
        EXPECT_TRUE(NoPlayerLeft()) << strsignal(signalNumber);
    }
}

// Idle connections take every descriptor the player may have, so it cannot accept more. It
// keeps its socket all the same, and once they have ended a hand-over reaches it again.
TEST_F(PlayerHandOverTest, ThePlayerOutOfDescriptorsKeepsListeningAndRecovers) {
    constexpr rlim_t kDescriptors = 64;
    QProcess* player = StartPlayer({}, {}, [] {
        const rlimit limit{kDescriptors, kDescriptors};
        ::setrlimit(RLIMIT_NOFILE, &limit);
    });
    ASSERT_TRUE(WaitForTrace("name <No File Opened>"));
    // A hand-over before, as after: the player has been through every step of one.
    ASSERT_NO_FATAL_FAILURE(RunTessick({MakeRecording(Path("media/before.wav"), 100)}));
    ASSERT_TRUE(WaitUntil([&] { return Trace().last() == "stop"; }));
    const std::filesystem::path descriptors =
        QStringLiteral("/proc/%1/fd").arg(player->processId()).toStdString();
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, SocketPath().toLocal8Bit().constData(),
                 sizeof address.sun_path - 1);
    std::vector<int> idle;
    const auto connectOne = [&] {
        const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK, 0);
        if (fd < 0) return;
        idle.push_back(fd);
        ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address);
    };
    // One more connection at a time, as the player accepts them, until it has no descriptor
    // left; then a few more that it cannot accept.
    ASSERT_TRUE(WaitUntil([&] {
        connectOne();
        const std::ptrdiff_t open = std::distance(std::filesystem::directory_iterator(descriptors),
                                                  std::filesystem::directory_iterator());
        return open >= static_cast<std::ptrdiff_t>(kDescriptors) ||
               !QFileInfo::exists(SocketPath());
    })) << "the player did not run out of descriptors";
    for (int i = 0; i < 4; ++i) connectOne();
    EXPECT_TRUE(StillRunning(player));
    EXPECT_TRUE(QFileInfo::exists(SocketPath()));

    for (const int fd : idle) ::close(fd);
    const QString recording = MakeRecording(Path("media/after.wav"), 2000);
    const qsizetype before = Trace().size();
    ASSERT_NO_FATAL_FAILURE(RunTessick({recording}));
    // Played by this player, which serves hand-overs again.
    EXPECT_EQ(TraceAfter(before, 3), (QStringList{"open " + recording, "name after.wav", "play"}));
    EXPECT_TRUE(StillRunning(player));
}

// Without a session runtime folder the player and tessick meet in the user's own cache folder,
// which only the user may enter.
TEST_F(PlayerHandOverTest, WithoutARuntimeFolderTheHandOverGoesThroughThePrivateCacheFolder) {
    env_.remove("XDG_RUNTIME_DIR");
    runFolder_ = "cache/corvane/run";
    QProcess* player = StartPlayer();
    ASSERT_TRUE(WaitForTrace("name <No File Opened>"));
    struct stat folder {};
    ASSERT_EQ(::lstat(Path(runFolder_).toLocal8Bit().constData(), &folder), 0);
    EXPECT_EQ(folder.st_mode & 07777, 0700u);
    const QString recording = MakeRecording(Path("media/cached.wav"), 2000);
    const qsizetype before = Trace().size();
    ASSERT_NO_FATAL_FAILURE(RunTessick({recording}));
    EXPECT_EQ(TraceAfter(before, 3), (QStringList{"open " + recording, "name cached.wav", "play"}));
    EXPECT_TRUE(StillRunning(player));
}

// A player that cannot listen says so once, on stderr and in the trace, and plays on.
TEST_F(PlayerHandOverTest, APlayerThatCannotListenSaysSo) {
    ASSERT_TRUE(QDir().mkpath(SocketPath()));  // not a socket: not the player's to remove
    channels_ = QProcess::ForwardedOutputChannel;
    const QString recording = MakeRecording(Path("media/alone.wav"), 2000);
    QProcess* player = Start(kPlayer, {recording});
    ASSERT_TRUE(WaitForTrace("play"));
    const QString problem = "cannot listen on " + SocketPath() +
                            ": Address already in use; files handed over will start a new player";
    EXPECT_EQ(Trace(),
              (QStringList{"nolisten " + problem, "open " + recording, "name alone.wav", "play"}));
    EXPECT_TRUE(StillRunning(player));  // meanwhile its standard error is read
    const QString standardError = QString::fromLocal8Bit(player->readAllStandardError());
    EXPECT_EQ(standardError.count("corvane: " + problem + '\n'), 1) << standardError.toStdString();
}

// A player killed outright leaves its folder with the recording in it; the next player removes
// it, but not a folder whose lock a running process holds nor, as root, another user's.
TEST_F(PlayerHandOverTest, TheNextPlayerRemovesTheFolderOfAKilledOne) {
    const QString recording = MakeRecording(Path("media/killed.wav"), 60000);
    QProcess* killed = StartPlayer({recording});
    ASSERT_TRUE(WaitForTrace("play"));
    const QStringList left = TemporaryFolders();
    ASSERT_EQ(left.size(), 1);
    const QString leftFolder = Path("tmp/" + left.first());
    const qint64 killedPid = killed->processId();
    killed->kill();
    ASSERT_TRUE(killed->waitForFinished(kHangLimitMs));
    ASSERT_TRUE(QFileInfo::exists(leftFolder + "/cvtemp.wav"));

    // Made as a player makes its folder; the lock stays held by this test while it runs.
    ASSERT_TRUE(QDir().mkpath(Path("tmp/corvane-living")));
    QLockFile living(Path("tmp/corvane-living/player.lock"));
    ASSERT_TRUE(living.tryLock(0));
    // Folders with a lock of the killed process: one reached through a link, and as root
    // another user's.
    const auto makeStale = [&](const QString& folder) {
        ASSERT_TRUE(QDir().mkpath(folder));
        QFile lock(folder + "/player.lock");
        ASSERT_TRUE(lock.open(QIODevice::WriteOnly));
        lock.write(QByteArray::number(killedPid) + "\ncorvane\n");
    };
    ASSERT_NO_FATAL_FAILURE(makeStale(Path("media/elsewhere")));
    ASSERT_TRUE(QFile::link(Path("media/elsewhere"), Path("tmp/corvane-linked")));
    QStringList expected{"corvane-living", "corvane-linked"};
    if (::geteuid() == 0) {
        ASSERT_NO_FATAL_FAILURE(makeStale(Path("tmp/corvane-theirs")));
        ASSERT_EQ(::chown(Path("tmp/corvane-theirs").toLocal8Bit().constData(), 65534, 65534), 0);
        expected << "corvane-theirs";
    }

    QProcess* next = StartPlayer();
    ASSERT_TRUE(WaitForTrace("name <No File Opened>"));
    const QStringList now = TemporaryFolders();
    EXPECT_FALSE(now.contains(left.first()));
    for (const QString& kept : expected) EXPECT_TRUE(now.contains(kept)) << kept.toStdString();
    EXPECT_EQ(now.size(), expected.size() + 1);  // and the next player's own
    EXPECT_TRUE(QFileInfo::exists(Path("media/elsewhere/player.lock")));
    EXPECT_TRUE(StillRunning(next));
}

}  // namespace
