// Shortens the long pauses of a voice message, in a stream of interleaved 16-bit frames:
// a pause longer than kLongPauseMs plays as kKeptPauseMs, its first and last halves joined
// by a kFadeMs linear crossfade (so the join never clicks). Speech is never cut: only
// blocks of kBlockMs whose RMS level is under the threshold count as pause, and the kept
// halves lie between the speech and anything dropped. A pause is held back until it either
// ends within kLongPauseMs (then it passes unchanged) or grows longer; so output lags input
// by at most kLongPauseMs plus one block, and is at most that much longer than one input.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

class SilenceSkipper {
  public:
    static constexpr uint32_t kLongPauseMs = 500;  // pauses longer than this are shortened
    static constexpr uint32_t kKeptPauseMs = 250;  // to this
    static constexpr uint32_t kFadeMs = 10;
    static constexpr uint32_t kBlockMs = 10;

    SilenceSkipper(uint32_t sampleRate, uint32_t channels);

    // Blocks whose RMS level (dBFS, a full-scale square wave is 0) is below dbfs are pause;
    // -inf (the default): nothing is. Applies from the next block.
    void SetThreshold(double dbfs);
    // Takes count frames and appends every output frame that is ready to out.
    void Process(const int16_t* frames, size_t count, std::vector<int16_t>& out);
    // The input has ended: appends every frame still held back (a long pause at the end is
    // shortened too).
    void Flush(std::vector<int16_t>& out);
    // Drops everything held back (a seek); the threshold and the count stay.
    void Clear() noexcept;
    // Frames left out so far (not reset by Clear).
    uint64_t SkippedFrames() const { return skipped_; }
    // The most frames Process or Flush may append beyond the frames it is given.
    size_t MaxHeldFrames() const { return longFrames_ + 2 * blockFrames_; }

  private:
    void Block(const int16_t* frames, size_t count, std::vector<int16_t>& out);
    void EndPause(std::vector<int16_t>& out);

    uint32_t channels_;
    size_t blockFrames_;
    size_t longFrames_;
    size_t fadeFrames_;
    size_t headFrames_;             // the kept first part, its fade included
    size_t tailFrames_;             // the kept last part, its fade included
    double thresholdSquares_ = -1;  // mean square (full scale 1) under which a block is pause
    std::vector<int16_t> block_;    // the block being gathered
    std::vector<int16_t> pause_;    // a pause not yet longer than longFrames_; then its tail
    std::vector<int16_t> fadeOut_;  // once shortening: the head's last fadeFrames_
    size_t pauseFrames_ = 0;        // frames of the current pause so far
    bool shortening_ = false;
    uint64_t skipped_ = 0;
};
