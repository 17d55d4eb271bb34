// The sending side of the hand-over channel: one connection to the running player. Connecting
// is how a running player is found; the request then travels over that same connection, so
// it reaches the very player that was found, or fails visibly when that player has gone.
#pragma once

#include <QByteArray>
#include <QLocalSocket>

class HandOverClient {
  public:
    // Connects to the player of this user. Returns false when none listens (no socket, a
    // stale socket left by a crashed player, or a socket served by another user).
    bool Connect();

    // Sends one request line and waits, without a time limit, until the player answers or
    // the connection drops. Returns true only when the player answered.
    bool Send(const QByteArray& request);

  private:
    bool PeerIsThisUser();

    QLocalSocket socket_;
};
