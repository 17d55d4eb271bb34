#include "player/trace.h"

#include <QElapsedTimer>
#include <QFile>
#include <QTimer>

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

void TraceEventLoopStalls(QObject* parent) {
    if (!TraceEnabled()) return;
    // A timer due every 10 ms that comes late by more than that shows a stall.
    constexpr int kTickMs = 10;
    auto* timer = new QTimer(parent);
    auto* since = new QElapsedTimer;
    since->start();
    QObject::connect(timer, &QObject::destroyed, [since] { delete since; });
    QObject::connect(timer, &QTimer::timeout, timer,
                     [since, longest = qint64{kStallReportMs}]() mutable {
                         const qint64 gap = since->restart() - kTickMs;
                         if (gap <= longest) return;
                         longest = gap;
                         Trace(QStringLiteral("stall %1").arg(gap));
                     });
    timer->start(kTickMs);
}
