// Computes the waveform overview of the recording that plays, on a worker thread so that it
// never holds up the window or the first sound, and hands it to the window's thread. Opening
// another recording cancels a computation still running, and a result that arrives after a
// newer Load is dropped.
#pragma once

#include <QObject>
#include <QString>
#include <atomic>
#include <cstdint>
#include <memory>
#include <thread>

#include "playback/waveform_overview.h"

class WaveformLoader : public QObject {
    Q_OBJECT
  public:
    explicit WaveformLoader(QObject* parent = nullptr);
    // Cancels a computation still running and waits for its thread.
    ~WaveformLoader() override;

    // Forgets the current overview and starts computing the one of the PCM file at path.
    // dataBytes: see ComputeWaveformOverview.
    void Load(const QString& path, uint64_t dataBytes = 0);
    // Computes the overview of the same file again, now that more of it was written; the
    // current overview stays shown until the new one is there.
    void Refresh(const QString& path, uint64_t dataBytes);
    // Empty until the computation of the last Load has finished (and when it failed).
    const WaveformOverview& Overview() const { return overview_; }

  signals:
    void OverviewChanged();

  private:
    void Cancel();
    void Start(const QString& path, uint64_t dataBytes);
    void Deliver(uint64_t job, const std::shared_ptr<WaveformOverview>& result);

    WaveformOverview overview_;
    uint64_t generation_ = 0;  // the number of the latest Load
    std::shared_ptr<std::atomic<bool>> cancel_;
    std::thread worker_;
};
