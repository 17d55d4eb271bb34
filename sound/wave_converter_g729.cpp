// G.729 frame input of the converter (format tag 0x133).
#include "playback/wave_exceptions.h"
#include "sound/wave_converter.h"

void WaveConverter::ConvertG729() {
    throw new CWaveDecoderException("Unsupported wave format.");
}
