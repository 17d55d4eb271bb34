#include "sound/gsm_decoder.h"

extern "C" {
#include <gsm.h>
}

#include "playback/wave_exceptions.h"

GsmDecoder::GsmDecoder(bool wav49) : state_(gsm_create()), wav49_(wav49) {
    if (state_ == nullptr) throw new CWaveDecoderException("Out of memory.");
    if (wav49) {
        int on = 1;
        // A library built without WAV49 answers -1 and would decode the blocks as noise.
        if (gsm_option(state_, GSM_OPT_WAV49, &on) < 0) {
            gsm_destroy(state_);
            throw new CWaveDecoderException("Unsupported wave format.");
        }
    }
}

GsmDecoder::~GsmDecoder() {
    gsm_destroy(state_);
}

void GsmDecoder::DecodeFrame(uint8_t frame[33], int16_t samples[160]) {
    if (!wav49_) frame[0] = static_cast<uint8_t>((frame[0] & 0x0F) | 0xD0);
    gsm_decode(state_, frame, samples);
}
