// Real audio output through PortAudio's default output device.
#pragma once

#include "platform/wave_out_backend.h"

class PortAudioWaveOutBackend : public WaveOutBackend {
  public:
    ~PortAudioWaveOutBackend() override;
    // 0 when PortAudio cannot start or there is no default output.
    uint32_t DeviceCount() override;
    std::unique_ptr<WaveOutSink> OpenSink(uint32_t deviceId, const WaveOutSinkFormat& format,
                                          WaveOutRenderer& renderer) override;

  private:
    bool Initialise();
    int state_ = 0;  // 0 not tried, 1 running, -1 failed; guarded by the backend's mutex
};
