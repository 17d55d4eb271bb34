// Lock-free single-producer single-consumer ring of interleaved 16-bit frames. Indices
// count frames since creation and never wrap in practice (64 bits).
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <vector>

class SpscRing {
  public:
    // capacityFrames is rounded up to a power of two.
    SpscRing(size_t capacityFrames, uint32_t channels);

    size_t Capacity() const { return capacity_; }

    // Producer side.
    size_t FreeFrames() const;
    size_t Write(const int16_t* frames, size_t count);  // returns frames written
    uint64_t WriteIndex() const { return write_.load(std::memory_order_relaxed); }
    // Makes the consumer skip everything written so far.
    void DiscardWritten();
    // Frames that have left the stream or are certain to be skipped: they will not be
    // heard any more.
    uint64_t GoneIndex() const;

    // Consumer side: reads up to count frames; returns how many it read.
    size_t Read(int16_t* out, size_t count);
    // Applies a pending discard without reading.
    void ApplyDiscard();

    // Frames the consumer has taken (played or discarded); any thread.
    uint64_t ReadIndex() const { return read_.load(std::memory_order_acquire); }

  private:
    size_t capacity_;
    uint32_t channels_;
    std::vector<int16_t> samples_;
    alignas(64) std::atomic<uint64_t> write_{0};
    alignas(64) std::atomic<uint64_t> read_{0};
    alignas(64) std::atomic<uint64_t> discardTo_{0};
};
