#include "player/player_dialog.h"

#include <QAccessible>
#include <QAction>
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
#include <QTimer>
#include <QWheelEvent>
#include <functional>
#include <string_view>

#include "inbox/inbox.h"
#include "player/about_box.h"
#include "player/desktop_notifier.h"
#include "player/dialog_scope.h"
#include "player/inbox_browser.h"
#include "player/inbox_view.h"
#include "player/message_box.h"
#include "player/player_session.h"
#include "player/skin/bitmap_button.h"
#include "player/skin/skin.h"
#include "player/skin/skin_frame.h"
#include "player/skin/skin_metrics.h"
#include "player/skin/transparent_static.h"
#include "player/waveform_view.h"

namespace {

constexpr int kTimerIntervalMs = 250;
constexpr int32_t kSkipMs = 5000;  // Shift+Left and Shift+Right

// A command's key as the user reads it ("Shift+Left").
QString KeyText(const QAction* action) {
    return action->shortcut().toString(QKeySequence::NativeText);
}

// "what (key)", or what alone for a command without a key.
QString WithKey(const QString& what, const QAction* action) {
    const QString key = KeyText(action);
    return key.isEmpty() ? what : what + QStringLiteral(" (") + key + QLatin1Char(')');
}

}  // namespace

PlayerDialog::PlayerDialog(PlayerSession& session, InboxBrowser& inbox, QWidget* parent)
    : QDialog(parent), session_(session), inbox_(inbox) {
    InitPlayerResources();
    setWindowTitle(QStringLiteral("Corvane"));
    setWindowIcon(QIcon(QStringLiteral(":/corvane.png")));
    // The program's main window: a top-level window, not a dialog, whose title bar is the
    // skin's caption band (one title and one close box, in the skin's look).
    setWindowFlags(Qt::Window | Qt::FramelessWindowHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinMaxButtonsHint | Qt::WindowCloseButtonHint);
    setAcceptDrops(true);
    CreateCommands();
    CreateControls();
    CreateBar();
    timer_ = new QTimer(this);
    timer_->setInterval(kTimerIntervalMs);
    connect(timer_, &QTimer::timeout, &session_, &PlayerSession::Tick);
    setMinimumSize(skin::kMinimumWidth, skin::kMinimumSkinHeight + skin::kBarHeight);
    resize(skin::kDefaultWidth, skin::kDefaultHeight);
    LayoutControls();

    session_.SetReporter([this](const PlayerSession::Report& report) {
        DialogScope scope(session_);
        ShowMessageBox(this, report.message, report.detail,
                       report.stopIcon ? BoxIcon::Stop : BoxIcon::Exclamation);
    });
    connect(&session_, &PlayerSession::DisplayChanged, this, &PlayerDialog::Refresh);
    connect(&session_, &PlayerSession::CloseRequested, this, [this] { done(0); });
    connect(&inbox_, &InboxBrowser::Changed, this, &PlayerDialog::ShowInbox);
    // Who left a message, for a user who is elsewhere.
    connect(&inbox_, &InboxBrowser::MessageArrived, this, [this](const QString& who) {
        if (!isActiveWindow()) NotifyDesktop(tr("New voice message"), tr("From %1").arg(who));
    });
    // Every input event passes eventFilter: the focus ring, the wheel over the volume and a
    // click on the time display are decided there. The frame sees mouse events first.
    qApp->installEventFilter(this);
    frame_ = new SkinFrame(
        *this, [this](QPoint at) { return OnCaption(at); },
        [this](QPoint at) { return InMenuCorner(at); });  // the top-left corner is the menu's
    ShowFocusRing(false);                                 // until the user first moves by keyboard
    Refresh();
}

PlayerDialog::~PlayerDialog() {
    session_.SetReporter(nullptr);
}

