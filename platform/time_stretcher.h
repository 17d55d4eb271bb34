// Changes the speed of interleaved 16-bit audio while keeping its pitch (pitch-synchronous
// overlap-add, made for speech). At speed 1 the samples pass through unchanged.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

struct sonicStreamStruct;

class TimeStretcher {
  public:
    TimeStretcher(uint32_t sampleRate, uint32_t channels);
    ~TimeStretcher();
    TimeStretcher(const TimeStretcher&) = delete;
    TimeStretcher& operator=(const TimeStretcher&) = delete;

    // Speed factor for the samples written from now on (1 = unchanged, 2 = half the length).
    void SetSpeed(float speed);
    // Takes frames and appends every output frame that is ready to out.
    void Process(const int16_t* frames, size_t count, std::vector<int16_t>& out);
    // Appends the output of every frame still held back to out.
    void Flush(std::vector<int16_t>& out);
    // True when frames have gone in since the last Flush (output may be held back).
    bool Holding() const { return holding_; }
    // Drops everything held back.
    void Clear() noexcept;

  private:
    void Drain(std::vector<int16_t>& out);

    uint32_t sampleRate_;
    uint32_t channels_;
    float speed_ = 1.0f;
    sonicStreamStruct* stream_ = nullptr;
    bool holding_ = false;
};
