// The commands of the player window's menu: Open File, Save As, Close On Finish, Check For
// Update and About, and the help request (F1).

#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QUrl>

#include "player/about_box.h"
#include "player/dialog_scope.h"
#include "player/message_box.h"
#include "player/player_dialog.h"
#include "player/player_session.h"

#ifndef CORVANE_UPDATE_BASE
#define CORVANE_UPDATE_BASE ""
#endif

void PlayerDialog::OnOpenFile() {
    // The scope lasts until the chosen file plays, so Close On Finish cannot end the program
    // between the choice and the open.
    DialogScope scope(session);
    QFileDialog dialog(this);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setNameFilters(
        {QStringLiteral("Wav Files (*.wav)"), QStringLiteral("GSM Files (*.gsm)")});
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return;
    session.OpenSource(dialog.selectedFiles().first());
}

void PlayerDialog::OnSaveAs() {
    // What is saved is fixed now: a hand-over while the dialog is open must not change it.
    const std::optional<PlayerSession::SaveQuestion> question = session.SaveAsQuestion();
    if (!question) return;
    DialogScope scope(session);
    QFileDialog dialog(this);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setNameFilter(question->filter);
    dialog.setDefaultSuffix(question->suffix);
    dialog.selectFile(question->base);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return;
    session.SaveCopy(question->source, dialog.selectedFiles().first());
}

void PlayerDialog::OnCloseOnFinish() {
    session.SetCloseOnFinish(!session.CloseOnFinish());
    closeOnFinishAction->setChecked(session.CloseOnFinish());
}

void PlayerDialog::OnCheckForUpdate() {
    const QString base = QStringLiteral(CORVANE_UPDATE_BASE);
    if (!base.isEmpty()) {
        QDesktopServices::openUrl(
            QUrl(base + QStringLiteral("/update.jsp?prod=Corvane_PPCw&ver=5.6")));
        return;
    }
    // A build without an update service of its own is updated with the system.
    DialogScope scope(session);
    ShowMessageBox(this,
                   QStringLiteral("This copy of Corvane is updated through your system's "
                                  "package manager, together with the rest of your software."),
                   QString(), BoxIcon::Information);
}

void PlayerDialog::OnAbout() {
    DialogScope scope(session);
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
    const QString copy =
        QFileInfo(session.TempPath()).absolutePath() + QStringLiteral("/corvane.htm");
    if (!QFileInfo::exists(copy)) QFile::copy(QStringLiteral(":/corvane.htm"), copy);
    return copy;
}

void PlayerDialog::OnHelpRequest() {
    QDesktopServices::openUrl(QUrl::fromLocalFile(HelpPagePath()));
}
