#include "player/corvane_app.h"

#include <unistd.h>

#include <QApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QLockFile>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>

#include "platform/exception.h"
#include "platform/qt/handover_channel.h"
#include "platform/qt/settings.h"
#include "player/message_box.h"
#include "player/player_dialog.h"
#include "player/player_session.h"
#include "player/trace.h"

namespace {

constexpr int kActivateTries = 40;
constexpr int kActivateWaitMs = 250;

}  // namespace

CorvaneApp::CorvaneApp(QString textToPlay, bool fullScreen)
    : textToPlay(std::move(textToPlay)), fullScreen(fullScreen) {}

QString CorvaneApp::ParseCommandLine(int argc, const char* const* argv, bool* fullScreen) {
    *fullScreen = argc > 1 && QLatin1String(argv[1]) == QLatin1String("--fullscreen");
    return TextToPlayFromArguments(argc, argv, *fullScreen ? 2 : 1);
}

QString CorvaneApp::LockFilePath(const QString& executablePath) {
    const QByteArray hash =
        QCryptographicHash::hash(QDir::cleanPath(executablePath).toUtf8(), QCryptographicHash::Sha1)
            .toHex()
            .left(16);
    // The uid keeps users apart where the folder is the shared temporary one.
    return UserRuntimeDirectory() +
           QStringLiteral("/corvane-%1-%2.lock").arg(::getuid()).arg(QString::fromLatin1(hash));
}

void CorvaneApp::InstallMessageBoxReporter() {
    CException::SetReporter([](const std::string& message, unsigned) {
        ShowMessageBox(nullptr, QString::fromStdString(message), QString(), BoxIcon::Exclamation);
        return 1;
    });
}

bool CorvaneApp::ActivateRunningPlayer() {
    // The running player may still be starting: give it time to open its socket.
    for (int attempt = 0; attempt < kActivateTries; ++attempt) {
        if (SendHandOver(kHandOverActivate)) return true;
        QThread::msleep(kActivateWaitMs);
    }
    return false;
}

int CorvaneApp::Run() {
    QLockFile lock(LockFilePath(QCoreApplication::applicationFilePath()));
    lock.setStaleLockTime(0);  // a lock is stale only when its process is gone
    // A lock that cannot be made at all (no writable runtime folder) does not stop the
    // player; only a lock held by a running player does.
    const bool firstPlayer = lock.tryLock(0) || lock.error() != QLockFile::LockFailedError;
    if (!firstPlayer && ActivateRunningPlayer()) return 0;  // this start's file is dropped

    InstallMessageBoxReporter();
    QTemporaryDir folder(QDir::tempPath() + QStringLiteral("/corvane-XXXXXX"));
    if (!folder.isValid()) {
        CMessageException(("Cannot create a temporary folder in " + QDir::tempPath()).toStdString())
            .ReportError();
        return 1;
    }
    const QString tempPath = folder.filePath(QStringLiteral("cvtemp.wav"));

    PlayerSession session(tempPath);
    PlayerDialog dialog(session);
    HandOverServer server([&dialog](const QByteArray& request) {
        if (request == kHandOverPlay) {
            dialog.OnHandOver();
        } else if (request == kHandOverActivate) {
            dialog.BringToFront();
        }
    });
    // A second player (the first did not answer) leaves the socket to the first.
    if (firstPlayer) server.Listen();

    dialog.SetStartPath(textToPlay);
    dialog.SetFullScreen(fullScreen);
    if (fullScreen) {
        dialog.showFullScreen();
    } else {
        dialog.show();
    }
    dialog.OnInitDialog();
    dialog.exec();
    QFile::remove(tempPath);
    return 0;
}
