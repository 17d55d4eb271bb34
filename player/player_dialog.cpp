#include "player/player_dialog.h"

#include <QApplication>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QHBoxLayout>
#include <QKeySequence>
#include <QLabel>
#include <QMenu>
#include <QMimeData>
#include <QMouseEvent>
#include <QPushButton>
#include <QShortcut>
#include <QTimer>
#include <cstdio>
#include <exception>
#include <new>

#include "platform/exception.h"
#include "platform/qt/handover.h"
#include "platform/qt/settings.h"
#include "platform/qt/text_to_play.h"
#include "platform/wave_out.h"
#include "player/about_box.h"
#include "player/skin/bitmap_button.h"
#include "player/skin/skin.h"
#include "player/skin/transparent_static.h"
#include "player/trace.h"
#include "sound/wave_converter.h"

namespace {

constexpr int kTimerIntervalMs = 250;
constexpr int kDefaultWidth = 240;
constexpr int kDefaultHeight = 320;
constexpr int kBarHeight = 30;
// Below this the transport row and the banner would overlap other controls.
constexpr int kMinimumWidth = 200;
constexpr int kMinimumSkinHeight = 200;
constexpr ColorRef kBarColor = 0x1D2C3B;  // dark brown

QString TimeText(uint32_t positionSeconds, uint32_t durationSeconds) {
    return QString::asprintf("%.2u:%.2u / %.2u:%.2u", positionSeconds / 60, positionSeconds % 60,
                             durationSeconds / 60, durationSeconds % 60);
}

// RAII for the busy cursor around a conversion.
class BusyCursor {
  public:
    BusyCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~BusyCursor() { QApplication::restoreOverrideCursor(); }
    BusyCursor(const BusyCursor&) = delete;
    BusyCursor& operator=(const BusyCursor&) = delete;
};

}  // namespace

PlayerDialog::PlayerDialog(const QString& tempPath, QWidget* parent)
    : QDialog(parent), tempPath(tempPath) {
    InitPlayerResources();
    setWindowTitle(QStringLiteral("Corvane"));
    setWindowIcon(QIcon(QStringLiteral(":/corvane.png")));
    // The program's main window: a normal top-level window, not a dialog's frame.
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinMaxButtonsHint | Qt::WindowCloseButtonHint);
    setAcceptDrops(true);
    CreateControls();
    CreateBar();
    CreateShortcuts();
    timer = new QTimer(this);
    timer->setInterval(kTimerIntervalMs);
    connect(timer, &QTimer::timeout, this, &PlayerDialog::OnTimer);
    setMinimumSize(kMinimumWidth, kMinimumSkinHeight + kBarHeight);
    resize(kDefaultWidth, kDefaultHeight);
    LayoutControls();
}

PlayerDialog::~PlayerDialog() = default;

void PlayerDialog::CreateControls() {
    background = new QLabel(this);
    background->setAttribute(Qt::WA_TransparentForMouseEvents);
    background->move(0, 0);

    auto button = [this](const char* text, void (PlayerDialog::*handler)()) {
        auto* b = new BitmapButton(QString::fromLatin1(text), this);
        connect(b, &QAbstractButton::clicked, this, handler);
        return b;
    };
    // Creation order is the keyboard focus order.
    fastBackButton = button("FB", &PlayerDialog::OnFastBack);
    stopButton = button("Stop", &PlayerDialog::OnStop);
    pauseButton = button("Pause", &PlayerDialog::OnPause);
    playButton = button("Play", &PlayerDialog::OnPlay);
    speedButton = button("Speed", &PlayerDialog::OnSpeed);
    fastForwardButton = button("FF", &PlayerDialog::OnFastForward);
    pauseButton->hide();

    fileNameLine = new QLabel(QStringLiteral("<No File Opened>"), this);
    fileNameLine->setTextFormat(Qt::PlainText);
    QPalette palette = fileNameLine->palette();
    palette.setColor(QPalette::WindowText, ColorFromRef(kDisplayTextColor));
    fileNameLine->setPalette(palette);

    timeDisplay = new CTransparentStatic(QStringLiteral("Time"), this);
    speedDisplay = new CTransparentStatic(QStringLiteral("Speed"), this);
    speedDisplay->hide();
    volumeDownButton = button("VolumeDown", &PlayerDialog::OnVolumeDown);
    volumeUpButton = button("VolumeUp", &PlayerDialog::OnVolumeUp);
    volumeDisplay = new CTransparentStatic(QStringLiteral("vol"), this);
    background->lower();
}

