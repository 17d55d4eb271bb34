// The per-user local socket through which the launcher and a second start of the player
// reach the running player. A request is one line ("CorvanePlay" or "activate"); the
// server answers "done" only after its handler has returned, so the sender blocks until
// the player has dealt with the request.
#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>
#include <functional>

class QLocalServer;
class QLocalSocket;

inline constexpr char kHandOverPlay[] = "CorvanePlay";
inline constexpr char kHandOverActivate[] = "activate";

// Full path of the socket in the user's runtime directory (only the user can reach it).
QString HandOverSocketPath();

// The user's private runtime folder, or the temporary folder where there is none.
QString UserRuntimeDirectory();

class HandOverServer : public QObject {
    Q_OBJECT
  public:
    using Handler = std::function<void(const QByteArray& request)>;

    explicit HandOverServer(Handler handler, QObject* parent = nullptr);
    ~HandOverServer() override;

    // Starts listening; a stale socket left by a crashed player is removed first (the caller
    // holds the single-instance lock). Only this user can connect. Returns false when the
    // socket cannot be created.
    bool Listen();

  private:
    void OnNewConnection();
    void OnRequest(QLocalSocket* socket);

    Handler handler_;
    QLocalServer* server_;
};

// Sends request to the running player and waits, without a time limit, until it answers or
// the connection drops. Returns true when the player answered; false when no player of this
// user listens or the connection dropped first (the player ended or crashed meanwhile).
bool SendHandOver(const QByteArray& request);
