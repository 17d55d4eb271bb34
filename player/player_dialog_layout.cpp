// The player window's layout: the composed skin and the place of every control, counted
// from the usable area's width W and height H (the window less the bottom bar).
#include <QLabel>
#include <QWidget>

#include "player/player_dialog.h"
#include "player/skin/bitmap_button.h"
#include "player/skin/skin.h"
#include "player/skin/transparent_static.h"

namespace {

constexpr int kDisplayFontPixels = 12;

struct ButtonPlace {
    int dx;  // from the centre C = W / 2
    int dy;  // from the bottom H
    int width, height;
    int up, pressed, focused, disabled;
};

}  // namespace

void PlayerDialog::LayoutControls() {
    const int W = width();
    const int H = height() - BarHeight();
    const qreal ratio = devicePixelRatioF();

    bar->setGeometry(0, H, W, BarHeight());

    backgroundBitmap = ComposeBackground(W, H, ratio);
    if (!backgroundBitmap.isNull()) {
        background->setPixmap(backgroundBitmap);
        background->setGeometry(0, 0, W, H);
    }

    const int C = W / 2;
    auto place = [&](BitmapButton* button, const ButtonPlace& p) {
        button->setGeometry(C + p.dx, H - p.dy, p.width, p.height);
        button->SetImages(LoadSkinBitmap(p.up, ratio), LoadSkinBitmap(p.pressed, ratio),
                          LoadSkinBitmap(p.focused, ratio), LoadSkinBitmap(p.disabled, ratio));
    };
    place(playButton, {-19, 44, 38, 38, kPlayUp, kPlayPressed, kPlayFocused, kPlayUp});
    place(fastBackButton, {-78, 34, 24, 17, kFbUp, kFbPressed, kFbFocused, kFbUp});
    place(stopButton, {-51, 34, 32, 17, kStopUp, kStopPressed, kStopFocused, kStopUp});
    place(pauseButton, {-19, 44, 38, 38, kPauseUp, kPausePressed, kPauseFocused, kPauseUp});
    place(speedButton, {19, 34, 32, 17, kSpeedUp, kSpeedPressed, kSpeedFocused, kSpeedUp});
    place(fastForwardButton, {54, 34, 24, 17, kFfUp, kFfPressed, kFfFocused, kFfUp});
    place(volumeDownButton,
          {-12, 78, 14, 14, kVolumeDownUp, kVolumeDownUp, kVolumeDownFocused, kVolumeDownUp});
    place(volumeUpButton,
          {40, 78, 14, 14, kVolumeUpUp, kVolumeUpUp, kVolumeUpFocused, kVolumeUpUp});

    const CTransparentStatic::TextFormat formats[] = {
        CTransparentStatic::Left, CTransparentStatic::Right, CTransparentStatic::Centre};
    CTransparentStatic* displays[] = {timeDisplay, speedDisplay, volumeDisplay};
    for (int i = 0; i < 3; ++i) {
        displays[i]->SetTextFormat(formats[i]);
        displays[i]->SetBackColor(kDisplayBackColor);
        displays[i]->SetTextColor(kDisplayTextColor);
    }

    // Font A (bold) for the displays, font B (the dialog's weight) for the file-name line,
    // both with 12-pixel characters, antialiased.
    QFont fontA = font();
    fontA.setPixelSize(kDisplayFontPixels);
    fontA.setStyleStrategy(QFont::PreferAntialias);
    QFont fontB = fontA;
    fontA.setWeight(QFont::Bold);
    for (CTransparentStatic* display : displays) display->setFont(fontA);
    fileNameLine->setFont(fontB);

    fileNameLine->setGeometry(10, H - 110, W - 20, 16);
    timeDisplay->setGeometry(7, H - 78, C - 19, 14);
    speedDisplay->setGeometry(W - 30, H - 78, 22, 14);
    volumeDisplay->setGeometry(C + 2, H - 78, 38, 14);
}