void PlayerDialog::CreateBar() {
    bar = new QWidget(this);
    bar->setObjectName(QStringLiteral("menuBar"));
    bar->setAttribute(Qt::WA_StyledBackground);
    const QColor back = ColorFromRef(kBarColor);
    const QColor text = ColorFromRef(kDisplayBackColor);
    bar->setStyleSheet(QStringLiteral("#menuBar { background: %1; }"
                                      "QPushButton { color: %2; background: transparent;"
                                      " border: none; padding: 4px 10px; font-weight: bold; }"
                                      "QPushButton:pressed, QPushButton:open { background: %3; }"
                                      "QPushButton::menu-indicator { image: none; width: 0; }")
                           .arg(back.name(), text.name(), back.lighter(160).name()));
    auto* layout = new QHBoxLayout(bar);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    // Neither bar button answers Enter: the keyboard belongs to the transport.
    auto* openButton = new QPushButton(QStringLiteral("Open File"), bar);
    openButton->setFocusPolicy(Qt::NoFocus);
    openButton->setAutoDefault(false);
    connect(openButton, &QPushButton::clicked, this, &PlayerDialog::OnOpenFile);

    menu = new QMenu(this);
    QAction* saveAs = menu->addAction(QStringLiteral("&Save As..."), this, &PlayerDialog::OnSaveAs);
    saveAs->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_S));
    closeOnFinishAction = menu->addAction(QStringLiteral("&Close On Finish"));
    closeOnFinishAction->setCheckable(true);
    // The handler decides the new state; the automatic toggle is undone first.
    connect(closeOnFinishAction, &QAction::triggered, this, [this] {
        closeOnFinishAction->setChecked(closeOnFinish);
        OnCloseOnFinish();
    });
    menu->addSeparator();
    menu->addAction(QStringLiteral("Check For &Update"), this, &PlayerDialog::OnCheckForUpdate);
    menu->addAction(QStringLiteral("&About Corvane"), this, &PlayerDialog::OnAbout);

    auto* menuButton = new QPushButton(QStringLiteral("Menu"), bar);
    menuButton->setFocusPolicy(Qt::NoFocus);
    menuButton->setAutoDefault(false);
    menuButton->setMenu(menu);

    layout->addWidget(openButton);
    layout->addStretch(1);
    layout->addWidget(menuButton);
}

void PlayerDialog::CreateShortcuts() {
    auto shortcut = [this](QKeySequence keys, auto handler) {
        auto* s = new QShortcut(keys, this);
        s->setContext(Qt::WindowShortcut);
        connect(s, &QShortcut::activated, this, handler);
    };
    shortcut(QKeySequence(Qt::Key_Space), [this] { TogglePlayPause(); });
    shortcut(QKeySequence(Qt::Key_Left), [this] { OnFastBack(); });
    shortcut(QKeySequence(Qt::Key_Right), [this] { OnFastForward(); });
    shortcut(QKeySequence(Qt::Key_Up), [this] { OnVolumeUp(); });
    shortcut(QKeySequence(Qt::Key_Down), [this] { OnVolumeDown(); });
    shortcut(QKeySequence(Qt::Key_S), [this] { OnSpeed(); });
    shortcut(QKeySequence(Qt::CTRL | Qt::Key_O), [this] { OnOpenFile(); });
    shortcut(QKeySequence(Qt::CTRL | Qt::Key_S), [this] { OnSaveAs(); });
    shortcut(QKeySequence(Qt::CTRL | Qt::Key_Q), [this] { reject(); });
    shortcut(QKeySequence(Qt::Key_F1), [this] { OnHelpRequest(); });
    // Escape closes the window through QDialog's own handling.
}

