// Where the waveform's playhead stands, in milliseconds of the recording. The engine reports
// its position one buffer at a time (kEngineBufferMs), so while it plays the playhead
// runs on from the last report at the playback speed, up to where the next report can be at
// most. A new report that is ahead moves it there; one that is behind (after a stop or a new
// recording) puts it there; a jump the user made puts it there at once; a stop puts it at
// the reported_ position. Otherwise it never runs backwards: a pause holds it where it is.
#pragma once

#include <cstdint>

#include "playback/player_state.h"

class PlayheadClock {
  public:
    // The user moved the playback to ms (a seek) at nowMs.
    void Jump(uint32_t ms, int64_t nowMs);
    // The engine's position and state at nowMs (a steady clock in ms), the playback speed and
    // the recording's duration; returns the playhead's position.
    uint32_t Update(uint32_t reportedMs, PlayerState state, double speed, uint32_t durationMs,
                    int64_t nowMs);
    uint32_t Position() const { return static_cast<uint32_t>(shown_); }

  private:
    int64_t shown_ = 0;     // the playhead, ms
    int64_t reported_ = 0;  // the last position the engine reported_, ms
    int64_t anchor_ = 0;    // where the playhead stood at anchorTime_, ms
    int64_t anchorTime_ = 0;
    bool wasPlaying_ = false;
};
