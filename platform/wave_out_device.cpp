#include "platform/wave_out_device.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <utility>

#include "platform/wave_out_volume.h"

namespace {

// While it has buffers, the completion thread sleeps until the next completion is due or
// the ring needs more, but at most this long.
constexpr auto kLongestSleep = std::chrono::milliseconds(200);
constexpr auto kShortestSleep = std::chrono::milliseconds(1);

size_t MsOfFrames(uint32_t sampleRate, uint32_t ms) {
    return static_cast<size_t>(static_cast<uint64_t>(sampleRate) * ms / 1000);
}

}  // namespace

WaveOutDevice::WaveOutDevice(const WaveFormat& format, WaveOut::Callback callback)
    : channels_(format.channels),
      bytesPerSample_(format.bitsPerSample / 8u),
      frameBytes_(format.channels * (format.bitsPerSample / 8u)),
      sampleRate_(format.sampleRate),
      callback_(std::move(callback)),
      // 100 ms of audio and at least 2048 frames: a few sink periods, and short enough
      // that a rate change is heard soon.
      ring_(std::max<size_t>(MsOfFrames(format.sampleRate, 100), 2048), format.channels),
      stretcher_(format.sampleRate, format.channels) {}

WaveOutDevice::~WaveOutDevice() {
    Close();
}

bool WaveOutDevice::Start(WaveOutBackend& backend, uint32_t deviceId) {
    sink_ = backend.OpenSink(deviceId, {channels_, sampleRate_}, *this);
    if (!sink_) return false;
    thread_ = std::thread(&WaveOutDevice::Run, this);
    return true;
}

void WaveOutDevice::Prepare(WaveBuffer& buffer) {
    buffer.flags |= WaveBuffer::kPrepared;
}

WaveOutResult WaveOutDevice::Unprepare(WaveBuffer& buffer) {
    if (buffer.flags & WaveBuffer::kInQueue) return WaveOutResult::StillPlaying;
    buffer.flags &= ~WaveBuffer::kPrepared;
    return WaveOutResult::Ok;
}

WaveOutResult WaveOutDevice::Write(WaveBuffer& buffer) {
    if (buffer.length && !buffer.data) return WaveOutResult::InvalidParam;
    if (!(buffer.flags & WaveBuffer::kPrepared)) return WaveOutResult::Unprepared;
    if (buffer.flags & WaveBuffer::kInQueue) return WaveOutResult::StillPlaying;
    {
        std::lock_guard lock(mutex_);
        if (closing_) return WaveOutResult::Closed;
        buffer.flags = (buffer.flags | WaveBuffer::kInQueue) & ~WaveBuffer::kDone;
        pending_.push_back({&buffer});
    }
    wake_.notify_one();
    return WaveOutResult::Ok;
}

void WaveOutDevice::Pause() {
    paused_.store(true, std::memory_order_release);
}

void WaveOutDevice::Restart() {
    {
        // Under the lock, so the completion thread cannot miss the change between working
        // out its sleep and starting it.
        std::lock_guard lock(mutex_);
        paused_.store(false, std::memory_order_release);
    }
    wake_.notify_one();
}

void WaveOutDevice::HandBackAll() {
    for (const Pending& p : pending_) toComplete_.push_back(p.buffer);
    handedBack_ += pending_.size();
    pending_.clear();
    staged_.clear();
    stagedAt_ = 0;
    carried_ = 0;
    stretcher_.Clear();
    ring_.DiscardWritten();
}

void WaveOutDevice::Reset() {
    std::unique_lock lock(mutex_);
    if (closing_) return;
    HandBackAll();
    const uint64_t target = handedBack_;
    wake_.notify_one();
    idle_.wait(lock, [&] { return delivered_ >= target; });
}

void WaveOutDevice::Close() {
    {
        std::lock_guard lock(mutex_);
        if (closing_) return;
        HandBackAll();
        closing_ = true;
    }
    wake_.notify_one();
    if (thread_.joinable()) thread_.join();
    sink_.reset();
}

uint32_t WaveOutDevice::GetPlaybackRate() {
    std::lock_guard lock(mutex_);
    return rate_;
}

WaveOutResult WaveOutDevice::SetPlaybackRate(uint32_t rate) {
    if (rate < kMinRate || rate > kMaxRate) return WaveOutResult::InvalidParam;
    std::lock_guard lock(mutex_);
    rate_ = rate;
    stretcher_.SetSpeed(static_cast<float>(rate) / 65536.0f);
    return WaveOutResult::Ok;
}

size_t WaveOutDevice::Render(int16_t* out, size_t frames) {
    size_t got = 0;
    if (paused_.load(std::memory_order_acquire)) {
        ring_.ApplyDiscard();
    } else {
        got = ring_.Read(out, frames);
    }
    std::fill(out + got * channels_, out + frames * channels_, int16_t{0});
    ApplyVolume(out, got, channels_);
    return got;
}

void WaveOutDevice::WaitIdle() {
    std::unique_lock lock(mutex_);
    const uint64_t want = ++tickRequested_;
    wake_.notify_one();
    idle_.wait(lock, [&] { return tickDone_ >= want || threadExited_; });
}

size_t WaveOutDevice::PendingBuffers() {
    std::lock_guard lock(mutex_);
    return pending_.size() + (handedBack_ - delivered_);
}

size_t WaveOutDevice::LowWater() const {
    return MsOfFrames(sampleRate_, 30);
}

