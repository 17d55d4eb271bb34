#include "platform/qt/help_page.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

QString HelpPagePath(const QString& fileName, const QString& programFolder, const QString& builtIn,
                     const QString& scratchFolder) {
    for (const QString& candidate :
         {programFolder + QStringLiteral("/../share/corvane/") + fileName,
          programFolder + QLatin1Char('/') + fileName}) {
        if (QFileInfo::exists(candidate)) return QDir::cleanPath(candidate);
    }
    const QString copy = scratchFolder + QLatin1Char('/') + fileName;
    if (!QFileInfo::exists(copy) && !QFile::copy(builtIn, copy)) return QString();
    return copy;
}
