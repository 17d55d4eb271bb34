#include "platform/wave_out_fake.h"

#include <algorithm>

class FakeWaveOutBackend::Sink : public WaveOutSink {
  public:
    explicit Sink(FakeWaveOutBackend& backend) : backend_(backend) {}
    ~Sink() override {
        std::lock_guard lock(backend_.mutex_);
        backend_.renderer_ = nullptr;
    }

  private:
    FakeWaveOutBackend& backend_;
};

void FakeWaveOutBackend::SetDeviceCount(uint32_t count) {
    std::lock_guard lock(mutex_);
    deviceCount_ = count;
}

void FakeWaveOutBackend::SetRefuseOpen(bool refuse) {
    std::lock_guard lock(mutex_);
    refuseOpen_ = refuse;
}

uint32_t FakeWaveOutBackend::DeviceCount() {
    std::lock_guard lock(mutex_);
    return deviceCount_;
}

std::unique_ptr<WaveOutSink> FakeWaveOutBackend::OpenSink(uint32_t, const WaveOutSinkFormat& format,
                                                          WaveOutRenderer& renderer) {
    std::lock_guard lock(mutex_);
    if (refuseOpen_ || renderer_) return nullptr;
    renderer_ = &renderer;
    format_ = format;
    ++opens_;
    return std::make_unique<Sink>(*this);
}

bool FakeWaveOutBackend::IsOpen() {
    std::lock_guard lock(mutex_);
    return renderer_ != nullptr;
}

uint32_t FakeWaveOutBackend::OpenCount() {
    std::lock_guard lock(mutex_);
    return opens_;
}

WaveOutSinkFormat FakeWaveOutBackend::Format() {
    std::lock_guard lock(mutex_);
    return format_;
}

void FakeWaveOutBackend::Advance(uint32_t ms) {
    std::lock_guard lock(mutex_);
    if (!renderer_) return;
    const uint32_t channels = format_.channels;
    const size_t step = std::max<size_t>(format_.sampleRate / 100, 1);
    std::vector<int16_t> out(step * channels);
    uint64_t left = static_cast<uint64_t>(format_.sampleRate) * ms / 1000;
    while (left > 0) {
        // A sink looks at the stream now and then even while the clock stands still; this
        // lets a reset's discarded frames make room before the device feeds again.
        renderer_->Render(out.data(), 0);
        renderer_->WaitIdle();
        const size_t n = static_cast<size_t>(std::min<uint64_t>(left, step));
        const size_t got = renderer_->Render(out.data(), n);
        played_.insert(played_.end(), out.begin(),
                       out.begin() + static_cast<ptrdiff_t>(got * channels));
        left -= n;
    }
    renderer_->WaitIdle();
}

size_t FakeWaveOutBackend::PendingBuffers() {
    std::lock_guard lock(mutex_);
    return renderer_ ? renderer_->PendingBuffers() : 0;
}

std::vector<int16_t> FakeWaveOutBackend::Played() {
    std::lock_guard lock(mutex_);
    return played_;
}

size_t FakeWaveOutBackend::PlayedFrames() {
    std::lock_guard lock(mutex_);
    return format_.channels ? played_.size() / format_.channels : 0;
}

void FakeWaveOutBackend::ClearPlayed() {
    std::lock_guard lock(mutex_);
    played_.clear();
}
