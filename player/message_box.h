// The program's message box: titled "Corvane", plain text, one OK button, brought to the
// front. Under the diagnostic trace OK is pressed as soon as the box runs, so nothing waits
// for a click.
#pragma once

#include <QString>

class QWidget;

enum class BoxIcon { Exclamation, Stop, Information };

// message is the system's own text; file, when not empty, names the file it is about (and
// why, when known). The box stands over parent's window, or the program's window when parent
// is null. A text of more than a few thousand characters shows its start and end.
void ShowMessageBox(QWidget* parent, const QString& message, const QString& file, BoxIcon icon);
