// G.729 Annex A decoder speed: decodes the frames of the speech conformance vector over and
// over and reports frames per second and seconds of decoding per hour of speech.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <vector>

#include "sound/g729/g729_decoder.h"
#include "sound/g729/g729_parameters.h"

namespace {

constexpr double kFramesPerHour = 360000.0;  // 10 ms frames

// The frames of the vector's data chunk, already unpacked.
std::vector<G729Parameters> LoadFrames() {
    std::vector<G729Parameters> frames;
    std::FILE* f = std::fopen(G729_BENCH_VECTOR, "rb");
    if (f == nullptr) return frames;
    std::vector<uint8_t> bytes;
    uint8_t buf[4096];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) bytes.insert(bytes.end(), buf, buf + n);
    std::fclose(f);
    // Find the data chunk after the 12-byte RIFF header.
    size_t pos = 12;
    while (pos + 8 <= bytes.size()) {
        uint32_t size;
        std::memcpy(&size, &bytes[pos + 4], 4);
        if (std::memcmp(&bytes[pos], "data", 4) == 0) {
            const size_t end = std::min(bytes.size(), pos + 8 + static_cast<size_t>(size));
            for (size_t p = pos + 8; p + kG729FrameBytes <= end; p += kG729FrameBytes) {
                frames.push_back(UnpackG729Frame(&bytes[p]));
            }
            break;
        }
        pos += 8 + size;
    }
    return frames;
}

void BM_G729DecodeFrame(benchmark::State& state) {
    const std::vector<G729Parameters> frames = LoadFrames();
    if (frames.empty()) {
        state.SkipWithError("cannot read " G729_BENCH_VECTOR);
        return;
    }
    G729Decoder decoder;
    int16_t out[kG729FrameSamples];
    size_t next = 0;
    for (auto _ : state) {
        if (next == frames.size()) {
            next = 0;
            decoder.Reset();
        }
        decoder.DecodeFrame(frames[next++], out);
        benchmark::DoNotOptimize(out);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations());  // frames
    state.counters["frames_per_s"] =
        benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
    // Seconds of CPU time to decode one hour of speech.
    state.counters["s_per_hour"] =
        benchmark::Counter(static_cast<double>(state.iterations()) / kFramesPerHour,
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_G729DecodeFrame);

}  // namespace
