// Output into nothing, paced in real time by its own thread: for machines without sound
// hardware, CI and demos (CORVANE_AUDIO=null). It always has one device.
#pragma once

#include "platform/wave_out_backend.h"

class NullWaveOutBackend : public WaveOutBackend {
  public:
    uint32_t DeviceCount() override { return 1; }
    std::unique_ptr<WaveOutSink> OpenSink(uint32_t deviceId, const WaveOutSinkFormat& format,
                                          WaveOutRenderer& renderer) override;
};
