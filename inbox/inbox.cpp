#include "inbox/inbox.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <QTextStream>
#include <algorithm>

#include "platform/file.h"
#include "platform/qt/file_name.h"
#include "sound/wave_header.h"

namespace {

QString Sidecar(const QString& path) {
    return path.left(path.lastIndexOf(QLatin1Char('.'))) + QStringLiteral(".txt");
}

InboxMessage Read(const QFileInfo& info) {
    InboxMessage m;
    m.path = info.absoluteFilePath();
    m.who = info.fileName();
    m.when = info.lastModified();
    QFile text(Sidecar(m.path));
    if (text.open(QIODevice::ReadOnly)) {
        for (const QByteArray& line : text.read(65536).split('\n')) {
            if (line.startsWith("callerid=")) m.who = QString::fromUtf8(line.mid(9)).trimmed();
            if (line.startsWith("origtime=")) {
                bool ok = false;
                const qint64 t = line.mid(9).trimmed().toLongLong(&ok);
                if (ok) m.when = QDateTime::fromSecsSinceEpoch(t);
            }
        }
    }
    CFile file;
    if (file.Open(FileNameToBytes(m.path).toStdString(), CFile::modeRead, nullptr)) {
        WaveHeader header;
        try {
            if (header.ReadHeader(file) && header.byteRate > 0) {
                m.lengthMs = static_cast<uint32_t>(header.DataLength() * 1000 / header.byteRate);
            } else {
                m.error = QStringLiteral("Invalid wav header.");
            }
        } catch (...) {
            m.error = QStringLiteral("Cannot read");
        }
    }
    return m;
}

}  // namespace

Inbox::Inbox(QString, QObject* parent) : QAbstractListModel(parent) {
    rescan_.setSingleShot(true);
    rescan_.setInterval(300);
    connect(&watcher_, &QFileSystemWatcher::directoryChanged, &rescan_,
            qOverload<>(&QTimer::start));
    connect(&rescan_, &QTimer::timeout, this, &Inbox::Rescan);
}

std::vector<InboxMessage> Inbox::Scan() const {
    std::vector<InboxMessage> list;
    const QFileInfoList files = QDir(folder_).entryInfoList(
        {QStringLiteral("*.wav"), QStringLiteral("*.WAV")}, QDir::Files);
    for (const QFileInfo& info : files) list.push_back(Read(info));
    std::stable_sort(list.begin(), list.end(), [](const InboxMessage& a, const InboxMessage& b) {
        return a.when != b.when ? a.when > b.when : a.path > b.path;
    });
    return list;
}

bool Inbox::Open(const QString& folder, QString* error) {
    if (!QFileInfo(folder).isDir()) {
        if (error) *error = QStringLiteral("Not a folder");
        return false;
    }
    Close();
    beginResetModel();
    folder_ = QFileInfo(folder).absoluteFilePath();
    messages_ = Scan();
    endResetModel();
    watcher_.addPath(folder_);
    emit NewCountChanged(NewCount());
    return true;
}

void Inbox::Close() {
    if (folder_.isEmpty()) return;
    watcher_.removePath(folder_);
    beginResetModel();
    folder_.clear();
    messages_.clear();
    trashed_.clear();
    endResetModel();
}

void Inbox::Rescan() {
    if (folder_.isEmpty()) return;
    std::vector<InboxMessage> now = Scan();
    QSet<QString> heard;
    QSet<QString> known;
    for (const InboxMessage& m : messages_) {
        known.insert(m.path);
        if (m.heard) heard.insert(m.path);
    }
    std::vector<QString> arrived;
    for (InboxMessage& m : now) {
        m.heard = heard.contains(m.path);
        if (!known.contains(m.path)) arrived.push_back(m.path);
    }
    beginResetModel();
    messages_ = std::move(now);
    endResetModel();
    for (const QString& path : arrived) emit MessageArrived(RowOf(path));
    emit NewCountChanged(NewCount());
}

int Inbox::RowOf(const QString& path) const {
    for (int i = 0; i < Count(); ++i) {
        if (messages_[static_cast<size_t>(i)].path == path) return i;
    }
    return -1;
}

int Inbox::NewCount() const {
    return static_cast<int>(
        std::count_if(messages_.begin(), messages_.end(), [](const auto& m) { return !m.heard; }));
}

int Inbox::Next(int row) const {
    return row > 0 && row < Count() ? row - 1 : -1;
}

int Inbox::Previous(int row) const {
    return row >= 0 && row + 1 < Count() ? row + 1 : -1;
}

int Inbox::OldestNew() const {
    for (int i = Count() - 1; i >= 0; --i) {
        if (!At(i).heard) return i;
    }
    return -1;
}

int Inbox::NextNew(int row) const {
    for (int i = row - 1; i >= 0; --i) {
        if (!At(i).heard) return i;
    }
    return -1;
}

void Inbox::MarkHeard(int row) {
    messages_[static_cast<size_t>(row)].heard = true;
    emit dataChanged(index(row), index(row));
    emit NewCountChanged(NewCount());
}

void Inbox::MarkNew(int row) {
    messages_[static_cast<size_t>(row)].heard = false;
    emit dataChanged(index(row), index(row));
    emit NewCountChanged(NewCount());
}

bool Inbox::MoveToTrash(int row, QString* error) {
    const QString path = At(row).path;
    QString inTrash;
    if (!QFile::moveToTrash(path, &inTrash)) {
        if (error) *error = QStringLiteral("The Trash refused it");
        return false;
    }
    trashed_.push_back({path, inTrash});
    QString sidecarTrash;
    if (QFile::exists(Sidecar(path)) && QFile::moveToTrash(Sidecar(path), &sidecarTrash)) {
        trashed_.push_back({Sidecar(path), sidecarTrash});
    }
    beginRemoveRows({}, row, row);
    messages_.erase(messages_.begin() + row);
    endRemoveRows();
    emit NewCountChanged(NewCount());
    return true;
}

bool Inbox::UndoTrash(QString* error) {
    if (trashed_.empty()) return false;
    if (trashed_.back().first.endsWith(QStringLiteral(".txt"))) {
        QFile::rename(trashed_.back().second, trashed_.back().first);
        trashed_.pop_back();
    }
    const auto [original, inTrash] = trashed_.back();
    trashed_.pop_back();
    if (!QFile::rename(inTrash, original)) {
        if (error) *error = QStringLiteral("Cannot restore");
        return false;
    }
    Rescan();
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
            return m.who;
        case WhoRole:
            return m.who;
        case WhenTextRole:
            return WhenText(m.when, QDateTime::currentDateTime());
        case LengthTextRole:
            return QStringLiteral("%1:%2")
                .arg(m.lengthMs / 60000)
                .arg(m.lengthMs / 1000 % 60, 2, 10, QLatin1Char('0'));
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

QString WhenText(const QDateTime& when, const QDateTime& now) {
    const qint64 days = when.date().daysTo(now.date());
    const QString time = when.time().toString(QStringLiteral("HH:mm"));
    if (days == 0) return QStringLiteral("Today ") + time;
    if (days == 1) return QStringLiteral("Yesterday ") + time;
    return when.toString(QStringLiteral("d MMM HH:mm"));
}
