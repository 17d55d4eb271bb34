// The window's commands that open a dialog or another program: Open File, Open Folder, Save
// As, Check For Update, About and the help request (F1).

#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QUrl>

#include "corvane_version.h"
#include "platform/qt/help_page.h"
#include "platform/qt/settings.h"
#include "player/about_box.h"
#include "player/dialog_scope.h"
#include "player/inbox_browser.h"
#include "player/message_box.h"
#include "player/player_dialog.h"
#include "player/player_session.h"

#ifndef CORVANE_UPDATE_BASE
#define CORVANE_UPDATE_BASE ""
#endif

void PlayerDialog::OnOpenFile() {
    // The scope lasts until the chosen file plays, so Close On Finish cannot end the program
    // between the choice and the open.
    DialogScope scope(session_);
    QFileDialog dialog(this);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    // The first filter shows every file the player opens; it starts where the last one was.
    dialog.setNameFilters({QStringLiteral("Voice Messages (*.wav *.WAV *.gsm *.GSM)"),
                           QStringLiteral("Wav Files (*.wav)"), QStringLiteral("GSM Files (*.gsm)"),
                           QStringLiteral("All Files (*)")});
    if (const QString last = ReadLastFolder(); !last.isEmpty()) dialog.setDirectory(last);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return;
    const QString chosen = dialog.selectedFiles().first();
    WriteLastFolder(QFileInfo(chosen).absolutePath());
    session_.OpenSource(chosen);
}

void PlayerDialog::OnOpenFolder() {
    DialogScope scope(session_);
    QFileDialog dialog(this);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::Directory);
    dialog.setOption(QFileDialog::ShowDirsOnly);
    const QString last = ReadLastInbox();
    if (!last.isEmpty()) {
        dialog.setDirectory(last);
    } else if (const QString files = ReadLastFolder(); !files.isEmpty()) {
        dialog.setDirectory(files);
    }
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return;
    inbox_.OpenFolder(dialog.selectedFiles().first());
}

void PlayerDialog::OnSaveAs() {
    // What is saved is fixed now: a hand-over while the dialog is open must not change it.
    const std::optional<PlayerSession::SaveQuestion> question = session_.SaveAsQuestion();
    if (!question) return;
    DialogScope scope(session_);
    QFileDialog dialog(this);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    // The original file first (its bytes, as they are), then the copies for sharing.
    dialog.setNameFilters(QStringList{question->filter} + PlayerSession::ShareFilters());
    dialog.setDefaultSuffix(question->suffix);
    dialog.selectFile(question->base);
    connect(&dialog, &QFileDialog::filterSelected, &dialog, [&](const QString& filter) {
        const std::optional<ShareFormat> format = PlayerSession::ShareFilterFormat(filter);
        dialog.setDefaultSuffix(format ? QLatin1String(ShareFormatExtension(*format))
                                       : question->suffix);
    });
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return;
    const QString chosen = dialog.selectedFiles().first();
    if (const auto format = PlayerSession::ShareFilterFormat(dialog.selectedNameFilter())) {
        session_.SaveSharedCopy(PlayerSession::SharedCopyName(chosen, *format), *format);
    } else {
        session_.SaveCopy(question->source, chosen);
    }
}

void PlayerDialog::OnCheckForUpdate() {
    const QString base = QStringLiteral(CORVANE_UPDATE_BASE);
    if (!base.isEmpty()) {
        QDesktopServices::openUrl(
            QUrl(base + QStringLiteral("/update.jsp?prod=Corvane_PPCw&ver=" CORVANE_VERSION)));
        return;
    }
    // A build without an update service of its own is updated with the system.
    DialogScope scope(session_);
    ShowMessageBox(this,
                   QStringLiteral("This copy of Corvane is updated through your system's "
                                  "package manager, together with the rest of your software."),
                   QString(), BoxIcon::Information);
}

void PlayerDialog::OnAbout() {
    DialogScope scope(session_);
    CAboutBox box(this);
    aboutBox = &box;
    box.exec();
    aboutBox = nullptr;
}

void PlayerDialog::OnHelpRequest() {
    // Not installed beside the program: the copy built into it, written next to tempPath.
    const QString page = HelpPagePath(
        QStringLiteral("corvane.htm"), QCoreApplication::applicationDirPath(),
        QStringLiteral(":/corvane.htm"), QFileInfo(session_.TempPath()).absolutePath());
    if (!page.isEmpty() && QDesktopServices::openUrl(QUrl::fromLocalFile(page))) return;
    DialogScope scope(session_);
    ShowMessageBox(this,
                   QStringLiteral("No program to show the help page is installed (a web "
                                  "browser, through xdg-open)."),
                   page, BoxIcon::Information);
}
