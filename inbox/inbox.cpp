#include "inbox/inbox.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QTimeZone>
#include <algorithm>
#include <unordered_map>

#include "inbox/inbox_store.h"
#include "inbox/message_file.h"
#include "platform/qt/file_name.h"

namespace {

// Changes in the folder are read after this quiet time: a burst of files is read once.
constexpr int kRescanDelayMs = 300;
// A file changed this recently may still be being written: it is watched until it settles.
constexpr int64_t kSettleNs = 10'000'000'000;
// Watches are dear (the kernel's, and Qt's list of them): a folder copied in whole is read
// again once it settled rather than watched file by file.
constexpr qsizetype kMaxWatchedFiles = 64;

// Newest first; messages left at the same time by name, the later name first.
bool Newer(const InboxMessage& a, const InboxMessage& b) {
    if (a.when != b.when) return a.when > b.when;
    return a.path > b.path;
}

QByteArray FileNameBytes(const QByteArray& pathBytes) {
    return pathBytes.mid(pathBytes.lastIndexOf('/') + 1);
}

int64_t NowNs() {
    return QDateTime::currentMSecsSinceEpoch() * 1000000;
}

}  // namespace

Inbox::Inbox(QString databasePath, QObject* parent) : QAbstractListModel(parent) {
    store_ = std::make_unique<InboxStore>(std::move(databasePath), [this](const QString& m) {
        // Reported once the constructor returned, so that a problem met while opening the
        // database reaches the window's connections too.
        QMetaObject::invokeMethod(
            this, [this, m] { emit StoreProblem(m); }, Qt::QueuedConnection);
    });
    rescanTimer_.setSingleShot(true);
    rescanTimer_.setInterval(kRescanDelayMs);
    connect(&rescanTimer_, &QTimer::timeout, this, &Inbox::Rescan);
    const auto changed = [this] {
        if (!rescanTimer_.isActive()) rescanTimer_.start();
    };
    connect(&watcher_, &QFileSystemWatcher::directoryChanged, this, changed);
    connect(&watcher_, &QFileSystemWatcher::fileChanged, this, changed);
}

Inbox::~Inbox() = default;

Inbox::Row Inbox::MakeRow(const FolderEntry& entry, const MessageFacts& facts) const {
    Row row;
    row.message.path = entry.path;
    row.message.who = facts.who;
    row.message.when = facts.when;
    row.message.lengthMs = facts.lengthMs;
    row.message.error = facts.error;
    row.key = facts.key;
    row.message.heard = store_->Heard(facts.key);
    row.stamp = entry.Stamp();
    row.sidecar = entry.sidecar;
    row.mtimeNs = entry.mtimeNs;
    return row;
}

bool Inbox::Open(const QString& folder, QString* error) {
    const QString absolute = QDir(folder).absolutePath();
    std::vector<FolderEntry> entries;
    if (!ListFolder(absolute, entries, error)) return false;
    Close();
    folder_ = absolute;
    const QByteArray folderBytes = FileNameToBytes(folder_);
    const QHash<QByteArray, InboxStore::CachedFile> cached = store_->CachedFiles(folderBytes);
    std::vector<std::pair<QByteArray, InboxStore::CachedFile>> fresh;
    std::vector<Row> rows;
    rows.reserve(entries.size());
    for (const FolderEntry& entry : entries) {
        const QByteArray name = FileNameBytes(entry.bytes);
        const QByteArray stamp = entry.Stamp();
        const auto hit = cached.constFind(name);
        MessageFacts facts;
        if (hit != cached.constEnd() && hit->stamp == stamp) {
            facts.who = hit->who;
            facts.when = QDateTime::fromMSecsSinceEpoch(hit->whenMs, Qt::UTC).toLocalTime();
            facts.lengthMs = hit->lengthMs;
            facts.error = hit->error;
            facts.key = hit->key;
        } else {
            facts = ReadMessage(entry);
            fresh.push_back({name,
                             {stamp, facts.key, facts.who, facts.when.toMSecsSinceEpoch(),
                              facts.lengthMs, facts.error}});
        }
        rows.push_back(MakeRow(entry, facts));
    }
    store_->StoreFiles(folderBytes, fresh);
    std::sort(rows.begin(), rows.end(),
              [](const Row& a, const Row& b) { return Newer(a.message, b.message); });
    beginResetModel();
    rows_ = std::move(rows);
    endResetModel();
    watcher_.addPath(folder_);
    WatchUnsettled();
    UpdateNewCount();
    return true;
}

void Inbox::Close() {
    rescanTimer_.stop();
    if (!watcher_.files().isEmpty()) watcher_.removePaths(watcher_.files());
    if (!watcher_.directories().isEmpty()) watcher_.removePaths(watcher_.directories());
    beginResetModel();
    rows_.clear();
    folder_.clear();
    endResetModel();
    UpdateNewCount();
}

