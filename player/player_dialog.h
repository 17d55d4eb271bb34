// The player window: a skinned surface with the transport buttons, the volume buttons, the
// file-name line and the time, speed and volume displays, plus the bar along the bottom edge
// with "Open File" and "Menu". It owns the one WavePlayer of the program; every source is
// first converted into the PCM file tempPath, which the player then plays.
#pragma once

#include <QDialog>
#include <QPixmap>
#include <QPointer>
#include <QString>
#include <QUrl>
#include <cstdint>
#include <memory>

#include "playback/wave_player.h"

class BitmapButton;
class CAboutBox;
class CTransparentStatic;
class QAction;
class QFileDialog;
class QLabel;
class QMenu;
class QTimer;

// Control ids of the window; they name the controls in tests and in the layout tables.
enum PlayerControl : int {
    kIdPause = 1000,
    kIdPlay = 1001,
    kIdStop = 1002,
    kIdFileName = 1015,
    kIdFastBack = 1017,
    kIdSpeed = 1018,
    kIdFastForward = 1019,
    kIdTime = 1023,
    kIdSpeedDisplay = 1024,
    kIdBackground = 1025,
    kIdVolumeUp = 1028,
    kIdVolumeDisplay = 1029,
    kIdVolumeDown = 1030,
};

// Message box styles passed to CException::ReportError and the program's reporter.
inline constexpr unsigned kMbIconStop = 0x10;
inline constexpr unsigned kMbIconExclamation = 0x30;

class PlayerDialog : public QDialog {
    Q_OBJECT
  public:
    // tempPath: the PCM file every source is converted into (its folder must exist).
    explicit PlayerDialog(const QString& tempPath, QWidget* parent = nullptr);
    ~PlayerDialog() override;

    // Set before OnInitDialog.
    void SetStartPath(const QString& text) { startPath = text; }
    void SetCloseOnFinish(bool on) { closeOnFinish = on; }
    void SetFullScreen(bool on) { fullScreen = on; }

    // Sets up the displays and the menu, opens the start path when there is one and starts
    // the 250 ms timer. Called once, after the window was shown.
    void OnInitDialog();

    // Converts path into tempPath and plays it. On an error the previous recording stays.
    void OpenSource(const QString& path);
    // OpenSource, then the display name when one is given. The name is skipped when another
    // open ran meanwhile (a hand-over arriving while this open's error box was shown), so
    // an older label never covers a newer recording.
    void OpenSourceShowing(const QString& path, const QString& name);

    // Transport, volume and timer handlers.
    void OnPlay();
    void OnPause();
    void OnStop();
    void OnFastBack();
    void OnFastForward();
    void OnSpeed();
    void OnVolumeUp();
    void OnVolumeDown();
    void ShowVolume();
    void OnTimer();
    void OnActivate(bool active);
    // A press on the window surface at (x, y) in client coordinates, outside the controls.
    void OnTap(int x, int y);
    // The launcher's request: plays the text it left in the "AutoPlay" setting.
    void OnHandOver();
    // A second start of the player: the window comes to the front.
    void BringToFront();

    // Menu commands.
    void OnOpenFile();
    void OnSaveAs();
    void OnCloseOnFinish();
    void OnCheckForUpdate();
    void OnAbout();
    void OnHelpRequest();

    // Places every control for the current size and recomposes the skin.
    void LayoutControls();

    // Output volume in percent, rounded to a multiple of 10 (a remainder of 5 rounds down).
    static uint32_t ReadVolumePercent();
    // Sets the output volume to percent (0 to 100) on both channels.
    static void ApplyVolumePercent(uint32_t percent);

    // Height of the bottom bar in pixels; the skin fills the rest.
    int BarHeight() const;
    // The address that Check For Update opens and the help page that F1 opens.
    static QUrl UpdateAddress();
    QString HelpPagePath() const;

    // State for the program's own tests and for the application object.
    WavePlayer* Player() const { return player.get(); }
    const QString& SourcePath() const { return sourcePath; }
    const QString& SourceName() const { return sourceName; }
    const QString& TempPath() const { return tempPath; }
    QString ScratchPath() const;
    bool CloseOnFinish() const { return closeOnFinish; }
    uint32_t VolumePercent() const { return volumePercent; }
    QWidget* Control(int id) const;
    // The text a display or the file-name line shows.
    QString ControlText(int id) const;
    CAboutBox* AboutBox() const;
    QMenu* Menu() const { return menu; }
    const QPixmap& Background() const { return backgroundBitmap; }

  protected:
    // Asks for a file to open or a name to save under; empty when the user cancelled.
    // Tests replace these to avoid modal dialogs.
    virtual QString AskOpenPath();
    virtual QString AskSavePath(const QString& base, const QString& ext, const QString& filter);
    // Opens a web page or the help page in the desktop's viewer.
    virtual void OpenUrl(const QUrl& url);

    void done(int result) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void changeEvent(QEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

  private:
    void CreateControls();
    void CreateBar();
    void CreateShortcuts();
    void SetTime(uint32_t positionSeconds, uint32_t durationSeconds);
    void SetFileNameLine(const QString& text);
    void ShowPlay();   // Play visible with the focus, Pause hidden
    void ShowPause();  // Pause visible with the focus, Play hidden
    void StorePlayer(std::unique_ptr<WavePlayer> newPlayer);
    void TogglePlayPause();
    // Shows text in the program's message box with the given style.
    static void ReportText(const QString& text, unsigned style);

    std::unique_ptr<WavePlayer> player;
    QString sourcePath;
    QString sourceName;
    QString startPath;
    QString tempPath;
    bool closeOnFinish = false;
    bool fullScreen = false;
    bool initialised = false;
    uint32_t volumePercent = 0;
    int32_t lastShownSecond = -1;
    uint64_t opensStarted = 0;  // counts OpenSource calls, nested ones included
    QPointer<CAboutBox> aboutBox;
    QPointer<QFileDialog> fileDialog;
    QPixmap backgroundBitmap;

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
    QAction* closeOnFinishAction = nullptr;
    QTimer* timer = nullptr;
};
