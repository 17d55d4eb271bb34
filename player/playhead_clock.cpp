#include "player/playhead_clock.h"

#include <algorithm>

void PlayheadClock::Jump(uint32_t ms, int64_t nowMs) {
    shown = reported = anchor = ms;
    anchorTime = nowMs;
}

uint32_t PlayheadClock::Update(uint32_t reportedMs, PlayerState state, double speed,
                               uint32_t durationMs, int64_t nowMs) {
    const bool playing = state == Playing;
    if (state == Stopped) {
        Jump(reportedMs, nowMs);
    } else if (reportedMs != reported) {
        shown = reportedMs < reported ? reportedMs : std::max<int64_t>(shown, reportedMs);
        reported = reportedMs;
        anchor = shown;
        anchorTime = nowMs;
    } else if (playing && !wasPlaying) {
        anchor = shown;  // resumed: run on from where the pause held it
        anchorTime = nowMs;
    }
    wasPlaying = playing;
    if (playing) {
        const auto run = static_cast<int64_t>(static_cast<double>(nowMs - anchorTime) * speed);
        const int64_t limit = std::min<int64_t>(reported + kEngineBufferMs, durationMs);
        shown = std::max(shown, std::min(anchor + run, limit));
    }
    return Position();
}
