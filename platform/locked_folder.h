// A program's private folder in the temporary folder: "corvane-XXXXXX", user-only, holding the
// lock file "player.lock" for as long as its process runs. The lock is an flock, which the
// kernel releases however the process ends: a process killed outright leaves its folder, and
// whatever is in it, and the next program to make such a folder removes it. The player keeps
// its recording in one, corvane-convert --play its decoded copy.
#pragma once

#include <string>

class LockedFolder {
  public:
    // Removes the stale folders in parent: those of this user whose lock no running process
    // holds. A link is never followed; a folder of another user, one without the lock (not
    // ours, or one still being made) and one whose process runs are left alone. Then makes
    // this process's own folder and takes its lock. Throws CFileException* when either cannot
    // be made.
    explicit LockedFolder(const std::string& parent);
    // Removes the folder with everything in it (links, never what they point to).
    ~LockedFolder();
    LockedFolder(const LockedFolder&) = delete;
    LockedFolder& operator=(const LockedFolder&) = delete;

    const std::string& Path() const { return path_; }

  private:
    std::string path_;
    int lock_ = -1;  // open, and locked, for the object's lifetime
};
