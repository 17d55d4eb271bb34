// Arbitrary bytes as a WAVE file through the bext and LIST/INFO reader.
#include "fuzz/fuzz_input.h"
#include "platform/file.h"
#include "sound/wave_metadata.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    CFile file;
    fuzz::OpenScratch(file, "metadata.wav", data, size);
    WaveMetadata m;
    ReadWaveMetadata(file, m);
    for (const std::string* s :
         {&m.originator, &m.originationDate, &m.originationTime, &m.artist, &m.created, &m.name})
        if (s->size() > kMaxFieldBytes) __builtin_trap();
    return 0;
}
