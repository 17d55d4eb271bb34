// Conversion speed per encoding: each bundled sample converted whole into a scratch file.
// Reported as seconds of audio converted per second of CPU (items = seconds of audio).
#include <benchmark/benchmark.h>

#include <filesystem>
#include <string>

#include "platform/exception.h"
#include "sound/wave_converter.h"

namespace {

void Convert(benchmark::State& state, const std::string& name) {
    const std::string source = std::string(CORVANE_SAMPLES) + "/" + name;
    const std::string output =
        (std::filesystem::temp_directory_path() / "corvane-bench-out.wav").string();
    double audioSeconds = 0;
    for (auto _ : state) {
        try {
            WaveConverter converter(source, output);
            converter.Convert();
            const WaveHeader& h = converter.Header();
            audioSeconds = h.byteRate ? static_cast<double>(h.dataSize) / h.byteRate : 0;
        } catch (CException* e) {
            ExceptionPtr owned(e);
            state.SkipWithError(e->Message().c_str());
            break;
        }
    }
    state.counters["x_realtime"] = benchmark::Counter(
        audioSeconds * static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
    std::filesystem::remove(output);
}

}  // namespace

BENCHMARK_CAPTURE(Convert, pcm, std::string("greeting-pcm.wav"));
BENCHMARK_CAPTURE(Convert, alaw, std::string("greeting-alaw.wav"));
BENCHMARK_CAPTURE(Convert, mulaw, std::string("greeting-mulaw.wav"));
BENCHMARK_CAPTURE(Convert, ima, std::string("greeting-ima.wav"));
BENCHMARK_CAPTURE(Convert, msadpcm, std::string("greeting-msadpcm.wav"));
BENCHMARK_CAPTURE(Convert, gsm_wave, std::string("greeting-gsm.wav"));
BENCHMARK_CAPTURE(Convert, gsm_raw, std::string("reminder.gsm"));
BENCHMARK_CAPTURE(Convert, oki32, std::string("reminder-oki32.wav"));
BENCHMARK_CAPTURE(Convert, oki24, std::string("reminder-oki24.wav"));
