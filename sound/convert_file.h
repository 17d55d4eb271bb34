// A whole conversion from one path to another, for the programs that convert files: the
// player (into its temporary recording) and corvane-convert.
#pragma once

#include <string>

#include "platform/file_replacer.h"
#include "sound/wave_header.h"

struct Conversion {
    FormatTag sourceFormat{};  // the source's format tag, as read
    WaveHeader output;         // the header of the file written
};

class ConversionProgress;

// Converts sourcePath into outputPath, which is created or truncated and written directly.
// Throws what WaveConverter throws.
//
// With a progress (sound/conversion_progress.h), readers may play the output while it is
// written: the conversion publishes the header, the data as it reaches the file, and its end:
// finished, failed with the error's text, or cancelled (at the next block after
// progress->Cancel(), thrown as a CMessageException*). A cancelled conversion, and one that
// failed before its header was published, removes the output it made (a regular file only)
// before it publishes the end; a later failure leaves the output, whose data then ends at the
// last mark. The output bytes are the same with or without a progress.
Conversion ConvertFile(const std::string& sourcePath, const std::string& outputPath,
                       ConversionProgress* progress = nullptr);

// Converts sourcePath into targetPath through a FileReplacer: targetPath (after links) is
// replaced in one step once the whole conversion succeeded, with its mode kept and flushed
// first as flush says; any failure leaves it as it was and no file behind. Throws what
// WaveConverter and FileReplacer throw.
Conversion ConvertReplacing(const std::string& sourcePath, const std::string& targetPath,
                            Flush flush = Flush::kWhenReplacing);
