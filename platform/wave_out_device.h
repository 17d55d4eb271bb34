// The wave-out device behind WaveOut: a completion thread converts written buffers to
// 16-bit frames (time-stretched at rates other than 1) and feeds them into a lock-free
// ring; the sink's real-time thread pulls frames from the ring through Render. A buffer
// completes when the sink has taken the last frame made from it.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/spsc_ring.h"
#include "platform/time_stretcher.h"
#include "platform/wave_out.h"
#include "platform/wave_out_backend.h"

class WaveOutDevice final : public WaveOut, public WaveOutRenderer {
  public:
    WaveOutDevice(const WaveFormat& format, WaveOut::Callback callback);
    ~WaveOutDevice() override;

    // Opens the sink and starts the completion thread; false when the sink refuses.
    bool Start(WaveOutBackend& backend, uint32_t deviceId);

    void Prepare(WaveBuffer& buffer) override;
    WaveOutResult Unprepare(WaveBuffer& buffer) override;
    WaveOutResult Write(WaveBuffer& buffer) override;
    void Pause() override;
    void Restart() override;
    void Reset() override;
    void Close() override;
    uint32_t GetPlaybackRate() override;
    WaveOutResult SetPlaybackRate(uint32_t rate) override;

    size_t Render(int16_t* out, size_t frames) override;
    void WaitIdle() override;
    size_t PendingBuffers() override;

    // Lowest and highest accepted rate, 16.16.
    static constexpr uint32_t kMinRate = 0x4000;   // 0.25
    static constexpr uint32_t kMaxRate = 0x40000;  // 4

  private:
    struct Pending {
        WaveBuffer* buffer;
        uint32_t fed = 0;     // bytes of the buffer converted so far
        bool allFed = false;  // every byte converted; mark is valid
        uint64_t mark = 0;    // ring index after the buffer's last frame
    };

    void Run();
    // With mutex_ held: moves converted frames towards the ring and converts more input.
    void Feed();
    // With mutex_ held: appends the frames of bytes (carrying a split frame) to out.
    void Convert(const char* bytes, size_t count, std::vector<int16_t>& out);
    // With mutex_ held: queues every pending buffer for completion and drops queued audio.
    void HandBackAll();
    uint64_t ProducedFrames() const;
    // Frames left in the ring (30 ms) below which the stretcher's tail is released.
    size_t LowWater() const;
    // With mutex_ held: true when nothing is written, converted or held back, so only a
    // call on the device can give the completion thread work.
    bool Idle() const;
    // With mutex_ held: how long the completion thread may sleep when not Idle.
    std::chrono::microseconds SleepTime() const;

    const uint32_t channels_;
    const uint32_t bytesPerSample_;
    const uint32_t frameBytes_;
    const uint32_t sampleRate_;
    const WaveOut::Callback callback_;

    SpscRing ring_;
    std::atomic<bool> paused_{false};
    std::unique_ptr<WaveOutSink> sink_;  // calls Render while it exists

    std::mutex mutex_;              // everything below
    std::condition_variable wake_;  // to the completion thread
    std::condition_variable idle_;  // from the completion thread
    std::deque<Pending> pending_;   // written, not yet handed back, in write order
    std::deque<WaveBuffer*> toComplete_;
    uint64_t handedBack_ = 0;  // buffers moved to toComplete_ since open
    uint64_t delivered_ = 0;   // completions delivered since open
    uint64_t tickRequested_ = 0;
    uint64_t tickDone_ = 0;
    bool closing_ = false;
    bool threadExited_ = false;
    uint32_t rate_ = 0x10000;
    TimeStretcher stretcher_;
    std::vector<int16_t> staged_;  // converted frames waiting for room in the ring
    size_t stagedAt_ = 0;          // samples of staged_ already in the ring
    std::vector<int16_t> scratch_;
    uint8_t carry_[16] = {};  // start of a frame split across buffers
    uint32_t carried_ = 0;
    std::thread thread_;
};
