// Waiting in tests that drive Qt: in-process servers and programs the test started.
#pragma once

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>
#include <functional>

namespace testutil {

// Far longer than anything here takes, even under the sanitizers: reaching it means a hang.
inline constexpr int kHangLimitMs = 15000;

// Makes the process's application object when there is none yet: timers, watchers, sockets
// and the SQL drivers need one. name is the program's name as Qt sees it.
inline void EnsureCoreApplication(const char* name) {
    if (QCoreApplication::instance()) return;
    static int argc = 1;
    static char* argv[] = {const_cast<char*>(name), nullptr};
    new QCoreApplication(argc, argv);
}

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

}  // namespace testutil
