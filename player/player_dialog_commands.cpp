// The commands of the player window's menu: Open File, Save As, Close On Finish, Check For
// Update and About, and the help request (F1).

#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QSaveFile>

#include "platform/file.h"
#include "platform/qt/settings.h"
#include "player/about_box.h"
#include "player/player_dialog.h"

#ifndef CORVANE_UPDATE_BASE
#define CORVANE_UPDATE_BASE "https://corvane.example.org"
#endif

namespace {

// True when a and b name the same file: the same inode when both exist, else the same
// absolute path once the folders' links are resolved.
bool SameFile(const QString& a, const QString& b) {
    if (QFileInfo::exists(a) && QFileInfo::exists(b)) {
        return IsSameExistingFile(QFile::encodeName(a).toStdString(),
                                  QFile::encodeName(b).toStdString());
    }
    auto resolved = [](const QString& path) {
        const QFileInfo info(path);
        const QString folder = QFileInfo(info.absolutePath()).canonicalFilePath();
        return (folder.isEmpty() ? info.absolutePath() : folder) + QLatin1Char('/') +
               info.fileName();
    };
    return resolved(a) == resolved(b);
}

// Copies source over destination through a temporary file that replaces the destination
// only when the whole copy succeeded.
bool CopyFileSafely(const QString& source, const QString& destination) {
    QFile in(source);
    if (!in.open(QIODevice::ReadOnly)) return false;
    QSaveFile out(destination);
    if (!out.open(QIODevice::WriteOnly)) return false;
    QByteArray block;
    while (!(block = in.read(1 << 16)).isEmpty()) {
        if (out.write(block) != block.size()) {
            out.cancelWriting();
            break;
        }
    }
    if (in.error() != QFileDevice::NoError) out.cancelWriting();
    return out.commit();
}

// True when ext cannot stand in a name filter's pattern list.
bool BreaksFilter(const QString& ext) {
    if (ext.isEmpty()) return true;
    for (QChar c : ext) {
        if (c.isSpace() || QStringLiteral("()[]*?;").contains(c)) return true;
    }
    return false;
}

}  // namespace

void PlayerDialog::OnOpenFile() {
    const QString path = AskOpenPath();
    if (!path.isEmpty()) OpenSource(path);
}

QString PlayerDialog::AskOpenPath() {
    QFileDialog dialog(this);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setNameFilters(
        {QStringLiteral("Wav Files (*.wav)"), QStringLiteral("GSM Files (*.gsm)")});
    fileDialog = &dialog;
    const bool confirmed = dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty();
    fileDialog = nullptr;
    return confirmed ? dialog.selectedFiles().first() : QString();
}

void PlayerDialog::OnSaveAs() {
    // What is saved is fixed now: a hand-over while the dialog is open must not change it.
    const QString source = sourcePath;
    if (source.isEmpty()) return;
    const QString name = sourceName;
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    const QString base = dot < 0 ? QString() : name.left(dot);
    const QString ext = dot < 0 ? name : name.mid(dot + 1);
    const QString filter = BreaksFilter(ext) ? QStringLiteral("Sound File (*)")
                                             : QStringLiteral("Sound File (*.%1)").arg(ext);
    const QString chosen = AskSavePath(base, ext, filter);
    if (chosen.isEmpty()) return;
    if (SameFile(chosen, source)) return;  // the file is already there
    const bool ownFile = SameFile(chosen, tempPath) || SameFile(chosen, ScratchPath());
    if (ownFile || !CopyFileSafely(source, chosen)) {
        ReportText(QStringLiteral("Cannot save file ") + chosen.trimmed(), kMbIconExclamation);
    }
}

QString PlayerDialog::AskSavePath(const QString& base, const QString& ext, const QString& filter) {
    QFileDialog dialog(this);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setNameFilter(filter);
    if (!BreaksFilter(ext)) dialog.setDefaultSuffix(ext);
    dialog.selectFile(base);
    fileDialog = &dialog;
    const bool confirmed = dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty();
    fileDialog = nullptr;
    return confirmed ? dialog.selectedFiles().first() : QString();
}

void PlayerDialog::OnCloseOnFinish() {
    closeOnFinish = !closeOnFinish;
    closeOnFinishAction->setChecked(closeOnFinish);
    WriteCloseOnFinish(closeOnFinish);
}

QUrl PlayerDialog::UpdateAddress() {
    return QUrl(QStringLiteral(CORVANE_UPDATE_BASE "/update.jsp?prod=Corvane_PPCw&ver=5.6"));
}

void PlayerDialog::OnCheckForUpdate() {
    OpenUrl(UpdateAddress());
}

void PlayerDialog::OnAbout() {
    CAboutBox box(this);
    aboutBox = &box;
    box.exec();
    aboutBox = nullptr;
}

QString PlayerDialog::HelpPagePath() const {
    const QString programDir = QCoreApplication::applicationDirPath();
    for (const QString& candidate : {programDir + QStringLiteral("/../share/corvane/corvane.htm"),
                                     programDir + QStringLiteral("/corvane.htm")}) {
        if (QFileInfo::exists(candidate)) return QDir::cleanPath(candidate);
    }
    // Not installed beside the program: the copy built into it, written next to tempPath.
    const QString copy = QFileInfo(tempPath).absolutePath() + QStringLiteral("/corvane.htm");
    if (!QFileInfo::exists(copy)) QFile::copy(QStringLiteral(":/corvane.htm"), copy);
    return copy;
}

void PlayerDialog::OnHelpRequest() {
    OpenUrl(QUrl::fromLocalFile(HelpPagePath()));
}

void PlayerDialog::OpenUrl(const QUrl& url) {
    QDesktopServices::openUrl(url);
}
