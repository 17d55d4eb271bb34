// Listing a folder of voice messages: 10,000 and 100,000 small real WAVE files, each with its
// sidecar text, made once in a temporary folder. The first open reads every file (the
// database is new); a later open takes what was read from the database. Also the time to
// read every row of the 100,000, and the process's peak memory (VmHWM) after each.
//   inbox_bench [benchmark options]
#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QString>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "inbox/inbox.h"

namespace fs = std::filesystem;

namespace {

fs::path work;

// Peak resident memory of the process in MiB, from /proc/self/status.
double PeakMiB() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmHWM:", 0) == 0) return std::stod(line.substr(6)) / 1024.0;
    return 0;
}

void Put(std::string& b, uint32_t v, int n) {
    for (int i = 0; i < n; ++i) b += static_cast<char>(v >> (8 * i));
}

// A folder of n messages: half a second of 8 kHz 16-bit PCM each, every one different, with
// a sidecar naming its caller and time.
fs::path MakeFolder(int n) {
    const fs::path folder = work / ("inbox" + std::to_string(n));
    if (fs::exists(folder)) return folder;
    fs::create_directories(folder);
    for (int i = 0; i < n; ++i) {
        std::string b = "RIFF";
        Put(b, 36 + 8000, 4);
        b += "WAVEfmt ";
        Put(b, 16, 4);
        Put(b, 1, 2), Put(b, 1, 2), Put(b, 8000, 4), Put(b, 16000, 4), Put(b, 2, 2), Put(b, 16, 2);
        b += "data";
        Put(b, 8000, 4);
        std::string data(8000, '\0');
        Put(data, static_cast<uint32_t>(i), 4);  // content of its own
        b += data.substr(4);
        char stem[32];
        std::snprintf(stem, sizeof stem, "msg%06d", i);
        std::ofstream(folder / (std::string(stem) + ".wav"), std::ios::binary) << b;
        std::ofstream(folder / (std::string(stem) + ".txt"))
            << "[message]\ncallerid=\"Caller " << i << "\" <555" << i
            << ">\norigtime=" << 1765000000 + 60 * i << "\nduration=1\n";
    }
    return folder;
}

QString Database(int n) {
    return QString::fromStdString((work / ("inbox" + std::to_string(n) + ".sqlite")).string());
}

void FirstOpen(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    const QString folder = QString::fromStdString(MakeFolder(n).string());
    for (auto _ : state) {
        state.PauseTiming();
        fs::remove(Database(n).toStdString());
        state.ResumeTiming();
        Inbox inbox(Database(n));
        if (!inbox.Open(folder, nullptr) || inbox.Count() != n) state.SkipWithError("not listed");
    }
    state.counters["peak_MiB"] = PeakMiB();
}

void CachedOpen(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    const QString folder = QString::fromStdString(MakeFolder(n).string());
    {
        Inbox warm(Database(n));
        warm.Open(folder, nullptr);
    }
    for (auto _ : state) {
        Inbox inbox(Database(n));
        if (!inbox.Open(folder, nullptr) || inbox.Count() != n) state.SkipWithError("not listed");
    }
    state.counters["peak_MiB"] = PeakMiB();
}

// Every row's display text, as a view scrolling through the whole list asks for it.
void RowAccess(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    Inbox inbox(Database(n));
    inbox.Open(QString::fromStdString(MakeFolder(n).string()), nullptr);
    for (auto _ : state) {
        qsizetype length = 0;
        for (int row = 0; row < inbox.Count(); ++row)
            length += inbox.data(inbox.index(row), Qt::DisplayRole).toString().size();
        benchmark::DoNotOptimize(length);
    }
    state.counters["rows"] = inbox.Count();
    state.counters["peak_MiB"] = PeakMiB();
}

BENCHMARK(FirstOpen)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(CachedOpen)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(RowAccess)->Arg(100000)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    char pattern[] = "/tmp/corvane-inbox-bench-XXXXXX";
    if (!::mkdtemp(pattern)) return 1;
    work = pattern;
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    fs::remove_all(work);
    return 0;
}
