// The player on the session bus as org.mpris.MediaPlayer2.corvane, so that the desktop's media
// controls and the media keys drive it: the interfaces org.mpris.MediaPlayer2 and
// org.mpris.MediaPlayer2.Player at /org/mpris/MediaPlayer2, over the PlayerSession. They only
// translate: times are microseconds on the bus and milliseconds in the session, the volume is
// 0.0 to 1.0 on the bus and percent in the session, the rate is the session's speed.
#pragma once

#include <QDBusConnection>
#include <QObject>
#include <QTimer>
#include <QVariantMap>
#include <functional>
#include <memory>

class InboxBrowser;
class MprisPlayerAdaptor;
class PlayerSession;

class MprisService : public QObject {
    Q_OBJECT
  public:
    // What the bus may do with the player's window.
    struct Window {
        std::function<void()> raise;  // brings it to the front
        std::function<void()> quit;   // closes it, which ends the program
    };

    // Offers session, and Next and Previous through inbox, on bus under the player's name. Nothing,
    // and no message, when there is no bus or another program holds the name: the player plays on
    // without.
    static std::unique_ptr<MprisService> Register(
        PlayerSession& session, InboxBrowser& inbox, Window window,
        QDBusConnection bus = QDBusConnection::sessionBus());
    ~MprisService() override;

  private:
    MprisService(PlayerSession& session, InboxBrowser& inbox, Window window, QDBusConnection bus);
    // Sends PropertiesChanged with those of the watched properties that changed since the
    // last time.
    void SendChangedProperties();

    QDBusConnection bus_;
    MprisPlayerAdaptor* player_ = nullptr;  // a child
    QVariantMap sentProperties_;
    // Sends the changes once the event loop runs again: the steps of one command (the stop
    // before an open, say) reach the bus as their end state.
    QTimer changeTimer_;
    bool named_ = false;  // the bus name is ours
};
