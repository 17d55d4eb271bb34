// Shared by the engine tests: a fake wave-out backend installed for each test, waiting
// helpers and WAVE files whose samples tell where they came from.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <functional>
#include <thread>

#include "platform/wave_out.h"
#include "platform/wave_out_backend.h"
#include "platform/wave_out_fake.h"
#include "tests/test_util.h"

namespace enginetest {

// Polls pred every millisecond for up to 10 s.
inline bool WaitFor(const std::function<bool()>& pred) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!pred()) {
        if (std::chrono::steady_clock::now() > until) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

inline testutil::Format Pcm(uint16_t channels, uint32_t rate, uint16_t bits) {
    testutil::Format f;
    f.channels = channels;
    f.sampleRate = rate;
    f.bitsPerSample = bits;
    f.blockAlign = static_cast<uint16_t>(channels * bits / 8);
    f.byteRate = rate * f.blockAlign;
    return f;
}

// Mono 16-bit samples counting up from 1, so every sample names its own frame.
inline testutil::Bytes Ramp(size_t frames) {
    testutil::Bytes b;
    for (size_t i = 0; i < frames; ++i) testutil::Put16(b, static_cast<uint16_t>(i + 1));
    return b;
}

// Mono 16-bit sine tone.
inline std::vector<int16_t> Tone(double hz, uint32_t rate, size_t frames) {
    std::vector<int16_t> s(frames);
    for (size_t i = 0; i < frames; ++i)
        s[i] =
            static_cast<int16_t>(12000 * std::sin(2 * M_PI * hz * static_cast<double>(i) / rate));
    return s;
}

// Sign changes per frame.
inline double CrossingRate(const std::vector<int16_t>& s) {
    size_t crossings = 0;
    for (size_t i = 1; i < s.size(); ++i) crossings += (s[i - 1] < 0) != (s[i] < 0);
    return s.size() > 1 ? static_cast<double>(crossings) / static_cast<double>(s.size() - 1) : 0;
}

class FakeAudioTest : public ::testing::Test {
  protected:
    void SetUp() override { previous_ = SetWaveOutBackend(&audio); }
    void TearDown() override { SetWaveOutBackend(previous_); }

    FakeWaveOutBackend audio;
    testutil::TempDir dir;

  private:
    WaveOutBackend* previous_ = nullptr;
};

}  // namespace enginetest
