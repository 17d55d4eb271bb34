#include "sound/voice_measure.h"

#include <ebur128.h>

#include <algorithm>
#include <cmath>
#include <new>

double VoiceLevels::GainDb() const {
    if (!std::isfinite(loudnessLufs)) return 0.0;
    return std::min(kTargetLufs - loudnessLufs, kMaxGainDb);
}

double VoiceLevels::SilenceThresholdDbfs() const {
    if (!std::isfinite(noiseFloorDbfs)) return kUnknown;
    const double overFloor = std::max(noiseFloorDbfs + 10.0, -60.0);
    return std::min(overFloor, (noiseFloorDbfs + speechDbfs) / 2);
}

struct VoiceMeasure::Meter {
    ebur128_state* state = nullptr;
    ~Meter() {
        if (state) ebur128_destroy(&state);  // a refused set-up leaves no state
    }
};

VoiceMeasure::VoiceMeasure(uint32_t sampleRate, uint32_t channels)
    : meter_(std::make_unique<Meter>()),
      channels_(channels),
      frameLength_(std::max<size_t>(1, sampleRate / 50)) {
    if (channels != 0 && channels <= kMaxChannels && sampleRate != 0)
        meter_->state = ebur128_init(channels, sampleRate, EBUR128_MODE_I | EBUR128_MODE_TRUE_PEAK);
    if (!meter_->state) throw std::bad_alloc();
}

VoiceMeasure::~VoiceMeasure() = default;

void VoiceMeasure::Add(const int16_t* frames, size_t count) {
    if (count == 0) return;
    ebur128_add_frames_short(meter_->state, frames, count);
    frames_ += count;
    constexpr double kScale = 1.0 / (32768.0 * 32768.0);
    const int16_t* s = frames;
    for (size_t f = 0; f < count; ++f) {
        double sum = 0;
        for (uint32_t c = 0; c < channels_; ++c, ++s) sum += double(*s) * double(*s);
        frameSquares_ += sum * kScale;
        if (++inFrame_ < frameLength_) continue;
        const double meanSquare = frameSquares_ / double(frameLength_ * channels_);
        const double db = meanSquare > 0 ? 10.0 * std::log10(meanSquare) : kLowestDb;
        const double bin = std::clamp((db - kLowestDb) * kBinsPerDb, 0.0, double(kBins - 1));
        ++histogram_[static_cast<size_t>(bin)];
        ++levelFrames_;
        inFrame_ = 0;
        frameSquares_ = 0;
    }
}

double VoiceMeasure::Percentile(double share) const {
    const auto wanted = static_cast<uint64_t>(std::ceil(share * double(levelFrames_)));
    uint64_t seen = 0;
    for (size_t b = 0; b < kBins; ++b) {
        seen += histogram_[b];
        if (seen >= std::max<uint64_t>(wanted, 1)) return kLowestDb + (b + 0.5) / kBinsPerDb;
    }
    return 0.0;
}

VoiceLevels VoiceMeasure::Levels() const {
    VoiceLevels levels;
    levels.frames = frames_;
    double lufs = 0;
    if (ebur128_loudness_global(meter_->state, &lufs) == EBUR128_SUCCESS && std::isfinite(lufs))
        levels.loudnessLufs = lufs;
    double peak = 0;
    for (uint32_t c = 0; c < channels_; ++c) {
        double channelPeak = 0;
        if (ebur128_true_peak(meter_->state, c, &channelPeak) == EBUR128_SUCCESS)
            peak = std::max(peak, channelPeak);
    }
    if (peak > 0) levels.truePeakDbtp = 20.0 * std::log10(peak);
    if (levelFrames_ > 0) {
        levels.noiseFloorDbfs = Percentile(0.10);
        levels.speechDbfs = Percentile(0.95);
    }
    return levels;
}
