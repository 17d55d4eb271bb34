#include "player/corvane_app.h"

#include <unistd.h>

#include <QAbstractButton>
#include <QApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QLockFile>
#include <QMessageBox>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>

#include "platform/exception.h"
#include "platform/qt/handover_channel.h"
#include "platform/qt/settings.h"
#include "player/player_dialog.h"
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

bool CorvaneApp::ReadCloseOnFinish() {
    auto settings = OpenCorvaneSettings();
    bool ok = false;
    const uint value = settings->value(QStringLiteral("CloseOnFinish")).toUInt(&ok);
    if (!ok) {
        settings->setValue(QStringLiteral("CloseOnFinish"), 0);
        return false;
    }
    return value != 0;
}

void CorvaneApp::RestoreVolume() {
    bool ok = false;
    const uint percent = OpenCorvaneSettings()->value(QStringLiteral("Volume")).toUInt(&ok);
    if (ok && percent <= 100) PlayerDialog::ApplyVolumePercent(percent / 10 * 10);
}

void CorvaneApp::InstallMessageBoxReporter() {
    CException::SetReporter([](const std::string& message, unsigned style) {
        QMessageBox box(
            (style & 0xF0) == kMbIconStop ? QMessageBox::Critical : QMessageBox::Warning,
            QStringLiteral("Corvane"), QString::fromStdString(message), QMessageBox::Ok,
            QApplication::activeWindow());
        box.setTextFormat(Qt::PlainText);
        Trace(QStringLiteral("error ") + box.text());
        // Under the trace no one may be there to click: OK is pressed as soon as the box runs.
        if (TraceEnabled()) {
            QTimer::singleShot(0, box.button(QMessageBox::Ok), &QAbstractButton::click);
        }
        box.raise();
        box.activateWindow();
        return box.exec();
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
            .ReportError(kMbIconExclamation);
        return 1;
    }
    const QString tempPath = folder.filePath(QStringLiteral("cvtemp.wav"));

    PlayerDialog dialog(tempPath);
    HandOverServer server([&dialog](const QByteArray& request) {
        if (request == kHandOverPlay) {
            dialog.OnHandOver();
        } else if (request == kHandOverActivate) {
            dialog.BringToFront();
        }
    });
    // A second player (the first did not answer) leaves the socket to the first.
    if (firstPlayer) server.Listen();

    dialog.SetCloseOnFinish(ReadCloseOnFinish());
    RestoreVolume();
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
