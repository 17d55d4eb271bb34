// Time from building the player window and asking it to open a recording until the first
// buffer reaches the audio device: the window is built, the recording's conversion starts on
// its worker, the engine starts on the growing PCM file and its writer thread hands the first
// buffer over. The device is the scripted one (its clock stands still, so the buffer stays
// where it arrived). One-hour messages in every encoding (bench/bench_inputs.h); runs
// offscreen. Each runs without and with both voice tools (skip silence, level voice; their
// measurement starts right after the first sound).
//   startup_bench [benchmark options]
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QString>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "bench/bench_inputs.h"
#include "platform/wave_out_backend.h"
#include "platform/wave_out_fake.h"
#include "player/inbox_browser.h"
#include "player/player_dialog.h"
#include "player/player_session.h"

namespace fs = std::filesystem;

namespace {

fs::path work;
FakeWaveOutBackend device;

void OpenAndPlay(benchmark::State& state, fs::path source, bool tools) {
    const QString tempPath = QString::fromStdString((work / "cvtemp.wav").string());
    const QString path = QString::fromStdString(source.string());
    std::string error;
    for (auto _ : state) {
        auto session = std::make_unique<PlayerSession>(tempPath);
        auto inbox = std::make_unique<InboxBrowser>(
            *session, QString::fromStdString((work / "inbox.sqlite").string()));
        auto dialog = std::make_unique<PlayerDialog>(*session, *inbox);
        session->SetReporter(
            [&error](const PlayerSession::Report& r) { error = r.message.toStdString(); });
        session->SetSkipSilence(tools);
        session->SetLevelVoice(tools);
        session->OpenSource(path);
        const bool playing = session->State() == Playing;
        while (playing && device.PendingBuffers() == 0) std::this_thread::yield();
        state.PauseTiming();
        dialog.reset();
        inbox.reset();
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
    work = fs::temp_directory_path() / "corvane-startup-bench";
    fs::create_directories(work);
    // The switches are settings: kept away from the user's own.
    qputenv("XDG_CONFIG_HOME", (work / "config").string().c_str());
    SetWaveOutBackend(&device);
    int qtArgc = 1;
    QApplication application(qtArgc, argv);
    for (const auto& [name, path] : MakeHourInputs(work, "startup_bench")) {
        for (const bool tools : {false, true}) {
            benchmark::RegisterBenchmark(("OpenAndPlay/" + name + (tools ? "/tools" : "")).c_str(),
                                         OpenAndPlay, path, tools)
                ->Unit(benchmark::kMillisecond)
                ->UseRealTime();
        }
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    fs::remove_all(work);
    return 0;
}
