#include "playback/waveform_overview.h"

#include <algorithm>
#include <bit>
#include <limits>

#include "platform/exception.h"
#include "platform/file.h"
#include "sound/wave_header.h"

namespace {

constexpr size_t kReadBytes = 1 << 20;  // one read: large enough to bypass CFile's buffer
constexpr size_t kLanes = 32;           // independent minima and maxima the compiler vectorises

// Widens lowest and highest by the samples s[0, count).
template <typename Sample>
void Extend(const Sample* s, size_t count, Sample& lowest, Sample& highest) {
    // Locals and plain comparisons: nothing the compiler must assume s may alias, so the
    // fixed-count inner loop becomes a few vector min and max instructions.
    Sample low = lowest;
    Sample high = highest;
    size_t i = 0;
    if (count >= kLanes) {
        Sample lows[kLanes];
        Sample highs[kLanes];
        for (size_t j = 0; j < kLanes; ++j) {
            lows[j] = low;
            highs[j] = high;
        }
        for (; i + kLanes <= count; i += kLanes) {
            const Sample* block = s + i;
            for (size_t j = 0; j < kLanes; ++j) {
                const Sample v = block[j];
                lows[j] = v < lows[j] ? v : lows[j];
                highs[j] = v > highs[j] ? v : highs[j];
            }
        }
        for (size_t j = 0; j < kLanes; ++j) {
            low = lows[j] < low ? lows[j] : low;
            high = highs[j] > high ? highs[j] : high;
        }
    }
    for (; i < count; ++i) {
        low = s[i] < low ? s[i] : low;
        high = s[i] > high ? s[i] : high;
    }
    lowest = low;
    highest = high;
}

int16_t To16(int16_t v) {
    return v;
}
int16_t To16(uint8_t v) {
    return static_cast<int16_t>((v - 128) * 256);
}

// Fills overview with n buckets over frames whole frames of channels samples each, read from
// file, which stands at the first one.
template <typename Sample>
bool Scan(CFile& file, uint64_t frames, uint32_t channels, size_t n,
          const std::atomic<bool>* cancel, WaveformOverview& overview) {
    const size_t frameBytes = sizeof(Sample) * channels;
    const size_t chunkFrames = std::max<size_t>(1, kReadBytes / frameBytes);
    std::vector<Sample> samples(chunkFrames * channels);
    overview.low.assign(n, 0);
    overview.high.assign(n, 0);

    size_t bucket = 0;
    uint64_t bucketEnd =
        frames / n;  // bucket b holds frames [b * frames / n, (b + 1) * frames / n)
    Sample low = std::numeric_limits<Sample>::max();
    Sample high = std::numeric_limits<Sample>::min();
    uint64_t frame = 0;
    while (frame < frames) {
        if (cancel && cancel->load(std::memory_order_relaxed)) return false;
        const size_t want = static_cast<size_t>(std::min<uint64_t>(chunkFrames, frames - frame));
        const size_t got = file.Read(samples.data(), want * frameBytes) / frameBytes;
        if (got == 0) break;
        if constexpr (sizeof(Sample) > 1 && std::endian::native == std::endian::big) {
            for (size_t i = 0; i < got * channels; ++i) {
                const auto v = static_cast<uint16_t>(samples[i]);
                samples[i] = static_cast<Sample>(static_cast<uint16_t>(v << 8 | v >> 8));
            }
        }
        for (size_t at = 0; at < got;) {
            const size_t take =
                static_cast<size_t>(std::min<uint64_t>(got - at, bucketEnd - frame));
            Extend(samples.data() + at * channels, take * channels, low, high);
            at += take;
            frame += take;
            if (frame == bucketEnd) {
                overview.low[bucket] = To16(low);
                overview.high[bucket] = To16(high);
                ++bucket;
                bucketEnd = (bucket + 1) * frames / n;
                low = std::numeric_limits<Sample>::max();
                high = std::numeric_limits<Sample>::min();
            }
        }
        if (got < want) break;  // the file ended before its data did
    }
    return true;
}

}  // namespace

WaveformOverview ComputeWaveformOverview(const std::string& path, const std::atomic<bool>* cancel,
                                         size_t buckets, uint64_t dataBytes) {
    WaveformOverview overview;
    const ExceptionPtr error = CatchException([&] {
        CFile file;
        if (!file.Open(path, CFile::modeRead, nullptr, true)) return;
        WaveHeader header;
        if (!header.ReadHeader(file) || header.formatTag != FormatTag::Pcm) return;
        const uint32_t bytes = header.bitsPerSample / 8u;
        if ((bytes != 1 && bytes != 2) || header.bitsPerSample % 8 != 0 || header.channels == 0) {
            return;
        }
        const uint64_t length = dataBytes != 0 ? dataBytes : header.DataLength();
        const uint64_t frames = length / (bytes * header.channels);
        const size_t n = static_cast<size_t>(std::min<uint64_t>(buckets, frames));
        if (n == 0) return;
        file.Seek(header.dataStart);
        const bool done = bytes == 1
                              ? Scan<uint8_t>(file, frames, header.channels, n, cancel, overview)
                              : Scan<int16_t>(file, frames, header.channels, n, cancel, overview);
        if (!done) overview = {};
    });
    if (error) overview = {};
    return overview;
}
