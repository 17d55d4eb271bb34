#include "player/playhead_clock.h"

#include <algorithm>

void PlayheadClock::Jump(uint32_t ms, int64_t nowMs) {
    shown_ = reported_ = anchor_ = ms;
    anchorTime_ = nowMs;
}

uint32_t PlayheadClock::Update(uint32_t reportedMs, PlayerState state, double speed,
                               uint32_t durationMs, int64_t nowMs) {
    const bool playing = state == Playing;
    if (state == Stopped) {
        Jump(reportedMs, nowMs);
    } else if (reportedMs != reported_) {
        shown_ = reportedMs < reported_ ? reportedMs : std::max<int64_t>(shown_, reportedMs);
        reported_ = reportedMs;
        anchor_ = shown_;
        anchorTime_ = nowMs;
    } else if (playing && !wasPlaying_) {
        anchor_ = shown_;  // resumed: run on from where the pause held it
        anchorTime_ = nowMs;
    }
    wasPlaying_ = playing;
    if (playing) {
        const auto run = static_cast<int64_t>(static_cast<double>(nowMs - anchorTime_) * speed);
        const int64_t limit = std::min<int64_t>(reported_ + kEngineBufferMs, durationMs);
        shown_ = std::max(shown_, std::min(anchor_ + run, limit));
    }
    return Position();
}
