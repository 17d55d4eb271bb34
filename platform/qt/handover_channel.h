// The per-user local socket through which the launcher and a second start of the player
// reach the running player. A request is one line ("CorvanePlay" or "activate"); the
// server answers "done" only after its handler has returned, so the sender blocks until
// the player has dealt with the request.
#pragma once

#include <sys/types.h>

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QTimer>
#include <functional>

class QLocalSocket;
class QSocketNotifier;

inline constexpr char kHandOverPlay[] = "CorvanePlay";
inline constexpr char kHandOverActivate[] = "activate";

// The user's private folder for the hand-over socket and the single-instance lock: the first
// of $XDG_RUNTIME_DIR, $XDG_CACHE_HOME/corvane/run (~/.cache/corvane/run) and
// <temporary folder>/corvane-<uid> that is a folder of this user, not a link, that no one
// else may enter (mode 0700), and short enough for a socket path. The last two are made
// (mode 0700) when missing; a folder that another user made is refused, never used. Empty
// when there is none; then *problems, when given, tells why each was refused.
QString UserRuntimeDirectory(QString* problems = nullptr);

// Full path of the socket in the user's private folder; empty when there is none.
QString HandOverSocketPath(QString* problems = nullptr);

class HandOverServer : public QObject {
    Q_OBJECT
  public:
    using Handler = std::function<void(const QByteArray& request)>;

    explicit HandOverServer(Handler handler, QObject* parent = nullptr);
    // Closes the socket and removes its file, unless another one has taken its place.
    ~HandOverServer() override;

    // Starts listening; a stale socket left by a crashed player is replaced (the caller holds
    // the single-instance lock). Only this user can connect. Returns false when the socket
    // cannot be made; ErrorString() then says why. Once listening, the socket and its file
    // stay until the server is destroyed, whatever happens to single connections.
    bool Listen();

    // Why Listen failed, as one line: "cannot listen on <path>: <reason>", or "cannot listen:
    // ..." when there is no private folder for the socket.
    const QString& ErrorString() const { return error_; }

  private:
    void AcceptWaiting();
    void Serve(int descriptor);
    void OnRequest(QLocalSocket* socket);
    bool Fail(const QString& path, int error);

    Handler handler_;
    int listener_ = -1;
    QSocketNotifier* notifier_ = nullptr;
    // Accepting pauses while no descriptor is free; see AcceptWaiting. One timer kept for
    // the server's life, not a new one per pause: nothing new is made while descriptors
    // are short, and the sanitizer builds' type check, which needs a pipe the first time it
    // meets a type, has met QTimer (the player's ticks) long before.
    QTimer acceptPause_;
    QString path_;
    // The socket file this server made, to tell it from one that replaced it.
    dev_t device_ = 0;
    ino_t inode_ = 0;
    QString error_;
};

// Sends request to the running player and waits, without a time limit, until it answers or
// the connection drops. Returns true when the player answered; false when no player of this
// user listens or the connection dropped first (the player ended or crashed meanwhile).
bool SendHandOver(const QByteArray& request);
