#include "player/mpris.h"

#include <QDBusAbstractAdaptor>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDir>
#include <QMetaClassInfo>
#include <QStringList>
#include <QUrl>
#include <algorithm>
#include <cstdint>
#include <limits>

#include "inbox/inbox.h"
#include "platform/qt/file_name.h"
#include "platform/qt/settings.h"
#include "player/inbox_browser.h"
#include "player/player_session.h"

namespace {

const QString kServiceName = QStringLiteral("org.mpris.MediaPlayer2.corvane");
const QString kObjectPath = QStringLiteral("/org/mpris/MediaPlayer2");
constexpr qlonglong kMicrosecondsPerMs = 1000;

// Runs action from the event loop once the call's reply has gone out: a method that may show
// a message box or end the program keeps no caller waiting, and no box runs its event loop
// inside the bus's delivery of a call.
void Later(QObject* context, std::function<void()> action) {
    QMetaObject::invokeMethod(context, std::move(action), Qt::QueuedConnection);
}

}  // namespace

// org.mpris.MediaPlayer2: the program as a whole.
class MprisRootAdaptor : public QDBusAbstractAdaptor {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.mpris.MediaPlayer2")
    Q_PROPERTY(bool CanQuit READ CanQuit)
    Q_PROPERTY(bool CanRaise READ CanRaise)
    Q_PROPERTY(bool HasTrackList READ HasTrackList)
    Q_PROPERTY(QString Identity READ Identity)
    Q_PROPERTY(QString DesktopEntry READ DesktopEntry)
    Q_PROPERTY(QStringList SupportedUriSchemes READ SupportedUriSchemes)
    Q_PROPERTY(QStringList SupportedMimeTypes READ SupportedMimeTypes)
  public:
    MprisRootAdaptor(QObject* service, MprisService::Window window)
        : QDBusAbstractAdaptor(service), window(std::move(window)) {}

    bool CanQuit() const { return true; }
    bool CanRaise() const { return true; }
    bool HasTrackList() const { return false; }
    QString Identity() const { return QStringLiteral("Corvane"); }
    QString DesktopEntry() const { return QStringLiteral("corvane"); }
    QStringList SupportedUriSchemes() const { return {QStringLiteral("file")}; }
    // The desktop entry's MimeType list, taken from it at build time.
    QStringList SupportedMimeTypes() const {
        return QStringLiteral(CORVANE_MIME_TYPES).split(QLatin1Char(','), Qt::SkipEmptyParts);
    }

  public slots:
    void Raise() { window.raise(); }
    void Quit() { Later(this, window.quit); }

  private:
    MprisService::Window window;
};

// org.mpris.MediaPlayer2.Player: what plays, and its transport.
class MprisPlayerAdaptor : public QDBusAbstractAdaptor {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.mpris.MediaPlayer2.Player")
    Q_PROPERTY(QString PlaybackStatus READ PlaybackStatus)
    Q_PROPERTY(double Rate READ Rate WRITE SetRate)
    Q_PROPERTY(QVariantMap Metadata READ Metadata)
    Q_PROPERTY(double Volume READ Volume WRITE SetVolume)
    Q_PROPERTY(qlonglong Position READ Position)
    Q_PROPERTY(double MinimumRate READ MinimumRate)
    Q_PROPERTY(double MaximumRate READ MaximumRate)
    Q_PROPERTY(bool CanGoNext READ CanGoNext)
    Q_PROPERTY(bool CanGoPrevious READ CanGoPrevious)
    Q_PROPERTY(bool CanPlay READ CanPlay)
    Q_PROPERTY(bool CanPause READ CanPause)
    Q_PROPERTY(bool CanSeek READ CanSeek)
    Q_PROPERTY(bool CanControl READ CanControl)
  public:
    MprisPlayerAdaptor(QObject* service, PlayerSession& session, InboxBrowser& inbox)
        : QDBusAbstractAdaptor(service), session(session), inbox(inbox) {
        connect(&session, &PlayerSession::Seeked, this,
                [this](uint32_t ms) { emit Seeked(ms * kMicrosecondsPerMs); });
    }

    QString PlaybackStatus() const {
        switch (session.State()) {
            case Playing:
                return QStringLiteral("Playing");
            case Paused:
                return QStringLiteral("Paused");
            default:
                return QStringLiteral("Stopped");
        }
    }
    double Rate() const { return session.Speed(); }
    // Clients are told not to ask for 0, and one that does means Pause.
    void SetRate(double rate) {
        if (rate == 0) {
            session.Pause();
        } else {
            session.SetSpeed(rate);
        }
    }
    // Empty while no recording is loaded.
    QVariantMap Metadata() const {
        if (session.SourcePath().isEmpty()) return {};
        QVariantMap metadata{
            {QStringLiteral("mpris:trackid"), QVariant::fromValue(TrackId())},
            {QStringLiteral("xesam:title"), session.GetDisplay().fileName},
            {QStringLiteral("xesam:url"),
             QString::fromLatin1(FileUrl(session.SourcePath()).toEncoded())},
        };
        if (session.DurationMs() > 0) {
            metadata.insert(QStringLiteral("mpris:length"), LengthMicroseconds());
        }
        return metadata;
    }
    double Volume() const { return session.VolumePercent() / 100.0; }
    void SetVolume(double volume) { session.SetVolumePercent(volume * 100); }
    qlonglong Position() const { return session.PositionMs() * kMicrosecondsPerMs; }
    double MinimumRate() const { return kMinimumSpeed; }
    double MaximumRate() const { return kMaximumSpeed; }
    // Only in a folder's list, false at its ends.
    bool CanGoNext() const { return inbox.CanGoNext(); }
    bool CanGoPrevious() const { return inbox.CanGoPrevious(); }
    bool CanPlay() const {
        return !session.SourcePath().isEmpty() || (inbox.IsOpen() && inbox.Messages().Count() > 0);
    }
    bool CanPause() const { return CanPlay(); }
    // Only a recording that plays or is paused has a position to move.
    bool CanSeek() const { return session.State() != Stopped; }
    bool CanControl() const { return true; }

