#include "platform/qt/handover_channel.h"

#include <unistd.h>

#include <QDir>
#include <QLocalServer>
#include <QLocalSocket>
#include <QPointer>
#include <QStandardPaths>

#include "platform/qt/handover_client.h"

namespace {

// A request is one short line; a peer that sends more without a line end is not one of ours.
constexpr qint64 kMaxRequestBytes = 1024;

}  // namespace

QString UserRuntimeDirectory() {
    const QString dir = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    return dir.isEmpty() ? QDir::tempPath() : dir;
}

QString HandOverSocketPath() {
    // The uid in the name keeps users apart where the folder is the shared temporary one.
    return UserRuntimeDirectory() + QStringLiteral("/corvane-%1.sock").arg(::getuid());
}

HandOverServer::HandOverServer(Handler handler, QObject* parent)
    : QObject(parent), handler_(std::move(handler)), server_(new QLocalServer(this)) {
    // User-only access: Qt binds the socket under a private temporary name with the
    // restricted permissions and then renames it into place, so it is never reachable by
    // others.
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
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] { OnRequest(socket); });
        // A peer that left before it was accepted never signals a disconnection.
        if (socket->state() != QLocalSocket::ConnectedState) socket->deleteLater();
    }
}

void HandOverServer::OnRequest(QLocalSocket* socket) {
    if (!socket->canReadLine()) {
        if (socket->bytesAvailable() > kMaxRequestBytes) socket->abort();
        return;
    }
    // One request per connection: further data must not re-enter the handler while it runs
    // a nested event loop (a message box).
    disconnect(socket, &QLocalSocket::readyRead, this, nullptr);
    const QByteArray request = socket->readLine(kMaxRequestBytes).trimmed();
    QPointer<QLocalSocket> guard(socket);
    if (handler_) handler_(request);
    // The peer may have left while the handler ran; the socket may then be gone.
    if (guard && guard->state() == QLocalSocket::ConnectedState) {
        guard->write("done\n");
        guard->flush();
        guard->disconnectFromServer();
    }
}

bool SendHandOver(const QByteArray& request) {
    HandOverClient client;
    return client.Connect() && client.Send(request);
}
