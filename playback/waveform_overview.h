// A recording's waveform at a glance: the sound data cut into a fixed number of equal
// stretches ("buckets"), each kept as its lowest and highest sample, all channels together.
// A window of any width draws from the same buckets, so a resize never reads the file again.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

struct WaveformOverview {
    // Buckets of a whole recording; a recording of fewer frames has one bucket per frame.
    static constexpr size_t kBuckets = 4096;

    // Per bucket, on the 16-bit signed scale (8-bit samples are centred and shifted up).
    std::vector<int16_t> low;
    std::vector<int16_t> high;

    size_t Buckets() const { return low.size(); }
    bool Empty() const { return low.empty(); }
};

// Reads the linear PCM WAVE file at path (8-bit unsigned or 16-bit signed, any number of
// channels) from the start of its data to the data end the engine plays to, and returns its
// overview of at most `buckets` buckets. The result is empty when the file cannot be read,
// its header does not read, its format is another, its data holds no whole frame, or cancel
// became true while it ran (checked between reads). A read that ends early (the file shrank)
// leaves the buckets it did not reach at 0. dataBytes, when not 0, is the length of the data
// instead of the header's: the buckets of a file still being written then keep the scale of
// the whole, and those not written yet stay at 0.
WaveformOverview ComputeWaveformOverview(const std::string& path,
                                         const std::atomic<bool>* cancel = nullptr,
                                         size_t buckets = WaveformOverview::kBuckets,
                                         uint64_t dataBytes = 0);
