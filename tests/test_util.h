// Helpers shared by the tests: temporary folders, whole-file I/O and WAVE builders.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "sound/wave_header.h"

namespace testutil {

using Bytes = std::vector<uint8_t>;

// A fresh folder removed with everything in it at destruction.
class TempDir {
  public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::filesystem::path& path() const { return path_; }
    std::string File(const std::string& name) const { return (path_ / name).string(); }

  private:
    std::filesystem::path path_;
};

Bytes ReadFile(const std::string& path);
void WriteFile(const std::string& path, const Bytes& bytes);

void Put16(Bytes& b, uint16_t v);
void Put32(Bytes& b, uint32_t v);
void PutTag(Bytes& b, const char* tag);

struct Format {
    FormatTag formatTag = FormatTag::Pcm;
    uint16_t channels = 1;
    uint32_t sampleRate = 8000;
    uint32_t byteRate = 16000;
    uint16_t blockAlign = 2;
    uint16_t bitsPerSample = 16;
    Bytes extra;  // fmt bytes beyond the first 16
};

// A RIFF/WAVE file: "fmt " chunk with format, then "data" with data.
Bytes Wave(const Format& format, const Bytes& data);

// The fmt extension of a WAVE_FORMAT_EXTENSIBLE file: its size 22, the valid bits, a
// channel mask of 0 and the standard sub-format GUID of subFormat.
Bytes ExtensibleExtra(FormatTag subFormat, uint16_t validBits);

// Parsed view of a canonical 44-byte-header output.
struct PcmFile {
    FormatTag formatTag;
    uint16_t channels, blockAlign, bitsPerSample;
    uint32_t riffSize, sampleRate, byteRate, dataSize;
    std::vector<int16_t> samples;  // everything after byte 44
};
PcmFile ReadPcm(const std::string& path);

}  // namespace testutil

namespace testutil {

// ---- Voice messages made at test time (speech from espeak-ng, resampled by sox) and
// measured by ffmpeg, a meter independent of ours.

// Runs command through the shell; returns its stdout and stderr together.
std::string ShellOutput(const std::string& command);
// Interleaved 16-bit samples as a canonical PCM WAVE file.
void WritePcmWave(const std::string& path, const std::vector<int16_t>& samples,
                  uint32_t sampleRate = 8000, uint16_t channels = 1);
// A message of spoken phrases at 8000 Hz mono, with pausesMs[i] of pause after phrase i (as
// many phrases as pauses, then one more) and white line hiss at hissDbfs RMS throughout
// (none for -inf). Empty when espeak-ng or sox fail.
std::vector<int16_t> VoiceMessage(const TempDir& dir, const std::vector<uint32_t>& pausesMs,
                                  double hissDbfs);

struct Loudness {
    double integratedLufs = 0;
    double truePeakDbtp = 0;
};
// ffmpeg's EBU R128 meter (ebur128=peak=true) over the file.
Loudness MeasureLoudness(const std::string& path);

struct Stretch {
    double start = 0;  // seconds
    double end = 0;
    double Length() const { return end - start; }
};
// ffmpeg's silencedetect over the file: the pauses under noiseDb lasting minSeconds or more,
// and the sound between them (sounds[i] before pauses[i]).
struct Pauses {
    std::vector<Stretch> pauses;
    std::vector<Stretch> sounds;
};
Pauses DetectPauses(const std::string& path, double noiseDb, double minSeconds);

}  // namespace testutil
