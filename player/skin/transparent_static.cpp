#include "player/skin/transparent_static.h"

#include <QAccessible>
#include <QFontInfo>
#include <QFontMetrics>
#include <QPainter>

void ShowToScreenReaders(QWidget* control, const QString& shown) {
    if (control->accessibleDescription() == shown) return;
    control->setAccessibleDescription(shown);
    QAccessibleEvent changed(control, QAccessible::DescriptionChanged);
    QAccessible::updateAccessibility(&changed);
}

CTransparentStatic::CTransparentStatic(const QString& text, QWidget* parent)
    : QWidget(parent), text_(text) {
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void CTransparentStatic::SetText(const QString& text) {
    if (text == text_) return;
    text_ = text;
    ShowToScreenReaders(this, text);
    update();
}

QRect CTransparentStatic::TextRect() const {
    // A small inner margin keeps left- and right-aligned text off the control's edge.
    const int margin = textFormat == Centre ? 0 : 2;
    return rect().adjusted(margin, 0, -margin, 0);
}

QFont CTransparentStatic::DrawingFont() const {
    constexpr int kSmallestPixels = 6;
    QFont drawn = font();
    const int room = TextRect().width();
    int pixels = drawn.pixelSize() > 0 ? drawn.pixelSize() : QFontInfo(drawn).pixelSize();
    while (pixels > kSmallestPixels && QFontMetrics(drawn).horizontalAdvance(text_) > room) {
        drawn.setPixelSize(--pixels);
    }
    return drawn;
}

void CTransparentStatic::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), ColorFromRef(backColor));
    painter.setPen(ColorFromRef(textColor));
    painter.setFont(DrawingFont());
    Qt::Alignment horizontal = Qt::AlignLeft;
    if (textFormat == Centre) horizontal = Qt::AlignHCenter;
    if (textFormat == Right) horizontal = Qt::AlignRight;
    painter.drawText(TextRect(),
                     static_cast<int>(horizontal | Qt::AlignVCenter | Qt::TextSingleLine), text_);
}
