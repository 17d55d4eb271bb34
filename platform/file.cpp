#include "platform/file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace {

constexpr size_t kBufferSize = 64 * 1024;

CFileException::Cause CauseOf(int osError) {
    switch (osError) {
        case ENOENT:
        case ENOTDIR:
            return CFileException::fileNotFound;
        case EACCES:
        case EPERM:
        case EROFS:
            return CFileException::accessDenied;
        case ENOSPC:
        case EDQUOT:
            return CFileException::diskFull;
        case EINVAL:
        case ESPIPE:
            return CFileException::badSeek;
        default:
            return CFileException::hardIO;
    }
}

}  // namespace

bool IsSameExistingFile(const std::string& a, const std::string& b) {
    struct stat sa {};
    struct stat sb {};
    return ::stat(a.c_str(), &sa) == 0 && ::stat(b.c_str(), &sb) == 0 && sa.st_dev == sb.st_dev &&
           sa.st_ino == sb.st_ino;
}

CFileException::CFileException(Cause cause, int osError, std::string path, std::string what)
    : cause_(cause), osError_(osError), path_(std::move(path)), what_(std::move(what)) {}

void CFileException::Set(int osError, const std::string& path, const std::string& what) {
    cause_ = CauseOf(osError);
    osError_ = osError;
    path_ = path;
    what_ = what;
}

std::string CFileException::Message() const {
    std::string text = what_.empty() ? "File error" : what_;
    text += " \"" + path_ + "\"";
    if (osError_ > 0) {
        text += ": ";
        text += std::strerror(osError_);
    }
    text += '.';
    return text;
}

CFile::~CFile() {
    if (fd_ < 0) return;
    CatchException([this] { Close(); });
}

bool CFile::Open(const std::string& path, unsigned flags, CFileException* error, bool regularOnly) {
    if (fd_ >= 0) Close();
    writing_ = (flags & modeWrite) != 0;
    int oflags = O_CLOEXEC;
    if (writing_) {
        oflags |= O_WRONLY;
        if (flags & modeCreate) oflags |= O_CREAT | O_TRUNC;
    } else {
        oflags |= O_RDONLY;
    }
    if (regularOnly) {
        // Checked before opening: opening a FIFO for reading would block.
        struct stat st {};
        int reason = 0;
        if (::stat(path.c_str(), &st) != 0) {
            reason = errno;
        } else if (!S_ISREG(st.st_mode)) {
            reason = S_ISDIR(st.st_mode) ? EISDIR : EINVAL;
        }
        if (reason != 0) {
            if (error)
                error->Set(reason, path, reason == EINVAL ? "Not a regular file" : "Cannot open");
            return false;
        }
        oflags |= O_NONBLOCK;  // in case the path was swapped for a FIFO since the check
    }
    const int fd = ::open(path.c_str(), oflags, 0666);
    if (fd < 0) {
        if (error) error->Set(errno, path, writing_ ? "Cannot create" : "Cannot open");
        return false;
    }
    if (regularOnly) {
        struct stat st {};
        if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
            ::close(fd);
            if (error) error->Set(EINVAL, path, "Not a regular file");
            return false;
        }
        ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    }
    fd_ = fd;
    path_ = path;
    position_ = 0;
    bufferStart_ = bufferEnd_ = 0;
    buffer_.resize(kBufferSize);
    return true;
}

void ThrowFileException(int osError, const std::string& path, const std::string& what) {
    auto* e = new CFileException;
    e->Set(osError, path, what);
    throw e;
}

void CFile::Throw(const std::string& what) const {
    ThrowFileException(errno, path_, what);
}