uint64_t WaveOutDevice::ProducedFrames() const {
    return ring_.WriteIndex() + (staged_.size() - stagedAt_) / channels_;
}

void WaveOutDevice::Convert(const char* bytes, size_t count, std::vector<int16_t>& out) {
    out.clear();
    out.reserve((count / frameBytes_ + 1) * channels_);
    auto sample = [&](const uint8_t* p) {
        return bytesPerSample_ == 1 ? static_cast<int16_t>((p[0] - 128) * 256)
                                    : static_cast<int16_t>(p[0] | (p[1] << 8));
    };
    auto frame = [&](const uint8_t* p) {
        for (uint32_t c = 0; c < channels_; ++c) out.push_back(sample(p + c * bytesPerSample_));
    };
    const auto* in = reinterpret_cast<const uint8_t*>(bytes);
    size_t i = 0;
    if (carried_) {
        const size_t n = std::min<size_t>(frameBytes_ - carried_, count);
        std::memcpy(carry_ + carried_, in, n);
        carried_ += static_cast<uint32_t>(n);
        i = n;
        if (carried_ < frameBytes_) return;
        frame(carry_);
        carried_ = 0;
    }
    for (; i + frameBytes_ <= count; i += frameBytes_) frame(in + i);
    carried_ = static_cast<uint32_t>(count - i);
    std::memcpy(carry_, in + i, carried_);
}

void WaveOutDevice::Feed() {
    const size_t chunkBytes = std::max<size_t>(MsOfFrames(sampleRate_, 20), 64) * frameBytes_;
    for (;;) {
        if (stagedAt_ < staged_.size()) {
            const size_t frames = (staged_.size() - stagedAt_) / channels_;
            stagedAt_ += ring_.Write(staged_.data() + stagedAt_, frames) * channels_;
            if (stagedAt_ < staged_.size()) return;  // the ring is full
        }
        staged_.clear();
        stagedAt_ = 0;

        auto next = std::find_if(pending_.begin(), pending_.end(),
                                 [](const Pending& p) { return !p.allFed; });
        if (next == pending_.end()) {
            // Nothing more to convert: release what the stretcher holds back before the
            // ring runs dry, so the end of the stream is heard.
            const size_t queued = ring_.Capacity() - ring_.FreeFrames();
            if (!stretcher_.Holding() || queued > LowWater()) return;
            stretcher_.Flush(staged_);
            if (staged_.empty()) return;
            continue;
        }
        WaveBuffer* b = next->buffer;
        const size_t n = std::min<size_t>(b->length - next->fed, chunkBytes);
        Convert(b->data + next->fed, n, scratch_);
        stretcher_.Process(scratch_.data(), scratch_.size() / channels_, staged_);
        next->fed += static_cast<uint32_t>(n);
        if (next->fed == b->length) {
            next->allFed = true;
            next->mark = ProducedFrames();
        }
    }
}

bool WaveOutDevice::Idle() const {
    return pending_.empty() && stagedAt_ >= staged_.size() && !stretcher_.Holding();
}

std::chrono::microseconds WaveOutDevice::SleepTime() const {
    using std::chrono::microseconds;
    microseconds sleep = kLongestSleep;
    if (paused_.load(std::memory_order_acquire)) return sleep;
    const uint64_t gone = ring_.GoneIndex();
    auto framesTime = [&](uint64_t frames) { return microseconds(frames * 1000000 / sampleRate_); };
    if (!pending_.empty() && pending_.front().allFed && pending_.front().mark > gone)
        sleep = std::min(sleep, framesTime(pending_.front().mark - gone));
    // Wake when the ring has drained to half, to convert more input; with only the
    // stretcher's held-back tail left, when it is nearly empty (see Feed).
    const bool moreInput =
        stagedAt_ < staged_.size() || (!pending_.empty() && !pending_.back().allFed);
    if (moreInput || stretcher_.Holding()) {
        const uint64_t queued = ring_.Capacity() - ring_.FreeFrames();
        const uint64_t wakeAt = moreInput ? ring_.Capacity() / 2 : LowWater();
        sleep = std::min(sleep, queued > wakeAt ? framesTime(queued - wakeAt) : microseconds(0));
    }
    return std::max<microseconds>(sleep, kShortestSleep);
}

void WaveOutDevice::Run() {
    std::unique_lock lock(mutex_);
    for (;;) {
        const uint64_t serving = tickRequested_;
        Feed();
        const uint64_t played = ring_.GoneIndex();
        while (!pending_.empty() && pending_.front().allFed && pending_.front().mark <= played) {
            toComplete_.push_back(pending_.front().buffer);
            pending_.pop_front();
            ++handedBack_;
        }
        if (!toComplete_.empty()) {
            std::deque<WaveBuffer*> batch;
            batch.swap(toComplete_);
            lock.unlock();
            for (WaveBuffer* b : batch) {
                b->flags = (b->flags & ~WaveBuffer::kInQueue) | WaveBuffer::kDone;
                if (callback_) callback_(*b);
            }
            lock.lock();
            delivered_ += batch.size();
            idle_.notify_all();
            continue;
        }
        tickDone_ = serving;
        idle_.notify_all();
        if (closing_) break;
        if (tickRequested_ != serving) continue;
        // Every call that can give an idle device work (Write, Restart, Reset, Close,
        // WaitIdle) notifies wake_.
        if (Idle())
            wake_.wait(lock);
        else
            wake_.wait_for(lock, SleepTime());
    }
    threadExited_ = true;
    idle_.notify_all();
}
