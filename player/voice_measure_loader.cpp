#include "player/voice_measure_loader.h"

#include <QFile>
#include <QMetaObject>
#include <chrono>
#include <vector>

#include "platform/exception.h"
#include "platform/file.h"
#include "sound/wave_header.h"

namespace {

constexpr size_t kReadBytes = 1 << 18;
constexpr auto kReportEvery = std::chrono::milliseconds(250);

// Measures the file at path, calling report(levels, final) as it goes; stops early when
// cancel becomes true.
void Measure(const std::string& path, const std::shared_ptr<const ConversionProgress>& progress,
             const std::atomic<bool>& cancel,
             const std::function<void(const VoiceLevels&, bool)>& report) {
    CFile file;
    if (!file.Open(path, CFile::modeRead, nullptr, true)) return;
    WaveHeader header;
    if (progress) {
        header = progress->Header();
    } else if (!header.ReadHeader(file)) {
        return;
    }
    if (header.formatTag != FormatTag::Pcm || header.bitsPerSample != 16 || header.channels == 0 ||
        header.channels > VoiceMeasure::kMaxChannels)
        return;
    VoiceMeasure measure(header.sampleRate, header.channels);
    const size_t frameBytes = 2u * header.channels;
    std::vector<int16_t> samples(kReadBytes / 2);
    const size_t chunk = kReadBytes / frameBytes * frameBytes;
    uint64_t done = 0;  // data bytes measured
    auto lastReport = std::chrono::steady_clock::now();
    file.Seek(header.dataStart);
    while (!cancel.load()) {
        // What can be read now, and whether that is all there will be.
        const bool ended = !progress || progress->Ended();
        const uint64_t readable = progress ? progress->ReadableBytes() : header.DataLength();
        if (readable - done < frameBytes) {
            if (ended) break;
            report(measure.Levels(), false);
            progress->WaitForBytes(done + chunk, std::chrono::milliseconds(20));
            continue;
        }
        const size_t want = static_cast<size_t>(std::min<uint64_t>(chunk, readable - done)) /
                            frameBytes * frameBytes;
        const size_t got = file.Read(samples.data(), want) / frameBytes * frameBytes;
        if (got == 0) break;
        measure.Add(samples.data(), got / frameBytes);
        done += got;
        if (std::chrono::steady_clock::now() - lastReport >= kReportEvery) {
            lastReport = std::chrono::steady_clock::now();
            report(measure.Levels(), false);
        }
    }
    if (!cancel.load()) report(measure.Levels(), true);
}

}  // namespace

VoiceMeasureLoader::VoiceMeasureLoader(QObject* parent) : QObject(parent) {}

VoiceMeasureLoader::~VoiceMeasureLoader() {
    Cancel();
}

void VoiceMeasureLoader::Cancel() {
    if (cancel_) cancel_->store(true);
    // The measurement looks at the flag between reads and waits of at most 20 ms.
    if (worker_.joinable()) worker_.join();
}

void VoiceMeasureLoader::Reset() {
    Cancel();
    ++generation_;
    levels_.reset();
    final_ = false;
}

void VoiceMeasureLoader::Load(const QString& path,
                              std::shared_ptr<const ConversionProgress> progress) {
    Reset();
    const uint64_t job = generation_;
    cancel_ = std::make_shared<std::atomic<bool>>(false);
    auto work = [this, job, flag = cancel_, progress = std::move(progress),
                 file = QFile::encodeName(path).toStdString()] {
        // A file that cannot be read is not measured: the tools then leave it as it is.
        CatchException([&] {
            Measure(file, progress, *flag, [&](const VoiceLevels& levels, bool final) {
                // Queued to this object's thread; the destructor joins this thread first.
                QMetaObject::invokeMethod(
                    this, [this, job, levels, final] { Deliver(job, levels, final); },
                    Qt::QueuedConnection);
            });
        });
    };
    CatchException([&] { worker_ = std::thread(std::move(work)); });
}

void VoiceMeasureLoader::Deliver(uint64_t job, const VoiceLevels& levels, bool final) {
    if (job != generation_) return;
    levels_ = levels;
    final_ = final;
    emit LevelsChanged();
}
