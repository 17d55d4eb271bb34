#include "platform/locked_folder.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <system_error>
#include <vector>

#include "platform/file.h"

extern char* program_invocation_short_name;

namespace {

constexpr const char* kPrefix = "corvane-";
constexpr size_t kRandomLength = 6;  // as mkdtemp makes them
constexpr const char* kLockName = "player.lock";

bool IsFolderName(const std::string& name) {
    return name.size() == std::char_traits<char>::length(kPrefix) + kRandomLength &&
           name.starts_with(kPrefix);
}

std::vector<std::string> FolderNames(const std::string& parent) {
    std::vector<std::string> names;
    DIR* dir = ::opendir(parent.c_str());
    if (!dir) return names;
    while (const dirent* entry = ::readdir(dir))
        if (IsFolderName(entry->d_name)) names.emplace_back(entry->d_name);
    ::closedir(dir);
    return names;
}

// lstat: what a link names is never looked at.
bool Stat(const std::string& path, struct stat* info) {
    return ::lstat(path.c_str(), info) == 0;
}

void RemoveStaleFolders(const std::string& parent) {
    for (const std::string& name : FolderNames(parent)) {
        const std::string folder = parent + "/" + name;
        struct stat info {};
        if (!Stat(folder, &info) || !S_ISDIR(info.st_mode) || info.st_uid != ::geteuid()) continue;
        const std::string lockPath = folder + "/" + kLockName;
        if (!Stat(lockPath, &info) || !S_ISREG(info.st_mode)) continue;
        const int lock = ::open(lockPath.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
        if (lock < 0) continue;
        // Held by its running process; free once that ended in any way.
        if (::flock(lock, LOCK_EX | LOCK_NB) == 0) {
            std::error_code ignored;
            std::filesystem::remove_all(folder, ignored);  // removes links, not their targets
        }
        ::close(lock);
    }
}

// The lock file appears under its name already locked (made under another name and renamed),
// so that no other process ever finds it free while this one runs.
int TakeLock(const std::string& folder) {
    std::string name = folder + "/lock-XXXXXX";
    const int fd = ::mkostemp(name.data(), O_CLOEXEC);
    if (fd < 0) ThrowFileException(errno, folder, "Cannot create a file in");
    const std::string owner =
        std::to_string(::getpid()) + "\n" + program_invocation_short_name + "\n";
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0 ||
        ::write(fd, owner.data(), owner.size()) != static_cast<ssize_t>(owner.size()) ||
        ::rename(name.c_str(), (folder + "/" + kLockName).c_str()) != 0) {
        const int reason = errno;
        ::close(fd);
        ::unlink(name.c_str());
        ThrowFileException(reason, folder, "Cannot create a file in");
    }
    return fd;
}

}  // namespace

LockedFolder::LockedFolder(const std::string& parent) {
    RemoveStaleFolders(parent);
    std::string name = parent + "/" + kPrefix + std::string(kRandomLength, 'X');
    if (!::mkdtemp(name.data())) ThrowFileException(errno, parent, "Cannot create a file in");
    path_ = name;
    try {
        lock_ = TakeLock(path_);
    } catch (...) {
        ::rmdir(path_.c_str());
        throw;
    }
}

LockedFolder::~LockedFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
    ::close(lock_);  // after the removal, so nobody takes the folder for stale meanwhile
}
