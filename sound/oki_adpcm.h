// OKI ADPCM (WAVE format 0x10): 4-bit codes decoding to 12-bit samples. 32 kbit/s streams
// (8000 codes/s) play as they are; 24 kbit/s streams (6000 codes/s) are resampled to
// 8000 Hz by a fixed 4-phase interpolation filter.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

struct OkiAdpcmState {
    int32_t bitRate = 0;
    int16_t lastSample = 0;     // 12-bit, -2048..2047
    int16_t stepIndex = 0;      // 0..48
    int16_t history[32] = {};   // recent samples x 16 (24 kbit/s path)
    uint32_t historyIndex = 0;  // where the next history value goes
    uint32_t phase = 0;         // 0..3 in the 4-output resampling cycle
};

// Decodes one code and returns the 12-bit sample.
int16_t OkiDecodeNibble(OkiAdpcmState& state, uint8_t code);

// The decoder of one conversion: Open, Decode piece by piece, Close (or destruction).
class OkiAdpcmDecoder {
  public:
    // Starts a fresh state for 32000 or 24000 bit/s; any other rate fails.
    bool Open(int64_t bitRate);
    // Decodes n bytes into out (at most 3 * n samples) and returns the samples written;
    // 0 without an open state.
    size_t Decode(const uint8_t* in, int16_t* out, size_t n);
    void Close() { state_.reset(); }

  private:
    std::optional<OkiAdpcmState> state_;
};
