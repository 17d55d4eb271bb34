// Exceptions that carry a ready-made text for the user: CWaveIOException from the playback
// engine (built from an error code), CWaveDecoderException from the converter.
#pragma once

#include <cstdint>
#include <string>

#include "platform/exception.h"

enum WaveIOError : int32_t {
    NoError = 0,
    CannotOpenFile = 1,
    CannotCreateFile = 2,
    CannotOpenSoundDevice = 3,
    CannotReadWavHeader = 4,
    UnsupportedSoundFormat = 5,
};

// The text for a code; "Unknown error." for any value outside the table.
const char* WaveIOErrorText(int32_t code);

class CWaveIOException : public CMessageException {
  public:
    explicit CWaveIOException(int32_t code) : CMessageException(WaveIOErrorText(code)) {}
};

class CWaveDecoderException : public CMessageException {
  public:
    explicit CWaveDecoderException(std::string text) : CMessageException(std::move(text)) {}
};
