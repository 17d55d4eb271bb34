// The player's skin: the bitmap pieces by resource id and the composition of the
// background for a window of any size.
#pragma once

#include <QPixmap>

// Resource ids of the skin's images. Every id has a 1x image and a 2x image for high-DPI
// screens; sizes are given in logical pixels (w x h).
enum SkinBitmap : int {
    kFbUp = 154,  // 24 x 17 fast back: up, focused, pressed
    kFbFocused = 155,
    kFbPressed = 156,
    kFfUp = 157,  // 24 x 17 fast forward
    kFfFocused = 158,
    kFfPressed = 159,
    kStopUp = 160,  // 32 x 17 stop
    kStopFocused = 161,
    kStopPressed = 162,
    kPlayUp = 163,  // 38 x 38 play
    kPlayFocused = 164,
    kPlayPressed = 165,
    kPauseUp = 166,  // 38 x 38 pause
    kPauseFocused = 167,
    kPausePressed = 168,
    kSpeedUp = 169,  // 32 x 17 speed
    kSpeedFocused = 170,
    kSpeedPressed = 171,
    kVolumeDownUp = 177,  // 14 x 14 volume down
    kVolumeDownFocused = 178,
    kVolumeUpUp = 179,  // 14 x 14 volume up
    kVolumeUpFocused = 180,
    kBottomBand = 181,      // 2 x 92
    kTransportPanel = 182,  // 172 x 47, behind the buttons
    kBackgroundFill = 183,  // 2 x 2
    kDurationLabel = 184,   // 40 x 8, the word "Duration:"
    kBottomLeft = 185,      // 8 x 94
    kLeftEdge = 186,        // 8 x 2
    kTopLeft = 187,         // 8 x 36
    kTitleLogo = 188,       // 86 x 20, icon and name
    kBanner = 189,          // 160 x 40, envelope and speaker with the title
    kBottomRight = 190,     // 8 x 94
    kRightEdge = 191,       // 8 x 2
    kTopRight = 192,        // 8 x 36
    kTopBand = 193,         // 2 x 33
    kVolumeLabel = 194,     // 35 x 8, the word "Volume:"
    kCloseBox = 195,        // 17 x 15
};

// Registers the player's built-in images and help page (the library is linked statically, so
// nothing else pulls its resources in). Safe to call more than once.
void InitPlayerResources();

// The resource file name of a skin image ("play_up" for kPlayUp); empty for an unknown id.
const char* SkinBitmapName(int id);

// Loads a skin image for a screen of devicePixelRatio: the 2x image when the ratio is above 1
// (its device pixel ratio set to 2, so its logical size is the 1x size), else the 1x image.
// A null pixmap for an unknown id.
QPixmap LoadSkinBitmap(int id, qreal devicePixelRatio = 1.0);

// The background of a usable area of width x height logical pixels, drawn from the pieces
// at devicePixelRatio, every piece and offset scale times its size. Null when the size is
// empty.
QPixmap ComposeBackground(int width, int height, qreal devicePixelRatio = 1.0, int scale = 1);
