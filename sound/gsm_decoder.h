// One libgsm decoder state for the length of a conversion.
#pragma once

#include <cstdint>

struct gsm_state;

class GsmDecoder {
  public:
    // Creates the state; with wav49, the library expects 65-byte two-frame blocks, fed as
    // a 33-byte and then a 32-byte half. Throws CWaveDecoderException* when the state
    // cannot be made ("Out of memory.") or the library lacks WAV49 support.
    explicit GsmDecoder(bool wav49);
    ~GsmDecoder();
    GsmDecoder(const GsmDecoder&) = delete;
    GsmDecoder& operator=(const GsmDecoder&) = delete;

    // Decodes one frame (33 bytes; for the second half of a WAV49 block, 32 bytes and a
    // zero) into 160 samples. A raw frame gets its 0xD signature nibble first, so every
    // frame decodes.
    void DecodeFrame(uint8_t frame[33], int16_t samples[160]);

  private:
    gsm_state* state_;
    bool wav49_;
};
