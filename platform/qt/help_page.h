// Where the program's help page is: installed beside the program (../share/corvane/ or the
// program's own folder, as a build leaves it), else a copy of the one built into the program.
#pragma once

#include <QString>

// The help page named fileName. programFolder is the running program's folder; builtIn is the
// resource path of the page built in, copied into scratchFolder when no installed one exists.
// Empty when neither can be had.
QString HelpPagePath(const QString& fileName, const QString& programFolder, const QString& builtIn,
                     const QString& scratchFolder);
