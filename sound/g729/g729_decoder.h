// G.729 Annex A speech decoder: turns the parameters of one 10 ms frame into 80 samples of
// 16-bit speech at 8000 Hz, with the Annex A post-filter and the high-pass post-processing.
// Every frame is decoded as a good frame (no erasure concealment). Pure integer arithmetic;
// the state is about 1.5 KB and nothing is allocated per frame.
#pragma once

#include <cstdint>

#include "sound/g729/g729_blocks.h"
#include "sound/g729/g729_parameters.h"

class G729Decoder {
  public:
    G729Decoder() { Reset(); }

    // Puts every state item to its starting value.
    void Reset();

    // Decodes one frame; values[3] of `parameters` is the pitch parity-error flag. Values
    // wider than their field keep only the field's bits.
    void DecodeFrame(const G729Parameters& parameters, int16_t out[kG729FrameSamples]);

  private:
    // Past excitation (kExcitationHistory samples) followed by the current frame's.
    int16_t excitation_[g729::kExcitationHistory + g729::kFrame];
    // Synthesized speech before post-filtering: the previous frame's last kOrder samples,
    // then the current frame.
    int16_t speech_[g729::kOrder + g729::kFrame];
    int16_t synthesisMemory_[g729::kOrder];
    int16_t sharpening_;                 // Q14
    int16_t previousDelay_;              // integer pitch delay of the last decoded sub-frame
    int16_t previousLsp_[g729::kOrder];  // Q15
    int16_t lsfMemory_[g729::kMaPredictorOrder][g729::kOrder];  // Q13, newest first
    int16_t pastEnergy_[4];                                     // Q10 dB, newest first
    g729::PostFilterState postFilter_;
    g729::PostProcessingState postProcessing_;
    bool overflow_;  // set by saturation in the synthesis filter
};