int PlayerDialog::BarHeight() const {
    return kBarHeight;
}

QString PlayerDialog::ScratchPath() const {
    return tempPath + QStringLiteral(".part");
}

void PlayerDialog::OnInitDialog() {
    if (initialised) return;
    initialised = true;
    LayoutControls();
    SetTime(0, 0);
    volumePercent = ReadVolumePercent();
    ShowVolume();
    closeOnFinishAction->setChecked(closeOnFinish);
    if (startPath.isEmpty()) {
        SetFileNameLine(QStringLiteral("<No File Opened>"));
        playButton->setFocus();
    } else {
        QString name;
        SplitDisplayTag(startPath, &startPath, &name);
        OpenSourceShowing(startPath, name);
        pauseButton->setFocus();
    }
    timer->start();
}

void PlayerDialog::OpenSourceShowing(const QString& path, const QString& name) {
    const uint64_t before = opensStarted;
    OpenSource(path);
    if (!name.isEmpty() && opensStarted == before + 1) SetFileNameLine(name);
}

void PlayerDialog::OpenSource(const QString& path) {
    ++opensStarted;
    if (player) {
        player->Stop();
        player.reset();
    }
    // Convert into a scratch file and put it in place only when the whole conversion
    // succeeded, so a failed open keeps the previous recording playable. The converter is
    // gone before anything is reported: the message box runs an event loop in which another
    // hand-over may start a conversion.
    const QString scratch = ScratchPath();
    ExceptionPtr error;
    {
        BusyCursor busy;
        error = CatchException([&] {
            WaveConverter converter(QFile::encodeName(path).toStdString(),
                                    QFile::encodeName(scratch).toStdString());
            converter.Convert();
        });
    }
    if (error) {
        QFile::remove(scratch);
        error->ReportError(0);
        return;
    }
    // rename() replaces tempPath in one step: if it fails, the old recording is still there.
    if (std::rename(QFile::encodeName(scratch).constData(),
                    QFile::encodeName(tempPath).constData()) != 0) {
        QFile::remove(scratch);
        ReportText(QStringLiteral("Cannot create file ") + tempPath, kMbIconExclamation);
        return;
    }
    sourcePath = path;
    Trace(QStringLiteral("open ") + path);
    const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
    sourceName = slash < 0 ? path : path.mid(slash + 1);
    SetFileNameLine(sourceName);
    OnPlay();
}

void PlayerDialog::StorePlayer(std::unique_ptr<WavePlayer> newPlayer) {
    player = std::move(newPlayer);
    lastShownSecond = -1;
}

void PlayerDialog::OnPlay() {
    if (player && player->GetState() == Paused) {
        player->Resume();
        ShowPause();
        Trace(QStringLiteral("play"));
        return;
    }
    if (sourcePath.isEmpty()) return;
    player.reset();
    std::unique_ptr<WavePlayer> created;
    if (ExceptionPtr error = CatchException([&] {
            created = std::make_unique<WavePlayer>(QFile::encodeName(tempPath).toStdString());
        })) {
        lastShownSecond = -1;
        error->ReportError(0);
        return;
    }
    StorePlayer(std::move(created));
    if (ExceptionPtr error = CatchException([&] { player->Play(); })) {
        // The player stays, stopped; pressing Play again builds a fresh one.
        error->ReportError(kMbIconStop);
        return;
    }
    ShowPause();
    Trace(QStringLiteral("play"));
}

