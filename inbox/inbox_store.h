// The inbox's SQLite database: heard or new by content key, and the facts read from each file
// (by folder and name, under the file's stamp) so a folder opens fast the second time.
//
// A database that cannot be used (damaged, not a database, locked by another program) is set
// aside beside itself with the time in its name ("inbox.sqlite.set-aside-20261207-140511")
// and a new one made; the problem callback says so in a sentence. When no database can be
// made at all, the store works in memory: nothing it does ever stops a message from playing.
#pragma once

#include <QByteArray>
#include <QHash>
#include <QSqlDatabase>
#include <QString>
#include <cstdint>
#include <functional>
#include <utility>
#include <vector>

class InboxStore {
  public:
    struct CachedFile {
        QByteArray stamp;  // FolderEntry::Stamp when the facts were read
        QByteArray key;
        QString who;
        int64_t whenMs = 0;  // milliseconds since 1970 UTC
        uint32_t lengthMs = 0;
        QString error;
    };

    // path empty: $XDG_DATA_HOME/corvane/inbox.sqlite (~/.local/share when unset).
    InboxStore(QString path, std::function<void(const QString&)> problem);
    ~InboxStore();
    InboxStore(const InboxStore&) = delete;
    InboxStore& operator=(const InboxStore&) = delete;

    const QString& Path() const { return path_; }
    bool InMemory() const { return inMemory_; }

    bool Heard(const QByteArray& key) const { return heard_.value(key, false); }
    void SetHeard(const QByteArray& key, bool heard);

    // The cached facts of a folder's files, by file name bytes.
    QHash<QByteArray, CachedFile> CachedFiles(const QByteArray& folder);
    void StoreFiles(const QByteArray& folder,
                    const std::vector<std::pair<QByteArray, CachedFile>>& files);

  private:
    bool Connect(const QString& file);
    bool CreateSchema();
    bool LoadStates();
    // After a failed statement: sets the database aside, reports it and starts a new one
    // with the states known so far (in memory when no file can be made).
    void Recover(const QString& reason);
    void Disconnect();

    QString path_;
    QString connection_;
    std::function<void(const QString&)> problem_;
    QHash<QByteArray, bool> heard_;  // every state known: the database's and this session's
    QString failure_;                // why the last Connect, CreateSchema or LoadStates failed
    bool inMemory_ = false;
    bool usable_ = false;
};