size_t CFile::Read(void* buffer, size_t count) {
    if (fd_ < 0 || writing_) {
        errno = EBADF;
        Throw("Cannot read");
    }
    auto* out = static_cast<unsigned char*>(buffer);
    size_t done = 0;
    while (done < count) {
        if (bufferStart_ < bufferEnd_) {
            const size_t n = std::min(count - done, bufferEnd_ - bufferStart_);
            std::memcpy(out + done, buffer_.data() + bufferStart_, n);
            bufferStart_ += n;
            done += n;
            continue;
        }
        // Large reads bypass the buffer.
        const bool direct = count - done >= buffer_.size();
        unsigned char* target = direct ? out + done : buffer_.data();
        const size_t want = direct ? count - done : buffer_.size();
        ssize_t got;
        do {
            got = ::read(fd_, target, want);
        } while (got < 0 && errno == EINTR);
        if (got < 0) {
            position_ += done;  // what was copied before the failure was consumed
            Throw("Cannot read");
        }
        if (got == 0) break;
        if (direct) {
            // The buffer no longer holds the bytes just before the position: empty it, so
            // a seek is never served from it.
            bufferStart_ = bufferEnd_ = 0;
            done += static_cast<size_t>(got);
        } else {
            bufferStart_ = 0;
            bufferEnd_ = static_cast<size_t>(got);
        }
    }
    position_ += done;
    return done;
}

int CFile::WritePending() {
    size_t written = 0;
    int reason = 0;
    while (written < bufferEnd_) {
        const ssize_t n = ::write(fd_, buffer_.data() + written, bufferEnd_ - written);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            reason = n == 0 ? ENOSPC : errno;
            break;
        }
        written += static_cast<size_t>(n);
    }
    bufferEnd_ = 0;
    return reason;
}

void CFile::FlushWrites() {
    if (const int reason = WritePending(); reason != 0) {
        errno = reason;
        Throw("Cannot write");
    }
}

void CFile::Write(const void* buffer, size_t count) {
    if (fd_ < 0 || !writing_) {
        errno = EBADF;
        Throw("Cannot write");
    }
    const auto* in = static_cast<const unsigned char*>(buffer);
    while (count > 0) {
        const size_t n = std::min(count, buffer_.size() - bufferEnd_);
        std::memcpy(buffer_.data() + bufferEnd_, in, n);
        bufferEnd_ += n;
        in += n;
        count -= n;
        position_ += n;
        if (bufferEnd_ == buffer_.size()) FlushWrites();
    }
}

uint64_t CFile::Seek(uint64_t offset) {
    if (fd_ < 0) {
        errno = EBADF;
        Throw("Cannot seek in");
    }
    if (writing_) {
        FlushWrites();
    } else {
        // Stay inside the read buffer when the target is there (the header reader seeks often).
        const uint64_t bufferBase = position_ - bufferStart_;
        if (offset >= bufferBase && offset <= bufferBase + bufferEnd_) {
            bufferStart_ = static_cast<size_t>(offset - bufferBase);
            position_ = offset;
            return position_;
        }
        bufferStart_ = bufferEnd_ = 0;
    }
    if (offset > static_cast<uint64_t>(INT64_MAX) ||
        ::lseek(fd_, static_cast<off_t>(offset), SEEK_SET) < 0) {
        if (offset > static_cast<uint64_t>(INT64_MAX)) errno = EINVAL;
        Throw("Cannot seek in");
    }
    position_ = offset;
    return position_;
}

uint64_t CFile::GetPosition() const {
    return position_;
}

uint64_t CFile::GetLength() {
    if (fd_ < 0) {
        errno = EBADF;
        Throw("Cannot get the length of");
    }
    if (writing_) FlushWrites();
    struct stat st {};
    if (::fstat(fd_, &st) != 0) Throw("Cannot get the length of");
    return static_cast<uint64_t>(st.st_size);
}

void CFile::Flush() {
    if (fd_ >= 0 && writing_) FlushWrites();
}

void CFile::Close() {
    if (fd_ < 0) return;
    int reason = writing_ ? WritePending() : 0;
    if (::close(fd_) != 0 && writing_ && reason == 0) reason = errno;
    fd_ = -1;
    buffer_.clear();
    buffer_.shrink_to_fit();
    bufferStart_ = bufferEnd_ = 0;
    if (reason != 0) {
        errno = reason;
        Throw("Cannot write");
    }
}
