// The process-wide wave-out volume (see WaveOutGetVolume) and its gain stage.
#pragma once

#include <cstddef>
#include <cstdint>

// Scales frames interleaved 16-bit frames by the current volume; real-time safe.
void ApplyVolume(int16_t* samples, size_t frames, uint32_t channels);
