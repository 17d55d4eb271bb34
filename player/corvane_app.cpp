#include "player/corvane_app.h"

#include <unistd.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLockFile>
#include <QThread>
#include <cstdio>
#include <memory>

#include "platform/exception.h"
#include "platform/qt/exit_signals.h"
#include "platform/qt/file_name.h"
#include "platform/qt/handover.h"
#include "platform/qt/handover_channel.h"
#include "platform/qt/handover_receiver.h"
#include "platform/qt/private_folder.h"
#include "platform/qt/settings.h"
#include "platform/qt/text_to_play.h"
#include "player/inbox_browser.h"
#include "player/message_box.h"
#include "player/mpris.h"
#include "player/player_dialog.h"
#include "player/player_session.h"
#include "player/trace.h"

namespace {

// How long a second start waits for the running player's socket: 40 tries, 250 ms apart.
constexpr int kReachTries = 40;
constexpr int kReachWaitMs = 250;

// The single-instance lock: one player per user, whichever installed copy runs. Empty when the
// user has no private folder: such a lock cannot be made.
QString LockFilePath() {
    const QString folder = UserRuntimeDirectory();
    return folder.isEmpty() ? QString()
                            : folder + QStringLiteral("/corvane-%1.lock").arg(::getuid());
}

}  // namespace

CorvaneApp::CorvaneApp(QString textToPlay, bool fullScreen)
    : textToPlay_(std::move(textToPlay)), fullScreen_(fullScreen) {}

QString CorvaneApp::ParseCommandLine(int argc, const char* const* argv, bool* fullScreen) {
    *fullScreen = argc > 1 && QLatin1String(argv[1]) == QLatin1String("--fullscreen");
    return TextToPlayFromArguments(argc, argv, *fullScreen ? 2 : 1);
}

void CorvaneApp::InstallMessageBoxReporter() {
    CException::SetReporter([](const std::string& message, unsigned) {
        ShowMessageBox(nullptr, QString::fromStdString(message), QString(), BoxIcon::Exclamation);
        return 1;
    });
}

bool CorvaneApp::ReachRunningPlayer(const QString& text, QLockFile& lock) {
    // The running player may still be starting (it holds the lock, its socket is not open
    // yet): a request waits for it instead of getting lost.
    for (int attempt = 0; attempt < kReachTries; ++attempt) {
        const bool reached =
            text.isEmpty() ? ActivateRunningPlayer() : HandOverToRunningPlayer(text);
        if (reached) return true;
        if (lock.tryLock(0)) return false;  // that player has ended: this one takes its place
        QThread::msleep(kReachWaitMs);
    }
    return false;
}

int CorvaneApp::Run() {
    // The running player works in a folder of its own, and Save As and the window need the
    // real file: a relative path means one in our working directory.
    const QString text = TextToPlayWithAbsolutePath(textToPlay_, CurrentDirectoryName());

    QLockFile lock(LockFilePath());
    lock.setStaleLockTime(0);  // a lock is stale only when its process is gone
    // A lock that cannot be made at all (no writable runtime folder) does not stop the
    // player; only a lock held by a running player does.
    bool firstPlayer = lock.tryLock(0) || lock.error() != QLockFile::LockFailedError;
    if (!firstPlayer) {
        if (ReachRunningPlayer(text, lock)) return 0;
        firstPlayer = lock.isLocked();
    }

    InstallMessageBoxReporter();
    // Outlives the folder, so a signal during its removal cannot cut that short.
    ExitSignals exitSignals;
    PrivateFolder folder;
    if (!folder.isValid()) {
        CMessageException(("Cannot create a temporary folder in " + QDir::tempPath()).toStdString())
            .ReportError();
        return 1;
    }
    const QString tempPath = folder.filePath(QStringLiteral("cvtemp.wav"));

    // Listening before the slow part (the window, the first conversion), so a start or a
    // hand-over from now on waits in the socket's queue until the window serves it. Requests
    // are served from the event loop, which first runs once the window exists.
    PlayerDialog* window = nullptr;
    HandOverReceiver receiver({
        .play =
            [&window](const QString& handed) {
                if (window) window->OnHandOver(handed);
            },
        .activate =
            [&window] {
                if (window) window->BringToFront();
            },
    });
    // A second player (the first did not answer) leaves the socket to the first.
    if (firstPlayer && !receiver.Listen()) {
        const QString problem =
            receiver.ErrorString() + QStringLiteral("; files handed over will start a new player");
        std::fprintf(stderr, "corvane: %s\n", problem.toLocal8Bit().constData());
        Trace(QStringLiteral("nolisten ") + problem);
    }

    PlayerSession session(tempPath);
    InboxBrowser inbox(session);
    PlayerDialog dialog(session, inbox);
    TraceEventLoopStalls(&dialog);
    window = &dialog;
    // A request to end (logout, kill, the desktop's Quit) closes the window as its close box
    // does; boxes and dialogs open over it end with it.
    const auto quit = [&dialog] {
        dialog.accept();
        QCoreApplication::exit(0);
    };
    QObject::connect(&exitSignals, &ExitSignals::Received, &dialog, quit);
    // The desktop's media controls and the media keys reach the one player per user.
    std::unique_ptr<MprisService> mpris;
    if (firstPlayer) {
        mpris =
            MprisService::Register(session, inbox, {[&dialog] { dialog.BringToFront(); }, quit});
    }

    dialog.SetStartPath(text);
    dialog.SetFullScreen(fullScreen_);
    if (fullScreen_) {
        dialog.showFullScreen();
    } else {
        dialog.show();
    }
    dialog.OnInitDialog();
    dialog.exec();
    window = nullptr;
    QFile::remove(tempPath);
    return 0;
}
