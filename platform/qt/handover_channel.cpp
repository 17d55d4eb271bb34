#include "platform/qt/handover_channel.h"

#include <errno.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocalSocket>
#include <QPointer>
#include <QSocketNotifier>
#include <QStandardPaths>
#include <QStringList>
#include <cstring>

#include "platform/qt/handover_client.h"

namespace {

// A request is one short line; a peer that sends more without a line end is not one of ours.
constexpr qint64 kMaxRequestBytes = 1024;
// Connections waiting to be accepted.
constexpr int kBacklog = 64;
// While no descriptor is free, accepting pauses this long between tries (milliseconds).
constexpr int kAcceptPauseMs = 200;
// The longest path of a local socket, its terminating zero not counted.
constexpr qsizetype kMaxSocketPathBytes = sizeof(sockaddr_un::sun_path) - 1;

QString SocketName() {
    // The uid keeps users apart in case two share a folder that was not meant to be shared.
    return QStringLiteral("corvane-%1.sock").arg(::getuid());
}

QString ErrorText(int error) {
    return QString::fromLocal8Bit(std::strerror(error));
}

// The names walked in the temporary folder: corvane-<uid> and corvane-<uid>.1 to .15.
constexpr int kTemporaryFolderNames = 16;

bool FitsSocketPath(const QString& folder) {
    return QFile::encodeName(folder + '/' + SocketName()).size() <= kMaxSocketPathBytes;
}

// Why folder cannot hold the socket; empty when it can.
QString FolderProblem(const QString& folder) {
    if (!QDir::isAbsolutePath(folder)) return folder + QStringLiteral(": not an absolute path");
    if (!FitsSocketPath(folder)) return folder + QStringLiteral(": too long a path for a socket");
    struct stat info {};
    // lstat: a link is refused, whoever made it.
    if (::lstat(QFile::encodeName(folder).constData(), &info) != 0) {
        return folder + QStringLiteral(": ") + ErrorText(errno);
    }
    if (!S_ISDIR(info.st_mode)) return folder + QStringLiteral(": not a folder");
    if (info.st_uid != ::geteuid()) return folder + QStringLiteral(": owned by another user");
    if ((info.st_mode & 077) != 0) return folder + QStringLiteral(": open to other users");
    return {};
}

// Makes folder, user-only, when it is missing and its path fits a socket; its parents get the
// usual permissions. What was there already is left as it is, to be checked by FolderProblem.
void MakePrivateFolder(const QString& folder) {
    if (!QDir::isAbsolutePath(folder) || !FitsSocketPath(folder)) return;
    QDir().mkpath(QFileInfo(folder).path());
    ::mkdir(QFile::encodeName(folder).constData(), 0700);
}

// The folder that holds the session folders of all users, /run/user unless a test says.
QString RunUserRoot() {
    const QString root = qEnvironmentVariable("CORVANE_RUN_USER_ROOT");
    return root.isEmpty() ? QStringLiteral("/run/user") : root;
}

}  // namespace

QString UserRuntimeDirectory(QString* problems) {
    QStringList refused;
    // make: create the folder when it is missing (never a session folder).
    const auto usable = [&refused](const QString& folder, bool make) {
        if (make) MakePrivateFolder(folder);
        QString problem = FolderProblem(folder);
        if (problem.isEmpty()) return true;
        refused << problem;
        return false;
    };
    const QString session = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!session.isEmpty() && usable(session, false)) return session;
    const QString runUser = RunUserRoot() + QStringLiteral("/%1").arg(::getuid());
    // Only an existing one counts, and one that is missing is not worth reporting.
    if (QFileInfo::exists(runUser) && usable(runUser, false)) return runUser;
    const QString cache = QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation);
    if (!cache.isEmpty() && usable(cache + QStringLiteral("/corvane/run"), true)) {
        return cache + QStringLiteral("/corvane/run");
    }
    const QString first = QDir::tempPath() + QStringLiteral("/corvane-%1").arg(::getuid());
    const auto named = [&first](int n) {
        return n == 0 ? first : first + QStringLiteral(".%1").arg(n);
    };
    // A folder of ours made earlier comes first: a name its squatter has let go since must not
    // part this user's programs. Ours are never removed by anyone else, so every program
    // finds the same one; only when there is none is the first free name made.
    for (int n = 0; n < kTemporaryFolderNames; ++n) {
        if (FolderProblem(named(n)).isEmpty()) return named(n);
    }
    if (usable(first, true)) return first;
    // The further names are longer still: no use when the first is too long.
    if (FitsSocketPath(first)) {
        for (int n = 1; n < kTemporaryFolderNames; ++n) {
            MakePrivateFolder(named(n));
            if (FolderProblem(named(n)).isEmpty()) return named(n);
        }
        refused << QStringLiteral("%1.1 to .%2: taken as well")
                       .arg(first)
                       .arg(kTemporaryFolderNames - 1);
    }
    if (problems) *problems = refused.join(QStringLiteral("; "));
    return {};
}

