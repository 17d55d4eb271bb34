// The benchmarks' inputs: one-hour messages in every encoding, made with sox from the
// bundled samples (OKI ADPCM: sox writes the codes, we the header; G.729 from random frames,
// which the decoder takes as good).
#pragma once

#include <filesystem>
#include <string>
#include <utility>
#include <vector>

// Makes them in work; returns (encoding, path) pairs of those that could be made. program
// names the benchmark in the message printed when sox is missing.
std::vector<std::pair<std::string, std::filesystem::path>> MakeHourInputs(
    const std::filesystem::path& work, const char* program);
