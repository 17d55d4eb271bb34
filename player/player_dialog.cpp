#include "player/player_dialog.h"

#include <QApplication>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFontInfo>
#include <QHBoxLayout>
#include <QKeySequence>
#include <QLabel>
#include <QMenu>
#include <QMimeData>
#include <QMouseEvent>
#include <QPushButton>
#include <QShortcut>
#include <QTimer>
#include <QWheelEvent>

#include "player/about_box.h"
#include "player/dialog_scope.h"
#include "player/message_box.h"
#include "player/player_session.h"
#include "player/skin/bitmap_button.h"
#include "player/skin/skin.h"
#include "player/skin/skin_metrics.h"
#include "player/skin/transparent_static.h"
#include "player/waveform_view.h"

namespace {

constexpr int kTimerIntervalMs = 250;
constexpr int32_t kSkipMs = 5000;  // Shift+Left and Shift+Right

}  // namespace

PlayerDialog::PlayerDialog(PlayerSession& session, QWidget* parent)
    : QDialog(parent), session(session) {
    InitPlayerResources();
    setWindowTitle(QStringLiteral("Corvane"));
    setWindowIcon(QIcon(QStringLiteral(":/corvane.png")));
    // The program's main window: a top-level window, not a dialog, whose title bar is the
    // skin's caption band (one title and one close box, in the skin's look).
    setWindowFlags(Qt::Window | Qt::FramelessWindowHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinMaxButtonsHint | Qt::WindowCloseButtonHint);
    // Moves reach the window without a button held (also over its controls, which pass them
    // on), so its edges can show the resize shape.
    setMouseTracking(true);
    setAcceptDrops(true);
    CreateControls();
    CreateBar();
    CreateShortcuts();
    timer = new QTimer(this);
    timer->setInterval(kTimerIntervalMs);
    connect(timer, &QTimer::timeout, this, &PlayerDialog::OnTimer);
    setMinimumSize(skin::kMinimumWidth, skin::kMinimumSkinHeight + skin::kBarHeight);
    resize(skin::kDefaultWidth, skin::kDefaultHeight);
    LayoutControls();

    session.SetReporter([this](const PlayerSession::Report& report) {
        DialogScope scope(this->session);
        ShowMessageBox(this, report.message, report.file,
                       report.stopIcon ? BoxIcon::Stop : BoxIcon::Exclamation);
    });
    connect(&session, &PlayerSession::DisplayChanged, this, &PlayerDialog::Refresh);
    connect(&session, &PlayerSession::BusyChanged, this, [](bool busy) {
        if (busy) {
            QApplication::setOverrideCursor(Qt::WaitCursor);
        } else {
            QApplication::restoreOverrideCursor();
        }
    });
    connect(&session, &PlayerSession::CloseRequested, this, [this] { done(0); });
    // Every input event passes eventFilter: the focus ring, the wheel over the volume and a
    // click on the time display are decided there.
    qApp->installEventFilter(this);
    ShowFocusRing(false);  // until the user first moves by keyboard
    Refresh();
}

PlayerDialog::~PlayerDialog() {
    session.SetReporter(nullptr);
}

