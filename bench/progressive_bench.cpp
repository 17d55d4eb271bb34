// Playing while converting, on one-hour messages in every encoding (made at start with sox
// from the bundled samples; G.729 from random frames):
// - FirstBuffer/<encoding>: wall time from starting the background conversion to the first
//   buffer at the (scripted) device: the conversion's first publications, the engine's
//   construction on the growing file, Play and the writer's hand-over.
// - WholeThenFirstBuffer/<encoding>: the same when the whole message is converted first
//   and the engine then plays the finished file.
// - Convert/<encoding>/progress:0|1: a whole conversion without and with publishing.
//   progressive_bench [benchmark options]
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "bench/bench_inputs.h"
#include "platform/exception.h"
#include "platform/wave_out_backend.h"
#include "platform/wave_out_fake.h"
#include "playback/wave_player.h"
#include "sound/background_conversion.h"
#include "sound/convert_file.h"

namespace fs = std::filesystem;

namespace {

fs::path work;
FakeWaveOutBackend device;

void WaitForTheDevice() {
    while (device.PendingBuffers() == 0) std::this_thread::yield();
}

void FirstBuffer(benchmark::State& state, fs::path source) {
    const std::string output = (work / "out.wav").string();
    for (auto _ : state) {
        auto conversion = std::make_unique<BackgroundConversion>(source.string(), output);
        std::unique_ptr<WavePlayer> player;
        if (ExceptionPtr error = CatchException([&] {
                player = std::make_unique<WavePlayer>(output, conversion->Progress());
                player->Play();
            })) {
            state.SkipWithError(error->Message().c_str());
            break;
        }
        WaitForTheDevice();
        state.PauseTiming();
        player.reset();
        conversion.reset();
        state.ResumeTiming();
    }
}

void WholeThenFirstBuffer(benchmark::State& state, fs::path source) {
    const std::string output = (work / "out.wav").string();
    for (auto _ : state) {
        std::unique_ptr<WavePlayer> player;
        if (ExceptionPtr error = CatchException([&] {
                ConvertFile(source.string(), output);
                player = std::make_unique<WavePlayer>(output);
                player->Play();
            })) {
            state.SkipWithError(error->Message().c_str());
            break;
        }
        WaitForTheDevice();
        state.PauseTiming();
        player.reset();
        state.ResumeTiming();
    }
}

void Convert(benchmark::State& state, fs::path source) {
    const std::string output = (work / "out.wav").string();
    for (auto _ : state) {
        ConversionProgress progress;
        ExceptionPtr error = CatchException(
            [&] { ConvertFile(source.string(), output, state.range(0) ? &progress : nullptr); });
        if (error) {
            state.SkipWithError(error->Message().c_str());
            break;
        }
    }
}

}  // namespace

int main(int argc, char** argv) {
    SetWaveOutBackend(&device);
    work = fs::temp_directory_path() / "corvane-progressive-bench";
    fs::create_directories(work);
    for (const auto& [name, path] : MakeHourInputs(work, "progressive_bench")) {
        benchmark::RegisterBenchmark(("FirstBuffer/" + name).c_str(), FirstBuffer, path)
            ->Unit(benchmark::kMillisecond)
            ->UseRealTime()
            ->Iterations(20);
        benchmark::RegisterBenchmark(("WholeThenFirstBuffer/" + name).c_str(), WholeThenFirstBuffer,
                                     path)
            ->Unit(benchmark::kMillisecond)
            ->UseRealTime()
            ->Iterations(3);
        benchmark::RegisterBenchmark(("Convert/" + name).c_str(), Convert, path)
            ->ArgName("progress")
            ->Arg(0)
            ->Arg(1)
            ->Unit(benchmark::kMillisecond)
            ->UseRealTime()
            ->Iterations(3);
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    fs::remove_all(work);
    return 0;
}
