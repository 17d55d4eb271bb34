// LP interpolation per sub-frame and LSP to LP conversion.
#include "sound/g729/basic_ops.h"
#include "sound/g729/g729_blocks.h"

namespace g729 {
namespace {

// Coefficients f[0..5] (Q24) of the product of (1 - 2 q z^-1 + z^-2) over the five LSPs
// lsp[0], lsp[2], ..., lsp[8].
void LspPolynomial(const int16_t* lsp, int32_t f[6]) {
    f[0] = LMult(4096, 2048);     // 1.0
    f[1] = LMsu(0, lsp[0], 512);  // -2 q0
    for (int i = 2; i <= 5; ++i) {
        const int16_t q = lsp[2 * (i - 1)];
        f[i] = f[i - 2];
        for (int k = i; k >= 2; --k) {
            // 2 q f[k-1]: LShl(Mpy32By16(hi, lo, q), 1) with (hi, lo) = LExtract(f[k-1]).
            // Mpy32By16 is 2 floor((f >> 1) q / 2^15); where its first product saturates
            // (hi = q = -1) the doubled value saturates either way.
            const int32_t t = Saturate32(4 * ((static_cast<int64_t>(f[k - 1] >> 1) * q) >> 15));
            f[k] = LSub(LAdd(f[k], f[k - 2]), t);
        }
        f[1] = LMsu(f[1], q, 512);
    }
}

}  // namespace

void LspToLp(const int16_t lsp[kOrder], int16_t a[kLpSize]) {
    int32_t f1[6], f2[6];
    LspPolynomial(&lsp[0], f1);
    LspPolynomial(&lsp[1], f2);
    // Multiply F1 by (1 + z^-1) and F2 by (1 - z^-1).
    for (int i = 5; i > 0; --i) {
        f1[i] = LAdd(f1[i], f1[i - 1]);
        f2[i] = LSub(f2[i], f2[i - 1]);
    }
    // A(z) = (F1 + F2) / 2, Q24 -> Q12.
    a[0] = 4096;
    for (int i = 1, j = 10; i <= 5; ++i, --j) {
        a[i] = ExtractL(LShrR(LAdd(f1[i], f2[i]), 13));
        a[j] = ExtractL(LShrR(LSub(f1[i], f2[i]), 13));
    }
}

void InterpolateLp(const int16_t previous[kOrder], const int16_t current[kOrder],
                   int16_t a[2][kLpSize]) {
    int16_t mean[kOrder];
    for (int i = 0; i < kOrder; ++i) mean[i] = Add(Shr(current[i], 1), Shr(previous[i], 1));
    LspToLp(mean, a[0]);
    LspToLp(current, a[1]);
}

}  // namespace g729
