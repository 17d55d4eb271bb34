#include "platform/time_stretcher.h"

#include <sonic.h>

#include <new>

TimeStretcher::TimeStretcher(uint32_t sampleRate, uint32_t channels)
    : sampleRate_(sampleRate), channels_(channels) {
    stream_ = sonicCreateStream(static_cast<int>(sampleRate_), static_cast<int>(channels_));
    if (!stream_) throw std::bad_alloc();
    sonicSetSpeed(stream_, speed_);
}

TimeStretcher::~TimeStretcher() {
    if (stream_) sonicDestroyStream(stream_);
}

void TimeStretcher::Clear() noexcept {
    if (!holding_) return;  // nothing buffered
    // sonic cannot empty a stream in place: a fresh one replaces it. Runs from device resets
    // and closes, which must not throw; without memory for a new stream the old one stays,
    // and what it still holds is played rather than dropped.
    sonicStream fresh =
        sonicCreateStream(static_cast<int>(sampleRate_), static_cast<int>(channels_));
    if (!fresh) return;
    sonicDestroyStream(stream_);
    stream_ = fresh;
    sonicSetSpeed(stream_, speed_);
    holding_ = false;
}

void TimeStretcher::SetSpeed(float speed) {
    speed_ = speed;
    sonicSetSpeed(stream_, speed);
}

void TimeStretcher::Drain(std::vector<int16_t>& out) {
    for (;;) {
        const int available = sonicSamplesAvailable(stream_);
        if (available <= 0) return;
        const size_t at = out.size();
        out.resize(at + static_cast<size_t>(available) * channels_);
        const int got = sonicReadShortFromStream(stream_, out.data() + at, available);
        out.resize(at + static_cast<size_t>(got > 0 ? got : 0) * channels_);
        if (got <= 0) return;
    }
}

void TimeStretcher::Process(const int16_t* frames, size_t count, std::vector<int16_t>& out) {
    if (count == 0) return;
    // sonic takes a non-const pointer but does not write through it.
    if (!sonicWriteShortToStream(stream_, const_cast<short*>(frames), static_cast<int>(count)))
        throw std::bad_alloc();
    holding_ = true;
    Drain(out);
}

void TimeStretcher::Flush(std::vector<int16_t>& out) {
    if (holding_) sonicFlushStream(stream_);
    holding_ = false;
    Drain(out);
}
