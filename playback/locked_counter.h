// A signed count with the lock that guards it. The value is also readable without the
// lock (an atomic), for the reader thread's cheap "anything done?" test.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>

struct LockedCounter {
    std::mutex section;
    std::atomic<int32_t> count{0};

    void Add(int32_t n) {
        std::lock_guard lock(section);
        count.store(count.load(std::memory_order_relaxed) + n, std::memory_order_relaxed);
    }
    void Set(int32_t n) {
        std::lock_guard lock(section);
        count.store(n, std::memory_order_relaxed);
    }
    // Unlocked peek.
    int32_t Peek() const { return count.load(std::memory_order_relaxed); }
};
