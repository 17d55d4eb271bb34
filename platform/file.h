// Buffered binary file with 64-bit offsets. Every failure throws a CFileException* that
// names the path and the operating system's reason.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/exception.h"

class CFileException : public CException {
  public:
    enum Cause {
        none = 0,
        fileNotFound,
        accessDenied,
        badSeek,
        hardIO,
        diskFull,
        endOfFile,
        invalidFile
    };

    CFileException() = default;
    CFileException(Cause cause, int osError, std::string path, std::string what);

    Cause cause() const { return cause_; }
    int osError() const { return osError_; }
    const std::string& path() const { return path_; }
    std::string Message() const override;

    // Fills this exception from errno after a failed operation on path.
    void Set(int osError, const std::string& path, const std::string& what);

  private:
    Cause cause_ = none;
    int osError_ = -1;
    std::string path_;
    std::string what_;
};

// Throws a new CFileException* for the operation what on path, failed with osError.
[[noreturn]] void ThrowFileException(int osError, const std::string& path, const std::string& what);

// True when both paths name the same existing file (after links): same device and inode.
bool IsSameExistingFile(const std::string& a, const std::string& b);

class CFile {
  public:
    enum OpenFlags : unsigned {
        modeRead = 0x0000,
        modeWrite = 0x0001,
        modeCreate = 0x1000,
    };

    CFile() = default;
    ~CFile();  // closes without throwing; call Close() to see errors of an output
    CFile(const CFile&) = delete;
    CFile& operator=(const CFile&) = delete;

    // Opens path for reading (modeRead) or creates/truncates it for writing
    // (modeCreate | modeWrite). On failure fills *error when given and returns false.
    // With regularOnly, anything but a regular file (after following links) is refused.
    bool Open(const std::string& path, unsigned flags, CFileException* error = nullptr,
              bool regularOnly = false);
    bool IsOpen() const { return fd_ >= 0; }
    const std::string& GetFilePath() const { return path_; }

    // Reads up to count bytes; returns the number read, 0 at the end of the file.
    size_t Read(void* buffer, size_t count);
    // Writes all count bytes or throws.
    void Write(const void* buffer, size_t count);
    // Seeks to offset from the start of the file; returns the new position.
    uint64_t Seek(uint64_t offset);
    uint64_t GetPosition() const;
    uint64_t GetLength();
    // Hands the buffered writes to the operating system, so that other readers of the file
    // see them (no sync to the disk). Throws like Write.
    void Flush();
    // Flushes and closes; a failure of either throws (for an output file).
    void Close();

  private:
    [[noreturn]] void Throw(const std::string& what) const;
    void FlushWrites();
    int WritePending();  // writes the buffer out; returns 0 or the errno of the failure

    int fd_ = -1;
    std::string path_;
    bool writing_ = false;
    uint64_t position_ = 0;  // logical position seen by the caller
    std::vector<unsigned char> buffer_;
    size_t bufferStart_ = 0;  // read buffer: next unread byte
    size_t bufferEnd_ = 0;    // read buffer: end of valid bytes; write buffer: bytes held
};
