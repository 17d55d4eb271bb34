// Arbitrary bytes through the RIFF/WAVE header reader.
#include "fuzz/fuzz_input.h"
#include "platform/file.h"
#include "sound/wave_header.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    CFile file;
    fuzz::OpenScratch(file, "header.wav", data, size);
    WaveHeader header;
    if (!header.ReadHeader(file)) return 0;
    // The data lies inside the file and the file stands at its first byte.
    if (file.GetPosition() < 12 || file.GetPosition() != header.dataStart ||
        header.dataEnd < header.dataStart || header.dataEnd > file.GetLength())
        __builtin_trap();
    return 0;
}
