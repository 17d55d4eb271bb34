#include "player/inbox_browser.h"

#include "inbox/inbox.h"
#include "platform/qt/file_name.h"
#include "platform/qt/settings.h"
#include "player/player_session.h"
#include "player/trace.h"

InboxBrowser::InboxBrowser(PlayerSession& session, QString databasePath, QObject* parent)
    : QObject(parent),
      session_(session),
      inbox_(std::make_unique<Inbox>(std::move(databasePath))),
      playNext_(ReadPlayNext()) {
    session_.SetFolderHooks({
        .open = [this](const QString& folder) { OpenFolder(folder); },
        .play = [this] { return PlayChosen(); },
        .ended = [this] { return Ended(); },
    });
    // A recording from outside the folder closes the list: a single file plays as ever.
    connect(&session_, &PlayerSession::RecordingChanged, this, [this] {
        if (IsOpen() && CurrentRow() < 0) Close();
        emit Changed();
    });
    connect(&session_, &PlayerSession::DisplayChanged, this, &InboxBrowser::CheckHeard);
    connect(inbox_.get(), &Inbox::NewCountChanged, this, &InboxBrowser::ShowCount);
    connect(inbox_.get(), &QAbstractItemModel::rowsInserted, this, &InboxBrowser::Changed);
    connect(inbox_.get(), &QAbstractItemModel::rowsRemoved, this, &InboxBrowser::Changed);
    connect(inbox_.get(), &QAbstractItemModel::modelReset, this, &InboxBrowser::Changed);
    connect(inbox_.get(), &Inbox::MessageArrived, this, [this](int row) {
        Trace(QStringLiteral("arrived ") + FileName(row));
        emit MessageArrived(inbox_->At(row).who);
        ShowCount();
    });
    connect(inbox_.get(), &Inbox::StoreProblem, this,
            [this](const QString& message) { session_.ReportProblem(message, inbox_->Folder()); });
}

InboxBrowser::~InboxBrowser() {
    session_.SetFolderHooks({});
}

bool InboxBrowser::IsOpen() const {
    return !inbox_->Folder().isEmpty();
}

void InboxBrowser::OpenFolder(const QString& folder) {
    QString error;
    shownCounts_.clear();  // told again for every open
    if (!inbox_->Open(folder, &error)) {
        session_.ReportProblem(QStringLiteral("Cannot open the folder ") + folder, error);
        return;
    }
    WriteLastInbox(folder);
    ShowCount();
    emit Changed();
}

void InboxBrowser::Close() {
    inbox_->Close();
    session_.SetTitlePrefix(QString());
    Trace(QStringLiteral("list closed"));
}

int InboxBrowser::CurrentRow() const {
    if (!IsOpen() || session_.SourcePath().isEmpty()) return -1;
    return inbox_->RowOf(session_.SourcePath());
}

void InboxBrowser::PlayRow(int row) {
    if (row < 0 || row >= inbox_->Count()) return;
    const InboxMessage& message = inbox_->At(row);
    session_.OpenSource(message.path, message.who);
}

int InboxBrowser::StartRow() const {
    const int oldestNew = inbox_->OldestNew();
    return oldestNew >= 0 ? oldestNew : inbox_->Count() - 1;  // rows are newest first
}

bool InboxBrowser::CanGoNext() const {
    if (!IsOpen()) return false;
    const int row = CurrentRow();
    return row < 0 ? inbox_->Count() > 0 : inbox_->Next(row) >= 0;
}

bool InboxBrowser::CanGoPrevious() const {
    const int row = CurrentRow();
    return row >= 0 && inbox_->Previous(row) >= 0;
}

void InboxBrowser::Next() {
    if (!CanGoNext()) return;
    const int row = CurrentRow();
    Trace(QStringLiteral("next"));
    PlayRow(row < 0 ? StartRow() : inbox_->Next(row));
}

void InboxBrowser::Previous() {
    if (!CanGoPrevious()) return;
    Trace(QStringLiteral("previous"));
    PlayRow(inbox_->Previous(CurrentRow()));
}

void InboxBrowser::SetPlayNextAutomatically(bool on) {
    playNext_ = on;
    WritePlayNext(on);
}

bool InboxBrowser::PlayChosen() {
    // A loaded message plays again; only with none loaded does the list choose.
    if (!IsOpen() || CurrentRow() >= 0 || inbox_->Count() == 0) return false;
    PlayRow(StartRow());
    return true;
}

bool InboxBrowser::Ended() {
    const int row = CurrentRow();
    if (row < 0) return false;
    MarkHeard(row);
    if (!playNext_) return false;
    const int next = inbox_->NextNew(row);
    if (next < 0) return false;  // the last one: Close On Finish applies
    Trace(QStringLiteral("autonext"));
    PlayRow(next);
    return true;
}

void InboxBrowser::CheckHeard() {
    if (session_.OpenCount() == heardOpen_ || session_.State() != Playing) return;
    const uint32_t length = session_.DurationMs();
    if (length == 0 || session_.PositionMs() < length / 2) return;
    const int row = CurrentRow();
    if (row >= 0) MarkHeard(row);
}

void InboxBrowser::MarkHeard(int row) {
    // Once per open: a message marked new again while it plays stays new.
    heardOpen_ = session_.OpenCount();
    if (inbox_->At(row).heard) return;
    inbox_->MarkHeard(row);
    Trace(QStringLiteral("heard ") + FileName(row));
}

void InboxBrowser::MarkNew(int row) {
    if (row < 0 || row >= inbox_->Count() || !inbox_->At(row).heard) return;
    inbox_->MarkNew(row);
    Trace(QStringLiteral("new ") + FileName(row));
}

void InboxBrowser::MoveToTrash(int row) {
    if (row < 0 || row >= inbox_->Count()) return;
    const QString name = FileName(row);
    const QString path = inbox_->At(row).path;
    // The recording plays from the player's own copy; what is deleted no longer plays.
    if (row == CurrentRow()) session_.Stop();
    QString error;
    if (!inbox_->MoveToTrash(row, &error)) {
        session_.ReportProblem(
            QStringLiteral("Cannot move ") + name + QStringLiteral(" to the Trash"),
            error.isEmpty() ? path : path + QLatin1Char('\n') + error);
        return;
    }
    lastTrashed_ = name;
    Trace(QStringLiteral("trash ") + name);
    ShowCount();
    emit Changed();
}

bool InboxBrowser::CanUndoTrash() const {
    return IsOpen() && inbox_->CanUndoTrash();
}

void InboxBrowser::UndoTrash() {
    if (!CanUndoTrash()) return;
    QString error;
    if (!inbox_->UndoTrash(&error)) {
        session_.ReportProblem(
            QStringLiteral("Cannot put ") + lastTrashed_ + QStringLiteral(" back from the Trash"),
            error);
        return;
    }
    Trace(QStringLiteral("restore ") + lastTrashed_);
    ShowCount();
    emit Changed();
}

void InboxBrowser::ShowCount() {
    if (!IsOpen()) return;
    session_.SetTitlePrefix(QStringLiteral("%1 new").arg(inbox_->NewCount()));
    const QString counts =
        QStringLiteral("list %1 %2").arg(inbox_->Count()).arg(inbox_->NewCount());
    if (counts != shownCounts_) Trace(counts);
    shownCounts_ = counts;
}

QString InboxBrowser::FileName(int row) const {
    const QString& path = inbox_->At(row).path;
    return FileNameForDisplay(path.mid(path.lastIndexOf(QLatin1Char('/')) + 1));
}
