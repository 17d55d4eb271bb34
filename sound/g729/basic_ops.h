// Fixed-point basic operators of the G.729 decoder: saturating 16- and 32-bit arithmetic on
// two's-complement values, double-precision helpers for 32-bit values held as a high and a
// low 16-bit half, and the table-driven Log2, Pow2 and InvSqrt.
//
// Every result is defined for every input: products and sums are formed in a wider type and
// clamped, so no operation relies on signed overflow. Operations that can saturate have an
// overload taking `overflow`, which is set (never cleared) when the result was clamped; the
// decoder owns that flag.
#pragma once

#include <cstdint>

#include "sound/g729/g729_tables.h"

namespace g729 {

inline constexpr int16_t kMax16 = INT16_MAX;
inline constexpr int16_t kMin16 = INT16_MIN;
inline constexpr int32_t kMax32 = INT32_MAX;
inline constexpr int32_t kMin32 = INT32_MIN;

// ---- Saturation -------------------------------------------------------------------------

inline int16_t Saturate16(int32_t x, bool& overflow) {
    if (x > kMax16) {
        overflow = true;
        return kMax16;
    }
    if (x < kMin16) {
        overflow = true;
        return kMin16;
    }
    return static_cast<int16_t>(x);
}
inline int16_t Saturate16(int32_t x) {
    return static_cast<int16_t>(x > kMax16 ? kMax16 : (x < kMin16 ? kMin16 : x));
}

inline int32_t Saturate32(int64_t x, bool& overflow) {
    if (x > kMax32) {
        overflow = true;
        return kMax32;
    }
    if (x < kMin32) {
        overflow = true;
        return kMin32;
    }
    return static_cast<int32_t>(x);
}
inline int32_t Saturate32(int64_t x) {
    return static_cast<int32_t>(x > kMax32 ? kMax32 : (x < kMin32 ? kMin32 : x));
}

// ---- 16-bit operators -------------------------------------------------------------------

inline int16_t Add(int16_t a, int16_t b, bool& overflow) {
    return Saturate16(a + b, overflow);
}
inline int16_t Add(int16_t a, int16_t b) {
    return Saturate16(a + b);
}
inline int16_t Sub(int16_t a, int16_t b, bool& overflow) {
    return Saturate16(a - b, overflow);
}
inline int16_t Sub(int16_t a, int16_t b) {
    return Saturate16(a - b);
}

// |a|, with |-32768| = 32767.
inline int16_t AbsS(int16_t a) {
    return a == kMin16 ? kMax16 : static_cast<int16_t>(a < 0 ? -a : a);
}

// -a, with -(-32768) = 32767.
inline int16_t Negate(int16_t a) {
    return a == kMin16 ? kMax16 : static_cast<int16_t>(-a);
}

// (a * b) >> 15 (Q15 product), saturated: only -1 * -1 overflows.
inline int16_t Mult(int16_t a, int16_t b, bool& overflow) {
    return Saturate16((a * b) >> 15, overflow);
}
inline int16_t Mult(int16_t a, int16_t b) {
    return Saturate16((a * b) >> 15);
}

// Q15 product rounded to nearest.
inline int16_t MultR(int16_t a, int16_t b) {
    return Saturate16((a * b + 0x4000) >> 15);
}

// Arithmetic shift right by n; a negative n shifts left (saturating).
inline int16_t Shl(int16_t a, int n, bool& overflow);
inline int16_t Shr(int16_t a, int n, bool& overflow) {
    if (n < 0) return Shl(a, n < -16 ? 16 : -n, overflow);
    if (n >= 15) return static_cast<int16_t>(a < 0 ? -1 : 0);
    return static_cast<int16_t>(a >> n);
}
// Shift left by n with saturation; a negative n shifts right.
inline int16_t Shl(int16_t a, int n, bool& overflow) {
    if (n < 0) return Shr(a, n < -16 ? 16 : -n, overflow);
    if (a == 0) return 0;
    if (n > 15) {
        overflow = true;
        return a > 0 ? kMax16 : kMin16;
    }
    const int32_t r = static_cast<int32_t>(static_cast<uint32_t>(static_cast<int32_t>(a)) << n);
    if (r != static_cast<int16_t>(r)) {
        overflow = true;
        return a > 0 ? kMax16 : kMin16;
    }
    return static_cast<int16_t>(r);
}
inline int16_t Shr(int16_t a, int n) {
    bool o = false;
    return Shr(a, n, o);
}
inline int16_t Shl(int16_t a, int n) {
    bool o = false;
    return Shl(a, n, o);
}

inline int16_t ExtractH(int32_t x) {
    return static_cast<int16_t>(x >> 16);
}
// The low 16 bits, reinterpreted as signed (no saturation).
inline int16_t ExtractL(int32_t x) {
    return static_cast<int16_t>(x);
}

// Number of left shifts that normalise a (0 for 0, 15 for -1).
inline int NormS(int16_t a) {
    if (a == 0) return 0;
    if (a == -1) return 15;
    int v = a < 0 ? ~a : a;
    int n = 0;
    while (v < 0x4000) {
        v <<= 1;
        ++n;
    }
    return n;
}

// Number of left shifts that normalise x (0 for 0, 31 for -1).
inline int NormL(int32_t x) {
    if (x == 0) return 0;
    if (x == -1) return 31;
    const uint32_t v = static_cast<uint32_t>(x < 0 ? ~x : x);
    return __builtin_clz(v) - 1;
}

// a / b in Q15 for 0 <= a <= b, b > 0; a == b gives 32767. The operator's bit-by-bit
// restoring division yields floor(a * 2^15 / b), formed here directly. Arguments outside
// that range cannot come from the decoder's own arithmetic; they give 0 (a <= 0 or b <= 0)
// or 32767 (a > b).
inline int16_t DivS(int16_t a, int16_t b) {
    if (a <= 0 || b <= 0) return 0;
    if (a >= b) return kMax16;
    return static_cast<int16_t>((static_cast<int32_t>(a) << 15) / b);
}

// ---- 32-bit operators -------------------------------------------------------------------

inline int32_t LAdd(int32_t a, int32_t b, bool& overflow) {
    return Saturate32(static_cast<int64_t>(a) + b, overflow);
}
inline int32_t LAdd(int32_t a, int32_t b) {
    return Saturate32(static_cast<int64_t>(a) + b);
}
inline int32_t LSub(int32_t a, int32_t b, bool& overflow) {
    return Saturate32(static_cast<int64_t>(a) - b, overflow);
}
inline int32_t LSub(int32_t a, int32_t b) {
    return Saturate32(static_cast<int64_t>(a) - b);
}

// 2 * a * b (Q31 product of two Q15 values), saturated: only -1 * -1 overflows.
inline int32_t LMult(int16_t a, int16_t b, bool& overflow) {
    const int32_t p = a * b;
    if (p == 0x40000000) {
        overflow = true;
        return kMax32;
    }
    return p * 2;
}
inline int32_t LMult(int16_t a, int16_t b) {
    const int32_t p = a * b;
    return p == 0x40000000 ? kMax32 : p * 2;
}

inline int32_t LMac(int32_t acc, int16_t a, int16_t b, bool& overflow) {
    return LAdd(acc, LMult(a, b, overflow), overflow);
}
inline int32_t LMac(int32_t acc, int16_t a, int16_t b) {
    return LAdd(acc, LMult(a, b));
}
inline int32_t LMsu(int32_t acc, int16_t a, int16_t b, bool& overflow) {
    return LSub(acc, LMult(a, b, overflow), overflow);
}
inline int32_t LMsu(int32_t acc, int16_t a, int16_t b) {
    return LSub(acc, LMult(a, b));
}

inline int32_t LNegate(int32_t x) {
    return x == kMin32 ? kMax32 : -x;
}
inline int32_t LAbs(int32_t x) {
    return x == kMin32 ? kMax32 : (x < 0 ? -x : x);
}
inline int32_t LDepositH(int16_t a) {
    return static_cast<int32_t>(static_cast<uint32_t>(a) << 16);
}

// Shift left by n with saturation; a negative n shifts right (arithmetic).
inline int32_t LShl(int32_t x, int n, bool& overflow);
inline int32_t LShr(int32_t x, int n, bool& overflow) {
    if (n < 0) return LShl(x, n < -32 ? 32 : -n, overflow);
    if (n >= 31) return x < 0 ? -1 : 0;
    return x >> n;
}
inline int32_t LShl(int32_t x, int n, bool& overflow) {
    if (n <= 0) return LShr(x, n < -32 ? 32 : -n, overflow);
    if (x == 0) return 0;
    if (n >= 32) {
        overflow = true;
        return x > 0 ? kMax32 : kMin32;
    }
    // x << n fits when -2^(31-n) <= x < 2^(31-n).
    const int32_t limit = kMax32 >> n;
    if (x > limit) {
        overflow = true;
        return kMax32;
    }
    if (x < -limit - 1) {
        overflow = true;
        return kMin32;
    }
    return static_cast<int32_t>(static_cast<uint32_t>(x) << n);
}
inline int32_t LShl(int32_t x, int n) {
    bool o = false;
    return LShl(x, n, o);
}
inline int32_t LShr(int32_t x, int n) {
    bool o = false;
    return LShr(x, n, o);
}

// Shift right by n with rounding (n >= 0).
inline int32_t LShrR(int32_t x, int n) {
    if (n > 31) return 0;
    int32_t r = LShr(x, n);
    if (n > 0 && (x & (static_cast<int32_t>(1) << (n - 1))) != 0) ++r;
    return r;
}

// High half of x + 0x8000, saturated.
inline int16_t Round(int32_t x, bool& overflow) {
    return ExtractH(LAdd(x, 0x8000, overflow));
}
inline int16_t Round(int32_t x) {
    return ExtractH(LAdd(x, 0x8000));
}

// ---- Double precision: x = hi * 2^16 + lo * 2 ------------------------------------------

inline void LExtract(int32_t x, int16_t& hi, int16_t& lo) {
    hi = ExtractH(x);
    lo = ExtractL(LMsu(x >> 1, hi, 16384));
}
inline int32_t LComp(int16_t hi, int16_t lo) {
    return LMac(LDepositH(hi), lo, 1);
}

// (hi, lo) * n, Q31 * Q15 -> Q31.
inline int32_t Mpy32By16(int16_t hi, int16_t lo, int16_t n) {
    return LMac(LMult(hi, n), Mult(lo, n), 1);
}

// (hi1, lo1) * (hi2, lo2), Q31 * Q31 -> Q31.
inline int32_t Mpy32(int16_t hi1, int16_t lo1, int16_t hi2, int16_t lo2) {
    int32_t r = LMult(hi1, hi2);
    r = LMac(r, Mult(hi1, lo2), 1);
    return LMac(r, Mult(lo1, hi2), 1);
}

// ---- Helpers for fast paths ------------------------------------------------------------
//
// A sum of products that provably stays inside 32 bits at every step gives the same result
// with or without saturation, in any order. The filters check such a bound per block from
// the largest input magnitude and take a plain integer loop when it holds.

// Largest |x[i]| for i in [0, n), as a 32-bit value (32768 for -32768).
inline int32_t MaxAbs(const int16_t* x, int n) {
    int32_t m = 0;
    for (int i = 0; i < n; ++i) {
        const int32_t v = x[i] < 0 ? -x[i] : x[i];
        m = v > m ? v : m;
    }
    return m;
}

// start + 2 * sum x[i]^2 as a chain of LMac from start >= 0. The terms are never negative,
// so saturating step by step equals saturating the exact total once.
inline int32_t Energy(const int16_t* x, int n, int32_t start) {
    int64_t s = 0;
    for (int i = 0; i < n; ++i) s += x[i] * x[i];
    return Saturate32(start + 2 * s);
}

// Round(LShl(x, 3)) in one step, with the same result and overflow.
inline int16_t RoundShl3(int32_t x, bool& overflow) {
    if (x >= 0x0ffff000) {  // the shift or the rounding saturates upwards
        overflow = true;
        return kMax16;
    }
    if (x < -0x10000000) {  // the shift saturates downwards
        overflow = true;
        return kMin16;
    }
    return static_cast<int16_t>((x * 8 + 0x8000) >> 16);
}

// ---- Table-driven functions -------------------------------------------------------------

// log2(x) for x > 0 as an integer exponent and a Q15 fraction; (0, 0) for x <= 0.
inline void Log2(int32_t x, int16_t& exponent, int16_t& fraction) {
    if (x <= 0) {
        exponent = 0;
        fraction = 0;
        return;
    }
    const int n = NormL(x);
    x = LShl(x, n);
    exponent = static_cast<int16_t>(30 - n);
    const int i = (x >> 25) - 32;                             // bits 25-30: table index
    const auto a = static_cast<int16_t>((x >> 10) & 0x7fff);  // bits 10-24: interpolation
    const int32_t y = LDepositH(kLog2Table[i]);
    const int16_t step = Sub(kLog2Table[i], kLog2Table[i + 1]);
    fraction = ExtractH(LMsu(y, step, a));
}

// 2^(exponent + fraction / 32768), fraction in Q15, as a 32-bit integer.
inline int32_t Pow2(int16_t exponent, int16_t fraction) {
    const int32_t x = LMult(fraction, 32);
    const int i = ExtractH(x);                               // bits 10-15 of fraction
    const auto a = static_cast<int16_t>((x >> 1) & 0x7fff);  // bits 0-9, in Q15
    const int32_t y = LDepositH(kPow2Table[i]);
    const int16_t step = Sub(kPow2Table[i], kPow2Table[i + 1]);
    return LShrR(LMsu(y, step, a), 30 - exponent);
}

// 1 / sqrt(x) for x > 0, scaled by 2^30 (x = 1 gives about 2^30); 0x3fffffff for x <= 0.
inline int32_t InvSqrt(int32_t x) {
    if (x <= 0) return 0x3fffffff;
    int n = NormL(x);
    x = LShl(x, n);
    n = 30 - n;
    if ((n & 1) == 0) x >>= 1;
    n = (n >> 1) + 1;
    const int i = (x >> 25) - 16;                             // bits 25-30
    const auto a = static_cast<int16_t>((x >> 10) & 0x7fff);  // bits 10-24
    const int32_t y = LDepositH(kInvSqrtTable[i]);
    const int16_t step = Sub(kInvSqrtTable[i], kInvSqrtTable[i + 1]);
    return LShr(LMsu(y, step, a), n);
}

}  // namespace g729
