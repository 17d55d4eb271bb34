#include "platform/qt/handover_client.h"

#include <sys/socket.h>
#include <sys/types.h>
#include <unistd.h>

#include "platform/qt/handover_channel.h"

namespace {

constexpr int kConnectTimeoutMs = 2000;
// The answer is one short line; anything longer is not from a player.
constexpr qint64 kMaxAnswerBytes = 1024;

}  // namespace

bool HandOverClient::Connect() {
    const QString path = HandOverSocketPath();
    if (path.isEmpty()) return false;  // no private folder, so no player listens
    socket_.connectToServer(path);
    if (!socket_.waitForConnected(kConnectTimeoutMs)) return false;
    if (!PeerIsThisUser()) {
        socket_.abort();
        return false;
    }
    return true;
}

bool HandOverClient::Send(const QByteArray& request) {
    if (socket_.state() != QLocalSocket::ConnectedState) return false;
    socket_.write(request + '\n');
    if (!socket_.waitForBytesWritten(kConnectTimeoutMs) && socket_.bytesToWrite() > 0) {
        return false;
    }
    // No time limit: the player answers after it has converted and started the file.
    while (!socket_.canReadLine()) {
        if (socket_.state() != QLocalSocket::ConnectedState) return false;
        if (socket_.bytesAvailable() > kMaxAnswerBytes) return false;
        if (!socket_.waitForReadyRead(-1) && !socket_.canReadLine()) return false;
    }
    return true;
}

// The socket sits in a folder that only this user can enter. A socket served by another user
// (only root could put one there) is not our player.
bool HandOverClient::PeerIsThisUser() {
#if defined(SO_PEERCRED)
    ucred peer{};
    socklen_t size = sizeof peer;
    if (::getsockopt(static_cast<int>(socket_.socketDescriptor()), SOL_SOCKET, SO_PEERCRED, &peer,
                     &size) != 0) {
        return false;
    }
    return peer.uid == ::getuid();
#else
    uid_t uid = 0;
    gid_t gid = 0;
    if (::getpeereid(static_cast<int>(socket_.socketDescriptor()), &uid, &gid) != 0) return false;
    return uid == ::getuid();
#endif
}
