// The frame of a window without the window manager's: its caption band is the title bar (a
// drag moves the window, a double-click maximises or restores it) and its edges resize it.
// The window system moves and resizes the window where it can (so its snapping, work area
// and keyboard handling apply); where it cannot, the window follows the pointer. Installed as
// an application event filter, so presses on the window's controls count too.
#pragma once

#include <QObject>
#include <QPoint>
#include <QRect>
#include <functional>

class QWidget;

class SkinFrame : public QObject {
    Q_OBJECT
  public:
    // onCaption(at) tells whether a press at window coordinates is on the title bar;
    // noEdge(at) whether a press there never resizes (a corner that has its own use).
    SkinFrame(QWidget& window, std::function<bool(QPoint)> onCaption,
              std::function<bool(QPoint)> noEdge);
    ~SkinFrame() override;

    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    // The edges a press at (window coordinates) resizes; none in a maximised window.
    Qt::Edges EdgesAt(QPoint at) const;
    void ShowResizeCursor(Qt::Edges edges);
    // Takes a mouse event for any widget of the window; true when it used it up.
    bool MouseEvent(QWidget* target, QEvent* event);

    QWidget& window_;
    std::function<bool(QPoint)> onCaption_;
    std::function<bool(QPoint)> noEdge_;
    // A mouse drag of the frame that the window system did not take over.
    enum class Drag { None, CaptionPressed, Moving, Resizing };
    Drag drag_ = Drag::None;
    QPoint dragStart_;     // global position of the press
    QRect dragGeometry_;   // the window's geometry at the press
    Qt::Edges dragEdges_;  // the edges a resize moves
    Qt::Edges cursorEdges_;
};
