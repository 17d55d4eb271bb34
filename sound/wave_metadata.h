// What a WAVE file says about its recording besides the sound: the broadcast extension
// ("bext": originator, origination date and time) and the LIST/INFO texts (IART artist, ICRD
// creation date, INAM name). Dictation recorders and broadcast tools write them.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

class CFile;

struct WaveMetadata {
    std::string originator;       // bext Originator
    std::string originationDate;  // bext OriginationDate, "yyyy-mm-dd" as written
    std::string originationTime;  // bext OriginationTime, "hh:mm:ss" as written
    std::string artist;           // INFO IART
    std::string created;          // INFO ICRD
    std::string name;             // INFO INAM
};

// Reads the bext and LIST/INFO chunks of the RIFF/WAVE file (any position; from offset 0 on)
// over the header's chunk walk. Reads a bounded amount whatever the sizes claim: the first
// kMaxListBytes of a LIST chunk and kMaxFieldBytes of each text. A file that is no RIFF/WAVE
// file, or whose chunks end early, gives what was found before. Throws what CFile throws.
void ReadWaveMetadata(CFile& file, WaveMetadata& metadata);

inline constexpr size_t kMaxListBytes = 64 * 1024;
inline constexpr size_t kMaxFieldBytes = 256;

// A text field as shown: up to its first NUL byte and at most kMaxFieldBytes, control
// characters as spaces, spaces trimmed at both ends.
std::string FieldText(std::string_view bytes);
