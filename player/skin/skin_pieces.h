// The skin's pieces, described once: resource id, image file name (player/res/skin/NAME.png
// and NAME@2x.png) and size in logical pixels. The skin loads them by id, the painter draws
// them at these sizes, and the layout test checks the images against them.
#pragma once

#include <array>

// Resource ids of the skin's images.
enum SkinBitmap : int {
    kFbUp = 154,  // fast back: up, focused, pressed
    kFbFocused = 155,
    kFbPressed = 156,
    kFfUp = 157,  // fast forward
    kFfFocused = 158,
    kFfPressed = 159,
    kStopUp = 160,
    kStopFocused = 161,
    kStopPressed = 162,
    kPlayUp = 163,
    kPlayFocused = 164,
    kPlayPressed = 165,
    kPauseUp = 166,
    kPauseFocused = 167,
    kPausePressed = 168,
    kSpeedUp = 169,
    kSpeedFocused = 170,
    kSpeedPressed = 171,
    kVolumeDownUp = 177,
    kVolumeDownFocused = 178,
    kVolumeUpUp = 179,
    kVolumeUpFocused = 180,
    kBottomBand = 181,
    kTransportPanel = 182,  // behind the buttons
    kBackgroundFill = 183,
    kDurationLabel = 184,  // the word "Duration:"
    kBottomLeft = 185,
    kLeftEdge = 186,
    kTopLeft = 187,
    kTitleLogo = 188,  // icon and name
    kBanner = 189,     // envelope and speaker with the title
    kBottomRight = 190,
    kRightEdge = 191,
    kTopRight = 192,
    kTopBand = 193,
    kVolumeLabel = 194,  // the word "Volume:"
    kCloseBox = 195,
};

struct SkinPiece {
    SkinBitmap id;
    const char* name;
    int width, height;
};

inline constexpr std::array kSkinPieces{
    SkinPiece{kFbUp, "fb_up", 24, 17},
    SkinPiece{kFbFocused, "fb_focused", 24, 17},
    SkinPiece{kFbPressed, "fb_pressed", 24, 17},
    SkinPiece{kFfUp, "ff_up", 24, 17},
    SkinPiece{kFfFocused, "ff_focused", 24, 17},
    SkinPiece{kFfPressed, "ff_pressed", 24, 17},
    SkinPiece{kStopUp, "stop_up", 32, 17},
    SkinPiece{kStopFocused, "stop_focused", 32, 17},
    SkinPiece{kStopPressed, "stop_pressed", 32, 17},
    SkinPiece{kPlayUp, "play_up", 38, 38},
    SkinPiece{kPlayFocused, "play_focused", 38, 38},
    SkinPiece{kPlayPressed, "play_pressed", 38, 38},
    SkinPiece{kPauseUp, "pause_up", 38, 38},
    SkinPiece{kPauseFocused, "pause_focused", 38, 38},
    SkinPiece{kPausePressed, "pause_pressed", 38, 38},
    SkinPiece{kSpeedUp, "speed_up", 32, 17},
    SkinPiece{kSpeedFocused, "speed_focused", 32, 17},
    SkinPiece{kSpeedPressed, "speed_pressed", 32, 17},
    SkinPiece{kVolumeDownUp, "volume_down_up", 14, 14},
    SkinPiece{kVolumeDownFocused, "volume_down_focused", 14, 14},
    SkinPiece{kVolumeUpUp, "volume_up_up", 14, 14},
    SkinPiece{kVolumeUpFocused, "volume_up_focused", 14, 14},
    SkinPiece{kBottomBand, "bottom_band", 2, 92},
    SkinPiece{kTransportPanel, "transport_panel", 172, 47},
    SkinPiece{kBackgroundFill, "background_fill", 2, 2},
    SkinPiece{kDurationLabel, "duration_label", 40, 8},
    SkinPiece{kBottomLeft, "bottom_left", 8, 94},
    SkinPiece{kLeftEdge, "left_edge", 8, 2},
    SkinPiece{kTopLeft, "top_left", 8, 36},
    SkinPiece{kTitleLogo, "title_logo", 86, 20},
    SkinPiece{kBanner, "banner", 160, 40},
    SkinPiece{kBottomRight, "bottom_right", 8, 94},
    SkinPiece{kRightEdge, "right_edge", 8, 2},
    SkinPiece{kTopRight, "top_right", 8, 36},
    SkinPiece{kTopBand, "top_band", 2, 33},
    SkinPiece{kVolumeLabel, "volume_label", 35, 8},
    SkinPiece{kCloseBox, "close_box", 17, 15},
};

// The piece of that id; nullptr for an unknown id.
constexpr const SkinPiece* FindSkinPiece(int id) {
    for (const SkinPiece& piece : kSkinPieces) {
        if (piece.id == id) return &piece;
    }
    return nullptr;
}
