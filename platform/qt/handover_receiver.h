// The player's end of the hand-over: serves the hand-over socket and turns its requests into
// two callbacks. "CorvanePlay" takes the text the sender stored as "AutoPlay" (see
// platform/qt/handover.h; a request that finds none is ignored) and "activate" brings the
// player to the front. A request is answered as soon as it is taken; its callback runs
// afterwards, from the event loop, so the sender never waits for the conversion or for a
// message box about it.
#pragma once

#include <QByteArray>
#include <QString>
#include <functional>

#include "platform/qt/handover_channel.h"

class HandOverReceiver {
  public:
    struct Callbacks {
        std::function<void(const QString& text)> play;  // a path, possibly with its tag
        std::function<void()> activate;
    };

    explicit HandOverReceiver(Callbacks callbacks);

    // See HandOverServer::Listen and ErrorString.
    bool Listen() { return server_.Listen(); }
    const QString& ErrorString() const { return server_.ErrorString(); }

  private:
    void Take(const QByteArray& request);

    Callbacks callbacks_;
    // Also the context of the queued callbacks: they go with it.
    HandOverServer server_;
};
