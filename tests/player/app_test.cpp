// The player program as a whole: command line, settings at start-up, one player per user,
// the hand-over from the launcher's side and the removal of the temporary folder.
#include <unistd.h>

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QSettings>
#include <QStandardPaths>

#include "platform/qt/handover_channel.h"
#include "platform/qt/settings.h"
#include "player/corvane_app.h"
#include "tests/player/player_fixture.h"

namespace playertest {
namespace {

using AppTest = PlayerTest;

TEST_F(AppTest, CommandLineIsEverythingAfterTheProgramNameJoinedByBlanks) {
    bool full = true;
    const char* none[] = {"corvane"};
    EXPECT_EQ(CorvaneApp::ParseCommandLine(1, none, &full), "");
    EXPECT_FALSE(full);
    const char* qtLike[] = {"corvane", "-reverse", "-stylesheet=x"};
    EXPECT_EQ(CorvaneApp::ParseCommandLine(3, qtLike, &full), "-reverse -stylesheet=x");
    const char* tagged[] = {"corvane", "/m/a", "b.wav<cvnm:Ann", "B>"};
    EXPECT_EQ(CorvaneApp::ParseCommandLine(4, tagged, &full), "/m/a b.wav<cvnm:Ann B>");
    EXPECT_FALSE(full);
    const char* screen[] = {"corvane", "--fullscreen", "/m/a.wav"};
    EXPECT_EQ(CorvaneApp::ParseCommandLine(3, screen, &full), "/m/a.wav");
    EXPECT_TRUE(full);
}

TEST_F(AppTest, LockNamesDifferByExecutable) {
    EXPECT_NE(CorvaneApp::LockFilePath("/a/corvane"), CorvaneApp::LockFilePath("/b/corvane"));
    EXPECT_EQ(CorvaneApp::LockFilePath("/a/corvane"), CorvaneApp::LockFilePath("/a//corvane"));
}

// Two real player processes sharing one user's runtime, settings and temporary folders.
TEST_F(AppTest, SecondStartActivatesTheFirstAndHandOverPlays) {
    const QString root = QString::fromStdString(dir.path().string());
    for (const char* sub : {"run", "config", "tmp"}) QDir(root).mkpath(sub);
    QFile::setPermissions(root + "/run", QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_QPA_PLATFORM", "offscreen");
    env.insert("CORVANE_AUDIO", "null");
    env.insert("XDG_RUNTIME_DIR", root + "/run");
    env.insert("XDG_CONFIG_HOME", root + "/config");
    env.insert("TMPDIR", root + "/tmp");
    const QString conf = root + "/config/Brandolin/Corvane.conf";
    {
        QSettings settings(conf, QSettings::IniFormat);
        settings.setValue("1.0/CloseOnFinish", 1);  // the first player ends after the hand-over
    }
    const QString program = CORVANE_BIN_DIR "/corvane";

    QProcess first;
    first.setProcessEnvironment(env);
    first.start(program, {});
    ASSERT_TRUE(first.waitForStarted());
    const QString socket = root + "/run/corvane-" + QString::number(::getuid()) + ".sock";
    ASSERT_TRUE(WaitUntil([&] { return QFileInfo::exists(socket); }, 10000));

    QProcess second;
    second.setProcessEnvironment(env);
    second.start(program, {QString::fromStdString(MakeWave("dropped.wav", 300))});
    ASSERT_TRUE(second.waitForFinished(15000));
    EXPECT_EQ(second.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(second.exitCode(), 0);
    EXPECT_EQ(first.state(), QProcess::Running);

    // The launcher's side: leave the text, ask, and wait for the player's answer.
    {
        QSettings settings(conf, QSettings::IniFormat);
        settings.setValue("1.0/AutoPlay", QString::fromStdString(MakeWave("handed.wav", 300)));
    }
    const QByteArray oldRuntime = qgetenv("XDG_RUNTIME_DIR");
    qputenv("XDG_RUNTIME_DIR", (root + "/run").toUtf8());
    EXPECT_TRUE(SendHandOver(kHandOverPlay));
    qputenv("XDG_RUNTIME_DIR", oldRuntime);
    {
        QSettings settings(conf, QSettings::IniFormat);
        EXPECT_FALSE(settings.contains("1.0/AutoPlay"));
    }

    // The recording ends, Close On Finish ends the program, and its folder is gone.
    ASSERT_TRUE(first.waitForFinished(10000));
    EXPECT_EQ(first.exitCode(), 0);
    EXPECT_TRUE(QDir(root + "/tmp").entryList(QDir::Dirs | QDir::NoDotAndDotDot).isEmpty());
}

}  // namespace
}  // namespace playertest
