// The player window: a skinned surface with the transport buttons, the volume buttons, the
// file-name line and the time, speed and volume displays, plus the bar along the bottom edge
// with "Open File" and "Menu". It draws and routes input; the PlayerSession decides. Its
// controls carry object names ("play", "pause", "stop", "fastBack", "fastForward", "speed",
// "volumeUp", "volumeDown", "fileName", "time", "speedDisplay", "volumeDisplay", "waveform",
// "background", "menuBar", "openFile", "menuButton"), and so do the menu's actions
// ("saveAs", "closeOnFinish", "checkForUpdate", "about").
//
// The window has no window manager's frame: the skin's caption band is its title bar (a drag
// moves the window, a double-click maximises or restores it, the close box closes it) and
// its edges resize it.
#pragma once

#include <QDialog>
#include <QPointer>
#include <QString>

class BitmapButton;
class CAboutBox;
class CTransparentStatic;
class PlayerSession;
class QAction;
class QLabel;
class QMenu;
class QPushButton;
class QTimer;
class WaveformView;

class PlayerDialog : public QDialog {
    Q_OBJECT
  public:
    explicit PlayerDialog(PlayerSession& session, QWidget* parent = nullptr);
    ~PlayerDialog() override;

    // The text to play given at start (a path, possibly with a display-name tag).
    void SetStartPath(const QString& text) { startPath = text; }
    // Fill the screen instead of a handheld-sized window.
    void SetFullScreen(bool on) { fullScreen = on; }

    // Shows the displays, opens the start path when there is one and starts the 250 ms timer.
    // Called once, after the window was shown.
    void OnInitDialog();
    // A text handed over by the launcher or a second start: plays it, in front.
    void OnHandOver(const QString& text);
    // A second start of the player: the window comes to the front.
    void BringToFront();

  protected:
    void done(int result) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void changeEvent(QEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    // Watches the application's input for the focus ring, and the wheel over the volume.
    bool eventFilter(QObject* watched, QEvent* event) override;

  private slots:
    void OnPlay();
    void OnPause();
    void OnStop();
    void OnFastBack();
    void OnFastForward();
    void OnSpeed();
    void OnVolumeUp();
    void OnVolumeDown();
    void OnTimer();
    void OnOpenFile();
    void OnSaveAs();
    void OnCloseOnFinish();
    void OnCheckForUpdate();
    void OnAbout();
    void OnHelpRequest();

  private:
    void CreateControls();
    void CreateBar();
    // The bar's padding and font at the skin's scale.
    void ScaleBar(int scale);
    void CreateShortcuts();
    // Places every control for the current size and recomposes the skin.
    void LayoutControls();
    // Shows what the session says the window shows.
    void Refresh();
    void OnActivate(bool active);
    // A press on the window surface at (x, y) in client coordinates, outside the controls.
    void OnTap(int x, int y);
    bool InMenuCorner(QPoint at) const;
    bool InCloseBox(QPoint at) const;

    // The frame (player_dialog_frame.cpp): moving, maximising and resizing by the mouse.
    // Takes a mouse event for any widget of the window; true when it used it up.
    bool FrameEvent(QWidget* target, QEvent* event);
    // The edges a press at (window coordinates) resizes; none in a maximised window.
    Qt::Edges EdgesAt(QPoint at) const;
    bool OnCaption(QPoint at) const;
    void ShowResizeCursor(Qt::Edges edges);
    QString HelpPagePath() const;
    void ShowFileName();
    void PlaceSpeedDisplay();
    // The buttons' focus ring shows only while the user moves by keyboard.
    void ShowFocusRing(bool shown);

    PlayerSession& session;
    QString startPath;
    bool fullScreen = false;
    bool initialised = false;
    QPointer<CAboutBox> aboutBox;
    int wheelDelta = 0;  // eighths of a degree not yet turned into a volume step
    int skinScale = 1;   // skin::SkinScale for the current size

    // A mouse drag of the frame that the window system did not take over.
    enum class FrameDrag { None, CaptionPressed, Moving, Resizing };
    FrameDrag frameDrag = FrameDrag::None;
    QPoint dragStart;     // global position of the press
    QRect dragGeometry;   // the window's geometry at the press
    Qt::Edges dragEdges;  // the edges a resize moves
    Qt::Edges cursorEdges;

    QLabel* background = nullptr;
    BitmapButton* fastBackButton = nullptr;
    BitmapButton* stopButton = nullptr;
    BitmapButton* pauseButton = nullptr;
    BitmapButton* playButton = nullptr;
    BitmapButton* speedButton = nullptr;
    BitmapButton* fastForwardButton = nullptr;
    BitmapButton* volumeDownButton = nullptr;
    BitmapButton* volumeUpButton = nullptr;
    QLabel* fileNameLine = nullptr;
    CTransparentStatic* timeDisplay = nullptr;
    CTransparentStatic* speedDisplay = nullptr;
    CTransparentStatic* volumeDisplay = nullptr;
    WaveformView* waveform = nullptr;
    QWidget* bar = nullptr;
    QMenu* menu = nullptr;
    QPushButton* menuButton = nullptr;
    QAction* closeOnFinishAction = nullptr;
    QTimer* timer = nullptr;
};
