// A file that lives only for the length of one job: created under a fresh name, removed when
// the object is destroyed, and also when a signal ends the process: any signal whose default
// action ends it (SIGINT, SIGTERM, SIGHUP, SIGPIPE, SIGXFSZ, SIGQUIT, SIGALRM, SIGUSR1 and
// the rest; not SIGKILL). Such a signal still ends the process with its own status, after
// "PROGRAM: ended by SIGNAME (description)." on stderr; a signal the program handles itself
// or ignores is left to it. Any number of scratch files may exist at once, on any threads.
#pragma once

#include <sys/types.h>

#include <atomic>
#include <string>

class ScratchFile {
  public:
    // Creates "<folder>/<name>.corvane-part-XXXXXX" (six random letters or digits; name is
    // shortened when the whole would pass 255 bytes) with the permission bits mode, less the
    // umask. Throws CFileException* ("Cannot create a file in "<folder>": <reason>.").
    ScratchFile(const std::string& folder, const std::string& name, mode_t mode);
    ~ScratchFile();  // removes the file unless it was renamed away
    ScratchFile(const ScratchFile&) = delete;
    ScratchFile& operator=(const ScratchFile&) = delete;

    const std::string& Path() const { return path_; }
    // Open for reading and writing until destruction or RenameOver.
    int Descriptor() const { return fd_; }

    // Removes the name now; the descriptor stays usable.
    void Remove();
    // Renames the file over target in one step (target must be in the same folder or file
    // system), with flush first flushing it to the disk. Throws CFileException*; the file is
    // then still removed at destruction.
    void RenameOver(const std::string& target, bool flush);

  private:
    void Forget();  // the name is gone: no longer removed at destruction or on a signal

    std::string path_;
    int fd_ = -1;
    std::atomic<const char*>* slot_ = nullptr;  // where a signal finds the path to remove
};
