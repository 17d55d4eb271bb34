// The player program: one player per user, the settings, the private folder for the
// temporary PCM file, the hand-over server and the player window.
#pragma once

#include <QString>

class QLockFile;

class CorvaneApp {
  public:
    // textToPlay: the command line after the program's name, possibly with a display-name
    // tag; empty for none. fullScreen: fill the screen instead of a handheld-sized window.
    CorvaneApp(QString textToPlay, bool fullScreen);

    // The text to play from the program's arguments (argv[1...] joined by single blanks);
    // a first argument "--fullscreen" is taken as that option instead.
    static QString ParseCommandLine(int argc, const char* const* argv, bool* fullScreen);

    // Runs the program inside an existing QApplication; returns the exit code. A relative
    // path in the text to play means one in the current working directory.
    int Run();

    // Shows every reported error in a message box titled "Corvane".
    static void InstallMessageBoxReporter();

  private:
    // A second start: hands text to the running player, or without a text only brings its
    // window to the front. Returns false when this program has to be the player after all.
    static bool ReachRunningPlayer(const QString& text, QLockFile& lock);

    QString textToPlay_;
    bool fullScreen_;
};