void Inbox::WatchUnsettled() {
    // The folder's watch sees files come and go, not a file growing: files that may still be
    // being written, or that could not be read, are watched on their own.
    QStringList files;
    const int64_t now = NowNs();
    const int64_t settled = now - kSettleNs;
    for (const Row& row : rows_) {
        if (files.size() == kMaxWatchedFiles) break;
        if (!row.message.error.isEmpty() || row.mtimeNs > settled) files << row.message.path;
    }
    const QStringList watched = watcher_.files();
    if (!watched.isEmpty()) watcher_.removePaths(watched);
    if (!files.isEmpty()) watcher_.addPaths(files);
    // A file that is still settling is read again once it has, even if it never changes.
    if (std::any_of(rows_.begin(), rows_.end(), [&](const Row& r) { return r.mtimeNs > settled; }))
        QTimer::singleShot(static_cast<int>(kSettleNs / 1000000), this, [this] {
            if (!rescanTimer_.isActive() && !folder_.isEmpty()) rescanTimer_.start();
        });
}

void Inbox::Rescan() {
    Scan(true);
}

void Inbox::Scan(bool announce) {
    if (folder_.isEmpty()) return;
    std::vector<FolderEntry> entries;
    if (!ListFolder(folder_, entries, nullptr)) entries.clear();  // the folder went away
    std::unordered_map<std::string, const FolderEntry*> onDisk;
    for (const FolderEntry& e : entries) onDisk.emplace(e.bytes.toStdString(), &e);
    // Rows whose file went, or changed, leave; changed ones come back read afresh.
    std::vector<const FolderEntry*> toRead;
    for (int row = Count() - 1; row >= 0; --row) {
        const auto it = onDisk.find(FileNameToBytes(rows_[row].message.path).toStdString());
        if (it != onDisk.end() && it->second->Stamp() == rows_[row].stamp) {
            onDisk.erase(it);
            continue;
        }
        RemoveRow(row);
    }
    QStringList arrived;
    std::vector<std::pair<QByteArray, InboxStore::CachedFile>> fresh;
    for (const FolderEntry& e : entries) {
        if (!onDisk.count(e.bytes.toStdString())) continue;
        const MessageFacts facts = ReadMessage(e);
        fresh.push_back({FileNameBytes(e.bytes),
                         {e.Stamp(), facts.key, facts.who, facts.when.toMSecsSinceEpoch(),
                          facts.lengthMs, facts.error}});
        InsertRow(MakeRow(e, facts));
        arrived << e.path;
    }
    store_->StoreFiles(FileNameToBytes(folder_), fresh);
    if (!watcher_.directories().contains(folder_)) watcher_.addPath(folder_);
    WatchUnsettled();
    UpdateNewCount();
    if (!announce) return;
    for (const QString& path : arrived) emit MessageArrived(RowOf(path));
}

size_t Inbox::PlaceOf(const Row& row) const {
    return static_cast<size_t>(
        std::lower_bound(rows_.begin(), rows_.end(), row,
                         [](const Row& a, const Row& b) { return Newer(a.message, b.message); }) -
        rows_.begin());
}

void Inbox::InsertRow(Row row) {
    const size_t at = PlaceOf(row);
    beginInsertRows({}, static_cast<int>(at), static_cast<int>(at));
    rows_.insert(rows_.begin() + static_cast<std::ptrdiff_t>(at), std::move(row));
    endInsertRows();
}

void Inbox::RemoveRow(int row) {
    beginRemoveRows({}, row, row);
    rows_.erase(rows_.begin() + row);
    endRemoveRows();
}

int Inbox::RowOf(const QString& path) const {
    for (size_t i = 0; i < rows_.size(); ++i)
        if (rows_[i].message.path == path) return static_cast<int>(i);
    return -1;
}

int Inbox::Next(int row) const {
    return row > 0 && row < Count() ? row - 1 : -1;
}

int Inbox::Previous(int row) const {
    return row >= 0 && row + 1 < Count() ? row + 1 : -1;
}

int Inbox::OldestNew() const {
    return NextNew(Count());
}

int Inbox::NextNew(int row) const {
    if (row == -1) return OldestNew();
    for (int r = std::min(row, Count()) - 1; r >= 0; --r)
        if (!rows_[r].message.heard) return r;
    return -1;
}

void Inbox::MarkHeard(int row) {
    SetHeard(row, true);
}

void Inbox::MarkNew(int row) {
    SetHeard(row, false);
}

void Inbox::SetHeard(int row, bool heard) {
    if (row < 0 || row >= Count()) return;
    Row& r = rows_[row];
    store_->SetHeard(r.key, heard);
    // Copies of one message share its state.
    for (int i = 0; i < Count(); ++i) {
        if (rows_[i].key != r.key || rows_[i].message.heard == heard) continue;
        if (rows_[i].key.isEmpty() && i != row) continue;
        rows_[i].message.heard = heard;
        emit dataChanged(index(i), index(i));
    }
    UpdateNewCount();
}

void Inbox::UpdateNewCount() {
    const int count = static_cast<int>(
        std::count_if(rows_.begin(), rows_.end(), [](const Row& r) { return !r.message.heard; }));
    if (count == newCount_) return;
    newCount_ = count;
    emit NewCountChanged(count);
}

