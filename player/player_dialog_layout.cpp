// The player window's layout: the composed skin and the place of every control, counted
// from the usable area's width W and height H (the window less the bottom bar), at the skin's
// scale s for the window's size.
#include <QLabel>
#include <QWidget>
#include <algorithm>

#include "player/inbox_browser.h"
#include "player/inbox_view.h"
#include "player/player_dialog.h"
#include "player/skin/bitmap_button.h"
#include "player/skin/skin.h"
#include "player/skin/skin_metrics.h"
#include "player/skin/transparent_static.h"
#include "player/waveform_view.h"

void PlayerDialog::LayoutControls() {
    const int s = skin::SkinScale(width(), height());
    const int W = width();
    const int H = height() - skin::kBarHeight * s;
    const qreal ratio = devicePixelRatioF();
    if (s != skinScale_) ScaleBar(s);
    skinScale_ = s;

    bar_->setGeometry(0, H, W, skin::kBarHeight * s);

    const QPixmap composed = ComposeBackground(W, H, ratio, s);
    if (!composed.isNull()) {
        background_->setPixmap(composed);
        background_->setGeometry(0, 0, W, H);
    }

    const int C = W / 2;
    // At a larger scale the button draws the 2x image at its own size.
    const qreal images = ratio * s;
    auto place = [&](BitmapButton* button, const skin::ButtonPlace& p) {
        button->setGeometry(C + p.dx * s, H - p.dy * s, p.width() * s, p.height() * s);
        button->SetImages(LoadSkinBitmap(p.up, images), LoadSkinBitmap(p.pressed, images),
                          LoadSkinBitmap(p.focused, images), LoadSkinBitmap(p.disabled, images));
    };
    place(playButton_, skin::kPlayPlace);
    place(fastBackButton_, skin::kFastBackPlace);
    place(stopButton_, skin::kStopPlace);
    place(pauseButton_, skin::kPausePlace);
    place(speedButton_, skin::kSpeedPlace);
    place(fastForwardButton_, skin::kFastForwardPlace);
    place(volumeDownButton_, skin::kVolumeDownPlace);
    place(volumeUpButton_, skin::kVolumeUpPlace);

    const CTransparentStatic::TextFormat formats[] = {
        CTransparentStatic::Left, CTransparentStatic::Right, CTransparentStatic::Centre};
    CTransparentStatic* displays[] = {timeDisplay_, speedDisplay_, volumeDisplay_};
    for (int i = 0; i < 3; ++i) {
        displays[i]->SetTextFormat(formats[i]);
        displays[i]->SetBackColor(skin::kDisplayBackColor);
        displays[i]->SetTextColor(skin::kDisplayTextColor);
    }

    // Font A (bold) for the displays, font B (the dialog's weight) for the file-name line,
    // both with 12-pixel characters, antialiased.
    QFont fontA = font();
    fontA.setPixelSize(skin::kDisplayFontPixels * s);
    fontA.setStyleStrategy(QFont::PreferAntialias);
    QFont fontB = fontA;
    fontA.setWeight(QFont::Bold);
    for (CTransparentStatic* display : displays) display->setFont(fontA);
    fileNameLine_->setFont(fontB);

    fileNameLine_->setGeometry(skin::kFileNameX * s, H - skin::kFileNameDy * s,
                               W - 2 * skin::kFileNameX * s, skin::kFileNameHeight * s);
    const int displayY = H - skin::kDisplayDy * s;
    const int displayHeight = skin::kDisplayHeight * s;
    const int row = skin::DisplayRowLeft(W, s);
    const int rowWidth = skin::DisplayRowWidth(W, s);
    timeDisplay_->setGeometry(row + skin::kTimeX * s, displayY,
                              rowWidth / 2 + skin::kPlayPlace.dx * s, displayHeight);
    PlaceSpeedDisplay();
    volumeDisplay_->setGeometry(C + skin::kVolumeDisplayDx * s, displayY,
                                skin::kVolumeDisplayWidth * s, displayHeight);

    // The cream panel: the waveform's, or the list's while it shows alone. From twice the
    // default size on, both show: the list from the banner's top down, over the banner, and
    // the waveform below it in the panel's lower part.
    const int panelTop = skin::kWaveformTop * s;
    const QRect panel(skin::kWaveformX * s, panelTop, W - 2 * skin::kWaveformX * s,
                      H - skin::kWaveformDy * s - panelTop);
    if (inbox_.IsOpen() && s >= skin::kLargeScale) {
        const int top = skin::kBannerY * s;
        const int waveHeight =
            std::max(skin::kWaveformMinHeight * s, panel.height() * (100 - skin::kListShare) / 100);
        const int waveTop = panel.bottom() + 1 - waveHeight;
        list_->setGeometry(panel.x(), top, panel.width(), waveTop - skin::kListGap * s - top);
        waveform_->setGeometry(panel.x(), waveTop, panel.width(), waveHeight);
    } else {
        list_->setGeometry(panel);
        waveform_->setGeometry(panel);
    }
    waveform_->SetSkinScale(s);
    QFont listFont = fontB;
    listFont.setPixelSize(skin::kListFontPixels * s);
    list_->setFont(listFont);
    list_->SetSkinScale(s);
    ShowInbox();
    ShowFileName();
}

void PlayerDialog::PlaceSpeedDisplay() {
    // Its right edge stays put; a speed such as "x1.75" widens it to the left rather than
    // shrinking its text, as far as the volume up button leaves room.
    const int s = skinScale_;
    const int W = width();
    const int text = speedDisplay_->fontMetrics().horizontalAdvance(speedDisplay_->Text()) + 4;
    const int widthNeeded = std::max(skin::kSpeedDisplayWidth * s, text);
    const int right = skin::DisplayRowLeft(W, s) + skin::DisplayRowWidth(W, s) -
                      (skin::kSpeedDisplayFromRight - skin::kSpeedDisplayWidth) * s;
    const int y = height() - (skin::kBarHeight + skin::kDisplayDy) * s;
    const skin::ButtonPlace& volumeUp = skin::kVolumeUpPlace;
    const int least = W / 2 + (volumeUp.dx + volumeUp.width() + skin::kDisplayGap) * s;
    const int left = std::max(right - widthNeeded, least);
    speedDisplay_->setGeometry(left, y, right - left, skin::kDisplayHeight * s);
}
