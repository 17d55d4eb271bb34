// The player window's layout: the composed skin and the place of every control, counted
// from the usable area's width W and height H (the window less the bottom bar).
#include <QLabel>
#include <QWidget>
#include <algorithm>

#include "player/player_dialog.h"
#include "player/skin/bitmap_button.h"
#include "player/skin/skin.h"
#include "player/skin/skin_metrics.h"
#include "player/skin/transparent_static.h"

void PlayerDialog::LayoutControls() {
    const int W = width();
    const int H = height() - skin::kBarHeight;
    const qreal ratio = devicePixelRatioF();

    bar->setGeometry(0, H, W, skin::kBarHeight);

    const QPixmap composed = ComposeBackground(W, H, ratio);
    if (!composed.isNull()) {
        background->setPixmap(composed);
        background->setGeometry(0, 0, W, H);
    }

    const int C = W / 2;
    auto place = [&](BitmapButton* button, const skin::ButtonPlace& p) {
        button->setGeometry(C + p.dx, H - p.dy, p.width, p.height);
        button->SetImages(LoadSkinBitmap(p.up, ratio), LoadSkinBitmap(p.pressed, ratio),
                          LoadSkinBitmap(p.focused, ratio), LoadSkinBitmap(p.disabled, ratio));
    };
    place(playButton, skin::kPlayPlace);
    place(fastBackButton, skin::kFastBackPlace);
    place(stopButton, skin::kStopPlace);
    place(pauseButton, skin::kPausePlace);
    place(speedButton, skin::kSpeedPlace);
    place(fastForwardButton, skin::kFastForwardPlace);
    place(volumeDownButton, skin::kVolumeDownPlace);
    place(volumeUpButton, skin::kVolumeUpPlace);

    const CTransparentStatic::TextFormat formats[] = {
        CTransparentStatic::Left, CTransparentStatic::Right, CTransparentStatic::Centre};
    CTransparentStatic* displays[] = {timeDisplay, speedDisplay, volumeDisplay};
    for (int i = 0; i < 3; ++i) {
        displays[i]->SetTextFormat(formats[i]);
        displays[i]->SetBackColor(skin::kDisplayBackColor);
        displays[i]->SetTextColor(skin::kDisplayTextColor);
    }

    // Font A (bold) for the displays, font B (the dialog's weight) for the file-name line,
    // both with 12-pixel characters, antialiased.
    QFont fontA = font();
    fontA.setPixelSize(skin::kDisplayFontPixels);
    fontA.setStyleStrategy(QFont::PreferAntialias);
    QFont fontB = fontA;
    fontA.setWeight(QFont::Bold);
    for (CTransparentStatic* display : displays) display->setFont(fontA);
    fileNameLine->setFont(fontB);

    fileNameLine->setGeometry(skin::kFileNameX, H - skin::kFileNameDy, W - 2 * skin::kFileNameX,
                              skin::kFileNameHeight);
    const int displayY = H - skin::kDisplayDy;
    timeDisplay->setGeometry(skin::kTimeX, displayY, C + skin::kPlayPlace.dx, skin::kDisplayHeight);
    PlaceSpeedDisplay();
    volumeDisplay->setGeometry(C + skin::kVolumeDisplayDx, displayY, skin::kVolumeDisplayWidth,
                               skin::kDisplayHeight);
    ShowFileName();
}

void PlayerDialog::PlaceSpeedDisplay() {
    // Its right edge stays put; a speed such as "x1.75" widens it to the left rather than
    // shrinking its text.
    const int text = speedDisplay->fontMetrics().horizontalAdvance(speedDisplay->Text()) + 4;
    const int width = std::max(skin::kSpeedDisplayWidth, text);
    const int right = this->width() - skin::kSpeedDisplayFromRight + skin::kSpeedDisplayWidth;
    speedDisplay->setGeometry(right - width, height() - skin::kBarHeight - skin::kDisplayDy, width,
                              skin::kDisplayHeight);
}
