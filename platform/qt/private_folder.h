// The player's private folder for its temporary recording, in the temporary folder: a
// LockedFolder (see platform/locked_folder.h for its name, its lock and the removal of the
// folders that killed players left).
#pragma once

#include <QString>
#include <memory>

class LockedFolder;

class PrivateFolder {
  public:
    // Removes the stale folders, then makes this player's own folder and takes its lock.
    PrivateFolder();
    ~PrivateFolder();
    PrivateFolder(const PrivateFolder&) = delete;
    PrivateFolder& operator=(const PrivateFolder&) = delete;

    // False when the folder or its lock could not be made.
    bool isValid() const { return folder_ != nullptr; }
    QString filePath(const QString& name) const;

  private:
    std::unique_ptr<LockedFolder> folder_;
};
