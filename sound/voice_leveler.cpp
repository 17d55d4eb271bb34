#include "sound/voice_leveler.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <numbers>

namespace {

// The limiter aims this far under the ceiling: the in-between peaks are estimated, and the
// output is rounded to 16 bits.
constexpr double kMarginDb = 0.25;

float Linear(double db) {
    return static_cast<float>(std::pow(10.0, db / 20.0));
}

}  // namespace

VoiceLeveler::VoiceLeveler(uint32_t sampleRate, uint32_t channels)
    : sampleRate_(std::max<uint32_t>(sampleRate, 1)),
      channels_(std::max<uint32_t>(channels, 1)),
      lookAhead_(std::max<size_t>(1, size_t{sampleRate} * kLookAheadMs / 1000)),
      release_(1.0f / std::max<float>(1.0f, float(sampleRate) * kReleaseMs / 1000.0f)),
      ceiling_(Linear(kCeilingDbtp - kMarginDb)) {
    // Windowed-sinc interpolation at frame m + f from frames m - 7 ... m + 8.
    for (size_t p = 0; p < kPhases; ++p) {
        const double f = double(p + 1) / (kPhases + 1);
        double sum = 0;
        for (size_t t = 0; t < kTaps; ++t) {
            const double x = f - (double(t) - (kTaps / 2 - 1));
            const double pix = std::numbers::pi * x;
            const double window = 0.5 * (1 + std::cos(pix / (kTaps / 2)));
            taps_[p][t] = static_cast<float>(std::sin(pix) / pix * window);
            sum += taps_[p][t];
        }
        for (float& tap : taps_[p]) tap = static_cast<float>(tap / sum);
    }
    const uint64_t ring = std::bit_ceil(uint64_t{kTaps + MaxHeldFrames() + 2});
    mask_ = ring - 1;
    history_.assign(ring * channels_, 0.0f);
    peakOf_.assign(ring, 0.0f);
    limitOf_.assign(ring, 1.0f);
    minFrames_.assign(ring, 0);
    released_.assign(ring, 1.0f);
    scratch_.resize(channels_);
    Clear();
}

void VoiceLeveler::SetGain(double db, bool glide) {
    targetDb_ = db;
    if (!glide) {
        gainDb_ = db;
        gain_ = Linear(db);
    }
}

void VoiceLeveler::Clear() noexcept {
    std::fill(history_.begin(), history_.end(), 0.0f);
    std::fill(peakOf_.begin(), peakOf_.end(), 0.0f);
    std::fill(released_.begin(), released_.end(), 1.0f);
    releasedSum_ = double(lookAhead_);
    lastReleased_ = 1.0f;
    minHead_ = minCount_ = 0;
    in_ = real_ = out_ = 0;
}

void VoiceLeveler::Process(const int16_t* frames, size_t count, std::vector<int16_t>& out) {
    constexpr float kScale = 1.0f / 32768.0f;
    for (size_t f = 0; f < count; ++f) {
        if (++sinceStep_ >= kGainStep && gainDb_ != targetDb_) {
            sinceStep_ = 0;
            const double step = kGlideDbPerSecond * kGainStep / sampleRate_;
            gainDb_ = targetDb_ > gainDb_ ? std::min(targetDb_, gainDb_ + step)
                                          : std::max(targetDb_, gainDb_ - step);
            gain_ = Linear(gainDb_);
        }
        const float g = gain_ * kScale;
        for (uint32_t c = 0; c < channels_; ++c) scratch_[c] = frames[f * channels_ + c] * g;
        Frame(scratch_.data(), true, out);
    }
}

void VoiceLeveler::Flush(std::vector<int16_t>& out) {
    std::fill(scratch_.begin(), scratch_.end(), 0.0f);
    while (out_ < real_) Frame(scratch_.data(), false, out);
    Clear();
}

void VoiceLeveler::Frame(const float* in, bool real, std::vector<int16_t>& out) {
    const uint64_t i = in_++;
    if (real) ++real_;
    for (uint32_t c = 0; c < channels_; ++c) history_[(i & mask_) * channels_ + c] = in[c];
    constexpr uint64_t kHalf = kTaps / 2;
    if (i < kHalf) return;
    // The peak at frame m and between it and the next, over the channels.
    const uint64_t m = i - kHalf;
    float peak = 0;
    for (uint32_t c = 0; c < channels_; ++c) {
        peak = std::max(peak, std::fabs(At(m, c)));
        for (size_t p = 0; p < kPhases; ++p) {
            float v = 0;
            for (size_t t = 0; t < kTaps; ++t) v += taps_[p][t] * At(m + t + 1 - kHalf, c);
            peak = std::max(peak, std::fabs(v));
        }
    }
    peakOf_[m & mask_] = peak;
    // The gain at m also scales the in-between peaks before it.
    const float around = std::max(peak, m > 0 ? peakOf_[(m - 1) & mask_] : 0.0f);
    const float limit = around > ceiling_ ? ceiling_ / around : 1.0f;
    // Running minimum of the limits over the look-ahead window [j, m].
    while (minCount_ > 0 && limitOf_[(minHead_ + minCount_ - 1) & mask_] >= limit) --minCount_;
    limitOf_[(minHead_ + minCount_) & mask_] = limit;
    minFrames_[(minHead_ + minCount_) & mask_] = m;
    ++minCount_;
    if (m + 1 < lookAhead_) return;
    const uint64_t j = m + 1 - lookAhead_;
    while (minFrames_[minHead_ & mask_] < j) {
        ++minHead_;
        --minCount_;
    }
    // Recover at most release_ a frame; averaging over the window then gives a gain that is
    // at or under every limit of the window (each released gain in it is under the limit of
    // frame j).
    const float released = std::min(limitOf_[minHead_ & mask_], lastReleased_ + release_);
    lastReleased_ = released;
    releasedSum_ += released - released_[j % lookAhead_];
    released_[j % lookAhead_] = released;
    const float gain = static_cast<float>(releasedSum_ / double(lookAhead_));
    if (out_ >= real_) return;  // padding of a Flush
    ++out_;
    for (uint32_t c = 0; c < channels_; ++c) {
        const float v = std::round(At(j, c) * gain * 32768.0f);
        out.push_back(static_cast<int16_t>(std::clamp(v, -32768.0f, 32767.0f)));
    }
}
