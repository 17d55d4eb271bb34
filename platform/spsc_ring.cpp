#include "platform/spsc_ring.h"

#include <algorithm>
#include <cstring>

SpscRing::SpscRing(size_t capacityFrames, uint32_t channels) : capacity_(1), channels_(channels) {
    while (capacity_ < capacityFrames) capacity_ <<= 1;
    samples_.resize(capacity_ * channels_);
}

size_t SpscRing::FreeFrames() const {
    const uint64_t used =
        write_.load(std::memory_order_relaxed) - read_.load(std::memory_order_acquire);
    return capacity_ - static_cast<size_t>(used);
}

size_t SpscRing::Write(const int16_t* frames, size_t count) {
    const uint64_t w = write_.load(std::memory_order_relaxed);
    count = std::min(count, FreeFrames());
    size_t done = 0;
    while (done < count) {
        const size_t at = static_cast<size_t>((w + done) & (capacity_ - 1));
        const size_t n = std::min(count - done, capacity_ - at);
        std::memcpy(&samples_[at * channels_], frames + done * channels_,
                    n * channels_ * sizeof(int16_t));
        done += n;
    }
    write_.store(w + count, std::memory_order_release);
    return count;
}

void SpscRing::DiscardWritten() {
    discardTo_.store(write_.load(std::memory_order_relaxed), std::memory_order_release);
}

uint64_t SpscRing::GoneIndex() const {
    return std::max(read_.load(std::memory_order_acquire),
                    discardTo_.load(std::memory_order_relaxed));
}

void SpscRing::ApplyDiscard() {
    const uint64_t to = discardTo_.load(std::memory_order_acquire);
    if (to > read_.load(std::memory_order_relaxed)) read_.store(to, std::memory_order_release);
}

size_t SpscRing::Read(int16_t* out, size_t count) {
    ApplyDiscard();
    const uint64_t r = read_.load(std::memory_order_relaxed);
    count = std::min(count, static_cast<size_t>(write_.load(std::memory_order_acquire) - r));
    size_t done = 0;
    while (done < count) {
        const size_t at = static_cast<size_t>((r + done) & (capacity_ - 1));
        const size_t n = std::min(count - done, capacity_ - at);
        std::memcpy(out + done * channels_, &samples_[at * channels_],
                    n * channels_ * sizeof(int16_t));
        done += n;
    }
    read_.store(r + count, std::memory_order_release);
    return count;
}
