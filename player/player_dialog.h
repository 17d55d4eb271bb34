// The player window: a skinned surface with the transport buttons, the volume buttons, the
// file-name line and the time, speed and volume displays, plus the bar along the bottom edge
// with "Open File" and "Menu". It draws and routes input; the PlayerSession decides. Its
// controls carry object names ("play", "pause", "stop", "fastBack", "fastForward", "speed",
// "volumeUp", "volumeDown", "fileName", "time", "speedDisplay", "volumeDisplay", "waveform",
// "inbox", "background", "menuBar", "openFile", "menuButton"), and so do its commands' actions
// (see CreateCommands: "playPause", "saveAs", "closeOnFinish", "openFolder", "about", ...).
//
// The window has no window manager's frame: the skin's caption band is its title bar (see
// player/skin/skin_frame.h).
#pragma once

#include <QDialog>
#include <QPointer>
#include <QString>
#include <initializer_list>

class BitmapButton;
class CAboutBox;
class CTransparentStatic;
class InboxBrowser;
class InboxView;
class PlayerSession;
class QAction;
class QLabel;
class QMenu;
class QPushButton;
class QTimer;
class SkinFrame;
class WaveformView;

class PlayerDialog : public QDialog {
    Q_OBJECT
  public:
    // inbox: the folder of messages the window lists (see player/inbox_browser.h).
    PlayerDialog(PlayerSession& session, InboxBrowser& inbox, QWidget* parent = nullptr);
    ~PlayerDialog() override;

    // The text to play given at start (a path, possibly with a display-name tag).
    void SetStartPath(const QString& text) { startPath = text; }
    // Fill the screen instead of a handheld-sized window.
    void SetFullScreen(bool on) { fullScreen_ = on; }

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
    void OnOpenFile();
    void OnOpenFolder();
    void OnSaveAs();
    void OnCheckForUpdate();
    void OnAbout();
    void OnHelpRequest();

  private:
    // Every command as an action of the window, from one table: its key works whether or not
    // the menu is open, and its tooltip names that key.
    void CreateCommands();
    QAction* Command(const char* name) const;
    void CreateControls();
    // A bitmap button that triggers the first of commands; its tooltip is label with that
    // command's key, followed by the other commands' tooltips.
    BitmapButton* CreateButton(const char* name, const QString& label,
                               std::initializer_list<const char*> commands);
    void CreateBar();
    // The bar's padding and font at the skin's scale.
    void ScaleBar(int scale);
    // Places every control for the current size and recomposes the skin.
    void LayoutControls();
    // Shows what the session says the window shows.
    void Refresh();
    void OnActivate(bool active);
    // A press on the window surface at (x, y) in client coordinates, outside the controls.
    void OnTap(int x, int y);
    bool InMenuCorner(QPoint at) const;
    bool InCloseBox(QPoint at) const;
    bool OnCaption(QPoint at) const;
    void ShowFileName();
    // Shows the list, the waveform or both, for the window's size and the user's choice, and
    // marks the loaded message in the list.
    void ShowInbox();
    // The message Delete and Mark as New act on: the list's own choice while it shows, else
    // the loaded one; -1 for none.
    int ChosenRow() const;
    void PlaceSpeedDisplay();
    void PopUpMenu();
    // The buttons' focus ring shows only while the user moves by keyboard.
    void ShowFocusRing(bool shown);

    PlayerSession& session_;
    InboxBrowser& inbox_;
    QString startPath;
    bool listShown_ = true;  // at the default size the list, not the waveform, shows
    bool fullScreen_ = false;
    bool initialised_ = false;
    QPointer<CAboutBox> aboutBox;
    int wheelDelta_ = 0;  // eighths of a degree not yet turned into a volume step
    int skinScale_ = 1;   // skin::SkinScale for the current size
    SkinFrame* frame_ = nullptr;

    QLabel* background_ = nullptr;
    BitmapButton* fastBackButton_ = nullptr;
    BitmapButton* stopButton_ = nullptr;
    BitmapButton* pauseButton_ = nullptr;
    BitmapButton* playButton_ = nullptr;
    BitmapButton* speedButton_ = nullptr;
    BitmapButton* fastForwardButton_ = nullptr;
    BitmapButton* volumeDownButton_ = nullptr;
    BitmapButton* volumeUpButton_ = nullptr;
    QLabel* fileNameLine_ = nullptr;
    CTransparentStatic* timeDisplay_ = nullptr;
    CTransparentStatic* speedDisplay_ = nullptr;
    CTransparentStatic* volumeDisplay_ = nullptr;
    WaveformView* waveform_ = nullptr;
    InboxView* list_ = nullptr;
    QWidget* bar_ = nullptr;
    QMenu* menu_ = nullptr;
    QPushButton* menuButton_ = nullptr;
    QTimer* timer_ = nullptr;
};
