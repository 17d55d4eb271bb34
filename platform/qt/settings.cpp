#include "platform/qt/settings.h"

std::unique_ptr<QSettings> OpenCorvaneSettings() {
    auto settings =
        std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope,
                                    QStringLiteral("Brandolin"), QStringLiteral("Corvane"));
    settings->sync();
    settings->beginGroup(QStringLiteral("1.0"));
    return settings;
}
