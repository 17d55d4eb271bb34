// Converts a whole source sound file into a 16-bit PCM WAVE file (8- and 16-bit linear PCM
// is copied as it is). Construct on (source, output), call Convert once, destroy.
#pragma once

#include <cstdint>
#include <string>

#include "platform/file.h"
#include "sound/wave_header.h"

class ConversionProgress;

class WaveConverter {
  public:
    // Opens both files and reads the source's header. Throws CFileException* or
    // CWaveDecoderException*.
    //
    // With a progress, Convert writes the output's final header first (with the sizes it
    // expects), publishes it and the data as it gets flushed to the file, every few tens of
    // milliseconds of audio, and checks for a cancel request after every block, which ends it
    // with a CMessageException*. It publishes no end: that is the caller's (see ConvertFile).
    WaveConverter(const std::string& sourcePath, const std::string& outputPath,
                  ConversionProgress* progress = nullptr);
    virtual ~WaveConverter();
    WaveConverter(const WaveConverter&) = delete;
    WaveConverter& operator=(const WaveConverter&) = delete;

    // Decodes the whole source into the output. Throws CWaveDecoderException* for an
    // encoding it cannot decode or an output too large for a WAVE file's 32-bit sizes, and
    // CFileException* for read and write errors.
    void Convert();

    const WaveHeader& Header() const { return header; }
    // The data bytes of the output, once Convert returned: those after the header (for a
    // copied PCM file, the sound data only, not the chunks after it).
    uint64_t DataBytes() const;
    bool IsRawGsm() const { return rawGsm; }

    // Reads the header of source (opened from sourcePath) as a conversion does: a raw GSM
    // path gives a GSM header over the whole file, anything else the WAVE header. Returns
    // whether the source is raw GSM. Throws CWaveDecoderException* ("Invalid wav header.",
    // "Out of memory.") and CFileException*.
    static bool ReadSourceHeader(CFile& source, const std::string& sourcePath, WaveHeader& header);

    // True for a path the converter reads as raw GSM frames: one ending in ".gsm" in any
    // letter case.
    static bool IsRawGsmPath(const std::string& path);

    // The 16-bit samples (all channels together) that converting `bytes` bytes of sound data
    // described by header writes, counted from the header alone, without decoding. A copied
    // 8- or 16-bit PCM file counts its own samples.
    static uint64_t OutputSamples(const WaveHeader& header, bool rawGsm, uint64_t bytes);
    // The sound's length in milliseconds from its header and data length, without decoding
    // (rounded down); 0 when the header describes no length (no sample rate, an encoding
    // without a routine).
    static uint64_t LengthMs(const WaveHeader& header, bool rawGsm);

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
    // The header as 16-bit PCM with the current channels and sample rate, for an output of
    // `length` bytes.
    WaveHeader PcmHeader(uint64_t length) const;

    // Source bytes per read of the byte-stream encodings.
    size_t ReadUnit() const;
    // After every block written; with a progress, see the constructor.
    void BlockWritten() {
        if (progress_) Advance();
    }
    void Advance();
    // Flushes what was written and publishes it, the header first.
    void Publish();
    // After the output is closed: the header if not yet, and the final length.
    void PublishEnd();

    CFile source;
    CFile output;
    WaveHeader header;
    bool rawGsm = false;
    uint64_t sourceLeft = 0;  // bytes of sound data not yet read

    ConversionProgress* progress_ = nullptr;
    bool copied_ = false;         // ConvertPcm: the header written is the source's, final
    uint64_t expectedBytes_ = 0;  // data bytes the output should get
    uint64_t writtenBytes_ = 0;   // data bytes written, once Convert is done
    uint64_t publishStep_ = 0;    // data bytes between publications; 0 before the first block
    uint64_t publishedBytes_ = 0;
    bool headerPublished_ = false;
};
