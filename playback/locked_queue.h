// A first-in-first-out queue of buffer records with the lock that guards it; the records
// belong to the player. The lock is public because callers nest the sections of several
// queues in a fixed order.
#pragma once

#include <deque>
#include <mutex>

#include "platform/wave_out.h"

struct LockedQueue {
    std::mutex section;
    std::deque<WaveBuffer*> records;

    // With section held.
    bool Empty() const { return records.empty(); }
    void Push(WaveBuffer* r) { records.push_back(r); }
    WaveBuffer* Pop() {
        WaveBuffer* r = records.front();
        records.pop_front();
        return r;
    }
    void Clear() { records.clear(); }
};
