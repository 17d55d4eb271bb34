#include "player/skin/bitmap_button.h"

#include <QKeyEvent>
#include <QPainter>

BitmapButton::BitmapButton(const QString& text, QWidget* parent) : QAbstractButton(parent) {
    setText(text);  // for accessibility only; never drawn
    setFocusPolicy(Qt::StrongFocus);
    setCursor(Qt::PointingHandCursor);
}

void BitmapButton::SetImages(QPixmap up, QPixmap pressed, QPixmap focused, QPixmap disabled) {
    up_ = std::move(up);
    pressed_ = std::move(pressed);
    focused_ = std::move(focused);
    disabled_ = std::move(disabled);
    update();
}

const QPixmap& BitmapButton::CurrentImage() const {
    if (isDown() && !pressed_.isNull()) return pressed_;
    if (hasFocus() && focusRingShown_ && !focused_.isNull()) return focused_;
    if (!isEnabled() && !disabled_.isNull()) return disabled_;
    return up_;
}

void BitmapButton::SetFocusRingShown(bool shown) {
    if (shown == focusRingShown_) return;
    focusRingShown_ = shown;
    update();
}

void BitmapButton::keyPressEvent(QKeyEvent* event) {
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) &&
        event->modifiers() == Qt::NoModifier) {
        click();
        return;
    }
    QAbstractButton::keyPressEvent(event);
}

QSize BitmapButton::sizeHint() const {
    return up_.deviceIndependentSize().toSize();
}

void BitmapButton::paintEvent(QPaintEvent*) {
    // The image fills the button: at its own size, or at the skin's scale in a large window.
    QPainter painter(this);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawPixmap(rect(), CurrentImage());
}
