#include "player/trace.h"

#include <QFile>

namespace {

const QString& TracePath() {
    static const QString path = qEnvironmentVariable("CORVANE_TRACE");
    return path;
}

}  // namespace

bool TraceEnabled() {
    return !TracePath().isEmpty();
}

void Trace(const QString& event) {
    if (!TraceEnabled()) return;
    QString line = event;
    line.replace(QLatin1Char('\\'), QLatin1String("\\\\"));
    line.replace(QLatin1Char('\n'), QLatin1String("\\n"));
    // Opened for each event and closed at once: the line is on disk before the player goes
    // on, and other players of the same session may append to the same file.
    QFile file(TracePath());
    if (file.open(QIODevice::WriteOnly | QIODevice::Append)) {
        file.write((line + QLatin1Char('\n')).toUtf8());
    }
}
