// Measures a voice message for the voice tools, over interleaved 16-bit PCM fed in pieces
// (so it can follow a file that is still being written):
// - integrated loudness (EBU R128, LUFS) and true peak (dBTP), by libebur128;
// - the noise floor: the level (dBFS, RMS over 20 ms frames, all channels together; a
//   full-scale square wave is 0 dBFS) that a tenth of the frames stay below, so the hiss of
//   a line counts as the floor; and the speech level, the one 95 % of the frames stay below.
// VoiceLevels then gives what the tools use: the leveler's gain and the skipper's threshold.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <memory>

struct VoiceLevels {
    static constexpr double kTargetLufs = -16.0;  // the loudness a levelled message plays at
    static constexpr double kMaxGainDb = 24.0;    // the most a quiet message is raised
    static constexpr double kUnknown = -std::numeric_limits<double>::infinity();

    double loudnessLufs = kUnknown;    // -inf: nothing above the loudness gate yet
    double truePeakDbtp = kUnknown;    // -inf: no sample other than 0
    double noiseFloorDbfs = kUnknown;  // -inf: no whole frame measured yet
    double speechDbfs = kUnknown;
    uint64_t frames = 0;  // frames measured

    // The leveler's gain in dB: towards kTargetLufs, at most kMaxGainDb up, any amount down;
    // 0 while the loudness is unknown.
    double GainDb() const;
    // The skipper's threshold in dBFS (see SilenceSkipper): 10 dB over the noise floor (but
    // not under -60 dBFS, for a message whose pauses are digital silence), and never above
    // the middle between the floor and the speech level, so a quiet speaker stays speech.
    // -inf (nothing is silence) while the floor is unknown.
    double SilenceThresholdDbfs() const;
};

class VoiceMeasure {
  public:
    // The most channels the loudness meter takes.
    static constexpr uint32_t kMaxChannels = 64;

    // Throws std::bad_alloc when the meter cannot be set up (also for 0 channels or rate, or
    // more than kMaxChannels).
    VoiceMeasure(uint32_t sampleRate, uint32_t channels);
    ~VoiceMeasure();
    VoiceMeasure(const VoiceMeasure&) = delete;
    VoiceMeasure& operator=(const VoiceMeasure&) = delete;

    // Adds count interleaved frames.
    void Add(const int16_t* frames, size_t count);
    // The levels of everything added so far.
    VoiceLevels Levels() const;

  private:
    static constexpr int kBinsPerDb = 2;
    static constexpr int kLowestDb = -120;  // frames below (digital silence) count here
    static constexpr size_t kBins = -kLowestDb * kBinsPerDb + 1;

    double Percentile(double share) const;

    struct Meter;  // the loudness meter's state
    std::unique_ptr<Meter> meter_;
    uint32_t channels_;
    size_t frameLength_;       // frames per level frame: 20 ms
    size_t inFrame_ = 0;       // frames of the level frame under way
    double frameSquares_ = 0;  // its sum of squared samples (full scale 1)
    uint64_t frames_ = 0;
    uint64_t levelFrames_ = 0;
    std::array<uint64_t, kBins> histogram_{};  // level frames per 0.5 dB from kLowestDb
};
