#include "player/waveform_loader.h"

#include <QFile>
#include <QMetaObject>

#include "platform/exception.h"

WaveformLoader::WaveformLoader(QObject* parent) : QObject(parent) {}

WaveformLoader::~WaveformLoader() {
    Cancel();
}

void WaveformLoader::Cancel() {
    if (cancel_) cancel_->store(true);
    // The computation looks at the flag between reads of 1 MiB: the wait is short.
    if (worker_.joinable()) worker_.join();
}

void WaveformLoader::Load(const QString& path, uint64_t dataBytes) {
    overview_ = {};
    emit OverviewChanged();
    Start(path, dataBytes);
}

void WaveformLoader::Refresh(const QString& path, uint64_t dataBytes) {
    Start(path, dataBytes);
}

void WaveformLoader::Start(const QString& path, uint64_t dataBytes) {
    Cancel();
    const uint64_t job = ++generation_;
    cancel_ = std::make_shared<std::atomic<bool>>(false);
    auto work = [this, job, dataBytes, flag = cancel_,
                 file = QFile::encodeName(path).toStdString()] {
        auto result = std::make_shared<WaveformOverview>(
            ComputeWaveformOverview(file, flag.get(), WaveformOverview::kBuckets, dataBytes));
        if (flag->load()) return;
        // Queued to this object's thread; the destructor joins this thread first, so the
        // object is alive while the call is posted, and its pending calls die with it.
        QMetaObject::invokeMethod(
            this, [this, job, result] { Deliver(job, result); }, Qt::QueuedConnection);
    };
    // Without a thread (the system has none to give) the panel stays empty.
    CatchException([&] { worker_ = std::thread(std::move(work)); });
}

void WaveformLoader::Deliver(uint64_t job, const std::shared_ptr<WaveformOverview>& result) {
    if (job != generation_) return;  // a newer recording was opened meanwhile
    overview_ = std::move(*result);
    emit OverviewChanged();
}
