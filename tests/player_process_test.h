// The fixture of the tests that run the real player as a program (offscreen, with the null
// audio device): each test gives the programs a root folder of its own with their runtime,
// settings, cache and temporary folders and a media folder, and reads what the player shows and
// plays from its trace (CORVANE_TRACE, see player/trace.h).
#pragma once

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QSettings>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "platform/qt/settings.h"
#include "tests/test_util.h"
#include "tests/wait_until.h"

namespace testutil {

class PlayerProcessTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        // QProcess and D-Bus want an application object for their notifications.
        if (QCoreApplication::instance()) return;
        static int argc = 1;
        static char name[] = "player_process_tests";
        static char* argv[] = {name, nullptr};
        new QCoreApplication(argc, argv);
    }

    void SetUp() override {
        // Canonical, as the programs see their working directories.
        root_ = QDir(QString::fromStdString(dir_.path().string())).canonicalPath();
        for (const char* sub : {"run", "config", "cache", "data", "tmp", "media"})
            QDir(root_).mkpath(sub);
        QFile::setPermissions(Path("run"), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        env_ = QProcessEnvironment::systemEnvironment();
        env_.insert("QT_QPA_PLATFORM", "offscreen");
        env_.insert("CORVANE_AUDIO", "null");
        env_.insert("XDG_RUNTIME_DIR", Path("run"));
        env_.insert("XDG_CONFIG_HOME", Path("config"));
        env_.insert("XDG_CACHE_HOME", Path("cache"));
        env_.insert("XDG_DATA_HOME", Path("data"));  // the inbox's database and the Trash
        env_.insert("TMPDIR", Path("tmp"));
        env_.insert("CORVANE_TRACE", Path("trace.log"));
        // Never the session's own /run/user folder, where a real player may listen.
        env_.insert("CORVANE_RUN_USER_ROOT", Path("run-user"));
    }

    void TearDown() override {
        for (const auto& process : processes_) {
            if (process->state() == QProcess::NotRunning) continue;
            process->kill();
            process->waitForFinished(kHangLimitMs);
        }
    }

    // A process, not yet started, that is killed at the end of the test if still running.
    QProcess* NewProcess() {
        processes_.push_back(std::make_unique<QProcess>());
        return processes_.back().get();
    }

    // Starts program with env_ in workingDirectory (the root folder when empty); inChild runs
    // in the new process before the program.
    QProcess* Start(const QString& program, const QStringList& args,
                    const QString& workingDirectory = {},
                    const std::function<void()>& inChild = {}) {
        QProcess* process = NewProcess();
        process->setProcessEnvironment(env_);
        process->setProcessChannelMode(channels_);
        if (inChild) process->setChildProcessModifier(inChild);
        process->setWorkingDirectory(workingDirectory.isEmpty() ? root_ : workingDirectory);
        process->start(program, args);
        return process;
    }
    static void ExpectEndsWithZero(QProcess* process, const char* what) {
        ASSERT_TRUE(process->waitForFinished(kHangLimitMs)) << what << " hung";
        EXPECT_EQ(process->exitStatus(), QProcess::NormalExit) << what << " crashed";
        EXPECT_EQ(process->exitCode(), 0) << what;
    }
    // Watches process for an early end, for a while.
    static bool StillRunning(QProcess* process) {
        constexpr int kWatchMs = 200;
        return !process->waitForFinished(kWatchMs);
    }

    // The programs' settings, read and written from outside.
    void SetCloseOnFinish(bool on) const {
        QSettings(Conf(), QSettings::IniFormat).setValue(Key(kCloseOnFinishKey), on ? 1 : 0);
    }
    std::optional<QString> AutoPlay() const {
        const QSettings settings(Conf(), QSettings::IniFormat);
        if (!settings.contains(Key(kAutoPlayKey))) return std::nullopt;
        return settings.value(Key(kAutoPlayKey)).toString();
    }

    const QString& Root() const { return root_; }
    QString Path(const QString& name) const { return root_ + '/' + name; }

    // The player's trace, one event per entry; stalls of a loaded machine left out (the
    // events tell what the player did, not how fast).
    QStringList Trace() const {
        QFile file(Path("trace.log"));
        if (!file.open(QIODevice::ReadOnly)) return {};
        QStringList lines = QString::fromUtf8(file.readAll()).split('\n');
        lines.removeLast();  // after the last line end
        lines.removeIf([](const QString& line) { return line.startsWith("stall "); });
        return lines;
    }
    bool WaitForTrace(const QString& event) const {
        return WaitUntil([&] { return Trace().contains(event); });
    }

    // The environment and output channels of the programs started from now on.
    QProcessEnvironment env_;
    QProcess::ProcessChannelMode channels_ = QProcess::ForwardedChannels;

  private:
    QString Conf() const { return Path("config/Brandolin/Corvane.conf"); }
    static QString Key(const char* key) { return QStringLiteral("1.0/") + key; }

    TempDir dir_;
    QString root_;
    std::vector<std::unique_ptr<QProcess>> processes_;
};

}  // namespace testutil