void PlayerDialog::OnPause() {
    if (!player || player->GetState() != Playing) return;
    player->Pause();
    ShowPlay();
}

void PlayerDialog::OnStop() {
    if (!player) {
        SetTime(0, 0);
        return;
    }
    if (player->GetState() == Playing || player->GetState() == Paused) player->Stop();
    Trace(QStringLiteral("stop"));
    SetTime(0, player->GetDuration() / 1000);
    player.reset();
    ShowPlay();
    speedDisplay->hide();
}

void PlayerDialog::TogglePlayPause() {
    if (player && player->GetState() == Playing) {
        OnPause();
    } else {
        OnPlay();
    }
}

void PlayerDialog::ShowPlay() {
    playButton->show();
    playButton->setFocus();
    pauseButton->hide();
}

void PlayerDialog::ShowPause() {
    pauseButton->show();
    pauseButton->setFocus();
    playButton->hide();
}

void PlayerDialog::OnFastBack() {
    if (!player) return;
    const uint32_t d = player->GetDuration();
    const uint32_t p = player->GetPosition();
    const uint32_t t = d / 10;
    player->Seek(p > t ? p - t : 0);
}

void PlayerDialog::OnFastForward() {
    if (!player) return;
    const uint32_t d = player->GetDuration();
    const uint32_t p = player->GetPosition();
    const uint32_t t = d / 10;
    uint32_t n = p + t;
    // Past the end: one second before the end, or the start of a recording under a second.
    if (n > d) n = d >= 1000 ? d - 1000 : 0;
    player->Seek(n);
}

void PlayerDialog::OnSpeed() {
    if (!player) return;
    uint32_t n = player->GetSpeed() + 1;
    if (n > 3) n = 1;
    player->SetSpeed(n);
    if (n <= 1) {
        speedDisplay->hide();
    } else {
        speedDisplay->SetText(QStringLiteral("x%1").arg(n));
        speedDisplay->show();
    }
}

uint32_t PlayerDialog::ReadVolumePercent() {
    const uint32_t low = WaveOutGetVolume() & 0xFFFF;
    const uint32_t p = low * 100 / 65535;
    const uint32_t r = p / 10 * 10;
    return p - r > 5 ? r + 10 : r;
}

void PlayerDialog::ApplyVolumePercent(uint32_t percent) {
    uint32_t v = std::min<uint32_t>(percent, 100) * 65535 / 100;
    if (v < 16) v |= 1;
    // Both channels: a stereo recording keeps its right channel.
    WaveOutSetVolume(v | (v << 16));
}

void PlayerDialog::OnVolumeUp() {
    if (volumePercent >= 100) return;
    volumePercent += 10;
    ApplyVolumePercent(volumePercent);
    ShowVolume();
    WriteVolume(volumePercent);
}

void PlayerDialog::OnVolumeDown() {
    if (volumePercent < 10) return;
    volumePercent -= 10;
    ApplyVolumePercent(volumePercent);
    ShowVolume();
    WriteVolume(volumePercent);
}

void PlayerDialog::ShowVolume() {
    volumeDisplay->SetText(QStringLiteral("%1%").arg(volumePercent));
}

void PlayerDialog::OnTimer() {
    const uint32_t p = ReadVolumePercent();
    if (p != volumePercent) {
        volumePercent = p;
        ShowVolume();
    }
    if (!player) {
        lastShownSecond = -1;
        return;
    }
    const uint32_t d = player->GetDuration();
    const uint32_t s = player->GetPosition() / 1000;
    if (static_cast<int64_t>(s) != lastShownSecond) {
        lastShownSecond = static_cast<int32_t>(s);
        SetTime(s, d / 1000);
    }
    if (player->IsFinished()) {
        OnStop();
        if (closeOnFinish) done(0);
    }
}

void PlayerDialog::SetTime(uint32_t positionSeconds, uint32_t durationSeconds) {
    timeDisplay->SetText(TimeText(positionSeconds, durationSeconds));
}

