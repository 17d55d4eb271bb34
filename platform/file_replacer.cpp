#include "platform/file_replacer.h"

#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/file.h"

namespace {

constexpr int kMaxLinks = 40;  // as the kernel follows at most

std::string FolderOf(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string NameOf(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The kernel's own rule for following a link on a write (fs.protected_symlinks): in a folder
// that is sticky and writable by others, such as /tmp, only a link of the process's own user or
// of the folder's owner is followed, so that nobody can plant a link there that redirects
// another user's file.
void RefuseAPlantedLink(const std::string& link) {
    struct stat linkInfo {
    }, folderInfo{};
    if (::lstat(link.c_str(), &linkInfo) != 0 || ::stat(FolderOf(link).c_str(), &folderInfo) != 0)
        return;  // gone meanwhile: the later steps say why
    const bool shared = (folderInfo.st_mode & S_ISVTX) && (folderInfo.st_mode & S_IWOTH);
    if (shared && linkInfo.st_uid != ::geteuid() && linkInfo.st_uid != folderInfo.st_uid)
        ThrowFileException(EACCES, link, "Cannot create");
}

}  // namespace

std::string FollowLinksForWriting(std::string path) {
    for (int hops = 0; hops < kMaxLinks; ++hops) {
        char text[PATH_MAX];
        const ssize_t n = ::readlink(path.c_str(), text, sizeof text);
        if (n < 0) return path;  // not a link, or missing: the later steps say why
        if (static_cast<size_t>(n) == sizeof text)
            ThrowFileException(ENAMETOOLONG, path, "Cannot open");
        RefuseAPlantedLink(path);
        const std::string link(text, static_cast<size_t>(n));
        path = link.starts_with('/') ? link : FolderOf(path) + "/" + link;
    }
    ThrowFileException(ELOOP, path, "Cannot open");
}

FileReplacer::FileReplacer(const std::string& target, Flush flush)
    : target_(FollowLinksForWriting(target)) {
    struct stat existing {};
    const bool exists = ::stat(target_.c_str(), &existing) == 0;
    if (exists && S_ISDIR(existing.st_mode)) ThrowFileException(EISDIR, target_, "Cannot create");
    if (exists && !S_ISREG(existing.st_mode))
        ThrowFileException(EINVAL, target_, "Not a regular file");
    // A new or empty target has nothing a crash could lose.
    flush_ = flush == Flush::kWhenReplacing && exists && existing.st_size > 0;
    // An existing target's contents may be private: the scratch file starts private and is
    // opened up to the target's mode only then, so nobody can open it in between.
    scratch_.emplace(FolderOf(target_), NameOf(target_), exists ? 0600 : 0666);
    if (exists) {
        const int fd = scratch_->Descriptor();
        // Best effort: only a privileged process can give a file away, and a group only to a
        // member. chown clears the set-user and set-group bits, so the mode comes after it.
        if (::fchown(fd, existing.st_uid, existing.st_gid) != 0 &&
            ::fchown(fd, static_cast<uid_t>(-1), existing.st_gid) != 0) {
            // The process's own user and group stay.
        }
        ::fchmod(fd, existing.st_mode & 07777);  // failing, the file stays private
    }
}

void FileReplacer::Commit() {
    scratch_->RenameOver(target_, flush_);
}
