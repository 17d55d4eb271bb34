#include "platform/qt/handover.h"

#include <QVariant>

#include "platform/qt/file_name.h"
#include "platform/qt/handover_channel.h"
#include "platform/qt/handover_client.h"
#include "platform/qt/settings.h"

namespace {

const QString kAutoPlay = QString::fromLatin1(kAutoPlayKey);

// The stored value as text; nothing when it is missing or of another type.
std::optional<QString> AutoPlayText(const QSettings& settings) {
    const QVariant value = settings.value(kAutoPlay);
    if (value.typeId() == QMetaType::QString) return value.toString();
    if (value.typeId() == QMetaType::QByteArray) return FileNameFromBytes(value.toByteArray());
    return std::nullopt;
}

void RemoveAutoPlay(QSettings& settings) {
    settings.remove(kAutoPlay);
    settings.sync();
}

}  // namespace

bool StoreAutoPlay(const QString& text) {
    const auto settings = OpenCorvaneSettings();
    // The settings file holds text as UTF-8: a path whose name is not valid UTF-8 travels as
    // its bytes instead.
    const QByteArray bytes = FileNameToBytes(text);
    if (bytes == text.toUtf8()) {
        settings->setValue(kAutoPlay, text);
    } else {
        settings->setValue(kAutoPlay, bytes);
    }
    settings->sync();
    return settings->status() == QSettings::NoError;
}

std::optional<QString> TakeAutoPlay() {
    const auto settings = OpenCorvaneSettings();  // re-read: the sender has just written
    std::optional<QString> text = AutoPlayText(*settings);
    if (!text) return std::nullopt;
    RemoveAutoPlay(*settings);
    const qsizetype zero = text->indexOf(QChar(u'\0'));
    if (zero >= 0) text->truncate(zero);
    return text;
}

bool TakeBackAutoPlay(const QString& text) {
    const auto settings = OpenCorvaneSettings();
    if (AutoPlayText(*settings) != text) return false;
    RemoveAutoPlay(*settings);
    return true;
}

bool ActivateRunningPlayer() {
    return SendHandOver(kHandOverActivate);
}

bool HandOverToRunningPlayer(const QString& text) {
    HandOverClient player;
    if (!player.Connect()) return false;
    // Without the stored text the player would play nothing, and a new player would only
    // bring the running one to the front: give up silently.
    if (!StoreAutoPlay(text)) return true;
    const bool answered = player.Send(kHandOverPlay);
    // A player that answered has taken the text, unless it could not read it: then it must
    // not linger for a later request. A player that went away without taking it leaves it for
    // us to take back and play elsewhere.
    const bool tookBack = TakeBackAutoPlay(text);
    return answered || !tookBack;
}
