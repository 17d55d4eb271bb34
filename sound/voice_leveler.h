// Plays a voice message at one gain (in dB; see VoiceLevels::GainDb) over a stream of
// interleaved 16-bit frames, with a look-ahead peak limiter that keeps the true peak (the
// peak between samples too, estimated at 4 times the rate) under kCeilingDbtp: where a peak
// would pass it the gain dips smoothly over kLookAheadMs before it and recovers over about
// kReleaseMs after. The gain is the message's, not the moment's: no pumping between words.
// A new gain either applies at once or glides there at kGlideDbPerSecond of sound at most
// (for the estimate from a message still being decoded). Output lags input by a few
// milliseconds (MaxHeldFrames); Flush hands the held frames out.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

class VoiceLeveler {
  public:
    static constexpr double kCeilingDbtp = -1.0;
    static constexpr double kGlideDbPerSecond = 1.0;
    static constexpr uint32_t kLookAheadMs = 5;
    static constexpr uint32_t kReleaseMs = 80;

    VoiceLeveler(uint32_t sampleRate, uint32_t channels);

    // The gain from the next frame on, at once, or (glide) reached at kGlideDbPerSecond.
    void SetGain(double db, bool glide);
    double GainDb() const { return gainDb_; }  // the gain now (on its glide)
    // Takes count frames and appends every output frame that is ready to out.
    void Process(const int16_t* frames, size_t count, std::vector<int16_t>& out);
    // Appends every frame still held back.
    void Flush(std::vector<int16_t>& out);
    // Drops everything held back (a seek); the gain stays.
    void Clear() noexcept;
    size_t MaxHeldFrames() const { return kTaps / 2 + lookAhead_; }

  private:
    static constexpr size_t kTaps = 16;      // per phase of the 4-times interpolator
    static constexpr size_t kPhases = 3;     // the points at 1/4, 2/4 and 3/4 between samples
    static constexpr size_t kGainStep = 32;  // frames between updates of the gliding gain

    void Frame(const float* in, bool real, std::vector<int16_t>& out);
    float At(uint64_t frame, uint32_t channel) const {
        return history_[(frame & mask_) * channels_ + channel];
    }

    uint32_t sampleRate_;
    uint32_t channels_;
    size_t lookAhead_;  // frames
    float release_;     // linear gain the limiter may recover per frame
    float ceiling_;     // linear
    std::array<std::array<float, kTaps>, kPhases> taps_{};
    double gainDb_ = 0;
    double targetDb_ = 0;
    float gain_ = 1;  // linear, of gainDb_
    size_t sinceStep_ = 0;

    // Rings, indexed by frame number masked: the gained input, the peak-limit gains of the
    // look-ahead window (a running minimum over it, kept as a deque of increasing gains) and
    // the released gains (averaged over the look-ahead window).
    uint64_t mask_ = 0;
    std::vector<float> history_;
    std::vector<float> peakOf_;  // per frame: its own and the following in-between peaks
    std::vector<float> released_;
    std::vector<uint64_t> minFrames_;
    size_t minHead_ = 0, minCount_ = 0;
    std::vector<float> limitOf_;  // per frame: ceiling / peak, at most 1
    double releasedSum_ = 0;
    float lastReleased_ = 1;
    uint64_t in_ = 0;    // frames taken, real and padding
    uint64_t real_ = 0;  // real frames taken since Clear
    uint64_t out_ = 0;   // frames given out since Clear
    std::vector<float> scratch_;
};
