#include "platform/wave_out_volume.h"

#include <atomic>

#include "platform/wave_out.h"

namespace {

std::atomic<uint32_t> volume{0xFFFFFFFFu};

// 0..0xFFFF as a Q16 gain, 0xFFFF mapping to exactly 1.0 (0x10000).
int32_t Gain(uint32_t word) {
    return static_cast<int32_t>(word + (word >> 15));
}

}  // namespace

uint32_t WaveOutGetVolume() {
    return volume.load(std::memory_order_relaxed);
}

void WaveOutSetVolume(uint32_t value) {
    volume.store(value, std::memory_order_relaxed);
}

void ApplyVolume(int16_t* samples, size_t frames, uint32_t channels) {
    const uint32_t v = volume.load(std::memory_order_relaxed);
    if (v == 0xFFFFFFFFu) return;
    const int32_t gain[2] = {Gain(v & 0xFFFF), Gain(v >> 16)};
    for (size_t f = 0; f < frames; ++f) {
        for (uint32_t c = 0; c < channels; ++c) {
            int16_t& s = samples[f * channels + c];
            s = static_cast<int16_t>((s * gain[c & 1]) / 65536);
        }
    }
}
