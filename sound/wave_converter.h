// Converts a whole source sound file into a 16-bit PCM WAVE file (8- and 16-bit linear PCM
// is copied as it is). Construct on (source, output), call Convert once, destroy.
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
    // encoding it cannot decode or an output too large for a WAVE file's 32-bit sizes, and
    // CFileException* for read and write errors.
    void Convert();

    const WaveHeader& Header() const { return header; }
    bool IsRawGsm() const { return rawGsm; }

    // Reads the header of source (opened from sourcePath) as a conversion does: a raw GSM
    // path gives a GSM header over the whole file, anything else the WAVE header. Returns
    // whether the source is raw GSM. Throws CWaveDecoderException* ("Invalid wav header.",
    // "Out of memory.") and CFileException*.
    static bool ReadSourceHeader(CFile& source, const std::string& sourcePath, WaveHeader& header);

    // True for a path the converter reads as raw GSM frames: one ending in ".gsm" in any
    // letter case.
    static bool IsRawGsmPath(const std::string& path);

    // Display name of a format tag ("GSM 06.10", "unsupported" when there is no routine).
    static const char* EncodingName(FormatTag formatTag);

  private:
    void ConvertPcm();
    // Integer PCM of 9 to 32 bits (16 excepted) and IEEE float of 32 or 64 bits, to 16-bit.
    void ConvertWidePcm();
    void ConvertALaw();
    void ConvertMuLaw();
    // Both G.711 laws: one byte in, one sample out.
    void ConvertG711(void (*expand)(const uint8_t*, int16_t*, size_t));
    void ConvertImaAdpcm();
    void ConvertOkiAdpcm();
    void ConvertMsAdpcm();
    void ConvertGsm(bool rawGsm);
    void ConvertG729();

    // Reads up to count bytes of the sound data (never past its end, see
    // WaveHeader::ReadHeader); 0 once it is used up.
    size_t ReadSource(void* buffer, size_t count);

    // Every routine but ConvertPcm, before anything is written and with the output's channels
    // and sample rate in the header: refuses an output of `samples` 16-bit samples that the
    // WAVE header's sizes, block align or byte rate cannot describe ("Unsupported wave
    // format." for the latter two), then writes the placeholder header.
    void BeginOutput(uint64_t samples);

    // Every routine but ConvertPcm: the output header as 16-bit PCM with the current
    // channels and sample rate and the sizes of what was written, rewritten at offset 0.
    void FinishHeader();

    CFile source;
    CFile output;
    WaveHeader header;
    bool rawGsm = false;
    uint64_t sourceLeft = 0;  // bytes of sound data not yet read
};
