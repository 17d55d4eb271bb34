// The program's message box: titled "Corvane", plain text, one OK button, brought to the
// front. Under the diagnostic trace OK is pressed as soon as the box runs, so nothing waits
// for a click.
#pragma once

#include <QString>

class QWidget;

enum class BoxIcon { Exclamation, Stop, Information };

// message is the system's own text; file, when not empty, names the file it is about.
void ShowMessageBox(QWidget* parent, const QString& message, const QString& file, BoxIcon icon);
