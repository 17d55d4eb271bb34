// Arbitrary bytes through the RIFF/WAVE header reader.
#include "fuzz/fuzz_input.h"
#include "platform/file.h"
#include "sound/wave_header.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string path = fuzz::ScratchPath("header.wav");
    fuzz::WriteScratch(path, data, size);
    CFile file;
    if (!file.Open(path, CFile::modeRead)) __builtin_trap();
    WaveHeader header;
    if (!header.ReadHeader(file)) return 0;
    // The data lies inside the file and the file stands at its first byte.
    if (file.GetPosition() < 12 || file.GetPosition() != header.dataStart ||
        header.dataEnd < header.dataStart || header.dataEnd > file.GetLength())
        __builtin_trap();
    return 0;
}
