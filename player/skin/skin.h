// The player's skin: the bitmap pieces by resource id and the composition of the
// background for a window of any size.
#pragma once

#include <QPixmap>

#include "player/skin/skin_pieces.h"

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
