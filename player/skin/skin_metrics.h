// The skin's geometry and colours, in one place. Every position is in logical pixels of the
// usable area (the window less its bottom bar): W is its width, H its height, C = W / 2.
// Buttons and texts hang from the bottom edge and the centre, so they keep their place
// against the transport panel whatever the window's size.
#pragma once

#include "player/skin/skin.h"
#include "player/skin/transparent_static.h"

namespace skin {

inline constexpr ColorRef kDisplayBackColor = 0xDDEAF5;  // light cream behind the displays
// Brown text of the displays and the file-name line: 6:1 against the cream, well above the
// 4.5:1 that small text needs to be read easily.
inline constexpr ColorRef kDisplayTextColor = 0x2E4E6B;
inline constexpr ColorRef kBarColor = 0x1D2C3B;  // dark brown bottom bar

inline constexpr int kDefaultWidth = 240;
inline constexpr int kDefaultHeight = 320;  // the window, bar included
inline constexpr int kBarHeight = 30;
// Below these the transport row and the banner would overlap other controls.
inline constexpr int kMinimumWidth = 200;
inline constexpr int kMinimumSkinHeight = 200;

inline constexpr int kDisplayFontPixels = 12;

// A bitmap button: offset of its top-left corner from (C, H), its size and its images.
struct ButtonPlace {
    int dx, dy;  // x = C + dx, y = H - dy
    int width, height;
    SkinBitmap up, pressed, focused, disabled;
};

inline constexpr ButtonPlace kPlayPlace{-19,     44,           38,           38,
                                        kPlayUp, kPlayPressed, kPlayFocused, kPlayUp};
inline constexpr ButtonPlace kPausePlace{-19,           44,      38, 38, kPauseUp, kPausePressed,
                                         kPauseFocused, kPauseUp};
inline constexpr ButtonPlace kFastBackPlace{-78, 34, 24, 17, kFbUp, kFbPressed, kFbFocused, kFbUp};
inline constexpr ButtonPlace kStopPlace{-51,     34,           32,           17,
                                        kStopUp, kStopPressed, kStopFocused, kStopUp};
inline constexpr ButtonPlace kSpeedPlace{
    19, 34, 32, 17, kSpeedUp, kSpeedPressed, kSpeedFocused, kSpeedUp};
inline constexpr ButtonPlace kFastForwardPlace{54,    34,         24,         17,
                                               kFfUp, kFfPressed, kFfFocused, kFfUp};
inline constexpr ButtonPlace kVolumeDownPlace{
    -12, 78, 14, 14, kVolumeDownUp, kVolumeDownUp, kVolumeDownFocused, kVolumeDownUp};
inline constexpr ButtonPlace kVolumeUpPlace{
    40, 78, 14, 14, kVolumeUpUp, kVolumeUpUp, kVolumeUpFocused, kVolumeUpUp};

// Texts: the file-name line at (10, H - 110), (W - 20) x 16; the time display at
// (7, H - 78), (C - 19) x 14; the speed display at (W - 30, H - 78), 22 x 14; the volume
// display at (C + 2, H - 78), 38 x 14.
inline constexpr int kFileNameX = 10;
inline constexpr int kFileNameDy = 110;
inline constexpr int kFileNameHeight = 16;
inline constexpr int kDisplayDy = 78;
inline constexpr int kDisplayHeight = 14;
inline constexpr int kTimeX = 7;
inline constexpr int kSpeedDisplayFromRight = 30;
inline constexpr int kSpeedDisplayWidth = 22;
inline constexpr int kVolumeDisplayDx = 2;
inline constexpr int kVolumeDisplayWidth = 38;

// Fixed pieces of the composed background.
inline constexpr int kTitleLogoX = 6, kTitleLogoY = 5;
inline constexpr int kBannerY = 44, kBannerMinX = 8;  // x = (W - w) / 3, at least kBannerMinX
inline constexpr int kLabelDy = 88;                   // "Duration:" at x 7, "Volume:" at C
inline constexpr int kDurationLabelX = 7;
inline constexpr int kCloseBoxFromRight = 25, kCloseBoxY = 8;

// Where a press acts on the surface: the top-left corner opens the menu; the close box's
// area (W - 25 < x < W - 8, 9 <= y <= 22) closes the window.
inline constexpr int kMenuCorner = 28;
inline constexpr int kCloseAreaLeft = 25, kCloseAreaRight = 8;
inline constexpr int kCloseAreaTop = 9, kCloseAreaBottom = 22;

}  // namespace skin
