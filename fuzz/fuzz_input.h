// Helpers for the fuzz targets: the converter and the header reader work on files, so
// each input is written to a per-process scratch folder first.
#pragma once

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "platform/file.h"

namespace fuzz {

// The scratch folder lives in memory where the system offers a folder for that: on a disk,
// rewriting the same small files for every input waits for the disk (ext4 writes a file out
// when it is truncated and written again), which slowed the converter targets several times.
inline std::string ScratchPath(const char* name) {
    static const std::string dir = [] {
        static char memory[] = "/dev/shm/corvane-fuzz-XXXXXX";
        static char disk[] = "/tmp/corvane-fuzz-XXXXXX";
        static char* const pattern = std::filesystem::is_directory("/dev/shm") ? memory : disk;
        if (!::mkdtemp(pattern)) __builtin_trap();
        // Removed with its files when the fuzzer exits normally.
        std::atexit([] { std::filesystem::remove_all(pattern); });
        return std::string(pattern);
    }();
    return dir + "/" + name;
}

inline void WriteScratch(const std::string& path, const uint8_t* data, size_t size) {
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) __builtin_trap();
    if (size) std::fwrite(data, 1, size, f);
    std::fclose(f);
}

// Writes the input to the scratch file name and opens it for reading.
inline void OpenScratch(CFile& file, const char* name, const uint8_t* data, size_t size) {
    const std::string path = ScratchPath(name);
    WriteScratch(path, data, size);
    if (!file.Open(path, CFile::modeRead)) __builtin_trap();
}

}  // namespace fuzz
