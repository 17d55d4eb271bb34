// A scripted wave-out backend for tests and benchmarks: time stands still until the
// caller advances it, and every frame that left the stream is recorded.
#pragma once

#include <mutex>
#include <vector>

#include "platform/wave_out_backend.h"

class FakeWaveOutBackend : public WaveOutBackend {
  public:
    // Number of devices reported (1 by default); 0 makes every open fail.
    void SetDeviceCount(uint32_t count);
    // Makes the next opens refuse the format.
    void SetRefuseOpen(bool refuse);

    uint32_t DeviceCount() override;
    std::unique_ptr<WaveOutSink> OpenSink(uint32_t deviceId, const WaveOutSinkFormat& format,
                                          WaveOutRenderer& renderer) override;

    bool IsOpen();
    uint32_t OpenCount();        // sinks opened so far
    WaveOutSinkFormat Format();  // of the open (or last) sink

    // Plays ms milliseconds of the open device's audio on the calling thread, in 10 ms
    // steps, letting the device feed and complete between the steps. Nothing without an
    // open device.
    void Advance(uint32_t ms);
    // Buffers written to the open device and not yet completed.
    size_t PendingBuffers();

    // Interleaved frames that came out of the stream (silence while paused or starved is
    // not recorded).
    std::vector<int16_t> Played();
    size_t PlayedFrames();
    void ClearPlayed();

  private:
    class Sink;
    friend class Sink;

    std::mutex mutex_;  // held while a sink renders; a sink's destructor waits for it
    uint32_t deviceCount_ = 1;
    bool refuseOpen_ = false;
    uint32_t opens_ = 0;
    WaveOutRenderer* renderer_ = nullptr;  // of the open sink
    WaveOutSinkFormat format_{0, 0};
    std::vector<int16_t> played_;
};
