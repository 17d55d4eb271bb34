// A folder of voice messages as a list model, newest first (stand-in with the agreed interface
// until the inbox's core is merged: sidecar callerid, file times, heard state in memory).
#pragma once

#include <QAbstractListModel>
#include <QDateTime>
#include <QFileSystemWatcher>
#include <QString>
#include <QTimer>
#include <cstdint>
#include <vector>

struct InboxMessage {
    QString path;
    QString who;
    QDateTime when;
    uint32_t lengthMs = 0;
    bool heard = false;
    QString error;
};

class Inbox : public QAbstractListModel {
    Q_OBJECT
  public:
    explicit Inbox(QString databasePath = {}, QObject* parent = nullptr);
    bool Open(const QString& folder, QString* error);
    void Close();
    QString Folder() const { return folder_; }
    int Count() const { return static_cast<int>(messages_.size()); }
    const InboxMessage& At(int row) const { return messages_[static_cast<size_t>(row)]; }
    int RowOf(const QString& path) const;
    int NewCount() const;
    int Next(int row) const;
    int Previous(int row) const;
    int OldestNew() const;
    int NextNew(int row) const;
    void MarkHeard(int row);
    void MarkNew(int row);
    bool MoveToTrash(int row, QString* error);
    bool CanUndoTrash() const { return !trashed_.empty(); }
    bool UndoTrash(QString* error);
    enum Role {
        WhoRole = Qt::UserRole + 1,
        WhenTextRole,
        LengthTextRole,
        HeardRole,
        ErrorRole,
        PathRole
    };

    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;

  signals:
    void NewCountChanged(int count);
    void MessageArrived(int row);
    void StoreProblem(const QString& message);

  private:
    std::vector<InboxMessage> Scan() const;
    void Rescan();

    QString folder_;
    std::vector<InboxMessage> messages_;
    std::vector<std::pair<QString, QString>> trashed_;  // (original, in the trash)
    QFileSystemWatcher watcher_;
    QTimer rescan_;
};

QString WhenText(const QDateTime& when, const QDateTime& now);