void PlayerDialog::CreateCommands() {
    // One row per command: its action's object name, its text in the menu, its key (the
    // first one is named in tooltips), what its tooltip says before the key, and what it does.
    struct CommandRow {
        const char* name;
        QString text;
        QList<QKeySequence> keys;
        QString tip;
        std::function<void()> run;
    };
    PlayerSession& s = session_;
    const CommandRow rows[] = {
        {"playPause",
         tr("Play/Pause"),
         {Qt::Key_Space},
         tr("Play or pause"),
         [&s] { s.TogglePlayPause(); }},
        {"stopPlayback", tr("Stop"), {Qt::Key_Period}, tr("Stop"), [&s] { s.Stop(); }},
        {"tenthBack",
         tr("Back a tenth"),
         {Qt::Key_Left},
         tr("Back a tenth"),
         [&s] { s.FastBack(); }},
        {"tenthForward",
         tr("Forward a tenth"),
         {Qt::Key_Right},
         tr("Forward a tenth"),
         [&s] { s.FastForward(); }},
        {"skipBack",
         tr("5 seconds back"),
         {Qt::SHIFT | Qt::Key_Left},
         tr("5 seconds back"),
         [&s] { s.Skip(-kSkipMs); }},
        {"skipForward",
         tr("5 seconds forward"),
         {Qt::SHIFT | Qt::Key_Right},
         tr("5 seconds forward"),
         [&s] { s.Skip(kSkipMs); }},
        {"toStart", tr("To the start"), {Qt::Key_Home}, tr("To the start"), [&s] { s.Seek(0); }},
        {"cycleSpeed",
         tr("Speed 1x, 2x, 3x"),
         {Qt::Key_S},
         tr("Speed 1x, 2x, 3x"),
         [&s] { s.CycleSpeed(); }},
        {"faster",
         tr("A quarter faster"),
         {Qt::Key_BracketRight},
         tr("a quarter faster"),
         [&s] { s.StepSpeed(+1); }},
        {"slower",
         tr("A quarter slower"),
         {Qt::Key_BracketLeft},
         tr("a quarter slower"),
         [&s] { s.StepSpeed(-1); }},
        {"louder", tr("Volume up"), {Qt::Key_Up}, tr("Volume up"), [&s] { s.VolumeUp(); }},
        {"quieter", tr("Volume down"), {Qt::Key_Down}, tr("Volume down"), [&s] { s.VolumeDown(); }},
        {"openFileAction",
         QStringLiteral("Open File"),
         {QKeySequence::Open},
         tr("Open File"),
         [this] { OnOpenFile(); }},
        {"openFolder",
         tr("Open &Folder..."),
         {Qt::CTRL | Qt::SHIFT | Qt::Key_O},
         tr("Open a folder of messages as a list"),
         [this] { OnOpenFolder(); }},
        {"toggleList",
         tr("Show Waveform"),
         {Qt::Key_I},
         tr("Switch between the list of messages and the waveform"),
         [this] {
             listShown_ = !listShown_;
             ShowInbox();
         }},
        {"nextMessage",
         tr("&Next Message"),
         {Qt::Key_N, Qt::CTRL | Qt::Key_Right, Qt::Key_MediaNext},
         tr("Play the message left after this one"),
         [this] { inbox_.Next(); }},
        {"previousMessage",
         tr("&Previous Message"),
         {Qt::Key_P, Qt::CTRL | Qt::Key_Left, Qt::Key_MediaPrevious},
         tr("Play the message left before this one"),
         [this] { inbox_.Previous(); }},
        {"playNextAutomatically",
         tr("Play Next &Automatically"),
         {},
         tr("When a message ends, play the next new one"),
         [this] {
             inbox_.SetPlayNextAutomatically(!inbox_.PlayNextAutomatically());
             Command("playNextAutomatically")->setChecked(inbox_.PlayNextAutomatically());
         }},
        {"markNew",
         tr("&Mark as New"),
         {Qt::Key_U},
         tr("Mark the chosen message as not heard"),
         [this] { inbox_.MarkNew(ChosenRow()); }},
        {"moveToTrash",
         tr("Move to &Trash"),
         {QKeySequence::Delete},
         tr("Move the chosen message and its text to the Trash"),
         [this] { inbox_.MoveToTrash(ChosenRow()); }},
        {"undoTrash",
         tr("&Undo Move to Trash"),
         {QKeySequence::Undo},
         tr("Put the message last moved to the Trash back"),
         [this] { inbox_.UndoTrash(); }},
        {"saveAs",
         QStringLiteral("&Save As..."),
         {Qt::CTRL | Qt::Key_S},
         tr("Save a copy: the original file as it is, or a copy for sharing (Opus: small, "
            "for phones and mail; FLAC: lossless; MP3: for older players)"),
         [this] { OnSaveAs(); }},
        {"closeOnFinish",
         QStringLiteral("&Close On Finish"),
         {},
         tr("Close On Finish"),
         [this, &s] {
             s.SetCloseOnFinish(!s.CloseOnFinish());
             Command("closeOnFinish")->setChecked(s.CloseOnFinish());
         }},
        {"skipSilence",
         tr("Skip Silence"),
         {Qt::Key_K},
         tr("Skip Silence: pauses longer than half a second play as a quarter of a second"),
         [this, &s] {
             s.SetSkipSilence(!s.Tools().skipSilence);
             Command("skipSilence")->setChecked(s.Tools().skipSilence);
         }},
        {"levelVoice",
         tr("Level Voice"),
         {Qt::Key_L},
         tr("Level Voice: every message plays equally loud (-16 LUFS), quiet ones raised by up "
            "to 24 dB, never clipping"),
         [this, &s] {
             s.SetLevelVoice(!s.Tools().level);
             Command("levelVoice")->setChecked(s.Tools().level);
         }},
        {"checkForUpdate",
         QStringLiteral("Check For &Update"),
         {},
         tr("Check For Update"),
         [this] { OnCheckForUpdate(); }},
        {"about", QStringLiteral("&About Corvane"), {}, tr("About Corvane"), [this] { OnAbout(); }},
        {"help", tr("Help"), {QKeySequence::HelpContents}, tr("Help"), [this] { OnHelpRequest(); }},
        // Window managers close a window on Alt+F4 themselves; this covers a desktop without.
        {"quit",
         tr("Close"),
         {QKeySequence::Quit, Qt::ALT | Qt::Key_F4},
         tr("Close"),
         [this] { reject(); }},
        {"showMenu",
         QStringLiteral("Menu"),
         {Qt::Key_F10, Qt::SHIFT | Qt::Key_F10, Qt::Key_Menu},
         tr("Menu"),
         [this] { PopUpMenu(); }},
    };
    for (const CommandRow& row : rows) {
        auto* action = new QAction(row.text, this);
        action->setObjectName(QLatin1String(row.name));
        action->setShortcuts(row.keys);
        action->setShortcutContext(Qt::WindowShortcut);
        action->setToolTip(WithKey(row.tip, action));
        connect(action, &QAction::triggered, this, row.run);
        addAction(action);
    }
    // Escape closes the window through QDialog's own handling.
}

