// Batch mode of corvane-convert: many SOURCEs into one folder, several at a time.
#pragma once

#include <string>
#include <vector>

#include "convert/commands.h"

// The output name of a source: its file name with the last extension replaced by the
// format's (".wav" by default: "msg.gsm" gives "msg.wav"; a name without one gets it added).
std::string BatchOutputName(const std::string& source, ShareFormat format = ShareFormat::kWave);

// Converts every source into folder under its output name, jobs conversions at a time. Two
// sources with one output name, or a source that an output would replace, are refused before
// anything is converted. Each failure is reported naming its source and the others still
// convert. Returns 0 when all succeeded, else 1. On a terminal, stderr shows a progress line.
// options: as for a single conversion; a batch's format is WAVE unless options name one.
int ConvertBatch(const std::string& folder, const std::vector<std::string>& sources, unsigned jobs,
                 bool verbose, const OutputOptions& options = {});