QString HandOverSocketPath(QString* problems) {
    const QString folder = UserRuntimeDirectory(problems);
    return folder.isEmpty() ? QString() : folder + '/' + SocketName();
}

HandOverServer::HandOverServer(Handler handler, std::chrono::milliseconds requestTimeout,
                               QObject* parent)
    : QObject(parent), handler_(std::move(handler)), requestTimeout_(requestTimeout) {
    acceptPause_.setSingleShot(true);
    acceptPause_.setInterval(kAcceptPauseMs);
    connect(&acceptPause_, &QTimer::timeout, this, [this] { notifier_->setEnabled(true); });
}

HandOverServer::~HandOverServer() {
    if (listener_ < 0) return;
    delete notifier_;
    ::close(listener_);
    const QByteArray name = QFile::encodeName(path_);
    struct stat info {};
    if (::lstat(name.constData(), &info) == 0 && info.st_dev == device_ && info.st_ino == inode_) {
        ::unlink(name.constData());
    }
}

bool HandOverServer::Fail(const QString& path, int error) {
    error_ = QStringLiteral("cannot listen on %1: %2").arg(path, ErrorText(error));
    return false;
}

bool HandOverServer::Listen() {
    QString problems;
    const QString path = HandOverSocketPath(&problems);
    if (path.isEmpty()) {
        error_ =
            QStringLiteral("cannot listen: no private folder for the socket (%1)").arg(problems);
        return false;
    }
    const QByteArray name = QFile::encodeName(path);  // fits: checked with its folder
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, name.constData(), static_cast<size_t>(name.size()));

    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0) return Fail(path, errno);
    // A socket left by a player that crashed; anything else at the path is not ours to remove.
    struct stat info {};
    if (::lstat(name.constData(), &info) == 0 && S_ISSOCK(info.st_mode)) ::unlink(name.constData());
    if (::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        const int error = errno;
        ::close(fd);
        return Fail(path, error);
    }
    // The folder lets no one else in, so the socket is private before it is made user-only.
    if (::chmod(name.constData(), 0600) != 0 || ::listen(fd, kBacklog) != 0 ||
        ::lstat(name.constData(), &info) != 0) {
        const int error = errno;
        ::close(fd);
        ::unlink(name.constData());
        return Fail(path, error);
    }
    listener_ = fd;
    path_ = path;
    device_ = info.st_dev;
    inode_ = info.st_ino;
    notifier_ = new QSocketNotifier(static_cast<qintptr>(fd), QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, &HandOverServer::AcceptWaiting);
    // A new notifier is enabled already; the call is made once here, while descriptors are
    // plentiful, for the sanitizer builds: the type check of a call's object makes a pipe the
    // first time, which fails once accepting has failed for want of descriptors.
    notifier_->setEnabled(true);
    return true;
}

void HandOverServer::AcceptWaiting() {
    for (;;) {
        const int fd = ::accept4(listener_, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (fd >= 0) {
            Serve(fd);
            continue;
        }
        if (errno == EINTR || errno == ECONNABORTED) continue;
        if (errno == EAGAIN || errno == EWOULDBLOCK) return;
        // Out of descriptors or memory: the connection stays queued, the socket stays open,
        // and accepting resumes after a pause, once other connections have ended. Retrying
        // at once would spin, as the waiting connection keeps the socket readable.
        notifier_->setEnabled(false);
        acceptPause_.start();
        return;
    }
}

void HandOverServer::Serve(int descriptor) {
    auto* socket = new QLocalSocket(this);
    if (!socket->setSocketDescriptor(descriptor)) {
        ::close(descriptor);
        delete socket;
        return;
    }
    connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
    // A peer that sends no complete request in time is dropped: otherwise one program holding
    // idle connections would keep every descriptor, and with them every hand-over, from us.
    auto* deadline = new QTimer(socket);
    deadline->setSingleShot(true);
    connect(deadline, &QTimer::timeout, socket, [socket] {
        socket->abort();
        socket->deleteLater();
    });
    deadline->start(requestTimeout_);
    connect(socket, &QLocalSocket::readyRead, this,
            [this, socket, deadline] { OnRequest(socket, deadline); });
    // A peer that left before it was accepted never signals a disconnection.
    if (socket->state() != QLocalSocket::ConnectedState) socket->deleteLater();
}

void HandOverServer::OnRequest(QLocalSocket* socket, QTimer* deadline) {
    if (!socket->canReadLine()) {
        if (socket->bytesAvailable() > kMaxRequestBytes) socket->abort();
        return;
    }
    deadline->stop();
    // One request per connection: further data must not re-enter the handler while it runs
    // a nested event loop.
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
