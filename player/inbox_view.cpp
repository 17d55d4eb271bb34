#include "player/inbox_view.h"

#include <QKeyEvent>
#include <QPainter>
#include <QStyledItemDelegate>

#include "inbox/inbox.h"
#include "player/skin/skin_palette.h"

namespace {

constexpr int kRowPadding = 3;  // pixels above and below each line of a row, at scale 1
constexpr int kMarkSize = 6;    // the new mark's diameter

// Two lines per row: who (bold and marked while new) with the length on the right, then when.
class MessageDelegate : public QStyledItemDelegate {
  public:
    using QStyledItemDelegate::QStyledItemDelegate;
    int scale = 1;

    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex&) const override {
        const int line = option.fontMetrics.height();
        return {option.rect.width(), 2 * line + 3 * kRowPadding * scale};
    }

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        const bool fresh = !index.data(Inbox::HeardRole).toBool();
        const bool selected = option.state & QStyle::State_Selected;
        const bool broken = !index.data(Inbox::ErrorRole).toString().isEmpty();
        const QColor back = ColorFromRef(selected ? palette::kParchmentShade : palette::kCream);
        const QColor text = ColorFromRef(palette::kBrownDark);
        const QColor soft = ColorFromRef(palette::kBrownMid);
        painter->save();
        painter->fillRect(option.rect, back);
        painter->setPen(ColorFromRef(palette::kParchment));
        painter->drawLine(option.rect.bottomLeft(), option.rect.bottomRight());
        const int pad = kRowPadding * scale;
        const int mark = kMarkSize * scale;
        QRect area = option.rect.adjusted(pad + mark + pad, pad, -pad, -pad);
        const int line = option.fontMetrics.height();
        if (fresh) {
            painter->setRenderHint(QPainter::Antialiasing);
            painter->setPen(Qt::NoPen);
            painter->setBrush(ColorFromRef(palette::kGold).darker(130));
            painter->drawEllipse(option.rect.left() + pad, area.top() + (line - mark) / 2, mark,
                                 mark);
        }
        QFont font = option.font;
        font.setBold(fresh);
        painter->setFont(font);
        const QString length = index.data(Inbox::LengthTextRole).toString();
        const QFontMetrics metrics(font);
        const int lengthWidth = metrics.horizontalAdvance(length) + pad;
        painter->setPen(text);
        const QRect top(area.left(), area.top(), area.width(), line);
        painter->drawText(top.adjusted(0, 0, -lengthWidth, 0), Qt::AlignLeft | Qt::AlignVCenter,
                          metrics.elidedText(index.data(Inbox::WhoRole).toString(), Qt::ElideRight,
                                             top.width() - lengthWidth));
        painter->setPen(soft);
        painter->drawText(top, Qt::AlignRight | Qt::AlignVCenter, length);
        font.setBold(false);
        painter->setFont(font);
        QString when = index.data(Inbox::WhenTextRole).toString();
        if (broken) when += QStringLiteral(" - cannot be played");
        painter->drawText(QRect(area.left(), top.bottom() + pad, area.width(), line),
                          Qt::AlignLeft | Qt::AlignVCenter,
                          option.fontMetrics.elidedText(when, Qt::ElideRight, area.width()));
        painter->restore();
    }
};

bool ListKey(int key) {
    switch (key) {
        case Qt::Key_Up:
        case Qt::Key_Down:
        case Qt::Key_Home:
        case Qt::Key_End:
        case Qt::Key_PageUp:
        case Qt::Key_PageDown:
        case Qt::Key_Return:
        case Qt::Key_Enter:
            return true;
        default:
            return false;
    }
}

}  // namespace

InboxView::InboxView(QWidget* parent) : QListView(parent) {
    setItemDelegate(new MessageDelegate(this));
    setSelectionMode(QAbstractItemView::SingleSelection);
    setUniformItemSizes(true);
    setFrameShape(QFrame::NoFrame);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    QPalette colours = palette();
    colours.setColor(QPalette::Base, ColorFromRef(palette::kCream));
    colours.setColor(QPalette::Text, ColorFromRef(palette::kBrownDark));
    setPalette(colours);
    setAutoFillBackground(true);
    // The scroll bar in the skin's colours: a brown handle on the parchment.
    setStyleSheet(
        QStringLiteral("QScrollBar:vertical { background: %1; width: 8px; margin: 0; }"
                       "QScrollBar::handle:vertical { background: %2; min-height: 16px;"
                       " border-radius: 3px; margin: 1px; }"
                       "QScrollBar::add-line, QScrollBar::sub-line { height: 0; }"
                       "QScrollBar::add-page, QScrollBar::sub-page { background: none; }")
            .arg(ColorFromRef(palette::kParchment).name(), ColorFromRef(palette::kBrown).name()));
    connect(this, &QAbstractItemView::doubleClicked, this,
            [this](const QModelIndex& index) { emit Chosen(index.row()); });
}

void InboxView::SetSkinScale(int scale) {
    static_cast<MessageDelegate*>(itemDelegate())->scale = scale;
    doItemsLayout();
}

bool InboxView::event(QEvent* event) {
    // The window's keys for the transport and the volume give way to the list's own.
    if (event->type() == QEvent::ShortcutOverride) {
        auto* key = static_cast<QKeyEvent*>(event);
        if (key->modifiers() == Qt::NoModifier || key->modifiers() == Qt::KeypadModifier) {
            if (ListKey(key->key())) {
                event->accept();
                return true;
            }
        }
    }
    return QListView::event(event);
}

void InboxView::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        if (currentIndex().isValid()) emit Chosen(currentIndex().row());
        event->accept();  // never the dialog's default button
        return;
    }
    QListView::keyPressEvent(event);
}
