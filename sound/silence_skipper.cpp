#include "sound/silence_skipper.h"

#include <algorithm>
#include <cmath>

SilenceSkipper::SilenceSkipper(uint32_t sampleRate, uint32_t channels)
    : channels_(std::max<uint32_t>(channels, 1)),
      blockFrames_(std::max<size_t>(1, size_t{sampleRate} * kBlockMs / 1000)),
      longFrames_(size_t{sampleRate} * kLongPauseMs / 1000),
      fadeFrames_(std::max<size_t>(1, size_t{sampleRate} * kFadeMs / 1000)) {
    const size_t kept = size_t{sampleRate} * kKeptPauseMs / 1000;
    // head + tail - fade = kept: the crossfade overlaps the two.
    headFrames_ = (kept + fadeFrames_) / 2;
    tailFrames_ = kept + fadeFrames_ - headFrames_;
    block_.reserve(blockFrames_ * channels_);
}

void SilenceSkipper::SetThreshold(double dbfs) {
    thresholdSquares_ = std::isfinite(dbfs) ? std::pow(10.0, dbfs / 10.0) : -1;
}

void SilenceSkipper::Process(const int16_t* frames, size_t count, std::vector<int16_t>& out) {
    const size_t blockSamples = blockFrames_ * channels_;
    size_t at = 0;
    const size_t samples = count * channels_;
    while (at < samples) {
        const size_t take = std::min(blockSamples - block_.size(), samples - at);
        if (block_.empty() && take == blockSamples) {
            Block(frames + at, blockFrames_, out);  // whole blocks straight from the input
        } else {
            block_.insert(block_.end(), frames + at, frames + at + take);
            if (block_.size() == blockSamples) {
                Block(block_.data(), blockFrames_, out);
                block_.clear();
            }
        }
        at += take;
    }
}

void SilenceSkipper::Flush(std::vector<int16_t>& out) {
    if (!block_.empty()) Block(block_.data(), block_.size() / channels_, out);
    block_.clear();
    EndPause(out);
}

void SilenceSkipper::Clear() noexcept {
    block_.clear();
    pause_.clear();
    fadeOut_.clear();
    pauseFrames_ = 0;
    shortening_ = false;
}

void SilenceSkipper::Block(const int16_t* frames, size_t count, std::vector<int16_t>& out) {
    const size_t samples = count * channels_;
    double squares = 0;
    for (size_t i = 0; i < samples; ++i) squares += double(frames[i]) * double(frames[i]);
    const bool pause = squares < thresholdSquares_ * 32768.0 * 32768.0 * double(samples);
    if (!pause) {
        EndPause(out);
        out.insert(out.end(), frames, frames + samples);
        return;
    }
    pause_.insert(pause_.end(), frames, frames + samples);
    pauseFrames_ += count;
    if (!shortening_) {
        if (pauseFrames_ <= longFrames_) return;
        // Now longer than a long pause: the head goes out, its last fade is kept for the join.
        shortening_ = true;
        const size_t headOut = (headFrames_ - fadeFrames_) * channels_;
        out.insert(out.end(), pause_.begin(), pause_.begin() + headOut);
        fadeOut_.assign(pause_.begin() + headOut, pause_.begin() + headFrames_ * channels_);
        pause_.erase(pause_.begin(), pause_.begin() + headFrames_ * channels_);
    }
    // Keep only the tail: drop the older part once it is as long again.
    const size_t tailSamples = tailFrames_ * channels_;
    if (pause_.size() >= 2 * tailSamples)
        pause_.erase(pause_.begin(), pause_.end() - static_cast<ptrdiff_t>(tailSamples));
}

void SilenceSkipper::EndPause(std::vector<int16_t>& out) {
    if (shortening_ && pause_.size() >= tailFrames_ * channels_) {
        const int16_t* tail = pause_.data() + pause_.size() - tailFrames_ * channels_;
        for (size_t f = 0; f < fadeFrames_; ++f) {
            const double in = (f + 0.5) / double(fadeFrames_);
            for (size_t c = 0; c < channels_; ++c) {
                const size_t i = f * channels_ + c;
                out.push_back(
                    static_cast<int16_t>(std::lround(fadeOut_[i] * (1 - in) + tail[i] * in)));
            }
        }
        out.insert(out.end(), tail + fadeFrames_ * channels_, tail + tailFrames_ * channels_);
        skipped_ += pauseFrames_ - (headFrames_ + tailFrames_ - fadeFrames_);
    } else {
        // Not long (or at a Flush cut short of a tail): it plays as it was.
        out.insert(out.end(), fadeOut_.begin(), fadeOut_.end());
        out.insert(out.end(), pause_.begin(), pause_.end());
    }
    pause_.clear();
    fadeOut_.clear();
    pauseFrames_ = 0;
    shortening_ = false;
}
