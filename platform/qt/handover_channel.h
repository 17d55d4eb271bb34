// The per-user local socket through which the launcher and a second start of the player
// reach the running player. A request is one line ("CorvanePlay" or "activate"); the
// server answers "done" only after its handler has returned, so the sender blocks until
// the player has taken the request (see platform/qt/handover_receiver.h).
#pragma once

#include <sys/types.h>

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QTimer>
#include <chrono>
#include <functional>

class QLocalSocket;
class QSocketNotifier;

inline constexpr char kHandOverPlay[] = "CorvanePlay";
inline constexpr char kHandOverActivate[] = "activate";

// How long a connection may stay without a complete request before the server drops it, so
// that idle connections cannot take every descriptor the player has.
inline constexpr std::chrono::milliseconds kHandOverRequestTimeout{5000};

// The user's private folder for the hand-over socket and the single-instance lock: the first
// of $XDG_RUNTIME_DIR, /run/user/<uid>, $XDG_CACHE_HOME/corvane/run (~/.cache/corvane/run)
// and a folder in the temporary folder that is a folder of this user, not a link, that no
// one else may enter (mode 0700), and short enough for a socket path. The first two are the
// session's and never made here; the cache folder is made (mode 0700) when missing. In the
// temporary folder, where anyone may make a name first, the names corvane-<uid>,
// corvane-<uid>.1, ... corvane-<uid>.15 are walked in turn and the first that is such a
// folder is taken; only when none is, the first missing one is made. A name another user
// took is passed over, and every program of this user, walking the same names, comes to the
// same folder.
// A folder that another user made is refused, never used. Empty when there is none; then
// *problems, when given, tells why each was refused.
//
// CORVANE_RUN_USER_ROOT, when set, stands for /run/user (for tests, which must not meet the
// session's own player).
QString UserRuntimeDirectory(QString* problems = nullptr);

// Full path of the socket in the user's private folder; empty when there is none.
QString HandOverSocketPath(QString* problems = nullptr);

class HandOverServer : public QObject {
    Q_OBJECT
  public:
    using Handler = std::function<void(const QByteArray& request)>;

    // A connection that has not sent a complete request within requestTimeout is dropped.
    explicit HandOverServer(Handler handler,
                            std::chrono::milliseconds requestTimeout = kHandOverRequestTimeout,
                            QObject* parent = nullptr);
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
    void OnRequest(QLocalSocket* socket, QTimer* deadline);
    bool Fail(const QString& path, int error);

    Handler handler_;
    std::chrono::milliseconds requestTimeout_;
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