    // The properties whose changes PropertiesChanged tells; the position is not among them,
    // clients read it when they want it.
    QVariantMap WatchedProperties() const {
        QVariantMap values;
        for (const char* name : {"PlaybackStatus", "Metadata", "Rate", "Volume", "CanPlay",
                                 "CanPause", "CanSeek", "CanGoNext", "CanGoPrevious"}) {
            values.insert(QLatin1String(name), property(name));
        }
        return values;
    }

  public slots:
    // The message left after or before the loaded one, in a folder's list.
    void Next() {
        Later(this, [this] { inbox.Next(); });
    }
    void Previous() {
        Later(this, [this] { inbox.Previous(); });
    }
    void Pause() { session.Pause(); }
    void PlayPause() {
        Later(this, [this] { session.TogglePlayPause(); });
    }
    void Stop() { session.Stop(); }
    void Play() {
        Later(this, [this] { session.Play(); });
    }
    // Moves by offset microseconds, back when negative.
    void Seek(qlonglong offset) {
        const qlonglong ms =
            std::clamp<qlonglong>(offset / kMicrosecondsPerMs, std::numeric_limits<int32_t>::min(),
                                  std::numeric_limits<int32_t>::max());
        session.Skip(static_cast<int32_t>(ms));
    }
    // Moves to position microseconds; a call about an earlier recording, or a position outside
    // this one, is ignored.
    void SetPosition(const QDBusObjectPath& trackId, qlonglong position) {
        if (trackId != TrackId() || position < 0 || position > LengthMicroseconds()) return;
        session.Seek(static_cast<uint32_t>(position / kMicrosecondsPerMs));
    }
    // Opens and plays a local file given as a file:// URL; anything else is ignored.
    void OpenUri(const QString& uri) {
        QUrl url(uri, QUrl::StrictMode);
        if (url.host() == QLatin1String("localhost")) url.setHost(QString());
        if (!url.isValid() || !url.isLocalFile() || !url.host().isEmpty()) return;
        // The path's bytes as they were encoded: a name need not be valid UTF-8.
        const QString path = FileNameFromBytes(
            QByteArray::fromPercentEncoding(url.path(QUrl::FullyEncoded).toLatin1()));
        if (!QDir::isAbsolutePath(path)) return;
        Later(this, [this, path] { session.OpenSource(path); });
    }

  signals:
    // The position jumped to position microseconds.
    void Seeked(qlonglong position);

  private:
    // Names the recording: a new one for every open, also of the same file.
    QDBusObjectPath TrackId() const {
        return QDBusObjectPath(
            QStringLiteral("/net/brandolin/corvane/track/%1").arg(session.OpenCount()));
    }
    qlonglong LengthMicroseconds() const { return session.DurationMs() * kMicrosecondsPerMs; }

    PlayerSession& session;
    InboxBrowser& inbox;
};

MprisService::MprisService(PlayerSession& session, InboxBrowser& inbox, Window window,
                           QDBusConnection bus)
    : bus_(std::move(bus)) {
    new MprisRootAdaptor(this, std::move(window));
    player_ = new MprisPlayerAdaptor(this, session, inbox);
    sentProperties_ = player_->WatchedProperties();
    changeTimer_.setSingleShot(true);
    changeTimer_.setInterval(0);
    connect(&changeTimer_, &QTimer::timeout, this, &MprisService::SendChangedProperties);
    connect(&session, &PlayerSession::DisplayChanged, &changeTimer_, qOverload<>(&QTimer::start));
    connect(&inbox, &InboxBrowser::Changed, &changeTimer_, qOverload<>(&QTimer::start));
}

std::unique_ptr<MprisService> MprisService::Register(PlayerSession& session, InboxBrowser& inbox,
                                                     Window window, QDBusConnection bus) {
    if (!bus.isConnected()) return nullptr;
    std::unique_ptr<MprisService> service(new MprisService(session, inbox, std::move(window), bus));
    // The object is there before its name, so whoever sees the name finds it.
    if (!bus.registerObject(kObjectPath, service.get(), QDBusConnection::ExportAdaptors) ||
        !bus.registerService(kServiceName)) {
        return nullptr;
    }
    service->named_ = true;
    return service;
}

MprisService::~MprisService() {
    if (named_) bus_.unregisterService(kServiceName);
    bus_.unregisterObject(kObjectPath);
}

void MprisService::SendChangedProperties() {
    const QVariantMap now = player_->WatchedProperties();
    QVariantMap changed;
    for (auto it = now.cbegin(); it != now.cend(); ++it) {
        if (sentProperties_.value(it.key()) != it.value()) changed.insert(it.key(), it.value());
    }
    if (changed.isEmpty()) return;
    sentProperties_ = now;
    const QMetaObject& adaptor = MprisPlayerAdaptor::staticMetaObject;
    const QString interfaceName =
        QLatin1String(adaptor.classInfo(adaptor.indexOfClassInfo("D-Bus Interface")).value());
    QDBusMessage message =
        QDBusMessage::createSignal(kObjectPath, QStringLiteral("org.freedesktop.DBus.Properties"),
                                   QStringLiteral("PropertiesChanged"));
    message << interfaceName << changed << QStringList();
    bus_.send(message);
}

#include "mpris.moc"
