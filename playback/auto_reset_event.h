// An auto-reset event: Signal wakes the thread that waits, or the next one to wait when none
// is waiting. The signal is a flag kept under the lock, so a Signal that comes between a
// thread's last look for work and its Wait is not lost; several Signals before a Wait count
// as one, so a woken thread looks for all its work before it waits again.
#pragma once

#include <condition_variable>
#include <mutex>

class AutoResetEvent {
  public:
    void Signal() {
        // Notified under the lock: the waiter cannot return, and its owner be destroyed,
        // before notify_one is done with the condition variable.
        std::lock_guard lock(mutex_);
        signalled_ = true;
        wake_.notify_one();
    }

    // Blocks until signalled, then clears the signal.
    void Wait() {
        std::unique_lock lock(mutex_);
        wake_.wait(lock, [this] { return signalled_; });
        signalled_ = false;
    }

  private:
    std::mutex mutex_;  // a leaf: nothing is locked while it is held
    std::condition_variable wake_;
    bool signalled_ = false;
};
