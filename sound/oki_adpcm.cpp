#include "sound/oki_adpcm.h"

#include <algorithm>
#include <cstring>
#include <type_traits>

namespace {

constexpr int16_t kStepTable[49] = {
    16,  17,  19,  21,  23,  25,  28,  31,  34,  37,  41,   45,   50,   55,   60,  66,  73,
    80,  88,  97,  107, 118, 130, 143, 157, 173, 190, 209,  230,  253,  279,  307, 337, 371,
    408, 449, 494, 544, 598, 658, 724, 796, 876, 963, 1060, 1166, 1282, 1408, 1552};

constexpr int kIndexAdjust[8] = {-1, -1, -1, -1, 2, 4, 6, 8};

// h[1..41]; h[82 - k] = h[k]. h[0] is never used.
constexpr float kHalfFilter[42] = {0.0f,
                                   -0.000364839187f,
                                   0.000506239128f,
                                   0.00120624702f,
                                   0.00180445204f,
                                   0.00169175002f,
                                   0.000408340507f,
                                   -0.00193108502f,
                                   -0.00445210701f,
                                   -0.00579482084f,
                                   -0.004778489f,
                                   -0.001161266f,
                                   0.00392850395f,
                                   0.00825978629f,
                                   0.00950042531f,
                                   0.00651280023f,
                                   0.000222785602f,
                                   -0.00653127488f,
                                   -0.0102684302f,
                                   -0.00871806219f,
                                   -0.00228048698f,
                                   0.00581773277f,
                                   0.0109677697f,
                                   0.00963440444f,
                                   0.00156930101f,
                                   -0.00952263176f,
                                   -0.0174827296f,
                                   -0.0168440808f,
                                   -0.0061000539f,
                                   0.0107120601f,
                                   0.0252520908f,
                                   0.0287177898f,
                                   0.0166441109f,
                                   -0.00770626822f,
                                   -0.0333108306f,
                                   -0.0452124886f,
                                   -0.0308596194f,
                                   0.0137365302f,
                                   0.0808959305f,
                                   0.152906001f,
                                   0.208048701f,
                                   0.228683397f};

constexpr float Tap(int k) {
    return kHalfFilter[k <= 41 ? k : 82 - k];
}

// kDifference.size[i][c]: the size of the difference for step index i and the low three code bits
// c, the shifted sum step/8 + (c & 1) step/4 + (c & 2) step/2 + (c & 4) step.
struct DifferenceTable {
    int16_t size[49][8];
};
constexpr DifferenceTable MakeDifferences() {
    DifferenceTable t{};
    for (int i = 0; i < 49; ++i) {
        const int step = kStepTable[i];
        for (int c = 0; c < 8; ++c)
            t.size[i][c] = static_cast<int16_t>((step >> 3) + (c & 1 ? step >> 2 : 0) +
                                                (c & 2 ? step >> 1 : 0) + (c & 4 ? step : 0));
    }
    return t;
}
constexpr DifferenceTable kDifference = MakeDifferences();

// One code: the new 12-bit sample (also left in lastSample); the step index moves on.
inline int32_t DecodeCode(int32_t& lastSample, int32_t& stepIndex, uint8_t code) {
    const int32_t size = kDifference.size[stepIndex][code & 7];
    lastSample = std::clamp(lastSample + (code & 8 ? -size : size), -2048, 2047);
    stepIndex = std::clamp(stepIndex + kIndexAdjust[code & 7], 0, 48);
    return lastSample;
}

// 24 kbit/s: each output is a single-precision dot product of the newest history values
// with every fourth tap. In phase p (0..3) it sums history[newest - k] x h[78 + p - 4k] for
// k = 0 .. taps - 1 (20 taps, 21 in phase 3) from 0 in that order, each product and each
// partial sum rounded to float, with no fused multiply-add (this file is built with
// -ffp-contract=off).
//
// kLaneTaps[k][p] = h[78 + p - 4k], and 0 for k = 20 in phases 0 to 2. A whole cycle of
// four outputs, phase 0 with newest value x[c] up to phase 3 with x[c + 3], then reads both
// operands contiguously: term k of output p is x[c + p - k] x kLaneTaps[k][p]. The zero tap
// ends a 20-tap sum with a product of +0 or -0, which leaves the sum as it was: a nonzero
// sum plus a zero is the sum itself, and a zero sum is +0 (the sum starts at +0, and a
// round-to-nearest sum is -0 only when both terms are), to which either zero adds to +0.
constexpr int kMaxTaps = 21;
struct LaneTapTable {
    float tap[kMaxTaps][4];
};
constexpr LaneTapTable MakeLaneTaps() {
    LaneTapTable t{};
    for (int k = 0; k < kMaxTaps; ++k)
        for (int p = 0; p < 4; ++p) t.tap[k][p] = 78 + p - 4 * k > 0 ? Tap(78 + p - 4 * k) : 0.0f;
    return t;
}
alignas(16) constexpr LaneTapTable kLaneTaps = MakeLaneTaps();

// The sum x 4 converted to an integer by truncation toward zero; only the low 16 bits are
// kept (no saturation).
int16_t LowBits(int32_t value) {
    return static_cast<int16_t>(static_cast<uint16_t>(static_cast<uint32_t>(value)));
}

// One output in the given phase, newest pointing at the newest history value.
int16_t InterpolatedSample(const float* newest, uint32_t phase) {
    const int taps = (81 + static_cast<int>(phase)) / 4;
    float sum = 0.0f;
    for (int k = 0; k < taps; ++k) {
        const float product = newest[-k] * kLaneTaps.tap[k][phase];
        sum = sum + product;
    }
    return LowBits(static_cast<int32_t>(static_cast<double>(sum) * 4.0));
}

#if defined(__GNUC__)
// Four single-precision lanes: SSE2 on x86-64, NEON on 64-bit Arm, and scalar operations on
// a target with neither. Each lane is computed as the scalar IEEE operation would.
typedef float Lanes __attribute__((vector_size(16)));
typedef int32_t IntLanes __attribute__((vector_size(16)));

Lanes LoadLanes(const float* p) {
    Lanes v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

// G cycles of four outputs summed side by side, so that the additions of one sum need not
// wait for each other; the first cycle's phase-0 output has its newest value at newest[0],
// and cycle g's at newest[3g].
template <size_t G>
void InterpolateCycleGroup(const float* newest, int16_t* out) {
    Lanes sum[G];
    for (size_t g = 0; g < G; ++g) sum[g] = Lanes{};
    for (int k = 0; k < kMaxTaps; ++k) {
        const Lanes taps = LoadLanes(kLaneTaps.tap[k]);
        for (size_t g = 0; g < G; ++g) {
            const Lanes product = LoadLanes(newest + 3 * g - k) * taps;
            sum[g] = sum[g] + product;
        }
    }
    for (size_t g = 0; g < G; ++g) {
        // x 4 is exact in single precision too, so this equals the double-precision scaling.
        const IntLanes value = __builtin_convertvector(sum[g] * 4.0f, IntLanes);
        for (int p = 0; p < 4; ++p) out[4 * g + p] = LowBits(value[p]);
    }
}

void InterpolateCycles(const float* newest, size_t cycles, int16_t* out) {
    constexpr size_t kGroup = 4;
    for (; cycles >= kGroup; cycles -= kGroup, newest += 3 * kGroup, out += 4 * kGroup)
        InterpolateCycleGroup<kGroup>(newest, out);
    for (; cycles > 0; --cycles, newest += 3, out += 4) InterpolateCycleGroup<1>(newest, out);
}
#else
void InterpolateCycles(const float* newest, size_t cycles, int16_t* out) {
    for (; cycles > 0; --cycles, newest += 3)
        for (uint32_t p = 0; p < 4; ++p) *out++ = InterpolatedSample(newest + p, p);
}
#endif

// Bytes decoded and filtered at a time on the 24 kbit/s path.
constexpr size_t kPieceBytes = 1024;
// History values kept in front of a piece's codes: 20 back from a phase-0 output, and the
// one more that its zero tap reads.
constexpr size_t kPriorValues = kMaxTaps;

// 24 kbit/s over 1 to kPieceBytes bytes: three codes in, four samples out.
size_t Decode24k(OkiAdpcmState& s, const uint8_t* in, int16_t* out, size_t n) {
    // x[kPriorValues - 1] is the newest history value before this piece; the codes follow.
    alignas(16) float x[kPriorValues + 2 * kPieceBytes];
    for (size_t j = 0; j < kPriorValues; ++j)
        x[kPriorValues - 1 - j] = s.history[(s.historyIndex + 31 - j) & 31];
    float* const codes = x + kPriorValues;
    const size_t count = 2 * n;
    int32_t lastSample = s.lastSample;
    int32_t stepIndex = s.stepIndex;
    for (size_t i = 0; i < n; ++i) {  // high nibble first
        codes[2 * i] = static_cast<float>(DecodeCode(lastSample, stepIndex, in[i] >> 4) * 16);
        codes[2 * i + 1] = static_cast<float>(DecodeCode(lastSample, stepIndex, in[i] & 0x0F) * 16);
    }
    s.lastSample = static_cast<int16_t>(lastSample);
    s.stepIndex = static_cast<int16_t>(stepIndex);
    for (size_t i = count > 32 ? count - 32 : 0; i < count; ++i)
        s.history[(s.historyIndex + i) & 31] = static_cast<int16_t>(codes[i]);
    s.historyIndex = static_cast<uint32_t>((s.historyIndex + count) & 31);

    // Every output but phase 0's takes the next code first; the piece ends with the output
    // that took its last code.
    const float* newest = codes - 1;
    const float* const last = codes + count - 1;
    int16_t* const first = out;
    uint32_t phase = s.phase;
    auto step = [&] {
        if (phase != 0) ++newest;
        *out++ = InterpolatedSample(newest, phase);
        phase = (phase + 1) & 3;
    };
    while (phase != 0 && newest < last) step();
    if (phase == 0) {
        const auto cycles = static_cast<size_t>(last - newest) / 3;
        InterpolateCycles(newest, cycles, out);
        newest += 3 * cycles;
        out += 4 * cycles;
    }
    while (newest < last) step();
    s.phase = phase;
    return static_cast<size_t>(out - first);
}

}  // namespace

int16_t OkiDecodeNibble(OkiAdpcmState& state, uint8_t code) {
    int32_t lastSample = state.lastSample;
    int32_t stepIndex = state.stepIndex;
    const int32_t sample = DecodeCode(lastSample, stepIndex, code);
    state.lastSample = static_cast<int16_t>(lastSample);
    state.stepIndex = static_cast<int16_t>(stepIndex);
    return static_cast<int16_t>(sample);
}

bool OkiAdpcmDecoder::Open(int64_t bitRate) {
    state_.reset();
    if (bitRate != 32000 && bitRate != 24000) return false;
    state_.emplace();
    state_->bitRate = static_cast<int32_t>(bitRate);
    return true;
}

size_t OkiAdpcmDecoder::Decode(const uint8_t* in, int16_t* out, size_t n) {
    if (!state_) return 0;
    OkiAdpcmState& s = *state_;
    size_t written = 0;
    if (s.bitRate == 32000) {
        for (size_t i = 0; i < n; ++i) {
            out[written++] = static_cast<int16_t>(OkiDecodeNibble(s, in[i] >> 4) * 16);
            out[written++] = static_cast<int16_t>(OkiDecodeNibble(s, in[i] & 0x0F) * 16);
        }
        return written;
    }
    // Pieces join without a seam: phase and history carry over, and every piece is whole bytes.
    for (size_t at = 0; at < n; at += kPieceBytes)
        written += Decode24k(s, in + at, out + written, std::min(kPieceBytes, n - at));
    return written;
}
