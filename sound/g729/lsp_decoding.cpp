// LSP decoding: two-stage codebook, MA prediction, stability rules and LSF to LSP conversion.
#include <cstring>

#include "sound/g729/basic_ops.h"
#include "sound/g729/g729_blocks.h"
#include "sound/g729/g729_tables.h"

namespace g729 {
namespace {

constexpr int16_t kFirstGap = 10;       // Q13, first rearrangement
constexpr int16_t kSecondGap = 5;       // Q13, second rearrangement
constexpr int16_t kMinDistance = 321;   // Q13, between neighbouring LSFs
constexpr int16_t kLowestLsf = 40;      // Q13
constexpr int16_t kHighestLsf = 25681;  // Q13

// Pulls neighbours that are closer than `gap` apart, half the shortfall each.
void Rearrange(int16_t buf[kOrder], int16_t gap) {
    for (int j = 1; j < kOrder; ++j) {
        const int16_t diff = Sub(buf[j - 1], buf[j]);
        const int16_t half = Shr(Add(diff, gap), 1);
        if (half > 0) {
            buf[j - 1] = Sub(buf[j - 1], half);
            buf[j] = Add(buf[j], half);
        }
    }
}

// One ordering pass, then minimum and maximum values and a minimum distance.
void Stabilize(int16_t lsf[kOrder]) {
    for (int j = 0; j < kOrder - 1; ++j) {
        if (lsf[j + 1] < lsf[j]) {
            const int16_t t = lsf[j + 1];
            lsf[j + 1] = lsf[j];
            lsf[j] = t;
        }
    }
    if (lsf[0] < kLowestLsf) lsf[0] = kLowestLsf;
    for (int j = 0; j < kOrder - 1; ++j) {
        if (lsf[j + 1] - lsf[j] < kMinDistance) lsf[j + 1] = Add(lsf[j], kMinDistance);
    }
    if (lsf[kOrder - 1] > kHighestLsf) lsf[kOrder - 1] = kHighestLsf;
}

// cos(lsf) by the 64-entry table with linear interpolation; lsf in Q13 (0..pi), lsp in Q15.
void LsfToLsp(const int16_t lsf[kOrder], int16_t lsp[kOrder]) {
    for (int i = 0; i < kOrder; ++i) {
        const int16_t freq = Mult(lsf[i], 20861);  // lsf / (2 pi), Q15; 20861 = 1/(2 pi) in Q17
        int index = freq >> 8;
        const auto offset = static_cast<int16_t>(freq & 0xff);
        if (index > 63) index = 63;
        const int32_t step = LMult(kLsfToLspSlope[index], offset);
        lsp[i] = Add(kLsfToLspCosine[index], ExtractL(LShr(step, 13)));
    }
}

}  // namespace

void DecodeLsp(uint16_t l0l1, uint16_t l2l3, int16_t memory[kMaPredictorOrder][kOrder],
               int16_t lsp[kOrder]) {
    const int predictor = (l0l1 >> 7) & 1;
    const int first = l0l1 & 0x7f;
    const int lowSecond = (l2l3 >> 5) & 0x1f;
    const int highSecond = l2l3 & 0x1f;

    int16_t quantized[kOrder];  // Q13: codebook sum, before prediction
    for (int j = 0; j < kOrder / 2; ++j) {
        quantized[j] = Add(kLspCodebook1[first][j], kLspCodebook2[lowSecond][j]);
    }
    for (int j = kOrder / 2; j < kOrder; ++j) {
        quantized[j] = Add(kLspCodebook1[first][j], kLspCodebook2[highSecond][j]);
    }
    Rearrange(quantized, kFirstGap);
    Rearrange(quantized, kSecondGap);

    int16_t lsf[kOrder];
    const auto& coefficients = kLspMaPredictor[predictor];
    for (int j = 0; j < kOrder; ++j) {
        int32_t acc = LMult(quantized[j], kLspMaPredictorSum[predictor][j]);
        for (int k = 0; k < kMaPredictorOrder; ++k)
            acc = LMac(acc, memory[k][j], coefficients[k][j]);
        lsf[j] = ExtractH(acc);
    }

    std::memmove(memory[1], memory[0], sizeof(int16_t) * kOrder * (kMaPredictorOrder - 1));
    std::memcpy(memory[0], quantized, sizeof quantized);

    Stabilize(lsf);
    LsfToLsp(lsf, lsp);
}

}  // namespace g729
