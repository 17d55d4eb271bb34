// The seam between the wave-out device and the audio output that paces it. A backend
// counts outputs and opens a sink; the sink calls WaveOutRenderer::Render from its
// real-time context to pull interleaved 16-bit frames.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

class WaveOutRenderer {
  public:
    virtual ~WaveOutRenderer() = default;
    // Real-time safe (no lock, allocation or wait): fills out with frames interleaved
    // 16-bit frames, silence where nothing is queued or while paused. Returns the number of
    // frames that came from the stream.
    virtual size_t Render(int16_t* out, size_t frames) = 0;
    // For sinks driven by a manual clock: returns once the device has fed everything it
    // can towards the sink and delivered every completion that is due.
    virtual void WaitIdle() = 0;
    // Buffers written and not yet completed.
    virtual size_t PendingBuffers() = 0;
};

struct WaveOutSinkFormat {
    uint32_t channels;
    uint32_t sampleRate;  // Hz
};

class WaveOutSink {
  public:
    virtual ~WaveOutSink() = default;  // stops calling Render before it returns
};

class WaveOutBackend {
  public:
    virtual ~WaveOutBackend() = default;
    virtual uint32_t DeviceCount() = 0;
    // Opens output deviceId and starts pulling from renderer; nullptr when the output
    // refuses the format or cannot be opened.
    virtual std::unique_ptr<WaveOutSink> OpenSink(uint32_t deviceId,
                                                  const WaveOutSinkFormat& format,
                                                  WaveOutRenderer& renderer) = 0;
};

// The backend that WaveOut uses: the one installed with SetWaveOutBackend, else the null
// backend when the environment variable CORVANE_AUDIO is "null", else PortAudio.
WaveOutBackend& CurrentWaveOutBackend();
// Installs backend for every later GetNumDevs and Open (nullptr restores the default);
// returns the previous installed one. The caller keeps ownership.
WaveOutBackend* SetWaveOutBackend(WaveOutBackend* backend);
