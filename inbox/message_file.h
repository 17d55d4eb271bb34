// One message of an inbox folder as found on disk, and what its files say about it: who left
// it, when, its length (from the header, without decoding) and the key of its content.
#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <cstdint>
#include <vector>

struct FolderEntry {
    QString path;      // absolute, as FileNameFromBytes gives it
    QByteArray bytes;  // the absolute path's bytes
    int64_t size = 0;
    int64_t mtimeNs = 0;  // modification time, nanoseconds since 1970 UTC
    uint64_t inode = 0;
    QByteArray sidecar;  // the sidecar text's path bytes; empty when there is none
    int64_t sidecarSize = 0;
    int64_t sidecarMtimeNs = 0;

    // Changes whenever the message file or its sidecar text may have changed: what read
    // facts are cached under.
    QByteArray Stamp() const;
};

// The messages of folder: the files the player opens (.wav and .gsm in any letter case),
// regular files only, each with the sidecar text of the same stem (".txt" in any case) when
// there is one. False with *error set when the folder cannot be read.
bool ListFolder(const QString& folder, std::vector<FolderEntry>& entries, QString* error);

struct MessageFacts {
    QString who;
    QDateTime when;
    uint32_t lengthMs = 0;
    QString error;   // non-empty: why the file cannot be played
    QByteArray key;  // content key, see ContentKey
};

// Reads a message's header, chunks and sidecar text. Never throws: what cannot be read
// becomes facts.error (who and when then come from what could be read, else the file name and
// its time).
MessageFacts ReadMessage(const FolderEntry& entry);

// The key of a message's content, the same wherever the file lies and whatever its name: its
// size and a hash of its first and last kKeyEdgeBytes (the whole file when it is shorter than
// both). Empty when the file cannot be read.
QByteArray ContentKey(const QByteArray& pathBytes, int64_t size);
class CFile;
QByteArray ContentKey(CFile& file, int64_t size);  // of a file open for reading
inline constexpr int64_t kKeyEdgeBytes = 64 * 1024;