QAction* PlayerDialog::Command(const char* name) const {
    return findChild<QAction*>(QLatin1String(name), Qt::FindDirectChildrenOnly);
}

BitmapButton* PlayerDialog::CreateButton(const char* name, const QString& label,
                                         std::initializer_list<const char*> commands) {
    auto* button = new BitmapButton(QString(), this);
    button->setObjectName(QLatin1String(name));
    button->setAccessibleName(label);
    QAction* first = Command(*commands.begin());
    QString tip = WithKey(label, first);
    for (auto other = commands.begin() + 1; other != commands.end(); ++other) {
        tip += QStringLiteral("; ") + Command(*other)->toolTip();
    }
    button->setToolTip(tip);
    connect(button, &QAbstractButton::clicked, first, &QAction::trigger);
    return button;
}

void PlayerDialog::CreateControls() {
    background_ = new QLabel(this);
    background_->setObjectName(QStringLiteral("background"));
    background_->setAttribute(Qt::WA_TransparentForMouseEvents);
    background_->move(0, 0);

    // Every display tells screen readers what it is (its name) and what it shows (its
    // description, kept current), and the mouse pointer what its keys are.
    auto display = [this](const char* name, const QString& accessible, const QString& tip) {
        auto* d = new CTransparentStatic(QString(), this);
        d->setObjectName(QLatin1String(name));
        d->setAccessibleName(accessible);
        d->setToolTip(tip);
        return d;
    };
    // Creation order is the keyboard focus order. Play and Pause share one place, and each
    // does what the Space key does there.
    fastBackButton_ = CreateButton("fastBack", tr("Back a tenth"), {"tenthBack", "skipBack"});
    stopButton_ = CreateButton("stop", tr("Stop"), {"stopPlayback"});
    pauseButton_ = CreateButton("pause", tr("Pause"), {"playPause"});
    playButton_ = CreateButton("play", tr("Play"), {"playPause"});
    speedButton_ =
        CreateButton("speed", tr("Speed 1x, 2x, 3x"), {"cycleSpeed", "faster", "slower"});
    fastForwardButton_ =
        CreateButton("fastForward", tr("Forward a tenth"), {"tenthForward", "skipForward"});
    pauseButton_->hide();

    fileNameLine_ = new QLabel(this);
    fileNameLine_->setObjectName(QStringLiteral("fileName"));
    fileNameLine_->setAccessibleName(tr("Message"));
    fileNameLine_->setTextFormat(Qt::PlainText);
    QPalette palette = fileNameLine_->palette();
    palette.setColor(QPalette::WindowText, ColorFromRef(skin::kDisplayTextColor));
    fileNameLine_->setPalette(palette);

    const QString wheel = tr("; the mouse wheel over the volume too");
    timeDisplay_ = display("time", tr("Position and duration"),
                           tr("Position and duration; click to show the time left"));
    speedDisplay_ = display("speedDisplay", tr("Speed"), speedButton_->toolTip());
    speedDisplay_->hide();
    volumeDownButton_ = CreateButton("volumeDown", tr("Volume down"), {"quieter"});
    volumeDownButton_->setToolTip(volumeDownButton_->toolTip() + wheel);
    volumeUpButton_ = CreateButton("volumeUp", tr("Volume up"), {"louder"});
    volumeUpButton_->setToolTip(volumeUpButton_->toolTip() + wheel);
    volumeDisplay_ = display("volumeDisplay", tr("Volume"),
                             Command("louder")->toolTip() + QStringLiteral("; ") +
                                 Command("quieter")->toolTip() + wheel);
    waveform_ = new WaveformView(session_, this);
    list_ = new InboxView(this);
    list_->setObjectName(QStringLiteral("inbox"));
    list_->setAccessibleName(tr("Messages"));
    list_->setToolTip(tr("Enter plays the chosen message; %1; %2")
                          .arg(Command("moveToTrash")->toolTip(), Command("undoTrash")->toolTip()));
    list_->setModel(&inbox_.Messages());
    list_->hide();
    connect(list_, &InboxView::Chosen, &inbox_, &InboxBrowser::PlayRow);
    background_->lower();
}

