// The skin's geometry and colours, in one place. Every position is in logical pixels of the
// usable area (the window less its bottom bar): W is its width, H its height, C = W / 2.
// Buttons and texts hang from the bottom edge and the centre, so they keep their place
// against the transport panel whatever the window's size; the waveform takes the room that
// grows. In a large window every size and offset below is multiplied by the skin's scale
// (SkinScale), and the 2x artwork is drawn.
#pragma once

#include "player/skin/skin.h"
#include "player/skin/skin_palette.h"
#include "player/skin/transparent_static.h"

namespace skin {

inline constexpr ColorRef kDisplayBackColor = palette::kCream;  // light cream behind the displays
// Brown text of the displays and the file-name line: 6:1 against the cream, well above the
// 4.5:1 that small text needs to be read easily.
inline constexpr ColorRef kDisplayTextColor = palette::kBrownMid;
inline constexpr ColorRef kBarColor = palette::kBrownDark;  // dark brown bottom bar

// The waveform on the parchment panel: the peaks still to play in the brown of
// the artwork (3.3:1 against the panel, above the 3:1 a graphic needs), the played part on a
// darker parchment with darker peaks, and the playhead in the deepest brown.
inline constexpr ColorRef kWaveformColor = palette::kBrown;
inline constexpr ColorRef kWaveformPlayedColor = palette::kBrownDark;
inline constexpr ColorRef kWaveformPlayedBackColor = palette::kParchmentShade;
inline constexpr ColorRef kPlayheadColor = palette::kBrownDeep;
inline constexpr int kPlayheadWidth = 2;

inline constexpr int kDefaultWidth = 240;
inline constexpr int kDefaultHeight = 320;  // the window, bar included
inline constexpr int kBarHeight = 30;

// The waveform fills the panel between the banner and the file-name line: from
// (10, kWaveformTop) to (W - 10, H - kWaveformDy).
inline constexpr int kWaveformX = 10;
inline constexpr int kWaveformTop = 90;
inline constexpr int kWaveformDy = 114;
inline constexpr int kWaveformMinHeight = 24;

// The list of a folder's messages: alone it fills the waveform's panel; from the large scale
// on, it runs from the banner's top to kListGap above the waveform, which keeps the lower
// (100 - kListShare) percent of the panel.
inline constexpr int kListShare = 60;
inline constexpr int kListGap = 4;
inline constexpr int kListFontPixels = 11;

// Below these the transport row and the banner would overlap other controls, and the
// waveform would have no room.
inline constexpr int kMinimumWidth = 240;
inline constexpr int kMinimumSkinHeight = kWaveformTop + kWaveformMinHeight + kWaveformDy;

// The skin's scale for a window of width x height (bar included): 2 once the window is at
// least twice the default size both ways, so that maximised on a desktop screen the
// controls keep their proportion to the window and are drawn from the 2x artwork, pixel for
// pixel; 1 otherwise.
inline constexpr int kLargeScale = 2;
constexpr int SkinScale(int width, int height) {
    return width >= kLargeScale * kDefaultWidth && height >= kLargeScale * kDefaultHeight
               ? kLargeScale
               : 1;
}

// The displays' row keeps the default width and stays centred under the transport panel in
// a wider window: it starts at DisplayRowLeft and is DisplayRowWidth wide (the whole width
// when the window is narrower).
constexpr int DisplayRowWidth(int W, int scale) {
    return W < kDefaultWidth * scale ? W : kDefaultWidth * scale;
}
constexpr int DisplayRowLeft(int W, int scale) {
    return (W - DisplayRowWidth(W, scale)) / 2;
}

inline constexpr int kDisplayFontPixels = 12;

// A bitmap button: offset of its top-left corner from (C, H) and its images; it has the size
// of its up image.
struct ButtonPlace {
    int dx, dy;  // x = C + dx, y = H - dy
    SkinBitmap up, pressed, focused, disabled;
    constexpr int width() const { return FindSkinPiece(up)->width; }
    constexpr int height() const { return FindSkinPiece(up)->height; }
};

inline constexpr ButtonPlace kPlayPlace{-19, 44, kPlayUp, kPlayPressed, kPlayFocused, kPlayUp};
inline constexpr ButtonPlace kPausePlace{-19, 44, kPauseUp, kPausePressed, kPauseFocused, kPauseUp};
inline constexpr ButtonPlace kFastBackPlace{-78, 34, kFbUp, kFbPressed, kFbFocused, kFbUp};
inline constexpr ButtonPlace kStopPlace{-51, 34, kStopUp, kStopPressed, kStopFocused, kStopUp};
inline constexpr ButtonPlace kSpeedPlace{19, 34, kSpeedUp, kSpeedPressed, kSpeedFocused, kSpeedUp};
inline constexpr ButtonPlace kFastForwardPlace{54, 34, kFfUp, kFfPressed, kFfFocused, kFfUp};
inline constexpr ButtonPlace kVolumeDownPlace{
    -12, 78, kVolumeDownUp, kVolumeDownUp, kVolumeDownFocused, kVolumeDownUp};
inline constexpr ButtonPlace kVolumeUpPlace{
    40, 78, kVolumeUpUp, kVolumeUpUp, kVolumeUpFocused, kVolumeUpUp};

// Texts: the file-name line at (10, H - 110), (W - 20) x 16; the time display at
// (7, H - 78), (C - 19) x 14; the speed display at (W - 30, H - 78), 22 x 14; the volume
// display at (C + 2, H - 78), 38 x 14. In a window wider than the displays' row, the time and
// speed displays' x and the time display's width count from the row instead of the window.
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
inline constexpr int kDisplayGap = 2;  // at least this between a widened display and a button

// Fixed pieces of the composed background. The caption band along the top is the window's
// title bar.
inline constexpr int kCaptionHeight = 33;
inline constexpr int kTitleLogoX = 6, kTitleLogoY = 5;
inline constexpr int kBannerY = 44, kBannerMinX = 8;  // x = (W - w) / 3, at least kBannerMinX
inline constexpr int kLabelDy = 88;  // "Duration:" at x 7 of the displays' row, "Volume:" at C
inline constexpr int kDurationLabelX = 7;
inline constexpr int kCloseBoxFromRight = 25, kCloseBoxY = 8;

// Where a press acts on the surface: the top-left corner opens the menu; the close box's
// area (W - 25 < x < W - 8, 9 <= y <= 22) closes the window.
inline constexpr int kMenuCorner = 28;
inline constexpr int kCloseAreaLeft = 25, kCloseAreaRight = 8;
inline constexpr int kCloseAreaTop = 9, kCloseAreaBottom = 22;

}  // namespace skin