void PlayerDialog::CreateControls() {
    background = new QLabel(this);
    background->setObjectName(QStringLiteral("background"));
    background->setAttribute(Qt::WA_TransparentForMouseEvents);
    background->move(0, 0);

    // Every control tells screen readers what it is and the mouse pointer what its keys are.
    auto describe = [](QWidget* w, const char* name, const QString& accessible,
                       const QString& tip) {
        w->setObjectName(QLatin1String(name));
        w->setAccessibleName(accessible);
        w->setToolTip(tip);
    };
    auto button = [&](const char* name, const char* text, void (PlayerDialog::*handler)(),
                      const QString& accessible, const QString& tip) {
        auto* b = new BitmapButton(QString::fromLatin1(text), this);
        describe(b, name, accessible, tip);
        connect(b, &QAbstractButton::clicked, this, handler);
        return b;
    };
    auto display = [&](const char* name, const char* text, const QString& accessible,
                       const QString& tip) {
        auto* d = new CTransparentStatic(QString::fromLatin1(text), this);
        describe(d, name, accessible, tip);
        return d;
    };
    // Creation order is the keyboard focus order.
    fastBackButton = button("fastBack", "FB", &PlayerDialog::OnFastBack, tr("Back"),
                            tr("Back a tenth (Left); 5 seconds back (Shift+Left)"));
    stopButton = button("stop", "Stop", &PlayerDialog::OnStop, tr("Stop"), tr("Stop"));
    pauseButton =
        button("pause", "Pause", &PlayerDialog::OnPause, tr("Pause"), tr("Pause (Space)"));
    playButton = button("play", "Play", &PlayerDialog::OnPlay, tr("Play"), tr("Play (Space)"));
    speedButton =
        button("speed", "Speed", &PlayerDialog::OnSpeed, tr("Speed"), tr("Speed 1x, 2x, 3x (S)"));
    fastForwardButton = button("fastForward", "FF", &PlayerDialog::OnFastForward, tr("Forward"),
                               tr("Forward a tenth (Right); 5 seconds forward (Shift+Right)"));
    pauseButton->hide();

    fileNameLine = new QLabel(this);
    describe(fileNameLine, "fileName", tr("Message"), QString());
    fileNameLine->setTextFormat(Qt::PlainText);
    QPalette palette = fileNameLine->palette();
    palette.setColor(QPalette::WindowText, ColorFromRef(skin::kDisplayTextColor));
    fileNameLine->setPalette(palette);

    timeDisplay = display("time", "Time", tr("Position and duration"),
                          tr("Position and duration; click to show the time left"));
    speedDisplay = display("speedDisplay", "Speed", tr("Speed"), tr("Speed"));
    speedDisplay->hide();
    volumeDownButton = button("volumeDown", "VolumeDown", &PlayerDialog::OnVolumeDown,
                              tr("Volume down"), tr("Volume down (Down, or the mouse wheel)"));
    volumeUpButton = button("volumeUp", "VolumeUp", &PlayerDialog::OnVolumeUp, tr("Volume up"),
                            tr("Volume up (Up, or the mouse wheel)"));
    volumeDisplay = display("volumeDisplay", "vol", tr("Volume"),
                            tr("Volume (Up and Down, or the mouse wheel)"));
    waveform = new WaveformView(session, this);
    background->lower();
}

void PlayerDialog::CreateBar() {
    bar = new QWidget(this);
    bar->setObjectName(QStringLiteral("menuBar"));
    bar->setAttribute(Qt::WA_StyledBackground);
    ScaleBar(skinScale);
    auto* layout = new QHBoxLayout(bar);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    // The window's commands: each key is bound once, on its action, and works whether or not
    // the menu is open.
    auto command = [this](const char* name, const QString& text, QKeySequence keys,
                          void (PlayerDialog::*handler)()) {
        auto* action = new QAction(text, this);
        action->setObjectName(QLatin1String(name));
        action->setShortcut(keys);
        action->setShortcutContext(Qt::WindowShortcut);
        connect(action, &QAction::triggered, this, handler);
        addAction(action);
        return action;
    };
    QAction* openFile = command("openFileAction", QStringLiteral("Open File"),
                                QKeySequence(Qt::CTRL | Qt::Key_O), &PlayerDialog::OnOpenFile);
    QAction* saveAs = command("saveAs", QStringLiteral("&Save As..."),
                              QKeySequence(Qt::CTRL | Qt::Key_S), &PlayerDialog::OnSaveAs);

    // Neither bar button answers Enter: the keyboard belongs to the transport.
    auto* openButton = new QPushButton(openFile->text(), bar);
    openButton->setObjectName(QStringLiteral("openFile"));
    openButton->setToolTip(tr("Open File (Ctrl+O)"));
    openButton->setFocusPolicy(Qt::NoFocus);
    openButton->setAutoDefault(false);
    connect(openButton, &QPushButton::clicked, openFile, &QAction::trigger);

    menu = new QMenu(this);
    menu->addAction(saveAs);
    closeOnFinishAction = menu->addAction(QStringLiteral("&Close On Finish"));
    closeOnFinishAction->setObjectName(QStringLiteral("closeOnFinish"));
    closeOnFinishAction->setCheckable(true);
    // The handler decides the new state; the automatic toggle is undone first.
    connect(closeOnFinishAction, &QAction::triggered, this, [this] {
        closeOnFinishAction->setChecked(session.CloseOnFinish());
        OnCloseOnFinish();
    });
    menu->addSeparator();
    menu->addAction(QStringLiteral("Check For &Update"), this, &PlayerDialog::OnCheckForUpdate)
        ->setObjectName(QStringLiteral("checkForUpdate"));
    menu->addAction(QStringLiteral("&About Corvane"), this, &PlayerDialog::OnAbout)
        ->setObjectName(QStringLiteral("about"));

    menuButton = new QPushButton(QStringLiteral("Menu"), bar);
    menuButton->setObjectName(QStringLiteral("menuButton"));
    menuButton->setToolTip(tr("Menu (F10)"));
    menuButton->setFocusPolicy(Qt::NoFocus);
    menuButton->setAutoDefault(false);
    menuButton->setMenu(menu);

    layout->addWidget(openButton);
    layout->addStretch(1);
    layout->addWidget(menuButton);
}

