// Playback engine costs:
// - BM_PlaybackCpu: CPU time of the whole process per second of audio played through the
//   real-time null device, at rate 1 and 3 (counters cpu_ms_per_audio_s and core_percent),
//   without and with both voice tools (skip silence, level voice).
// - BM_PlayToFirstBuffer: wall time from Play to the first buffer handed to the device,
//   without and with both voice tools.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "platform/wave_out_backend.h"
#include "platform/wave_out_fake.h"
#include "platform/wave_out_null.h"
#include "playback/wave_player.h"
#include "sound/voice_measure.h"

namespace {

void Put(std::ofstream& out, uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) out.put(static_cast<char>(value >> (8 * i)));
}

// A speech-like test file: 16-bit mono, a 150 Hz buzz with harmonics, silent for the last
// second of every four.
std::string MakeFile(uint32_t rate, uint32_t seconds) {
    const std::string path = "/tmp/corvane-engine-bench-" + std::to_string(::getpid()) + "-" +
                             std::to_string(rate) + ".wav";
    const uint32_t frames = rate * seconds;
    std::ofstream out(path, std::ios::binary);
    out.write("RIFF", 4);
    Put(out, 36 + frames * 2, 4);
    out.write("WAVEfmt ", 8);
    Put(out, 16, 4);
    Put(out, 1, 2);
    Put(out, 1, 2);
    Put(out, rate, 4);
    Put(out, rate * 2, 4);
    Put(out, 2, 2);
    Put(out, 16, 2);
    out.write("data", 4);
    Put(out, frames * 2, 4);
    for (uint32_t i = 0; i < frames; ++i) {
        double s = 0;
        if (i % (4 * rate) < 3 * rate)
            for (int h = 1; h <= 5; ++h) s += std::sin(2 * M_PI * 150 * h * i / rate) / h;
        Put(out, static_cast<uint32_t>(static_cast<int16_t>(6000 * s)), 2);
    }
    return path;
}

// Both tools on, with the levels of the file at path as the player measures them.
void UseVoiceTools(WavePlayer& player, const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    in.seekg(44);
    std::vector<int16_t> samples(1 << 16);
    VoiceMeasure measure(player.Format().sampleRate, 1);
    while (in.read(reinterpret_cast<char*>(samples.data()), samples.size() * 2) || in.gcount())
        measure.Add(samples.data(), static_cast<size_t>(in.gcount()) / 2);
    player.SetVoiceLevels(measure.Levels());
    player.SetVoiceTools({.skipSilence = true, .level = true});
}

double ProcessCpuSeconds() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

// Args: rate multiplier, sample rate, voice tools (0 off, 1 on).
void BM_PlaybackCpu(benchmark::State& state) {
    const auto rate = static_cast<uint32_t>(state.range(0));
    const auto sampleRate = static_cast<uint32_t>(state.range(1));
    const bool tools = state.range(2) != 0;
    const std::string path = MakeFile(sampleRate, 30);
    NullWaveOutBackend null;
    WaveOutBackend* previous = SetWaveOutBackend(&null);
    constexpr double kWallSeconds = 3.0;
    double cpu = 0, audio = 0;
    for (auto _ : state) {
        WavePlayer player(path);
        if (tools) UseVoiceTools(player, path);
        player.Play();
        player.SetSpeed(rate);
        std::this_thread::sleep_for(std::chrono::milliseconds(500));  // past the start-up
        const uint32_t fromMs = player.GetPosition();
        const double fromCpu = ProcessCpuSeconds();
        const auto fromWall = std::chrono::steady_clock::now();
        std::this_thread::sleep_for(std::chrono::duration<double>(kWallSeconds));
        cpu += ProcessCpuSeconds() - fromCpu;
        const double wall =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - fromWall).count();
        audio += (player.GetPosition() - fromMs) / 1000.0;
        state.SetIterationTime(wall);
        player.Stop();
    }
    SetWaveOutBackend(previous);
    std::remove(path.c_str());
    state.counters["cpu_ms_per_audio_s"] = audio > 0 ? 1000 * cpu / audio : 0;
    state.counters["core_percent"] =
        100 * cpu / (kWallSeconds * static_cast<double>(state.iterations()));
    state.counters["audio_s_per_wall_s"] =
        audio / (kWallSeconds * static_cast<double>(state.iterations()));
}
BENCHMARK(BM_PlaybackCpu)
    ->ArgNames({"rate", "hz", "tools"})
    ->ArgsProduct({{1, 3}, {8000, 48000}, {0, 1}})
    ->Iterations(2)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

// Args: voice tools (0 off, 1 on).
void BM_PlayToFirstBuffer(benchmark::State& state) {
    const std::string path = MakeFile(8000, 2);
    FakeWaveOutBackend fake;
    WaveOutBackend* previous = SetWaveOutBackend(&fake);
    WavePlayer player(path);
    if (state.range(0) != 0) UseVoiceTools(player, path);
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        player.Play();
        while (fake.PendingBuffers() == 0) std::this_thread::yield();
        state.SetIterationTime(
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
        player.Stop();
    }
    SetWaveOutBackend(previous);
    std::remove(path.c_str());
}
BENCHMARK(BM_PlayToFirstBuffer)
    ->ArgName("tools")
    ->Arg(0)
    ->Arg(1)
    ->Iterations(50)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

}  // namespace
