// Time from building the player window and asking it to open a recording until the first
// buffer reaches the audio device: the window is built, the recording is converted into the
// PCM file, the engine starts and its writer thread hands the first buffer over. The device
// is the scripted one (its clock stands still, so the buffer stays where it arrived).
// One-minute messages in every encoding and a one-hour G.729 message, made at start with
// sox from the bundled samples; runs offscreen.
//   startup_bench [benchmark options]
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QString>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "platform/wave_out_backend.h"
#include "platform/wave_out_fake.h"
#include "player/player_dialog.h"
#include "player/player_session.h"

namespace fs = std::filesystem;

namespace {

fs::path work;
FakeWaveOutBackend device;

bool Run(const std::string& command) {
    return std::system(command.c_str()) == 0;
}

void Put(std::vector<char>& b, uint32_t v, int bytes) {
    for (int i = 0; i < bytes; ++i) b.push_back(static_cast<char>(v >> (8 * i)));
}

// A WAVE file around payload with the given format fields.
void WriteWave(const fs::path& path, uint16_t tag, uint32_t rate, uint32_t byteRate, uint16_t align,
               uint16_t bits, const std::vector<char>& payload) {
    std::vector<char> b;
    b.insert(b.end(), {'R', 'I', 'F', 'F'});
    Put(b, static_cast<uint32_t>(36 + payload.size()), 4);
    b.insert(b.end(), {'W', 'A', 'V', 'E', 'f', 'm', 't', ' '});
    Put(b, 16, 4);
    Put(b, tag, 2);
    Put(b, 1, 2);
    Put(b, rate, 4);
    Put(b, byteRate, 4);
    Put(b, align, 2);
    Put(b, bits, 2);
    b.insert(b.end(), {'d', 'a', 't', 'a'});
    Put(b, static_cast<uint32_t>(payload.size()), 4);
    b.insert(b.end(), payload.begin(), payload.end());
    std::ofstream(path, std::ios::binary).write(b.data(), static_cast<std::streamsize>(b.size()));
}

std::vector<char> ReadAll(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<char>(std::istreambuf_iterator<char>(in), {});
}

// Makes the inputs; returns (name, path) pairs of those that could be made.
std::vector<std::pair<std::string, fs::path>> MakeInputs() {
    std::vector<std::pair<std::string, fs::path>> inputs;
    const std::string samples = CORVANE_SAMPLES;
    const fs::path minute = work / "minute.wav";
    if (!Run("sox -q '" + samples + "/greeting-pcm.wav' '" + minute.string() +
             "' repeat 30 trim 0 60")) {
        std::fprintf(stderr, "startup_bench: sox is needed to make the inputs\n");
        return inputs;
    }
    inputs.emplace_back("pcm", minute);
    const struct {
        const char* name;
        const char* options;
        const char* file;
    } soxEncodings[] = {{"alaw", "-e a-law", "minute-alaw.wav"},
                        {"mulaw", "-e mu-law", "minute-mulaw.wav"},
                        {"ima", "-e ima-adpcm", "minute-ima.wav"},
                        {"msadpcm", "-e ms-adpcm", "minute-msadpcm.wav"},
                        {"gsm_wave", "-e gsm-full-rate", "minute-gsm.wav"},
                        {"gsm_raw", "", "minute.gsm"}};
    for (const auto& e : soxEncodings) {
        const fs::path out = work / e.file;
        if (Run("sox -q '" + minute.string() + "' " + e.options + " '" + out.string() + "'")) {
            inputs.emplace_back(e.name, out);
        }
    }
    for (uint32_t rate : {8000u, 6000u}) {  // OKI ADPCM: sox writes the codes, we the header
        const fs::path codes = work / "oki.vox";
        if (!Run("sox -q '" + minute.string() + "' -r " + std::to_string(rate) + " -e oki-adpcm '" +
                 codes.string() + "'")) {
            continue;
        }
        const fs::path out = work / ("minute-oki" + std::to_string(rate / 250) + ".wav");
        WriteWave(out, 0x10, rate, rate / 2, 1, 4, ReadAll(codes));
        inputs.emplace_back("oki" + std::to_string(rate / 250), out);
    }
    // One hour of G.729: 360000 frames of 10 bytes (the decoder takes every frame as good).
    std::vector<char> frames(3600u * 100u * 10u);
    std::mt19937 random(729);
    for (char& c : frames) c = static_cast<char>(random());
    const fs::path hour = work / "hour-g729.wav";
    WriteWave(hour, 0x133, 8000, 1000, 10, 0, frames);
    inputs.emplace_back("g729_hour", hour);
    return inputs;
}

void OpenAndPlay(benchmark::State& state, fs::path source) {
    const QString tempPath = QString::fromStdString((work / "cvtemp.wav").string());
    const QString path = QString::fromStdString(source.string());
    std::string error;
    for (auto _ : state) {
        auto session = std::make_unique<PlayerSession>(tempPath);
        auto dialog = std::make_unique<PlayerDialog>(*session);
        session->SetReporter(
            [&error](const PlayerSession::Report& r) { error = r.message.toStdString(); });
        session->OpenSource(path);
        const bool playing = session->State() == Playing;
        while (playing && device.PendingBuffers() == 0) std::this_thread::yield();
        state.PauseTiming();
        dialog.reset();
        session.reset();
        state.ResumeTiming();
        if (!playing) {
            state.SkipWithError(error.empty() ? "did not start" : error.c_str());
            break;
        }
    }
}

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    SetWaveOutBackend(&device);
    int qtArgc = 1;
    QApplication application(qtArgc, argv);
    work = fs::temp_directory_path() / "corvane-startup-bench";
    fs::create_directories(work);
    for (const auto& [name, path] : MakeInputs()) {
        benchmark::RegisterBenchmark(("OpenAndPlay/" + name).c_str(), OpenAndPlay, path)
            ->Unit(benchmark::kMillisecond)
            ->UseRealTime();
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    fs::remove_all(work);
    return 0;
}
