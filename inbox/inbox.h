// The inbox: a folder of voice messages as a list model, newest first, with who left each
// one, when, its length and whether it was heard. Heard or new is kept by the message's
// content in the inbox database (inbox_store.h), so a renamed or moved message keeps it; the
// folder is watched, and messages that land in it appear within two seconds.
#pragma once

#include <QAbstractListModel>
#include <QDateTime>
#include <QFileSystemWatcher>
#include <QString>
#include <QTimer>
#include <cstdint>
#include <memory>
#include <vector>

class InboxStore;
struct FolderEntry;
struct MessageFacts;

struct InboxMessage {
    QString path;           // absolute path of the message file
    QString who;            // sidecar callerid, else INFO artist (IART), else bext originator, else
                            // the file name
    QDateTime when;         // sidecar origtime (epoch seconds), else origdate, else bext date and
                            // time, else INFO ICRD, else the file's modification time
    uint32_t lengthMs = 0;  // from the header without decoding (else the sidecar's duration;
                            // 0 when unknown)
    bool heard = false;
    QString error;  // non-empty: why this file cannot be played (still listed)
};

class Inbox : public QAbstractListModel {  // rows are newest first
    Q_OBJECT
  public:
    // databasePath empty: $XDG_DATA_HOME/corvane/inbox.sqlite (~/.local/share when unset).
    explicit Inbox(QString databasePath = {}, QObject* parent = nullptr);
    ~Inbox() override;

    bool Open(const QString& folder, QString* error);  // lists it; watches it for new files
    void Close();
    QString Folder() const { return folder_; }  // empty when none is open
    int Count() const { return static_cast<int>(rows_.size()); }
    const InboxMessage& At(int row) const { return rows_[static_cast<size_t>(row)].message; }
    int RowOf(const QString& path) const;  // -1 when not listed
    int NewCount() const { return newCount_; }

    // In the order the messages were left (oldest first), as a telephone mailbox plays them;
    // -1 at the ends and for a row that is not listed.
    int Next(int row) const;
    int Previous(int row) const;
    int OldestNew() const;
    int NextNew(int row) const;  // the next new one left after row; row -1: OldestNew()
    void MarkHeard(int row);
    void MarkNew(int row);

    // Moves the message and its sidecar text to the freedesktop Trash; nothing is destroyed.
    bool MoveToTrash(int row, QString* error);
    bool CanUndoTrash() const { return !trashed_.empty(); }
    bool UndoTrash(QString* error);  // puts the last one back

    // Roles besides Qt::DisplayRole ("who", "when", "length", "new" in one line):
    enum Role {
        WhoRole = Qt::UserRole + 1,
        WhenTextRole,
        LengthTextRole,
        HeardRole,
        ErrorRole,
        PathRole
    };
    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QHash<int, QByteArray> roleNames() const override;

    // Reads the folder again now (the watcher does this on its own, debounced).
    void Rescan();

  signals:
    void NewCountChanged(int count);
    void MessageArrived(int row);               // a file landed while the folder was open
    void StoreProblem(const QString& message);  // the database was set aside and rebuilt

  private:
    // Rescan, telling of the messages that landed when announce is set.
    void Scan(bool announce);
    struct Row {
        InboxMessage message;
        QByteArray key;       // content key (heard or new)
        QByteArray stamp;     // FolderEntry::Stamp when read
        QByteArray sidecar;   // the sidecar text's path bytes, empty when none
        int64_t mtimeNs = 0;  // the message file's modification time when read
    };
    struct Trashed {
        QString path, sidecar;            // where they stood
        QString inTrash, sidecarInTrash;  // where they are in the Trash
    };

    Row MakeRow(const FolderEntry& entry, const MessageFacts& facts) const;
    // The row's place among rows_ ordered newest first.
    size_t PlaceOf(const Row& row) const;
    void InsertRow(Row row);
    void RemoveRow(int row);
    void SetHeard(int row, bool heard);
    void UpdateNewCount();
    void WatchUnsettled();

    std::unique_ptr<InboxStore> store_;
    QString folder_;
    std::vector<Row> rows_;
    int newCount_ = 0;
    std::vector<Trashed> trashed_;
    QFileSystemWatcher watcher_;
    QTimer rescanTimer_;
};

// "Today 14:05", "Yesterday 09:12", else a short date and time in the locale's form.
QString WhenText(const QDateTime& when, const QDateTime& now);
// "0:42", "12:05", "1:02:03": minutes and seconds, hours when there are any.
QString LengthText(uint32_t lengthMs);
