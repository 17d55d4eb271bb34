#include "platform/qt/settings.h"

#include <QFileInfo>
#include <cmath>

namespace {

QString Key(const char* key) {
    return QString::fromLatin1(key);
}

bool ReadSwitch(const char* key) {
    bool ok = false;
    const uint value = OpenCorvaneSettings()->value(Key(key)).toUInt(&ok);
    return ok && value != 0;
}

void WriteSwitch(const char* key, bool on) {
    OpenCorvaneSettings()->setValue(Key(key), on ? 1 : 0);
}

}  // namespace

std::unique_ptr<QSettings> OpenCorvaneSettings() {
    auto settings =
        std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope,
                                    QStringLiteral("Brandolin"), QStringLiteral("Corvane"));
    settings->sync();
    settings->beginGroup(QStringLiteral("1.0"));
    return settings;
}

bool ReadCloseOnFinish() {
    const auto settings = OpenCorvaneSettings();
    bool ok = false;
    const uint value = settings->value(Key(kCloseOnFinishKey)).toUInt(&ok);
    if (!ok) {
        settings->setValue(Key(kCloseOnFinishKey), 0);
        return false;
    }
    return value != 0;
}

void WriteCloseOnFinish(bool on) {
    OpenCorvaneSettings()->setValue(Key(kCloseOnFinishKey), on ? 1 : 0);
}

std::optional<uint32_t> ReadVolume() {
    bool ok = false;
    const uint percent = OpenCorvaneSettings()->value(Key(kVolumeKey)).toUInt(&ok);
    if (!ok || percent > 100) return std::nullopt;
    return percent;
}

void WriteVolume(uint32_t percent) {
    OpenCorvaneSettings()->setValue(Key(kVolumeKey), percent);
}

double ReadSpeed() {
    bool ok = false;
    const double rate = OpenCorvaneSettings()->value(Key(kSpeedKey)).toDouble(&ok);
    const double steps = rate * kSpeedStepsPerUnit;
    if (!ok || !(rate >= kMinimumSpeed && rate <= kMaximumSpeed) || steps != std::floor(steps)) {
        return kMinimumSpeed;
    }
    return rate;
}

void WriteSpeed(double rate) {
    OpenCorvaneSettings()->setValue(Key(kSpeedKey), QString::number(rate));
}

QString ReadLastFolder() {
    const QString folder = OpenCorvaneSettings()->value(Key(kLastFolderKey)).toString();
    return QFileInfo(folder).isDir() ? folder : QString();
}

void WriteLastFolder(const QString& folder) {
    OpenCorvaneSettings()->setValue(Key(kLastFolderKey), folder);
}

bool ReadSkipSilence() {
    return ReadSwitch(kSkipSilenceKey);
}

void WriteSkipSilence(bool on) {
    WriteSwitch(kSkipSilenceKey, on);
}

bool ReadLevelVoice() {
    return ReadSwitch(kLevelVoiceKey);
}

void WriteLevelVoice(bool on) {
    WriteSwitch(kLevelVoiceKey, on);
}

QString ReadLastInbox() {
    const QString folder = OpenCorvaneSettings()->value(Key(kLastInboxKey)).toString();
    return QFileInfo(folder).isDir() ? folder : QString();
}

void WriteLastInbox(const QString& folder) {
    OpenCorvaneSettings()->setValue(Key(kLastInboxKey), folder);
}

bool ReadPlayNext() {
    return ReadSwitch(kPlayNextKey);
}

void WritePlayNext(bool on) {
    WriteSwitch(kPlayNextKey, on);
}
