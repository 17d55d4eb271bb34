#include "inbox/inbox_store.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlError>
#include <QSqlQuery>
#include <QStandardPaths>
#include <QVariant>

namespace {

QString DefaultPath() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
           QStringLiteral("/corvane/inbox.sqlite");
}

QString ErrorOf(const QSqlQuery& q) {
    return q.lastError().text();
}

}  // namespace

InboxStore::InboxStore(QString path, std::function<void(const QString&)> problem)
    : path_(path.isEmpty() ? DefaultPath() : std::move(path)),
      connection_(QStringLiteral("corvane-inbox-%1").arg(reinterpret_cast<quintptr>(this))),
      problem_(std::move(problem)) {
    QDir().mkpath(QFileInfo(path_).absolutePath());
    if (Connect(path_) && CreateSchema() && LoadStates()) return;
    Recover(failure_);
}

InboxStore::~InboxStore() {
    Disconnect();
}

void InboxStore::Disconnect() {
    if (!QSqlDatabase::contains(connection_)) return;
    {
        QSqlDatabase db = QSqlDatabase::database(connection_, false);
        db.close();
    }
    QSqlDatabase::removeDatabase(connection_);
    usable_ = false;
}

bool InboxStore::Connect(const QString& file) {
    Disconnect();
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connection_);
    db.setDatabaseName(file);
    // A lock held by another program is waited for this long, then taken as a problem.
    db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=250"));
    usable_ = db.open();
    if (!usable_) failure_ = db.lastError().text();
    return usable_;
}

bool InboxStore::CreateSchema() {
    QSqlQuery q(QSqlDatabase::database(connection_, false));
    const bool ok = q.exec(QStringLiteral("PRAGMA synchronous=NORMAL")) &&
                    q.exec(QStringLiteral("CREATE TABLE IF NOT EXISTS state (key BLOB PRIMARY KEY, "
                                          "heard INTEGER NOT NULL) WITHOUT ROWID")) &&
                    q.exec(QStringLiteral("CREATE TABLE IF NOT EXISTS files (folder BLOB NOT NULL, "
                                          "name BLOB NOT NULL, stamp BLOB, key BLOB, who TEXT, "
                                          "when_ms INTEGER, length_ms INTEGER, error TEXT, "
                                          "PRIMARY KEY (folder, name)) WITHOUT ROWID"));
    if (!ok) failure_ = ErrorOf(q);
    return ok;
}

bool InboxStore::LoadStates() {
    QSqlQuery q(QSqlDatabase::database(connection_, false));
    q.setForwardOnly(true);
    if (!q.exec(QStringLiteral("SELECT key, heard FROM state"))) {
        failure_ = ErrorOf(q);
        return false;
    }
    while (q.next()) heard_.insert(q.value(0).toByteArray(), q.value(1).toBool());
    return true;
}

void InboxStore::Recover(const QString& reason) {
    Disconnect();
    QString message;
    if (!inMemory_) {
        const QString aside =
            path_ + QStringLiteral(".set-aside-") +
            QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"));
        const bool existed = QFile::exists(path_);
        if (existed && !QFile::rename(path_, aside)) {
            message = QStringLiteral(
                          "The inbox database %1 cannot be used (%2) nor set aside; "
                          "heard and new marks are kept until Corvane closes.")
                          .arg(path_, reason);
        } else {
            QFile::rename(path_ + QStringLiteral("-journal"), aside + QStringLiteral("-journal"));
            if (Connect(path_) && CreateSchema()) {
                message = existed ? QStringLiteral(
                                        "The inbox database %1 could not be used "
                                        "(%2); it was set aside as %3 and a new one "
                                        "was started.")
                                        .arg(path_, reason, aside)
                                  : QString();
            } else {
                message = QStringLiteral(
                              "No inbox database can be made at %1 (%2); heard and new "
                              "marks are kept until Corvane closes.")
                              .arg(path_, reason);
            }
        }
    }
    if (!usable_) {
        inMemory_ = true;
        if (!Connect(QStringLiteral(":memory:")) || !CreateSchema()) Disconnect();
    }
    // The states known so far go into the new database.
    if (usable_) {
        QSqlDatabase db = QSqlDatabase::database(connection_, false);
        db.transaction();
        QSqlQuery q(db);
        q.prepare(QStringLiteral("INSERT OR REPLACE INTO state (key, heard) VALUES (?, ?)"));
        for (auto it = heard_.cbegin(); it != heard_.cend(); ++it) {
            q.addBindValue(it.key());
            q.addBindValue(it.value() ? 1 : 0);
            q.exec();
        }
        db.commit();
    }
    if (!message.isEmpty() && problem_) problem_(message);
}

void InboxStore::SetHeard(const QByteArray& key, bool heard) {
    if (key.isEmpty()) return;
    heard_.insert(key, heard);
    if (!usable_) return;
    QString failure;
    {
        QSqlQuery q(QSqlDatabase::database(connection_, false));
        q.prepare(QStringLiteral("INSERT OR REPLACE INTO state (key, heard) VALUES (?, ?)"));
        q.addBindValue(key);
        q.addBindValue(heard ? 1 : 0);
        if (!q.exec()) failure = ErrorOf(q);
    }
    if (!failure.isEmpty()) Recover(failure);
}

QHash<QByteArray, InboxStore::CachedFile> InboxStore::CachedFiles(const QByteArray& folder) {
    QHash<QByteArray, CachedFile> files;
    if (!usable_) return files;
    QString failure;
    {
        QSqlQuery q(QSqlDatabase::database(connection_, false));
        q.setForwardOnly(true);
        q.prepare(
            QStringLiteral("SELECT name, stamp, key, who, when_ms, length_ms, error "
                           "FROM files WHERE folder = ?"));
        q.addBindValue(folder);
        if (!q.exec()) failure = ErrorOf(q);
        while (failure.isEmpty() && q.next()) {
            CachedFile f;
            f.stamp = q.value(1).toByteArray();
            f.key = q.value(2).toByteArray();
            f.who = q.value(3).toString();
            f.whenMs = q.value(4).toLongLong();
            f.lengthMs = q.value(5).toUInt();
            f.error = q.value(6).toString();
            files.insert(q.value(0).toByteArray(), std::move(f));
        }
    }
    if (!failure.isEmpty()) Recover(failure);
    return files;
}

void InboxStore::StoreFiles(const QByteArray& folder,
                            const std::vector<std::pair<QByteArray, CachedFile>>& files) {
    if (!usable_ || files.empty()) return;
    QString failure;
    {
        QSqlDatabase db = QSqlDatabase::database(connection_, false);
        QSqlQuery q(db);
        bool ok = db.transaction();
        ok = ok && q.prepare(QStringLiteral("INSERT OR REPLACE INTO files (folder, name, stamp, "
                                            "key, who, when_ms, length_ms, error) "
                                            "VALUES (?, ?, ?, ?, ?, ?, ?, ?)"));
        for (const auto& [name, f] : files) {
            if (!ok) break;
            q.addBindValue(folder);
            q.addBindValue(name);
            q.addBindValue(f.stamp);
            q.addBindValue(f.key);
            q.addBindValue(f.who);
            q.addBindValue(static_cast<qlonglong>(f.whenMs));
            q.addBindValue(f.lengthMs);
            q.addBindValue(f.error);
            ok = q.exec();
        }
        if (ok && db.commit()) return;
        failure = q.lastError().isValid() ? ErrorOf(q) : db.lastError().text();
        db.rollback();
    }
    Recover(failure);
}
