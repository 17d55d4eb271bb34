#include "platform/qt/private_folder.h"

#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFile>

namespace {

const QString kLockName = QStringLiteral("player.lock");

// lstat: what a link names is never looked at.
bool Stat(const QString& path, struct stat* info) {
    return ::lstat(QFile::encodeName(path).constData(), info) == 0;
}

void RemoveStaleFolders(const QString& parent) {
    const QStringList names = QDir(parent).entryList({QStringLiteral("corvane-??????")},
                                                     QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString& name : names) {
        const QString folder = parent + '/' + name;
        struct stat info {};
        if (!Stat(folder, &info) || !S_ISDIR(info.st_mode) || info.st_uid != ::geteuid()) continue;
        const QString lockPath = folder + '/' + kLockName;
        if (!Stat(lockPath, &info) || !S_ISREG(info.st_mode)) continue;
        QLockFile lock(lockPath);
        lock.setStaleLockTime(0);  // stale only when its process is gone
        if (!lock.tryLock(0)) continue;
        lock.unlock();
        QDir(folder).removeRecursively();  // removes links, never what they point to
    }
}

QString TemplateAfterRemovingStale() {
    RemoveStaleFolders(QDir::tempPath());
    return QDir::tempPath() + QStringLiteral("/corvane-XXXXXX");
}

}  // namespace

PrivateFolder::PrivateFolder() : dir_(TemplateAfterRemovingStale()) {
    if (!dir_.isValid()) return;
    auto lock = std::make_unique<QLockFile>(dir_.filePath(kLockName));
    lock->setStaleLockTime(0);
    if (lock->tryLock(0)) lock_ = std::move(lock);
}
