// Converts a whole source sound file into a 16-bit PCM WAVE file (linear PCM is copied as
// it is). Construct on (source, output), call Convert once, destroy.
#pragma once

#include <cstdint>
#include <string>

#include "platform/file.h"
#include "sound/wave_header.h"

class WaveConverter {
  public:
    // Opens both files and reads the source's header. Throws CFileException* or
    // CWaveDecoderException*.
    WaveConverter(const std::string& sourcePath, const std::string& outputPath);
    virtual ~WaveConverter();
    WaveConverter(const WaveConverter&) = delete;
    WaveConverter& operator=(const WaveConverter&) = delete;

    // Decodes the whole source into the output. Throws CWaveDecoderException* for an
    // encoding it cannot decode and CFileException* for read and write errors.
    void Convert();

    const WaveHeader& Header() const { return header; }
    bool IsRawGsm() const { return rawGsm; }

    // True for a path the converter reads as raw GSM frames: one ending in ".gsm" in any
    // letter case.
    static bool IsRawGsmPath(const std::string& path);

    // Display name of a format tag ("GSM 06.10", "unsupported" when there is no routine).
    static const char* EncodingName(FormatTag formatTag);

  private:
    void ConvertPcm();
    void ConvertALaw();
    void ConvertMuLaw();
    // Both G.711 laws: one byte in, one sample out.
    void ConvertG711(void (*expand)(const uint8_t*, int16_t*, size_t));
    void ConvertImaAdpcm();
    void ConvertOkiAdpcm();
    void ConvertMsAdpcm();
    void ConvertGsm(bool rawGsm);
    void ConvertG729();

    // Every routine but ConvertPcm: the output header as 16-bit PCM with the current
    // channels and sample rate and the sizes of what was written, rewritten at offset 0.
    void FinishHeader();

    CFile source;
    CFile output;
    WaveHeader header;
    bool rawGsm = false;
};
