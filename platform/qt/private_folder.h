// The player's private folder for its temporary recording: "corvane-XXXXXX" in the temporary
// folder, user-only, holding the lock "player.lock" for as long as its player runs. A player
// that was killed outright leaves its folder, recording included; the next player removes
// such stale folders before it makes its own.
#pragma once

#include <QLockFile>
#include <QString>
#include <QTemporaryDir>
#include <memory>

class PrivateFolder {
  public:
    // Removes the stale folders: those of this user whose lock no running process holds. A
    // link is never followed; a folder of another user, one without the lock (not a
    // player's, or one still being made) and one whose player runs are left alone. Then
    // makes this player's own folder and takes its lock.
    PrivateFolder();

    // False when the folder or its lock could not be made.
    bool isValid() const { return lock_ && dir_.isValid(); }
    QString filePath(const QString& name) const { return dir_.filePath(name); }

  private:
    QTemporaryDir dir_;
    // Declared after the folder, so that the lock file is removed before the folder goes.
    std::unique_ptr<QLockFile> lock_;
};