void PlayerDialog::CreateBar() {
    bar_ = new QWidget(this);
    bar_->setObjectName(QStringLiteral("menuBar"));
    bar_->setAttribute(Qt::WA_StyledBackground);
    ScaleBar(skinScale_);
    auto* layout = new QHBoxLayout(bar_);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    // Neither bar button answers Enter: the keyboard belongs to the transport.
    auto barButton = [this](const char* name, QAction* command) {
        auto* button = new QPushButton(command->text(), bar_);
        button->setObjectName(QLatin1String(name));
        button->setToolTip(command->toolTip());
        button->setFocusPolicy(Qt::NoFocus);
        button->setAutoDefault(false);
        return button;
    };
    QPushButton* openButton = barButton("openFile", Command("openFileAction"));
    connect(openButton, &QPushButton::clicked, Command("openFileAction"), &QAction::trigger);

    menu_ = new QMenu(this);
    menu_->addAction(Command("saveAs"));
    menu_->addAction(Command("openFolder"));
    // Each command decides its new state; the automatic toggle is undone first.
    QAction* closeOnFinish = Command("closeOnFinish");
    closeOnFinish->setCheckable(true);
    connect(closeOnFinish, &QAction::toggled, this,
            [this](bool) { Command("closeOnFinish")->setChecked(session_.CloseOnFinish()); });
    menu_->addAction(closeOnFinish);
    menu_->addSeparator();
    for (const char* tool : {"skipSilence", "levelVoice"}) {
        QAction* action = Command(tool);
        action->setCheckable(true);
        // As with Close On Finish, the session decides the state.
        connect(action, &QAction::toggled, this, [this, tool](bool) {
            const VoiceTools t = session_.Tools();
            Command(tool)->setChecked(tool == std::string_view("skipSilence") ? t.skipSilence
                                                                              : t.level);
        });
        menu_->addAction(action);
    }
    QAction* playNext = Command("playNextAutomatically");
    playNext->setCheckable(true);
    playNext->setChecked(inbox_.PlayNextAutomatically());
    connect(playNext, &QAction::toggled, this, [this](bool) {
        Command("playNextAutomatically")->setChecked(inbox_.PlayNextAutomatically());
    });
    for (const char* name : {"toggleList", "nextMessage", "previousMessage"}) {
        menu_->addAction(Command(name));
    }
    menu_->addAction(playNext);
    for (const char* name : {"markNew", "moveToTrash", "undoTrash"}) {
        menu_->addAction(Command(name));
    }
    menu_->addSeparator();
    menu_->addAction(Command("checkForUpdate"));
    menu_->addAction(Command("about"));

    menuButton_ = barButton("menuButton", Command("showMenu"));
    menuButton_->setMenu(menu_);

    layout->addWidget(openButton);
    layout->addStretch(1);
    layout->addWidget(menuButton_);
}

