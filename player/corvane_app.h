// The player program: one player per user and executable, the settings, the private
// folder for the temporary PCM file, the hand-over server and the player window.
#pragma once

#include <QString>

class CorvaneApp {
  public:
    // textToPlay: the command line after the program's name, possibly with a display-name
    // tag; empty for none. fullScreen: fill the screen instead of a handheld-sized window.
    CorvaneApp(QString textToPlay, bool fullScreen);

    // The text to play from the program's arguments (argv[1...] joined by single blanks);
    // a first argument "--fullscreen" is taken as that option instead.
    static QString ParseCommandLine(int argc, const char* const* argv, bool* fullScreen);

    // Runs the program inside an existing QApplication; returns the exit code.
    int Run();

    // Name of the single-instance lock of the program at executablePath for this user.
    static QString LockFilePath(const QString& executablePath);
    // Shows every reported error in a message box titled "Corvane".
    static void InstallMessageBoxReporter();

  private:
    // Asks a running player to come to the front; false when none answered.
    static bool ActivateRunningPlayer();

    QString textToPlay;
    bool fullScreen;
};
