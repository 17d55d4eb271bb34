// What corvane-convert does for one SOURCE: convert it, describe it, play it. Nothing here
// plays sound itself: playing is handed in, so this part links without the audio device.
#pragma once

#include <functional>
#include <optional>
#include <string>

#include "platform/exception.h"
#include "sound/share_copy.h"

// Plays a 16-bit PCM WAVE file to its end; returns the exit status. May throw CException*.
using TerminalPlayer = std::function<int(const std::string& pcmPath)>;

// The refusal of an OUTPUT that is its SOURCE (also through a link).
constexpr const char* kOwnSource = "Cannot write the output over its own source.";

// "corvane-convert: NAME: message" and a line end.
std::string ErrorLine(const std::string& name, const std::string& message);
// Prints ErrorLine on stderr in one write; returns 1, the status of a failed conversion.
int Fail(const std::string& name, const std::string& message);

// Every command's SOURCE "-" is standard input, copied whole into a private file in the
// temporary folder first (the header rules need the file's length) and read from there as a
// WAVE file; messages name it "-".

// What a conversion writes beyond the decoded sound.
struct OutputOptions {
    // The file's format; none: the one OUTPUT's extension names (WAVE for "-", for any other
    // extension and for none).
    std::optional<ShareFormat> format;
    bool trimSilence = false;  // pauses shortened (the voice tools)
    bool level = false;        // the voice brought to a steady loudness
};

// The format a conversion into output writes.
ShareFormat OutputFormat(const OutputOptions& options, const std::string& output);

// Converts source into output and returns the error, or null. OUTPUT "-" is standard output;
// "-", a FIFO or a device gets the complete file once the conversion succeeded, and any
// other output is replaced in one step (ConvertReplacing). A WAVE output without voice tools
// is the converter's own 16-bit PCM file; any other is decoded into a scratch file in the
// temporary folder first and encoded from there (sound/share_copy.h). With summary, fills it
// with one line describing what was written.
ExceptionPtr ConvertOne(const std::string& source, const std::string& output,
                        const OutputOptions& options = {}, std::string* summary = nullptr);

// Prints the header and the encoding's name; returns the exit status.
int ShowInfo(const std::string& source);

// Converts into a scratch file in a LockedFolder in the temporary folder and plays that;
// returns the status.
int PlaySource(const std::string& source, const TerminalPlayer& play);