void PlayerDialog::ScaleBar(int scale) {
    const QColor back = ColorFromRef(skin::kBarColor);
    const QColor text = ColorFromRef(skin::kDisplayBackColor);
    // The window's own font, scaled with the skin.
    const QString size =
        scale > 1 ? QStringLiteral(" font-size: %1px;").arg(QFontInfo(font()).pixelSize() * scale)
                  : QString();
    bar->setStyleSheet(QStringLiteral("#menuBar { background: %1; }"
                                      "QPushButton { color: %2; background: transparent;"
                                      " border: none; padding: %4px %5px; font-weight: bold;%6 }"
                                      "QPushButton:pressed, QPushButton:open { background: %3; }"
                                      "QPushButton::menu-indicator { image: none; width: 0; }")
                           .arg(back.name(), text.name(), back.lighter(160).name())
                           .arg(4 * scale)
                           .arg(10 * scale)
                           .arg(size));
}

void PlayerDialog::CreateShortcuts() {
    auto shortcut = [this](QKeySequence keys, auto handler) {
        auto* s = new QShortcut(keys, this);
        s->setContext(Qt::WindowShortcut);
        connect(s, &QShortcut::activated, this, handler);
    };
    shortcut(QKeySequence(Qt::Key_Space), [this] { session.TogglePlayPause(); });
    shortcut(QKeySequence(Qt::Key_Left), [this] { OnFastBack(); });
    shortcut(QKeySequence(Qt::Key_Right), [this] { OnFastForward(); });
    shortcut(QKeySequence(Qt::Key_Up), [this] { OnVolumeUp(); });
    shortcut(QKeySequence(Qt::Key_Down), [this] { OnVolumeDown(); });
    shortcut(QKeySequence(Qt::SHIFT | Qt::Key_Left), [this] { session.Skip(-kSkipMs); });
    shortcut(QKeySequence(Qt::SHIFT | Qt::Key_Right), [this] { session.Skip(kSkipMs); });
    shortcut(QKeySequence(Qt::Key_Home), [this] { session.Seek(0); });
    shortcut(QKeySequence(Qt::Key_S), [this] { OnSpeed(); });
    shortcut(QKeySequence(Qt::Key_BracketRight), [this] { session.StepSpeed(+1); });
    shortcut(QKeySequence(Qt::Key_BracketLeft), [this] { session.StepSpeed(-1); });
    shortcut(QKeySequence(Qt::CTRL | Qt::Key_Q), [this] { reject(); });
    // Window managers close a window on Alt+F4 themselves; this covers a desktop without one.
    shortcut(QKeySequence(Qt::ALT | Qt::Key_F4), [this] { reject(); });
    shortcut(QKeySequence(Qt::Key_F1), [this] { OnHelpRequest(); });
    for (QKeySequence keys : {QKeySequence(Qt::Key_F10), QKeySequence(Qt::SHIFT | Qt::Key_F10),
                              QKeySequence(Qt::Key_Menu)}) {
        shortcut(keys, [this] { menu->popup(menuButton->mapToGlobal(QPoint(0, 0))); });
    }
    // Escape closes the window through QDialog's own handling.
}

void PlayerDialog::OnInitDialog() {
    if (initialised) return;
    initialised = true;
    LayoutControls();
    closeOnFinishAction->setChecked(session.CloseOnFinish());
    playButton->setFocus();
    session.Start(startPath);
    timer->start();
}

void PlayerDialog::Refresh() {
    const PlayerSession::Display& d = session.GetDisplay();
    setWindowTitle(d.title);
    ShowFileName();
    timeDisplay->SetText(d.time);
    volumeDisplay->SetText(d.volume);
    speedDisplay->SetText(d.speed);
    PlaceSpeedDisplay();
    speedDisplay->setVisible(!d.speed.isEmpty());
    // The button that stands in the shared place takes the keyboard focus with it.
    BitmapButton* shown = d.pauseShown ? pauseButton : playButton;
    BitmapButton* hidden = d.pauseShown ? playButton : pauseButton;
    if (shown->isHidden()) {
        shown->show();
        shown->setFocus();
        hidden->hide();
    }
}

