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

// Converts sourcePath into outputPath, which is created or truncated and written directly.
// Throws what WaveConverter throws.
Conversion ConvertFile(const std::string& sourcePath, const std::string& outputPath);

// Converts sourcePath into targetPath through a FileReplacer: targetPath (after links) is
// replaced in one step once the whole conversion succeeded, with its mode kept and flushed
// first as flush says; any failure leaves it as it was and no file behind. Throws what
// WaveConverter and FileReplacer throw.
Conversion ConvertReplacing(const std::string& sourcePath, const std::string& targetPath,
                            Flush flush = Flush::kWhenReplacing);
