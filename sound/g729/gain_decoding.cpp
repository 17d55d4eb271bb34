// Gain decoding: two-stage conjugate codebook with MA prediction of the fixed-codebook energy.
#include "sound/g729/basic_ops.h"
#include "sound/g729/g729_blocks.h"
#include "sound/g729/g729_tables.h"

namespace g729 {
namespace {

// Predicted fixed-codebook gain as mantissa `gain` and exponent: gain * 2^-exponent.
void PredictGain(const int16_t pastEnergy[4], const int16_t code[kSubframe], int16_t& gain,
                 int16_t& exponent) {
    const int32_t energy = Energy(code, kSubframe, 0);  // Q27

    // 127.298 - 3.0103 * log2(energy): mean energy 30 dB minus the code energy, in dB (Q14).
    int16_t e, f;
    Log2(energy, e, f);
    int32_t t = Mpy32By16(e, f, -24660);  // -3.0103 in Q13
    t = LMac(t, 32588, 32);               // 127.298 in Q14

    // Add the prediction from the past quantized energies: Q14 -> Q24.
    t = LShl(t, 10);
    for (int i = 0; i < 4; ++i) t = LMac(t, kGainPrediction[i], pastEnergy[i]);
    const int16_t db = ExtractH(t);  // Q8

    // 10^(db / 20) = 2^(0.166 db).
    t = LShr(LMult(db, 5439), 8);  // Q16
    int16_t whole, fraction;
    LExtract(t, whole, fraction);
    gain = ExtractL(Pow2(14, fraction));  // 16384 .. 32767
    exponent = Sub(14, whole);
}

// Shifts the energies and inserts 20 log10(factor), factor in Q13, as Q10 dB.
void UpdateEnergies(int16_t pastEnergy[4], int32_t factor) {
    for (int i = 3; i > 0; --i) pastEnergy[i] = pastEnergy[i - 1];
    int16_t e, f;
    Log2(factor, e, f);
    const int32_t log = LComp(Sub(e, 13), f);       // Q16
    const int16_t log13 = ExtractH(LShl(log, 13));  // Q13
    pastEnergy[0] = Mult(log13, 24660);             // * 6.0205 (Q12) -> Q10
}

}  // namespace

void DecodeGains(uint16_t index, const int16_t code[kSubframe], int16_t pastEnergy[4],
                 int16_t& gainPitch, int16_t& gainCode) {
    const int first = kGainIndexMap1[(index >> 4) & 7];
    const int second = kGainIndexMap2[index & 15];
    gainPitch = Add(kGainCodebook1[first][0], kGainCodebook2[second][0]);  // Q14

    int16_t predicted, exponent;
    PredictGain(pastEnergy, code, predicted, exponent);

    const int32_t factor = LAdd(kGainCodebook1[first][1], kGainCodebook2[second][1]);  // Q13
    const int16_t factor12 = ExtractL(LShr(factor, 1));                                // Q12
    const int32_t gain = LMult(factor12, predicted);
    gainCode = ExtractH(LShl(gain, Add(Negate(exponent), 4)));  // Q1

    UpdateEnergies(pastEnergy, factor);
}

}  // namespace g729
