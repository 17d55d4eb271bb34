#include "player/skin/skin_frame.h"

#include <QApplication>
#include <QMouseEvent>
#include <QWidget>
#include <QWindow>
#include <algorithm>

namespace {

constexpr int kEdge = 4;  // pixels along each edge where a press resizes

Qt::CursorShape ResizeShape(Qt::Edges edges) {
    const bool left = edges & Qt::LeftEdge, right = edges & Qt::RightEdge;
    const bool top = edges & Qt::TopEdge, bottom = edges & Qt::BottomEdge;
    if ((left && top) || (right && bottom)) return Qt::SizeFDiagCursor;
    if ((right && top) || (left && bottom)) return Qt::SizeBDiagCursor;
    return left || right ? Qt::SizeHorCursor : Qt::SizeVerCursor;
}

}  // namespace

SkinFrame::SkinFrame(QWidget& window, std::function<bool(QPoint)> onCaption,
                     std::function<bool(QPoint)> noEdge)
    : QObject(&window),
      window_(window),
      onCaption_(std::move(onCaption)),
      noEdge_(std::move(noEdge)) {
    // Moves reach the window without a button held (also over its controls, which pass them
    // on), so its edges can show the resize shape.
    window.setMouseTracking(true);
    qApp->installEventFilter(this);
}

SkinFrame::~SkinFrame() {
    qApp->removeEventFilter(this);
}

bool SkinFrame::eventFilter(QObject* watched, QEvent* event) {
    auto* target = qobject_cast<QWidget*>(watched);
    return target && target->window() == &window_ && MouseEvent(target, event);
}

Qt::Edges SkinFrame::EdgesAt(QPoint at) const {
    if (window_.isMaximized() || window_.isFullScreen() || noEdge_(at)) return {};
    Qt::Edges edges;
    if (at.x() < kEdge) edges |= Qt::LeftEdge;
    if (at.x() >= window_.width() - kEdge) edges |= Qt::RightEdge;
    if (at.y() < kEdge) edges |= Qt::TopEdge;
    if (at.y() >= window_.height() - kEdge) edges |= Qt::BottomEdge;
    return edges;
}

void SkinFrame::ShowResizeCursor(Qt::Edges edges) {
    if (edges == cursorEdges_) return;
    cursorEdges_ = edges;
    if (edges) {
        window_.setCursor(ResizeShape(edges));
    } else {
        window_.unsetCursor();
    }
}

bool SkinFrame::MouseEvent(QWidget* target, QEvent* event) {
    const QEvent::Type type = event->type();
    if (type != QEvent::MouseButtonPress && type != QEvent::MouseMove &&
        type != QEvent::MouseButtonRelease && type != QEvent::MouseButtonDblClick) {
        return false;
    }
    const auto* mouse = static_cast<QMouseEvent*>(event);
    const QPoint global = mouse->globalPosition().toPoint();
    const QPoint at = window_.mapFromGlobal(global);
    const QPoint moved = global - dragStart_;

    switch (type) {
        case QEvent::MouseButtonPress: {
            if (mouse->button() != Qt::LeftButton) return false;
            dragStart_ = global;
            dragGeometry_ = window_.geometry();
            if (const Qt::Edges edges = EdgesAt(at)) {
                if (!window_.windowHandle() || !window_.windowHandle()->startSystemResize(edges)) {
                    drag_ = Drag::Resizing;
                    dragEdges_ = edges;
                }
                return true;
            }
            // The press also reaches the window surface, which does nothing on the caption.
            if (target == &window_ && onCaption_(at)) drag_ = Drag::CaptionPressed;
            return false;
        }
        case QEvent::MouseMove:
            switch (drag_) {
                case Drag::None:
                    if (!(mouse->buttons() & Qt::LeftButton)) ShowResizeCursor(EdgesAt(at));
                    return false;
                case Drag::CaptionPressed:
                    if (moved.manhattanLength() < QApplication::startDragDistance()) return true;
                    if (window_.windowHandle() && window_.windowHandle()->startSystemMove()) {
                        drag_ = Drag::None;
                        return true;
                    }
                    drag_ = Drag::Moving;
                    [[fallthrough]];
                case Drag::Moving:
                    window_.move(dragGeometry_.topLeft() + moved);
                    return true;
                case Drag::Resizing: {
                    QRect g = dragGeometry_;
                    const QSize least = window_.minimumSize();
                    if (dragEdges_ & Qt::LeftEdge)
                        g.setLeft(std::min(g.left() + moved.x(), g.right() + 1 - least.width()));
                    if (dragEdges_ & Qt::RightEdge)
                        g.setRight(std::max(g.right() + moved.x(), g.left() - 1 + least.width()));
                    if (dragEdges_ & Qt::TopEdge)
                        g.setTop(std::min(g.top() + moved.y(), g.bottom() + 1 - least.height()));
                    if (dragEdges_ & Qt::BottomEdge)
                        g.setBottom(std::max(g.bottom() + moved.y(), g.top() - 1 + least.height()));
                    window_.setGeometry(g);
                    return true;
                }
            }
            return false;
        case QEvent::MouseButtonRelease: {
            if (mouse->button() != Qt::LeftButton) return false;
            const bool dragged = drag_ == Drag::Moving || drag_ == Drag::Resizing;
            drag_ = Drag::None;
            return dragged;
        }
        default:  // a double-click
            if (mouse->button() != Qt::LeftButton || target != &window_ || !onCaption_(at))
                return false;
            drag_ = Drag::None;
            if (window_.isMaximized()) {
                window_.showNormal();
            } else {
                window_.showMaximized();
            }
            return true;
    }
}
