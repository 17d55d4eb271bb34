#include "sound/oki_adpcm.h"

#include <algorithm>

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

// Phase 0 to 3 output: a single-precision dot product of the newest history values with
// every fourth tap, each product and partial sum rounded to float.
int16_t InterpolatedSample(const OkiAdpcmState& state) {
    const int taps = (81 + static_cast<int>(state.phase)) / 4;
    float sum = 0.0f;
    for (int k = 0; k < taps; ++k) {
        const float product =
            static_cast<float>(state.history[(state.historyIndex + 31 - k) & 31]) *
            Tap(78 + static_cast<int>(state.phase) - 4 * k);
        sum = sum + product;
    }
    // Truncation toward zero; only the low 16 bits are kept (no saturation).
    const auto value = static_cast<int32_t>(static_cast<double>(sum) * 4.0);
    return static_cast<int16_t>(static_cast<uint16_t>(static_cast<uint32_t>(value)));
}

}  // namespace

int16_t OkiDecodeNibble(OkiAdpcmState& state, uint8_t code) {
    const int32_t step = kStepTable[state.stepIndex];
    int32_t diff = step >> 3;
    if (code & 1) diff += step >> 2;
    if (code & 2) diff += step >> 1;
    if (code & 4) diff += step;
    if (code & 8) diff = -diff;
    const int32_t sample = std::clamp(state.lastSample + diff, -2048, 2047);
    state.lastSample = static_cast<int16_t>(sample);
    state.stepIndex =
        static_cast<int16_t>(std::clamp(state.stepIndex + kIndexAdjust[code & 7], 0, 48));
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
    if (!state_ || n == 0) return 0;
    OkiAdpcmState& s = *state_;
    size_t written = 0;
    if (s.bitRate == 32000) {
        for (size_t i = 0; i < n; ++i) {
            out[written++] = static_cast<int16_t>(OkiDecodeNibble(s, in[i] >> 4) * 16);
            out[written++] = static_cast<int16_t>(OkiDecodeNibble(s, in[i] & 0x0F) * 16);
        }
        return written;
    }
    size_t position = 0;
    bool highNibble = true;
    do {
        if (s.phase != 0) {
            const uint8_t code = highNibble ? in[position] >> 4 : in[position++] & 0x0F;
            highNibble = !highNibble;
            s.history[s.historyIndex] = static_cast<int16_t>(OkiDecodeNibble(s, code) * 16);
            s.historyIndex = (s.historyIndex + 1) & 31;
        }
        out[written++] = InterpolatedSample(s);
        s.phase = (s.phase + 1) & 3;
    } while (position < n);
    return written;
}
