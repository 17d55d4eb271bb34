#include "platform/qt/handover_receiver.h"

#include <QMetaObject>
#include <optional>

#include "platform/qt/handover.h"

HandOverReceiver::HandOverReceiver(Callbacks callbacks)
    : callbacks_(std::move(callbacks)),
      server_([this](const QByteArray& request) { Take(request); }) {}

void HandOverReceiver::Take(const QByteArray& request) {
    if (request == kHandOverPlay) {
        // Taken before the answer: the sender takes back a text that is still there.
        const std::optional<QString> text = TakeAutoPlay();
        if (!text || !callbacks_.play) return;
        QMetaObject::invokeMethod(
            &server_, [this, text = *text] { callbacks_.play(text); }, Qt::QueuedConnection);
    } else if (request == kHandOverActivate && callbacks_.activate) {
        QMetaObject::invokeMethod(
            &server_, [this] { callbacks_.activate(); }, Qt::QueuedConnection);
    }
}
