#include "platform/qt/handover_channel.h"

#include <unistd.h>

#include <QDir>
#include <QLocalServer>
#include <QLocalSocket>
#include <QPointer>
#include <QStandardPaths>

namespace {

constexpr int kConnectTimeoutMs = 2000;

}  // namespace

QString HandOverSocketPath() {
    QString dir = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (dir.isEmpty()) dir = QDir::tempPath();
    // The runtime directory is private to the user; the uid in the name keeps users apart
    // even where it falls back to a shared temporary folder.
    return dir + QStringLiteral("/corvane-%1.sock").arg(::getuid());
}

HandOverServer::HandOverServer(Handler handler, QObject* parent)
    : QObject(parent), handler_(std::move(handler)), server_(new QLocalServer(this)) {
    server_->setSocketOptions(QLocalServer::UserAccessOption);
    connect(server_, &QLocalServer::newConnection, this, &HandOverServer::OnNewConnection);
}

HandOverServer::~HandOverServer() {
    server_->close();
}

bool HandOverServer::Listen() {
    const QString path = HandOverSocketPath();
    QLocalServer::removeServer(path);
    return server_->listen(path);
}

void HandOverServer::OnNewConnection() {
    while (QLocalSocket* socket = server_->nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
            if (!socket->canReadLine()) {
                if (socket->bytesAvailable() > 1024) socket->abort();  // not one of ours
                return;
            }
            const QByteArray request = socket->readLine(1024).trimmed();
            QPointer<QLocalSocket> guard(socket);
            if (handler_) handler_(request);
            // The handler may run nested event loops (message boxes) in which the peer left.
            if (guard && guard->state() == QLocalSocket::ConnectedState) {
                guard->write("done\n");
                guard->flush();
                guard->disconnectFromServer();
            }
        });
    }
}

bool SendHandOver(const QByteArray& request) {
    QLocalSocket socket;
    socket.connectToServer(HandOverSocketPath());
    if (!socket.waitForConnected(kConnectTimeoutMs)) return false;
    socket.write(request + '\n');
    socket.waitForBytesWritten(kConnectTimeoutMs);
    // No time limit: the player answers after converting and starting the file.
    while (socket.state() == QLocalSocket::ConnectedState && !socket.canReadLine()) {
        socket.waitForReadyRead(-1);
    }
    return true;
}
