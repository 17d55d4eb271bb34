#include "sound/g729/g729_decoder.h"

#include <cstring>

#include "sound/g729/basic_ops.h"
#include "sound/g729/g729_tables.h"

using namespace g729;

void G729Decoder::Reset() {
    std::memset(excitation_, 0, sizeof excitation_);
    std::memset(speech_, 0, sizeof speech_);
    std::memset(synthesisMemory_, 0, sizeof synthesisMemory_);
    sharpening_ = kSharpeningMin;
    previousDelay_ = 60;
    std::memcpy(previousLsp_, kLspInitialPrevious, sizeof previousLsp_);
    for (auto& row : lsfMemory_) std::memcpy(row, kLsfResetVector, sizeof row);
    std::memcpy(pastEnergy_, kPastEnergyInitial, sizeof pastEnergy_);
    postFilter_.Reset();
    postProcessing_.Reset();
    overflow_ = false;
}

void G729Decoder::DecodeFrame(const G729Parameters& parameters, int16_t out[kG729FrameSamples]) {
    uint16_t v[11];
    for (int i = 0; i < 11; ++i) {
        v[i] = static_cast<uint16_t>(parameters.values[i] & ((1u << kParameterBits[i]) - 1));
    }

    int16_t lsp[kOrder];
    DecodeLsp(v[0], v[1], lsfMemory_, lsp);
    int16_t a[2][kLpSize];
    InterpolateLp(previousLsp_, lsp, a);
    std::memcpy(previousLsp_, lsp, sizeof lsp);

    int16_t* const excitation = excitation_ + kExcitationHistory;
    int16_t* const speech = speech_ + kOrder;
    int16_t delays[2];
    PitchDelay delay{};
    for (int sf = 0; sf < 2; ++sf) {
        const uint16_t* p = sf == 0 ? &v[4] : &v[8];  // positions, signs, gains
        if (sf == 0) {
            // A parity error repeats the previous integer delay.
            delay = v[3] == 0 ? DecodeFirstPitchDelay(v[2]) : PitchDelay{previousDelay_, 0};
        } else {
            delay = DecodeSecondPitchDelay(v[7], delay.integer);
        }
        previousDelay_ = delay.integer;
        delays[sf] = delay.integer;

        int16_t* e = excitation + sf * kSubframe;
        AdaptiveCodebookVector(e, delay);

        int16_t code[kSubframe];
        FixedCodebookVector(p[0], p[1], code);
        SharpenPitch(code, delay.integer, sharpening_);

        int16_t gainPitch, gainCode;
        DecodeGains(p[2], code, pastEnergy_, gainPitch, gainCode);
        sharpening_ = gainPitch < kSharpeningMin
                          ? kSharpeningMin
                          : (gainPitch > kSharpeningMax ? kSharpeningMax : gainPitch);

        // Excitation: Q0 * Q14 + Q13 * Q1, rounded to 16 bits (LMult, LMac, LShl by 1,
        // Round). Both gains are non-negative, so no product saturates; the clamps of the
        // sum, the shift and the rounding all reduce to one clamp of the exact value.
        for (int i = 0; i < kSubframe; ++i) {
            const int64_t sum =
                static_cast<int64_t>(e[i]) * gainPitch + static_cast<int64_t>(code[i]) * gainCode;
            const int64_t rounded = (4 * sum + 0x8000) >> 16;
            e[i] = static_cast<int16_t>(rounded > kMax16 ? kMax16
                                                         : (rounded < kMin16 ? kMin16 : rounded));
        }

        int16_t* y = speech + sf * kSubframe;
        overflow_ = false;
        SynthesisFilter(a[sf], e, y, kSubframe, synthesisMemory_, overflow_);
        if (overflow_) {
            // Scale the whole excitation buffer down and filter again.
            for (int16_t& x : excitation_) x = static_cast<int16_t>(x >> 2);
            SynthesisFilter(a[sf], e, y, kSubframe, synthesisMemory_, overflow_);
        }
        std::memcpy(synthesisMemory_, y + kSubframe - kOrder, sizeof synthesisMemory_);
    }
    std::memmove(excitation_, excitation_ + kFrame, sizeof(int16_t) * kExcitationHistory);

    PostFilter(postFilter_, speech, a, delays, out);
    std::memcpy(speech_, speech_ + kFrame, sizeof(int16_t) * kOrder);
    PostProcess(postProcessing_, out, kFrame);
}
