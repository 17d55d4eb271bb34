// The skin's palette, cream and brown, described once: the artwork is painted from it and
// the window's own colours (displays, bar, waveform) are taken from it.
#pragma once

#include <QColor>
#include <cstdint>

// A colour as 0x00BBGGRR.
using ColorRef = uint32_t;

inline QColor ColorFromRef(ColorRef color) {
    return QColor(color & 0xFF, (color >> 8) & 0xFF, (color >> 16) & 0xFF);
}

namespace palette {

inline constexpr ColorRef kCream = 0xDDEAF5;
inline constexpr ColorRef kParchment = 0xC8DEEB;
inline constexpr ColorRef kParchmentShade = 0xABC8D9;
inline constexpr ColorRef kBrown = 0x427294;
inline constexpr ColorRef kBrownMid = 0x2E4E6B;
inline constexpr ColorRef kBrownDark = 0x1D2C3B;
inline constexpr ColorRef kBrownDeep = 0x0F1924;
inline constexpr ColorRef kBrownHighlight = 0x5F8DB0;
inline constexpr ColorRef kGold = 0x4CC9F2;
inline constexpr ColorRef kLabel = 0xB8D6E8;

}  // namespace palette
