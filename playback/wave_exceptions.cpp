#include "playback/wave_exceptions.h"

const char* WaveIOErrorText(int32_t code) {
    switch (code) {
        case NoError:
            return "No error.";
        case CannotOpenFile:
            return "Cannot open file.";
        case CannotCreateFile:
            return "Cannot create file.";
        case CannotOpenSoundDevice:
            return "Cannot open sound device.";
        case CannotReadWavHeader:
            return "Cannot read wav header.";
        case UnsupportedSoundFormat:
            return "Unsupported sound format.";
        default:
            return "Unknown error.";
    }
}