void PlayerDialog::ScaleBar(int scale) {
    const QColor back = ColorFromRef(skin::kBarColor);
    const QColor text = ColorFromRef(skin::kDisplayBackColor);
    // The window's own font, scaled with the skin.
    const QString size =
        scale > 1 ? QStringLiteral(" font-size: %1px;").arg(QFontInfo(font()).pixelSize() * scale)
                  : QString();
    bar_->setStyleSheet(QStringLiteral("#menuBar { background: %1; }"
                                       "QPushButton { color: %2; background: transparent;"
                                       " border: none; padding: %4px %5px; font-weight: bold;%6 }"
                                       "QPushButton:pressed, QPushButton:open { background: %3; }"
                                       "QPushButton::menu-indicator { image: none; width: 0; }")
                            .arg(back.name(), text.name(), back.lighter(160).name())
                            .arg(4 * scale)
                            .arg(10 * scale)
                            .arg(size));
}

void PlayerDialog::PopUpMenu() {
    menu_->popup(menuButton_->mapToGlobal(QPoint(0, 0)));
}

void PlayerDialog::OnInitDialog() {
    if (initialised_) return;
    initialised_ = true;
    LayoutControls();
    Command("closeOnFinish")->setChecked(session_.CloseOnFinish());
    Command("skipSilence")->setChecked(session_.Tools().skipSilence);
    Command("levelVoice")->setChecked(session_.Tools().level);
    playButton_->setFocus();
    session_.Start(startPath);
    timer_->start();
}

void PlayerDialog::Refresh() {
    const PlayerSession::Display& d = session_.GetDisplay();
    setWindowTitle(d.title);
    ShowFileName();
    timeDisplay_->SetText(d.time);
    volumeDisplay_->SetText(d.volume);
    speedDisplay_->SetText(d.speed);
    PlaceSpeedDisplay();
    speedDisplay_->setVisible(!d.speed.isEmpty());
    // The button that stands in the shared place takes the keyboard focus with it.
    BitmapButton* shown = d.pauseShown ? pauseButton_ : playButton_;
    BitmapButton* hidden = d.pauseShown ? playButton_ : pauseButton_;
    if (shown->isHidden()) {
        shown->show();
        shown->setFocus();
        hidden->hide();
    }
}

void PlayerDialog::ShowInbox() {
    const bool open = inbox_.IsOpen();
    const bool both = open && skinScale_ >= skin::kLargeScale;
    const bool list = open && (both || listShown_);
    const bool hadFocus = list_->hasFocus();
    list_->setVisible(list);
    waveform_->setVisible(!open || both || !listShown_);
    // Only at the default size is there a choice to make.
    QAction* toggle = Command("toggleList");
    toggle->setText(list && !both ? tr("Show Waveform") : tr("Show List"));
    toggle->setEnabled(open && !both);
    const int row = inbox_.CurrentRow();
    if (list && row >= 0) list_->setCurrentIndex(inbox_.Messages().index(row));
    // A folder that opens takes the keyboard; a list that goes gives it back to the transport.
    if (list && !list_->currentIndex().isValid() && inbox_.Messages().Count() > 0) {
        list_->setCurrentIndex(inbox_.Messages().index(0));
    }
    if (list && isVisible() && !hadFocus && list_->currentIndex().isValid()) list_->setFocus();
    if (!list && hadFocus) (pauseButton_->isVisible() ? pauseButton_ : playButton_)->setFocus();
}

int PlayerDialog::ChosenRow() const {
    if (list_->isVisible() && list_->currentIndex().isValid()) return list_->currentIndex().row();
    return inbox_.CurrentRow();
}

