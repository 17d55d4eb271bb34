// Replaces a file with new contents in one step, so that it is never seen half written and a
// failure at any point leaves it as it was. The new contents go into a scratch file beside the
// target, which Commit renames over it:
//
//     FileReplacer replacer(path);      // the scratch file exists from here on
//     WriteEverything(replacer.ScratchPath());
//     replacer.Commit();                // path now holds the new contents
//
// Without Commit (an exception, an early return) the scratch file is removed and the target
// is untouched; a signal that ends the process removes it too (see ScratchFile).
#pragma once

#include <optional>
#include <string>

#include "platform/scratch_file.h"

// Whether Commit flushes the new contents to the disk before the rename. Without the flush a
// crash soon after the rename may leave the target empty or partial (the file system may
// write the rename before the data); with it, committing an hour of sound waits a fraction of
// a second for the disk.
enum class Flush {
    kWhenReplacing,  // when the target holds contents: those are never lost, only replaced
    kNever,          // for a file that need not outlive a crash (the player's recording)
};

// path with every symbolic link at its end followed, as a write through it goes, also to a
// target that does not exist yet (writing through a dangling link creates its target, as the
// shell's > does). A link is followed only where the kernel would follow it for a write: in a
// folder that is sticky and writable by others (like /tmp), only a link of the user's own or
// of the folder's owner; any other throws CFileException* ("Cannot create "LINK": Permission
// denied."), as does a chain of more than 40 links.
std::string FollowLinksForWriting(std::string path);

class FileReplacer {
  public:
    // A target that is a symbolic link is followed (FollowLinksForWriting): its final target
    // is replaced and the link stays. The scratch file gets an existing target's permission bits
    // (and its owner and group as far as the process may give them); a new target gets the mode any
    // new file would. Throws CFileException* when the target is a folder or another non-regular
    // file, or when no file can be created in its folder (nothing is touched then).
    explicit FileReplacer(const std::string& target, Flush flush = Flush::kWhenReplacing);

    // The file to write (create or truncate it; it starts out empty).
    const std::string& ScratchPath() const { return scratch_->Path(); }
    // The file that Commit replaces: the target with its links followed.
    const std::string& TargetPath() const { return target_; }

    // Renames the scratch file over the target, flushed first as the constructor was told.
    // Throws CFileException*; the target is then untouched.
    void Commit();

  private:
    std::string target_;
    bool flush_ = false;
    std::optional<ScratchFile> scratch_;
};
