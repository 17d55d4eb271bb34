#include "player/skin/transparent_static.h"

#include <QPainter>

QColor ColorFromRef(ColorRef color) {
    return QColor(color & 0xFF, (color >> 8) & 0xFF, (color >> 16) & 0xFF);
}

CTransparentStatic::CTransparentStatic(const QString& text, QWidget* parent)
    : QWidget(parent), text_(text) {
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void CTransparentStatic::SetText(const QString& text) {
    if (text == text_) return;
    text_ = text;
    update();
}

void CTransparentStatic::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), ColorFromRef(backColor));
    painter.setPen(ColorFromRef(textColor));
    painter.setFont(font());
    Qt::Alignment horizontal = Qt::AlignLeft;
    if (textFormat == Centre) horizontal = Qt::AlignHCenter;
    if (textFormat == Right) horizontal = Qt::AlignRight;
    // A small inner margin keeps left- and right-aligned text off the control's edge.
    const int margin = textFormat == Centre ? 0 : 2;
    painter.drawText(rect().adjusted(margin, 0, -margin, 0),
                     static_cast<int>(horizontal | Qt::AlignVCenter | Qt::TextSingleLine), text_);
}
