// Writes 16-bit samples to a file as little-endian, whatever the host's byte order.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>

#include "platform/file.h"

// `samples` may be byte-swapped in place on big-endian hosts.
inline void WriteSamples(CFile& file, int16_t* samples, size_t count) {
    if constexpr (std::endian::native == std::endian::big) {
        for (size_t i = 0; i < count; ++i) {
            const auto u = static_cast<uint16_t>(samples[i]);
            samples[i] = static_cast<int16_t>(static_cast<uint16_t>((u >> 8) | (u << 8)));
        }
    }
    file.Write(samples, count * sizeof(int16_t));
}
