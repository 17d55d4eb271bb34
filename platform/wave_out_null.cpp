#include "platform/wave_out_null.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

namespace {

class NullSink : public WaveOutSink {
  public:
    NullSink(const WaveOutSinkFormat& format, WaveOutRenderer& renderer)
        : format_(format), renderer_(renderer), scratch_(kChunk * format.channels) {
        thread_ = std::thread(&NullSink::Run, this);
    }
    ~NullSink() override {
        {
            std::lock_guard lock(mutex_);
            stop_ = true;
        }
        wake_.notify_one();
        thread_.join();
    }

  private:
    static constexpr size_t kChunk = 4096;  // frames per Render call at most

    // Every 40 ms (a long sound card period) pulls as many frames as the elapsed time is
    // worth. The device's ring holds at least 100 ms and is refilled when half empty, so a
    // 40 ms pull never finds it short; each pull costs a wake-up, so fewer is cheaper.
    void Run() {
        using Clock = std::chrono::steady_clock;
        const Clock::time_point start = Clock::now();
        uint64_t rendered = 0;
        std::unique_lock lock(mutex_);
        while (!wake_.wait_for(lock, std::chrono::milliseconds(40), [&] { return stop_; })) {
            const auto elapsed =
                std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - start);
            const uint64_t due =
                static_cast<uint64_t>(elapsed.count()) * format_.sampleRate / 1000000;
            while (rendered < due) {
                const size_t n = static_cast<size_t>(std::min<uint64_t>(due - rendered, kChunk));
                renderer_.Render(scratch_.data(), n);
                rendered += n;
            }
        }
    }

    WaveOutSinkFormat format_;
    WaveOutRenderer& renderer_;
    std::vector<int16_t> scratch_;
    std::mutex mutex_;
    std::condition_variable wake_;
    bool stop_ = false;
    std::thread thread_;
};

}  // namespace

std::unique_ptr<WaveOutSink> NullWaveOutBackend::OpenSink(uint32_t, const WaveOutSinkFormat& format,
                                                          WaveOutRenderer& renderer) {
    return std::make_unique<NullSink>(format, renderer);
}
