// tessick: started by other programs with a recording to play ("PATH" or
// "PATH<cvnm:Label>"). Hands the text to the running player, or starts the player with it.
// Shows nothing and always exits with 0.
#include <QCoreApplication>
#include <QProcess>
#include <QStandardPaths>
#include <QString>
#include <QStringList>
#include <csignal>

#include "platform/qt/handover_channel.h"
#include "platform/qt/handover_client.h"
#include "platform/qt/settings.h"

namespace {

const QString kAutoPlay = QStringLiteral("AutoPlay");

// Removes "AutoPlay" when it still holds text, that is, when no player took it. Returns
// whether it did. A different value belongs to a launcher that wrote after us.
bool TakeBackAutoPlay(const QString& text) {
    const auto settings = OpenCorvaneSettings();
    const QVariant value = settings->value(kAutoPlay);
    if (value.typeId() != QMetaType::QString || value.toString() != text) return false;
    settings->remove(kAutoPlay);
    settings->sync();
    return true;
}

// Hands text to the connected player through "AutoPlay" and waits until the player is done
// with it. Returns false when a new player has to play the text instead: the connected one
// went away before taking it (the text is then no longer stored).
bool HandOver(HandOverClient& player, const QString& text) {
    {
        const auto settings = OpenCorvaneSettings();
        settings->setValue(kAutoPlay, text);
        settings->sync();
        // Without the stored text the player would play nothing, and a second player would
        // only raise the running one: give up silently.
        if (settings->status() != QSettings::NoError) return true;
    }
    const bool answered = player.Send(kHandOverPlay);
    // A player that answered has taken the text, unless it refused it (too long to read):
    // then it must not linger for a later hand-over. A player that went away without taking
    // it leaves it for us to take back and play in a new player.
    const bool tookBack = TakeBackAutoPlay(text);
    return answered || !tookBack;
}

void StartPlayer(const QString& text) {
    const QString program = QStandardPaths::findExecutable(
        QStringLiteral("corvane"), {QCoreApplication::applicationDirPath()});
    if (program.isEmpty()) return;
    // Started directly, never through a shell: the text is one argument, whatever it holds.
    QProcess::startDetached(program, {text});
}

}  // namespace

int main(int argc, char** argv) {
    // A player that ends while we write to it must not end us with a signal.
    std::signal(SIGPIPE, SIG_IGN);

    // Taken before Qt sees the arguments, which would take texts that look like its own
    // options (such as "-qmljsdebugger=...") out of them. Qt gets only the program's name.
    const QString text = TextToPlayFromArguments(argc, argv, 1);
    if (text.isEmpty()) return 0;
    int qtArgc = 1;
    char* qtArgv[] = {argv[0], nullptr};
    QCoreApplication app(qtArgc, qtArgv);

    HandOverClient player;
    if (player.Connect() && HandOver(player, text)) return 0;
    StartPlayer(text);
    return 0;
}
