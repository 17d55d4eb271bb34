// Measures the recording that plays for the voice tools (sound/voice_measure.h), on a worker
// thread so that it never holds up the window or the first sound, and hands the levels to
// the window's thread: first those of the part read so far (about every quarter of a second
// while it reads, and while the recording is still being decoded, of what was decoded), at
// last those of the whole. Opening another recording cancels a measurement still running, and
// levels that arrive after a newer Load are dropped.
#pragma once

#include <QObject>
#include <QString>
#include <atomic>
#include <memory>
#include <optional>
#include <thread>

#include "sound/conversion_progress.h"
#include "sound/voice_measure.h"

class VoiceMeasureLoader : public QObject {
    Q_OBJECT
  public:
    explicit VoiceMeasureLoader(QObject* parent = nullptr);
    // Cancels a measurement still running and waits for its thread.
    ~VoiceMeasureLoader() override;

    // Forgets the current levels and starts measuring the 16-bit PCM file at path; progress,
    // when given, is the conversion still writing it (the measurement follows it to its end).
    void Load(const QString& path, std::shared_ptr<const ConversionProgress> progress = {});
    // Stops measuring and forgets the levels.
    void Reset();
    // The latest levels; nothing before the first part was measured (and for a file of
    // another format).
    const std::optional<VoiceLevels>& Levels() const { return levels_; }
    bool Final() const { return final_; }

  signals:
    void LevelsChanged();

  private:
    void Cancel();
    void Deliver(uint64_t job, const VoiceLevels& levels, bool final);

    std::optional<VoiceLevels> levels_;
    bool final_ = false;
    uint64_t generation_ = 0;
    std::shared_ptr<std::atomic<bool>> cancel_;
    std::thread worker_;
};