bool Inbox::MoveToTrash(int row, QString* error) {
    if (row < 0 || row >= Count()) {
        if (error) *error = QStringLiteral("No message is chosen.");
        return false;
    }
    const Row& r = rows_[row];
    Trashed t;
    t.path = r.message.path;
    const QString shown = FileNameForDisplay(t.path);
    if (!QFile::moveToTrash(t.path, &t.inTrash)) {
        if (error)
            *error =
                QStringLiteral("Cannot move %1 to the Trash; it was left where it is.").arg(shown);
        return false;
    }
    if (!r.sidecar.isEmpty()) {
        t.sidecar = FileNameFromBytes(r.sidecar);
        if (QFile::exists(t.sidecar) && !QFile::moveToTrash(t.sidecar, &t.sidecarInTrash)) {
            // Both or neither: the message goes back beside its text.
            QFile::rename(t.inTrash, t.path);
            QFile::remove(QFileInfo(t.inTrash).dir().absoluteFilePath(
                QStringLiteral("../info/%1.trashinfo").arg(QFileInfo(t.inTrash).fileName())));
            if (error)
                *error = QStringLiteral("Cannot move %1 to the Trash; it was left where it is.")
                             .arg(FileNameForDisplay(t.sidecar));
            return false;
        }
    }
    trashed_.push_back(std::move(t));
    RemoveRow(row);
    UpdateNewCount();
    return true;
}

namespace {

// Takes a file out of the freedesktop Trash back to where it stood: the file from
// Trash/files, its entry in Trash/info removed.
bool Restore(const QString& inTrash, const QString& path, QString* error) {
    if (QFileInfo::exists(path)) {
        if (error)
            *error = QStringLiteral("Cannot put back %1: another file now has its name.")
                         .arg(FileNameForDisplay(path));
        return false;
    }
    if (!QFile::rename(inTrash, path)) {
        if (error)
            *error =
                QStringLiteral("Cannot put back %1 from the Trash.").arg(FileNameForDisplay(path));
        return false;
    }
    const QFileInfo trashed(inTrash);
    QFile::remove(trashed.dir().absoluteFilePath(
        QStringLiteral("../info/%1.trashinfo").arg(trashed.fileName())));
    return true;
}

}  // namespace

bool Inbox::UndoTrash(QString* error) {
    if (trashed_.empty()) {
        if (error) *error = QStringLiteral("Nothing to put back.");
        return false;
    }
    const Trashed t = trashed_.back();
    if (!Restore(t.inTrash, t.path, error)) return false;
    if (!t.sidecarInTrash.isEmpty() && !Restore(t.sidecarInTrash, t.sidecar, error)) return false;
    trashed_.pop_back();
    // A message put back is not news: it comes back without a MessageArrived.
    if (!folder_.isEmpty() && QFileInfo(t.path).absolutePath() == folder_) Scan(false);
    return true;
}

int Inbox::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : Count();
}

QVariant Inbox::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= Count()) return {};
    const InboxMessage& m = At(index.row());
    switch (role) {
        case Qt::DisplayRole:
            return QStringLiteral("%1  %2  %3%4")
                .arg(m.who, WhenText(m.when, QDateTime::currentDateTime()), LengthText(m.lengthMs),
                     m.heard ? QString() : QStringLiteral("  new"));
        case WhoRole:
            return m.who;
        case WhenTextRole:
            return WhenText(m.when, QDateTime::currentDateTime());
        case LengthTextRole:
            return LengthText(m.lengthMs);
        case HeardRole:
            return m.heard;
        case ErrorRole:
            return m.error;
        case PathRole:
            return m.path;
        default:
            return {};
    }
}

QHash<int, QByteArray> Inbox::roleNames() const {
    QHash<int, QByteArray> names = QAbstractListModel::roleNames();
    names.insert(WhoRole, "who");
    names.insert(WhenTextRole, "whenText");
    names.insert(LengthTextRole, "lengthText");
    names.insert(HeardRole, "heard");
    names.insert(ErrorRole, "error");
    names.insert(PathRole, "path");
    return names;
}

QString WhenText(const QDateTime& when, const QDateTime& now) {
    const QDateTime local = when.toLocalTime();
    const QDate day = local.date();
    const QDate today = now.toLocalTime().date();
    const QString time = local.time().toString(QStringLiteral("HH:mm"));
    if (day == today) return QStringLiteral("Today %1").arg(time);
    if (day == today.addDays(-1)) return QStringLiteral("Yesterday %1").arg(time);
    return QLocale().toString(local, QLocale::ShortFormat);
}

QString LengthText(uint32_t lengthMs) {
    const uint32_t s = lengthMs / 1000;
    if (s >= 3600)
        return QStringLiteral("%1:%2:%3")
            .arg(s / 3600)
            .arg(s / 60 % 60, 2, 10, QLatin1Char('0'))
            .arg(s % 60, 2, 10, QLatin1Char('0'));
    return QStringLiteral("%1:%2").arg(s / 60).arg(s % 60, 2, 10, QLatin1Char('0'));
}
