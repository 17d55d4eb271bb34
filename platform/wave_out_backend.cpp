#include "platform/wave_out_backend.h"

#include <atomic>
#include <cstdlib>
#include <cstring>

#include "platform/wave_out_null.h"
#include "platform/wave_out_portaudio.h"

namespace {

std::atomic<WaveOutBackend*> installed{nullptr};

}  // namespace

WaveOutBackend& CurrentWaveOutBackend() {
    if (WaveOutBackend* backend = installed.load(std::memory_order_acquire)) return *backend;
    const char* choice = std::getenv("CORVANE_AUDIO");
    if (choice && std::strcmp(choice, "null") == 0) {
        static NullWaveOutBackend null;
        return null;
    }
    static PortAudioWaveOutBackend portAudio;
    return portAudio;
}

WaveOutBackend* SetWaveOutBackend(WaveOutBackend* backend) {
    return installed.exchange(backend, std::memory_order_acq_rel);
}
