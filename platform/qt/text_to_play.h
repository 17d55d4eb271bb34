// The text to play, as the player's command line and the launcher's hand-over carry it: a
// path, taken verbatim (no blanks trimmed, no quotation marks removed), optionally followed by
// a display-name tag "<cvnm:" NAME ">" whose NAME the player shows instead of the file's name.
// Anything after the tag's ">" is ignored.
#pragma once

#include <QString>

// The text to play from a program's arguments argv[first...]: decoded as file names (without
// loss, see file_name.h) and joined by single blanks, so a path that the caller did not quote
// arrives whole.
QString TextToPlayFromArguments(int argc, const char* const* argv, int first);

// Splits text into its path and display name. The tag is found by the first "<cvnm:" (letter
// case matters) and the first ">" anywhere in text; without either, the whole text is the path
// and the name is empty. Otherwise the path is the text before "<cvnm:", unchanged, and the
// name the text between "<cvnm:" and that ">" (empty when the ">" does not come after it).
void SplitDisplayTag(const QString& text, QString* path, QString* name);

// text with a relative path made absolute against workingDirectory (the path is joined to it,
// not cleaned); the tag and everything after the path stay exactly as they are. An absolute
// or empty path, or an empty workingDirectory, leaves text unchanged.
QString TextToPlayWithAbsolutePath(const QString& text, const QString& workingDirectory);