void PlayerDialog::SetFileNameLine(const QString& text) {
    fileNameLine->setText(text);
    Trace(QStringLiteral("name ") + text);
}

void PlayerDialog::OnActivate(bool active) {
    // A full-screen window that lost its state (a window manager restored it while it was
    // in the background) fills the screen again when it comes back.
    if (active && fullScreen && !isFullScreen()) showFullScreen();
}

void PlayerDialog::OnTap(int x, int y) {
    const int W = width();
    if (x <= 28 && y <= 28) {
        // The corner opens the program's own menu.
        menu->popup(mapToGlobal(QPoint(x, y)));
        return;
    }
    if (W - 25 < x && x < W - 8 && 9 <= y && y <= 22) done(Accepted);
}

void PlayerDialog::OnHandOver() {
    const std::optional<QString> text = TakeAutoPlay();
    if (!text) return;
    // sourcePath changes only when the open succeeds, so Save As always copies the recording
    // that tempPath holds.
    QString path;
    QString name;
    SplitDisplayTag(*text, &path, &name);
    if (aboutBox) aboutBox->done(2);
    OnStop();
    BringToFront();
    OpenSourceShowing(path, name);
    pauseButton->setFocus();
}

void PlayerDialog::BringToFront() {
    if (isMinimized()) setWindowState(windowState() & ~Qt::WindowMinimized);
    show();
    raise();
    activateWindow();
}

void PlayerDialog::done(int result) {
    timer->stop();
    player.reset();  // silence at once, before the caller gets control back
    QDialog::done(result);
}

void PlayerDialog::resizeEvent(QResizeEvent* event) {
    QDialog::resizeEvent(event);
    LayoutControls();
}

void PlayerDialog::mousePressEvent(QMouseEvent* event) {
    const QPoint at = event->position().toPoint();
    OnTap(at.x(), at.y());
    QDialog::mousePressEvent(event);
}

void PlayerDialog::changeEvent(QEvent* event) {
    QDialog::changeEvent(event);
    if (event->type() == QEvent::ActivationChange) OnActivate(isActiveWindow());
}

void PlayerDialog::dragEnterEvent(QDragEnterEvent* event) {
    const QList<QUrl> urls = event->mimeData()->urls();
    if (urls.size() == 1 && urls.first().isLocalFile()) event->acceptProposedAction();
}

void PlayerDialog::dropEvent(QDropEvent* event) {
    const QList<QUrl> urls = event->mimeData()->urls();
    if (urls.size() != 1 || !urls.first().isLocalFile()) return;
    event->acceptProposedAction();
    OpenSource(urls.first().toLocalFile());
}

QWidget* PlayerDialog::Control(int id) const {
    switch (id) {
        case kIdPause:
            return pauseButton;
        case kIdPlay:
            return playButton;
        case kIdStop:
            return stopButton;
        case kIdFileName:
            return fileNameLine;
        case kIdFastBack:
            return fastBackButton;
        case kIdSpeed:
            return speedButton;
        case kIdFastForward:
            return fastForwardButton;
        case kIdTime:
            return timeDisplay;
        case kIdSpeedDisplay:
            return speedDisplay;
        case kIdBackground:
            return background;
        case kIdVolumeUp:
            return volumeUpButton;
        case kIdVolumeDisplay:
            return volumeDisplay;
        case kIdVolumeDown:
            return volumeDownButton;
        default:
            return nullptr;
    }
}

QString PlayerDialog::ControlText(int id) const {
    if (id == kIdFileName) return fileNameLine->text();
    if (auto* display = qobject_cast<CTransparentStatic*>(Control(id))) return display->Text();
    return {};
}

void PlayerDialog::ReportText(const QString& text, unsigned style) {
    CMessageException(text.toStdString()).ReportError(style);
}

CAboutBox* PlayerDialog::AboutBox() const {
    return aboutBox.data();
}
