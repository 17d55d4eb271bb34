// Stands in for the player on the receiving side of the hand-over, so the launcher can be
// tested without a window or a sound device. It takes "AutoPlay" through the player's own
// routine and appends what it received to a log.
//
// fake_player LOG [--sleep-ms N] [--die-before-take] [--die-after-take] [--leave]
//   --sleep-ms N        stay busy N ms after taking the text, before answering, every request
//   --die-before-take   end without an answer as soon as a request arrives
//   --die-after-take    take the text, then end without an answer
//   --leave             answer without taking the text (a player that cannot read it)
//
// Log records end with a NUL byte: the request line, a newline, then "=" and the text taken,
// or "-" when there was none.
#include <unistd.h>

#include <QCoreApplication>
#include <QFile>
#include <QThread>
#include <cstdio>
#include <cstdlib>

#include "platform/qt/handover.h"
#include "platform/qt/handover_channel.h"

namespace {

struct Options {
    QString log;
    int sleepMs = 0;
    bool dieBeforeTake = false;
    bool dieAfterTake = false;
    bool leave = false;
};

void Append(const QString& path, const QByteArray& record) {
    QFile log(path);
    if (!log.open(QIODevice::Append)) std::abort();
    log.write(record + '\0');
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);
    if (args.isEmpty()) return 2;
    Options options;
    options.log = args.takeFirst();
    while (!args.isEmpty()) {
        const QString arg = args.takeFirst();
        if (arg == QLatin1String("--sleep-ms") && !args.isEmpty()) {
            options.sleepMs = args.takeFirst().toInt();
        } else if (arg == QLatin1String("--die-before-take")) {
            options.dieBeforeTake = true;
        } else if (arg == QLatin1String("--die-after-take")) {
            options.dieAfterTake = true;
        } else if (arg == QLatin1String("--leave")) {
            options.leave = true;
        } else {
            return 2;
        }
    }

    HandOverServer server([&](const QByteArray& request) {
        if (options.dieBeforeTake) ::_exit(3);
        const std::optional<QString> text =
            request == kHandOverPlay && !options.leave ? TakeAutoPlay() : std::nullopt;
        Append(options.log, request + '\n' + (text ? '=' + text->toUtf8() : "-"));
        if (options.dieAfterTake) ::_exit(3);
        QThread::msleep(options.sleepMs);
    });
    if (!server.Listen()) return 1;
    return app.exec();
}
