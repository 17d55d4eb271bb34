// Waveform overview of a one-hour recording, as the player computes it right after the
// conversion wrote the file (so the file is in the page cache): wall time per recording, and
// megabytes of PCM read per second. 8 kHz mono is a typical voice message; 48 kHz stereo is
// the largest the converter's users are likely to give it.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "playback/waveform_overview.h"

namespace {

void Put(std::ofstream& out, uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) out.put(static_cast<char>(value >> (8 * i)));
}

// A 16-bit PCM WAVE file of one hour: a tone whose loudness rises and falls like speech.
std::string MakeHour(uint32_t rate, uint16_t channels) {
    const std::string path = "/tmp/corvane-waveform-bench-" + std::to_string(::getpid()) + "-" +
                             std::to_string(rate) + "x" + std::to_string(channels) + ".wav";
    const uint32_t dataBytes = 3600u * rate * channels * 2;
    std::ofstream out(path, std::ios::binary);
    out.write("RIFF", 4);
    Put(out, 36 + dataBytes, 4);
    out.write("WAVEfmt ", 8);
    Put(out, 16, 4);
    Put(out, 1, 2);
    Put(out, channels, 2);
    Put(out, rate, 4);
    Put(out, rate * channels * 2, 4);
    Put(out, channels * 2, 2);
    Put(out, 16, 2);
    out.write("data", 4);
    Put(out, dataBytes, 4);
    // Ten seconds of sound, written 360 times.
    std::vector<int16_t> block(10u * rate * channels);
    for (size_t i = 0; i < block.size(); ++i) {
        const double t = static_cast<double>(i / channels) / rate;
        const double envelope = 0.5 + 0.5 * std::sin(2 * M_PI * 0.3 * t);
        block[i] = static_cast<int16_t>(12000 * envelope * std::sin(2 * M_PI * 180 * t));
    }
    for (int i = 0; i < 360; ++i) {
        out.write(reinterpret_cast<const char*>(block.data()),
                  static_cast<std::streamsize>(block.size() * sizeof(int16_t)));
    }
    return path;
}

// Args: sample rate, channels.
void BM_OneHourOverview(benchmark::State& state) {
    const auto rate = static_cast<uint32_t>(state.range(0));
    const auto channels = static_cast<uint16_t>(state.range(1));
    const std::string path = MakeHour(rate, channels);
    for (auto _ : state) {
        const WaveformOverview overview = ComputeWaveformOverview(path);
        if (overview.Buckets() != WaveformOverview::kBuckets) {
            state.SkipWithError("no overview");
            break;
        }
        benchmark::DoNotOptimize(overview.low.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * 3600 * rate * channels * 2);
    std::remove(path.c_str());
}

}  // namespace

BENCHMARK(BM_OneHourOverview)
    ->Args({8000, 1})
    ->Args({48000, 2})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
