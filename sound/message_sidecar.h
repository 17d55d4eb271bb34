// The text a telephone system writes beside each voice message (msg0000.txt beside
// msg0000.wav): lines of key=value, in a [message] section or without one. The keys read:
// callerid ("Ann Lee" <5551234>, a bare name or a bare number), origdate (a date text),
// origtime (seconds since 1970 UTC) and duration (seconds).
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

struct MessageSidecar {
    std::string callerName;           // the caller's name; empty when only the number is known
    std::string callerNumber;         // the number in <...>, or a bare callerid of digits
    std::string origDate;             // as written
    std::optional<int64_t> origTime;  // seconds since 1970-01-01 UTC
    std::optional<uint32_t> durationSeconds;

    // The name, else the number; empty when the text names no caller.
    const std::string& Caller() const { return callerName.empty() ? callerNumber : callerName; }
};

// Only the start of a sidecar is read: real ones are a few hundred bytes.
inline constexpr size_t kMaxSidecarBytes = 64 * 1024;

// Parses the text (any bytes: lines end at LF, CR LF or CR; keys in any letter case; lines
// starting with ';' or '#' are comments; sections other than [message] are passed over;
// values are trimmed and limited as FieldText does). Numbers out of range are left out.
MessageSidecar ParseMessageSidecar(std::string_view text);

// Reads and parses the first kMaxSidecarBytes of the regular file at path. False when it
// cannot be opened or read.
bool ReadMessageSidecar(const std::string& path, MessageSidecar& sidecar);
