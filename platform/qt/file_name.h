// File names as the system keeps them: bytes, usually UTF-8 but not always (a name written on
// an older system, or copied from a memory card, may hold Latin-1 bytes). In a QString such a
// name is held without loss: each byte that is not part of valid UTF-8 becomes the lone
// surrogate U+DC00 + byte, which valid text never contains, and turns back into that byte
// when the name goes to the file system. Only what is shown may lose something.
#pragma once

#include <QByteArray>
#include <QString>
#include <QUrl>

QString FileNameFromBytes(const QByteArray& bytes);
QByteArray FileNameToBytes(const QString& name);
// For showing: each byte that was not text becomes U+FFFD.
QString FileNameForDisplay(const QString& name);
// The process's working directory, as FileNameFromBytes gives it; empty when unknown.
QString CurrentDirectoryName();
// The file:// URL of an absolute name, its bytes percent-encoded as they are.
QUrl FileUrl(const QString& name);
