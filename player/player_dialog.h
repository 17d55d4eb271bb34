// The player window: a skinned surface with the transport buttons, the volume buttons, the
// file-name line and the time, speed and volume displays, plus the bar along the bottom edge
// with "Open File" and "Menu". It draws and routes input; the PlayerSession decides. Its
// controls carry object names ("play", "pause", "stop", "fastBack", "fastForward", "speed",
// "volumeUp", "volumeDown", "fileName", "time", "speedDisplay", "volumeDisplay",
// "background", "menuBar", "openFile", "menuButton"), and so do the menu's actions
// ("saveAs", "closeOnFinish", "checkForUpdate", "about").
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
    // The launcher's request: plays the text it left for the player.
    void OnHandOver();
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
    void CreateShortcuts();
    // Places every control for the current size and recomposes the skin.
    void LayoutControls();
    // Shows what the session says the window shows.
    void Refresh();
    void OnActivate(bool active);
    // A press on the window surface at (x, y) in client coordinates, outside the controls.
    void OnTap(int x, int y);
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
    QWidget* bar = nullptr;
    QMenu* menu = nullptr;
    QPushButton* menuButton = nullptr;
    QAction* closeOnFinishAction = nullptr;
    QTimer* timer = nullptr;
};
