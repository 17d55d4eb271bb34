// corvane: plays a recorded voice message.
//   corvane [PATH[<cvnm:NAME>]]   convert and play PATH, showing NAME when given
//   corvane --fullscreen [...]    the same, filling the screen (handheld devices); a path
//                                 that begins with these letters is given as ./--fullscreen
#include <QApplication>
#include <QIcon>
#include <QString>

#include "platform/standard_descriptors.h"
#include "player/corvane_app.h"
#include "player/skin/skin.h"

int main(int argc, char** argv) {
    OpenStandardDescriptors();
    // The text to play is taken before Qt starts, and Qt sees only the program's name, so
    // no text is ever taken as one of Qt's own options.
    bool fullScreen = false;
    const QString text = CorvaneApp::ParseCommandLine(argc, argv, &fullScreen);

    int qtArgc = 1;
    char* qtArgv[] = {argv[0], nullptr};
    QApplication application(qtArgc, qtArgv);
    InitPlayerResources();
    QApplication::setApplicationName(QStringLiteral("Corvane"));
    QApplication::setOrganizationName(QStringLiteral("Brandolin"));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/corvane.png")));
    QApplication::setDesktopFileName(QStringLiteral("corvane"));
    return CorvaneApp(text, fullScreen).Run();
}
