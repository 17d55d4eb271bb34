// Replaces a file with new contents in one step, so that it is never seen half written and a
// failure at any point leaves it as it was. The new contents go into a scratch file beside the
// target, which Commit renames over it:
//
//     FileReplacer replacer(path);      // the scratch file exists from here on
//     WriteEverything(replacer.ScratchPath());
//     replacer.Commit();                // path now holds the new contents
//
// Without Commit (an exception, an early return) the scratch file is removed and the target
// is untouched; SIGINT, SIGTERM and SIGHUP remove it too (see ScratchFile).
#pragma once

#include <optional>
#include <string>

#include "platform/scratch_file.h"

class FileReplacer {
  public:
    // A target that is a symbolic link is followed: its final target is replaced and the link
    // stays. The scratch file gets an existing target's permission bits (and its owner and
    // group as far as the process may give them); a new target gets the mode any new file
    // would. Throws CFileException* when the target is a folder or another non-regular file,
    // or when no file can be created in its folder (nothing is touched then).
    explicit FileReplacer(const std::string& target);

    // The file to write (create or truncate it; it starts out empty).
    const std::string& ScratchPath() const { return scratch_->Path(); }
    // The file that Commit replaces: the target with its links followed.
    const std::string& TargetPath() const { return target_; }

    // Flushes the scratch file to the disk and renames it over the target. Throws
    // CFileException*; the target is then untouched.
    void Commit();

  private:
    std::string target_;
    std::optional<ScratchFile> scratch_;
};
