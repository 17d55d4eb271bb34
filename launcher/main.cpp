// tessick: started by other programs with a recording to play ("PATH" or
// "PATH<cvnm:Label>"). Hands the text to the running player, or starts the player with it.
// Shows nothing and always exits with 0.
#include <spawn.h>

#include <QCoreApplication>
#include <QStandardPaths>
#include <QString>
#include <csignal>

#include "platform/qt/file_name.h"
#include "platform/qt/handover.h"
#include "platform/qt/text_to_play.h"
#include "platform/standard_descriptors.h"

extern char** environ;

namespace {

void StartPlayer(const QString& text) {
    const QString program = QStandardPaths::findExecutable(
        QStringLiteral("corvane"), {QCoreApplication::applicationDirPath()});
    if (program.isEmpty()) return;
    // Started directly, never through a shell: the text is one argument, whatever it holds,
    // byte for byte (a file name need not be valid UTF-8). In a session of its own, so it
    // outlives us and the terminal that may have started us.
    const QByteArray path = FileNameToBytes(program);
    const QByteArray argument = FileNameToBytes(text);
    char* args[] = {const_cast<char*>(path.constData()), const_cast<char*>(argument.constData()),
                    nullptr};
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSID);
    pid_t pid;
    posix_spawn(&pid, path.constData(), nullptr, &attributes, args, environ);
    posix_spawnattr_destroy(&attributes);
}

}  // namespace

int main(int argc, char** argv) {
    OpenStandardDescriptors();
    // A player that ends while we write to it must not end us with a signal.
    std::signal(SIGPIPE, SIG_IGN);

    // Taken before Qt sees the arguments, which would take texts that look like its own
    // options (such as "-qmljsdebugger=...") out of them. Qt gets only the program's name.
    const QString arguments = TextToPlayFromArguments(argc, argv, 1);
    if (arguments.isEmpty()) return 0;
    int qtArgc = 1;
    char* qtArgv[] = {argv[0], nullptr};
    QCoreApplication app(qtArgc, qtArgv);

    // The running player works in a folder of its own: a relative path means ours.
    const QString text = TextToPlayWithAbsolutePath(arguments, CurrentDirectoryName());
    if (!HandOverToRunningPlayer(text)) StartPlayer(text);
    return 0;
}