void PlayerDialog::ShowFileName() {
    // A name too long for the line is cut with "..." (one measurement, whatever its length)
    // and shown whole in its tooltip; screen readers get it whole too. The time skipped
    // silence saved follows it, never cut.
    const QString& name = session_.GetDisplay().fileName;
    const QString& saved = session_.GetDisplay().saved;
    const QString suffix = saved.isEmpty() ? QString() : QStringLiteral("  ") + saved;
    const QFontMetrics metrics(fileNameLine_->font());
    const int room = std::max(0, fileNameLine_->width() - metrics.horizontalAdvance(suffix));
    QString shown = name;
    if (metrics.horizontalAdvance(name) > room) {
        // No character is narrower than a pixel, so what fits lies in the first room
        // characters: a name of any length is measured only that far.
        shown = metrics.elidedText(name.left(std::max(room, 1)), Qt::ElideRight, room);
        // The cut is shown as three dots, taking back characters until they fit too.
        if (shown.endsWith(QChar(0x2026))) shown.chop(1);
        const QString dots = QStringLiteral("...");
        while (!shown.isEmpty() && metrics.horizontalAdvance(shown + dots) > room) shown.chop(1);
        shown += dots;
    }
    fileNameLine_->setText(shown + suffix);
    fileNameLine_->setToolTip(shown == name ? QString() : name);
    ShowToScreenReaders(fileNameLine_, name);
}

bool PlayerDialog::eventFilter(QObject* watched, QEvent* event) {
    switch (event->type()) {
        case QEvent::KeyPress:
            ShowFocusRing(true);
            break;
        case QEvent::MouseButtonPress:
            ShowFocusRing(false);
            if (watched == timeDisplay_) {
                session_.ToggleTimeLeft();
                return true;
            }
            break;
        case QEvent::Wheel:
            if (watched == volumeDisplay_ || watched == volumeUpButton_ ||
                watched == volumeDownButton_) {
                // One step per notch (120); touchpads send smaller deltas that add up.
                wheelDelta_ += static_cast<QWheelEvent*>(event)->angleDelta().y();
                for (; wheelDelta_ >= 120; wheelDelta_ -= 120) session_.VolumeUp();
                for (; wheelDelta_ <= -120; wheelDelta_ += 120) session_.VolumeDown();
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

void PlayerDialog::OnActivate(bool active) {
    // A full-screen window that lost its state (a window manager restored it while it was
    // in the background) fills the screen again when it comes back.
    if (active && fullScreen_ && !isFullScreen()) showFullScreen();
}

void PlayerDialog::OnTap(int x, int y) {
    if (InMenuCorner(QPoint(x, y))) {
        // The corner opens the program's own menu.
        menu_->popup(mapToGlobal(QPoint(x, y)));
        return;
    }
    if (InCloseBox(QPoint(x, y))) done(Accepted);
}

bool PlayerDialog::InMenuCorner(QPoint at) const {
    return at.x() <= skin::kMenuCorner * skinScale_ && at.y() <= skin::kMenuCorner * skinScale_;
}

bool PlayerDialog::InCloseBox(QPoint at) const {
    const int W = width();
    const int s = skinScale_;
    return W - skin::kCloseAreaLeft * s < at.x() && at.x() < W - skin::kCloseAreaRight * s &&
           skin::kCloseAreaTop * s <= at.y() && at.y() <= skin::kCloseAreaBottom * s;
}

bool PlayerDialog::OnCaption(QPoint at) const {
    return !isFullScreen() && at.y() < skin::kCaptionHeight * skinScale_ && !InMenuCorner(at) &&
           !InCloseBox(at);
}

void PlayerDialog::OnHandOver(const QString& text) {
    if (aboutBox) aboutBox->done(2);
    BringToFront();
    session_.HandOver(text);
    if (pauseButton_->isVisible()) pauseButton_->setFocus();
}

void PlayerDialog::BringToFront() {
    if (isMinimized()) setWindowState(windowState() & ~Qt::WindowMinimized);
    show();
    raise();
    activateWindow();
}

void PlayerDialog::done(int result) {
    timer_->stop();
    session_.Shutdown();  // silence at once, before the caller gets control back
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
    session_.OpenSource(urls.first().toLocalFile());
}
