// What the engine tells about its playback, for those that follow it without owning it: its
// state (the values are the engine's own state codes) and the step its position moves by.
#pragma once

#include <cstdint>

enum PlayerState : int32_t { Playing = 0, Paused = 1, Stopped = 2 };

// Audio in one of the engine's buffers: its position advances by this much at a time.
inline constexpr uint32_t kEngineBufferMs = 200;
