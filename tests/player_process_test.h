// The fixture of the tests that run the real player as a program (offscreen, with the null
// audio device): each test gives the programs a root folder of its own with their runtime,
// settings, cache and temporary folders and a media folder, and reads what the player shows and
// plays from its trace (CORVANE_TRACE, see player/trace.h).
#pragma once

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>
#include <QThread>
#include <functional>
#include <memory>
#include <vector>

#include "tests/test_util.h"

namespace testutil {

// Far longer than anything here takes, even under the sanitizers: reaching it means a hang.
inline constexpr int kHangLimitMs = 15000;

// Waits until done() holds, handling the test's own events meanwhile; false on a hang.
inline bool WaitUntil(const std::function<bool()>& done, int timeoutMs = kHangLimitMs) {
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.elapsed() > timeoutMs) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(5);
    }
    return true;
}

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
        for (const char* sub : {"run", "config", "cache", "tmp", "media"}) QDir(root_).mkpath(sub);
        QFile::setPermissions(Path("run"), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        env_ = QProcessEnvironment::systemEnvironment();
        env_.insert("QT_QPA_PLATFORM", "offscreen");
        env_.insert("CORVANE_AUDIO", "null");
        env_.insert("XDG_RUNTIME_DIR", Path("run"));
        env_.insert("XDG_CONFIG_HOME", Path("config"));
        env_.insert("XDG_CACHE_HOME", Path("cache"));
        env_.insert("TMPDIR", Path("tmp"));
        env_.insert("CORVANE_TRACE", Path("trace.log"));
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

    const QString& Root() const { return root_; }
    QString Path(const QString& name) const { return root_ + '/' + name; }

    // The player's trace, one event per entry.
    QStringList Trace() const {
        QFile file(Path("trace.log"));
        if (!file.open(QIODevice::ReadOnly)) return {};
        QStringList lines = QString::fromUtf8(file.readAll()).split('\n');
        lines.removeLast();  // after the last line end
        return lines;
    }
    bool WaitForTrace(const QString& event) const {
        return WaitUntil([&] { return Trace().contains(event); });
    }

    // The environment of the programs started from now on.
    QProcessEnvironment env_;

  private:
    TempDir dir_;
    QString root_;
    std::vector<std::unique_ptr<QProcess>> processes_;
};

}  // namespace testutil
