// The player window's frame: the skin's caption band is the title bar and the window's edges
// resize it. The window system moves and resizes the window where it can (so its snapping,
// work area and keyboard handling apply); where it cannot, the window follows the pointer.
#include <QApplication>
#include <QMouseEvent>
#include <QWindow>
#include <algorithm>

#include "player/player_dialog.h"
#include "player/skin/skin_metrics.h"

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

Qt::Edges PlayerDialog::EdgesAt(QPoint at) const {
    // The top-left corner is the menu's.
    if (isMaximized() || isFullScreen() || InMenuCorner(at)) return {};
    Qt::Edges edges;
    if (at.x() < kEdge) edges |= Qt::LeftEdge;
    if (at.x() >= width() - kEdge) edges |= Qt::RightEdge;
    if (at.y() < kEdge) edges |= Qt::TopEdge;
    if (at.y() >= height() - kEdge) edges |= Qt::BottomEdge;
    return edges;
}

bool PlayerDialog::OnCaption(QPoint at) const {
    return !isFullScreen() && at.y() < skin::kCaptionHeight * skinScale && !InMenuCorner(at) &&
           !InCloseBox(at);
}

void PlayerDialog::ShowResizeCursor(Qt::Edges edges) {
    if (edges == cursorEdges) return;
    cursorEdges = edges;
    if (edges) {
        setCursor(ResizeShape(edges));
    } else {
        unsetCursor();
    }
}

bool PlayerDialog::FrameEvent(QWidget* target, QEvent* event) {
    const QEvent::Type type = event->type();
    if (type != QEvent::MouseButtonPress && type != QEvent::MouseMove &&
        type != QEvent::MouseButtonRelease && type != QEvent::MouseButtonDblClick) {
        return false;
    }
    const auto* mouse = static_cast<QMouseEvent*>(event);
    const QPoint global = mouse->globalPosition().toPoint();
    const QPoint at = mapFromGlobal(global);
    const QPoint moved = global - dragStart;

    switch (type) {
        case QEvent::MouseButtonPress: {
            if (mouse->button() != Qt::LeftButton) return false;
            dragStart = global;
            dragGeometry = geometry();
            if (const Qt::Edges edges = EdgesAt(at)) {
                if (!windowHandle() || !windowHandle()->startSystemResize(edges)) {
                    frameDrag = FrameDrag::Resizing;
                    dragEdges = edges;
                }
                return true;
            }
            // The press also reaches the window surface, which does nothing on the caption.
            if (target == this && OnCaption(at)) frameDrag = FrameDrag::CaptionPressed;
            return false;
        }
        case QEvent::MouseMove:
            switch (frameDrag) {
                case FrameDrag::None:
                    if (!(mouse->buttons() & Qt::LeftButton)) ShowResizeCursor(EdgesAt(at));
                    return false;
                case FrameDrag::CaptionPressed:
                    if (moved.manhattanLength() < QApplication::startDragDistance()) return true;
                    if (windowHandle() && windowHandle()->startSystemMove()) {
                        frameDrag = FrameDrag::None;
                        return true;
                    }
                    frameDrag = FrameDrag::Moving;
                    [[fallthrough]];
                case FrameDrag::Moving:
                    move(dragGeometry.topLeft() + moved);
                    return true;
                case FrameDrag::Resizing: {
                    QRect g = dragGeometry;
                    const QSize least = minimumSize();
                    if (dragEdges & Qt::LeftEdge)
                        g.setLeft(std::min(g.left() + moved.x(), g.right() + 1 - least.width()));
                    if (dragEdges & Qt::RightEdge)
                        g.setRight(std::max(g.right() + moved.x(), g.left() - 1 + least.width()));
                    if (dragEdges & Qt::TopEdge)
                        g.setTop(std::min(g.top() + moved.y(), g.bottom() + 1 - least.height()));
                    if (dragEdges & Qt::BottomEdge)
                        g.setBottom(std::max(g.bottom() + moved.y(), g.top() - 1 + least.height()));
                    setGeometry(g);
                    return true;
                }
            }
            return false;
        case QEvent::MouseButtonRelease: {
            if (mouse->button() != Qt::LeftButton) return false;
            const bool dragged = frameDrag == FrameDrag::Moving || frameDrag == FrameDrag::Resizing;
            frameDrag = FrameDrag::None;
            return dragged;
        }
        default:  // a double-click
            if (mouse->button() != Qt::LeftButton || target != this || !OnCaption(at)) return false;
            frameDrag = FrameDrag::None;
            if (isMaximized()) {
                showNormal();
            } else {
                showMaximized();
            }
            return true;
    }
}
