#include "sound/g711.h"

#include <array>

namespace {

constexpr int16_t ALawSample(uint8_t a) {
    const int x = a ^ 0x55;
    const int mantissa = x & 0x0F;
    const int segment = (x & 0x70) >> 4;
    int t = mantissa * 16 + (segment == 0 ? 8 : 264);
    if (segment >= 2) t <<= segment - 1;
    return static_cast<int16_t>((x & 0x80) ? t : -t);
}

constexpr int16_t MuLawSample(uint8_t u) {
    const int x = static_cast<uint8_t>(~u);
    const int mantissa = x & 0x0F;
    const int segment = (x & 0x70) >> 4;
    const int t = (mantissa * 8 + 132) << segment;
    return static_cast<int16_t>((x & 0x80) ? 132 - t : t - 132);
}

template <int16_t (*Expand)(uint8_t)>
constexpr std::array<int16_t, 256> MakeTable() {
    std::array<int16_t, 256> table{};
    for (int i = 0; i < 256; ++i) table[i] = Expand(static_cast<uint8_t>(i));
    return table;
}

constexpr auto kALaw = MakeTable<ALawSample>();
constexpr auto kMuLaw = MakeTable<MuLawSample>();

}  // namespace

void ALawToLinear(const uint8_t* in, int16_t* out, size_t n) {
    for (size_t i = 0; i < n; ++i) out[i] = kALaw[in[i]];
}

void MuLawToLinear(const uint8_t* in, int16_t* out, size_t n) {
    for (size_t i = 0; i < n; ++i) out[i] = kMuLaw[in[i]];
}
