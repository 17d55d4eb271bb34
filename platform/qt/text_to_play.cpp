#include "platform/qt/text_to_play.h"

#include <QDir>
#include <QStringList>

#include "platform/qt/file_name.h"

QString TextToPlayFromArguments(int argc, const char* const* argv, int first) {
    QStringList parts;
    for (int i = first; i < argc; ++i) parts << FileNameFromBytes(QByteArray(argv[i]));
    return parts.join(QLatin1Char(' '));
}

void SplitDisplayTag(const QString& text, QString* path, QString* name) {
    static const QString kTagStart = QStringLiteral("<cvnm:");
    const qsizetype start = text.indexOf(kTagStart);
    const qsizetype end = text.indexOf(QLatin1Char('>'));
    if (start < 0 || end < 0) {
        *path = text;
        name->clear();
        return;
    }
    const qsizetype nameStart = start + kTagStart.size();
    *name = end > nameStart ? text.mid(nameStart, end - nameStart) : QString();
    *path = text.left(start);
}

QString TextToPlayWithAbsolutePath(const QString& text, const QString& workingDirectory) {
    QString path;
    QString name;
    SplitDisplayTag(text, &path, &name);
    // Qt counts ":name" as an absolute resource path; to the file layer it is a relative name.
    const bool absolute = QDir::isAbsolutePath(path) && !path.startsWith(QLatin1Char(':'));
    if (path.isEmpty() || absolute || workingDirectory.isEmpty()) return text;
    // The path is a prefix of text, so joining text keeps the tag untouched.
    QString base = workingDirectory;
    if (!base.endsWith(QLatin1Char('/'))) base += QLatin1Char('/');
    return base + text;
}