void PlayerDialog::ShowFileName() {
    // A name too long for the line is cut with "..." and shown whole in its tooltip.
    const QString& name = session.GetDisplay().fileName;
    const QFontMetrics metrics(fileNameLine->font());
    const int room = fileNameLine->width();
    QString shown = name;
    if (metrics.horizontalAdvance(name) > room) {
        const QString dots = QStringLiteral("...");
        qsizetype keep = name.size();
        while (keep > 0 && metrics.horizontalAdvance(name.left(keep) + dots) > room) --keep;
        shown = name.left(keep) + dots;
    }
    fileNameLine->setText(shown);
    fileNameLine->setToolTip(shown == name ? QString() : name);
}

bool PlayerDialog::eventFilter(QObject* watched, QEvent* event) {
    if (auto* target = qobject_cast<QWidget*>(watched);
        target && target->window() == this && FrameEvent(target, event)) {
        return true;
    }
    switch (event->type()) {
        case QEvent::KeyPress:
            ShowFocusRing(true);
            break;
        case QEvent::MouseButtonPress:
            ShowFocusRing(false);
            if (watched == timeDisplay) {
                session.ToggleTimeLeft();
                return true;
            }
            break;
        case QEvent::Wheel:
            if (watched == volumeDisplay || watched == volumeUpButton ||
                watched == volumeDownButton) {
                // One step per notch (120); touchpads send smaller deltas that add up.
                wheelDelta += static_cast<QWheelEvent*>(event)->angleDelta().y();
                for (; wheelDelta >= 120; wheelDelta -= 120) session.VolumeUp();
                for (; wheelDelta <= -120; wheelDelta += 120) session.VolumeDown();
                return true;
            }
            break;
        default:
            break;
    }
    return QDialog::eventFilter(watched, event);
}

void PlayerDialog::ShowFocusRing(bool shown) {
    for (BitmapButton* b : findChildren<BitmapButton*>()) b->SetFocusRingShown(shown);
}

void PlayerDialog::OnPlay() {
    session.Play();
}

void PlayerDialog::OnPause() {
    session.Pause();
}

void PlayerDialog::OnStop() {
    session.Stop();
}

void PlayerDialog::OnFastBack() {
    session.FastBack();
}

void PlayerDialog::OnFastForward() {
    session.FastForward();
}

void PlayerDialog::OnSpeed() {
    session.CycleSpeed();
}

void PlayerDialog::OnVolumeUp() {
    session.VolumeUp();
}

void PlayerDialog::OnVolumeDown() {
    session.VolumeDown();
}

void PlayerDialog::OnTimer() {
    session.Tick();
}

void PlayerDialog::OnActivate(bool active) {
    // A full-screen window that lost its state (a window manager restored it while it was
    // in the background) fills the screen again when it comes back.
    if (active && fullScreen && !isFullScreen()) showFullScreen();
}

void PlayerDialog::OnTap(int x, int y) {
    if (InMenuCorner(QPoint(x, y))) {
        // The corner opens the program's own menu.
        menu->popup(mapToGlobal(QPoint(x, y)));
        return;
    }
    if (InCloseBox(QPoint(x, y))) done(Accepted);
}

bool PlayerDialog::InMenuCorner(QPoint at) const {
    return at.x() <= skin::kMenuCorner * skinScale && at.y() <= skin::kMenuCorner * skinScale;
}

bool PlayerDialog::InCloseBox(QPoint at) const {
    const int W = width();
    const int s = skinScale;
    return W - skin::kCloseAreaLeft * s < at.x() && at.x() < W - skin::kCloseAreaRight * s &&
           skin::kCloseAreaTop * s <= at.y() && at.y() <= skin::kCloseAreaBottom * s;
}

void PlayerDialog::OnHandOver(const QString& text) {
    if (aboutBox) aboutBox->done(2);
    BringToFront();
    session.HandOver(text);
    if (pauseButton->isVisible()) pauseButton->setFocus();
}

void PlayerDialog::BringToFront() {
    if (isMinimized()) setWindowState(windowState() & ~Qt::WindowMinimized);
    show();
    raise();
    activateWindow();
}

void PlayerDialog::done(int result) {
    timer->stop();
    session.Shutdown();  // silence at once, before the caller gets control back
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
    session.OpenSource(urls.first().toLocalFile());
}
