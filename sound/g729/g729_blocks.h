// The processing blocks of the G.729 Annex A decoder, in decoding order. Each block lives in
// the source file named after it; G729Decoder runs them and owns their state.
//
// Conventions: LP coefficient sets hold a0..a10 in Q12 with a0 = 4096; LSP vectors are
// cosines in Q15 and LSF vectors angular frequencies in Q13; signals are 16-bit Q0 samples.
#pragma once

#include <cstdint>

namespace g729 {

inline constexpr int kOrder = 10;           // LP order
inline constexpr int kLpSize = kOrder + 1;  // a0..a10
inline constexpr int kFrame = 80;           // samples per frame
inline constexpr int kSubframe = 40;        // samples per sub-frame
inline constexpr int kPitchMin = 20;        // smallest integer delay coded in the second sub-frame
inline constexpr int kPitchMax = 143;       // largest coded integer delay
inline constexpr int kInterpolationReach = 11;
// Past excitation kept before the current frame: the longest delay plus the reach of the
// interpolation filter.
inline constexpr int kExcitationHistory = kPitchMax + kInterpolationReach;
inline constexpr int16_t kSharpeningMin = 3277;   // 0.2 in Q14
inline constexpr int16_t kSharpeningMax = 13017;  // 0.8 in Q14
inline constexpr int kMaPredictorOrder = 4;       // stored LSP quantizer outputs

// ---- LSP decoding (lsp_decoding.cpp) ------------------------------------------------------

// Decodes the LSP vector (Q15) of a frame from L0L1 (8 bits) and L2L3 (10 bits) and shifts
// the new quantizer output into `memory` (Q13, newest first).
void DecodeLsp(uint16_t l0l1, uint16_t l2l3, int16_t memory[kMaPredictorOrder][kOrder],
               int16_t lsp[kOrder]);

// ---- LP interpolation and LSP to LP conversion (lp_interpolation.cpp) ---------------------

// LP coefficients (Q12) of an LSP vector (Q15).
void LspToLp(const int16_t lsp[kOrder], int16_t a[kLpSize]);

// Sub-frame 1 gets the mean of the two LSP vectors, sub-frame 2 the current one.
void InterpolateLp(const int16_t previous[kOrder], const int16_t current[kOrder],
                   int16_t a[2][kLpSize]);

// ---- Pitch (adaptive codebook) decoding (pitch_decoding.cpp) ------------------------------

struct PitchDelay {
    int16_t integer;   // samples, 19..144
    int16_t fraction;  // thirds of a sample, -1..1
};

// First sub-frame: 1/3 resolution below index 197, whole samples from 197 to 255.
PitchDelay DecodeFirstPitchDelay(uint16_t index);
// Second sub-frame: 5-bit index relative to the first sub-frame's integer delay.
PitchDelay DecodeSecondPitchDelay(uint16_t index, int16_t firstInteger);

// Writes 40 samples of adaptive-codebook vector at `excitation` by interpolating the signal
// before it at the fractional delay. At least kExcitationHistory samples precede it.
void AdaptiveCodebookVector(int16_t* excitation, PitchDelay delay);

// ---- Fixed codebook (fixed_codebook.cpp) --------------------------------------------------

// Four pulses of +8191 / -8192 (Q13) from the 13 position bits and 4 sign bits.
void FixedCodebookVector(uint16_t positions, uint16_t signs, int16_t code[kSubframe]);

// Adds sharpening (Q14) times the vector one integer delay earlier, for delays under 40.
void SharpenPitch(int16_t code[kSubframe], int delay, int16_t sharpening);

// ---- Gain decoding (gain_decoding.cpp) ----------------------------------------------------

// Decodes the pitch gain (Q14) and fixed-codebook gain (Q1) from the 7-bit GA/GB index,
// predicting from the past quantized energies (Q10, newest first), which it updates.
void DecodeGains(uint16_t index, const int16_t code[kSubframe], int16_t pastEnergy[4],
                 int16_t& gainPitch, int16_t& gainCode);

// ---- LP filters (lp_filters.cpp) ----------------------------------------------------------

// 1/A(z): y[i] = x[i] - sum a[j] y[i-j] with `memory` holding y[-10..-1] (oldest first).
// x and y may be the same array; `memory` is not updated. Sets `overflow` on saturation.
void SynthesisFilter(const int16_t a[kLpSize], const int16_t* x, int16_t* y, int n,
                     const int16_t memory[kOrder], bool& overflow);

// A(z): y[i] = sum a[j] x[i-j]; x[-10..-1] must be readable.
void ResidualFilter(const int16_t a[kLpSize], const int16_t* x, int16_t* y, int n);

// a[i] * gamma^i (gamma in Q15).
void WeightLp(const int16_t a[kLpSize], int16_t gamma, int16_t weighted[kLpSize]);

// ---- Post-filter (post_filter.cpp) --------------------------------------------------------

struct PostFilterState {
    // LP residual of the synthesized speech and its copy scaled by 1/4: kPitchMax past
    // samples, then the current sub-frame.
    int16_t residual[kPitchMax + kSubframe];
    int16_t scaledResidual[kPitchMax + kSubframe];
    int16_t shortTermMemory[kOrder];  // 1/A(z/0.70) output history
    int16_t tiltMemory;               // last residual sample of the previous sub-frame
    int16_t agcGain;                  // Q12

    void Reset();
};

// Post-filters one frame of synthesized speech (with kOrder samples of history before
// `speech`) using each sub-frame's LP coefficients and integer pitch delay.
void PostFilter(PostFilterState& state, const int16_t* speech, const int16_t a[2][kLpSize],
                const int16_t delays[2], int16_t out[kFrame]);

// ---- Post-processing (post_processing.cpp) ------------------------------------------------

struct PostProcessingState {
    int16_t input1, input2;  // last two inputs, newest first
    // Last two filter outputs as high and low halves, newest first.
    int16_t output1Hi, output1Lo, output2Hi, output2Lo;

    void Reset();
};

// 100 Hz second-order high-pass filter and up-scaling by 2, in place.
void PostProcess(PostProcessingState& state, int16_t* signal, int n);

}  // namespace g729
