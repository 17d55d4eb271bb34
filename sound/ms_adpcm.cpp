#include "sound/ms_adpcm.h"

#include <algorithm>

namespace {

constexpr int32_t kAdaptation[16] = {230, 230, 230, 230, 307, 409, 512, 614,
                                     768, 614, 512, 409, 307, 230, 230, 230};

constexpr MsAdpcmCoefficients kStandardPairs[7] = {{256, 0}, {512, -256}, {0, 0},     {192, 64},
                                                   {240, 0}, {460, -208}, {392, -232}};

int16_t Le16(const uint8_t* p) {
    return static_cast<int16_t>(p[0] | (p[1] << 8));
}

}  // namespace

std::vector<MsAdpcmCoefficients> MsAdpcmCoefficientTable(const std::vector<uint8_t>& fmtExtra) {
    if (fmtExtra.size() >= 6) {
        const int32_t count = Le16(fmtExtra.data() + 4);
        if (count > 0 && fmtExtra.size() - 6 >= 4 * static_cast<size_t>(count)) {
            std::vector<MsAdpcmCoefficients> table(static_cast<size_t>(count));
            for (int32_t i = 0; i < count; ++i) {
                const uint8_t* pair = fmtExtra.data() + 6 + 4 * i;
                table[i] = {Le16(pair), Le16(pair + 2)};
            }
            return table;
        }
    }
    return {std::begin(kStandardPairs), std::end(kStandardPairs)};
}

uint32_t MsAdpcmSamplesPerBlock(uint32_t channels, uint32_t m) {
    if (channels == 0) return 0;
    const uint64_t header = 7ull * channels;
    if (m < header) return 0;
    return static_cast<uint32_t>(2 * (m - header) / channels + 2);
}

int16_t MsAdpcmDecodeNibble(uint8_t code, MsAdpcmChannelState& state, int32_t sample1,
                            int32_t sample2) {
    const int32_t step = state.step;
    int16_t next = static_cast<int16_t>((kAdaptation[code & 0x0F] * step) >> 8);
    if (next < 16) next = 16;
    state.step = next;
    // Formed in 64 bits: two products of 16-bit values can overflow a 32-bit sum.
    const int64_t prediction = (static_cast<int64_t>(sample1) * state.first +
                                static_cast<int64_t>(sample2) * state.second) >>
                               8;
    const int32_t signedCode = code >= 8 ? code - 16 : code;
    const int64_t sample = prediction + static_cast<int64_t>(signedCode) * step;
    return static_cast<int16_t>(std::clamp<int64_t>(sample, -32768, 32767));
}

void MsAdpcmBlockExpand(uint32_t channels, const std::vector<MsAdpcmCoefficients>& coefficients,
                        const uint8_t* block, int16_t* out, uint32_t n,
                        std::vector<MsAdpcmChannelState>& states) {
    if (n == 0 || channels == 0) return;
    const size_t c = channels;
    states.resize(c);
    const uint8_t* p = block;
    for (size_t ch = 0; ch < c; ++ch) {
        const size_t index = *p++;
        const MsAdpcmCoefficients pair = coefficients[index < coefficients.size() ? index : 0];
        states[ch].first = pair.first;
        states[ch].second = pair.second;
    }
    for (size_t ch = 0; ch < c; ++ch, p += 2) states[ch].step = Le16(p);
    for (size_t ch = 0; ch < c; ++ch, p += 2) out[c + ch] = Le16(p);
    for (size_t ch = 0; ch < c; ++ch, p += 2) out[ch] = Le16(p);

    const size_t total = static_cast<size_t>(n) * c;
    for (size_t k = 2 * c; k < total; k += 2, ++p) {
        out[k] = MsAdpcmDecodeNibble(*p >> 4, states[k % c], out[k - c], out[k - 2 * c]);
        out[k + 1] =
            MsAdpcmDecodeNibble(*p & 0x0F, states[(k + 1) % c], out[k + 1 - c], out[k + 1 - 2 * c]);
    }
}
