// G.729 frame input of the converter (format tag 0x133): 10-byte frames to 80 samples each.
#include "sound/g729/g729_decoder.h"
#include "sound/g729/g729_parameters.h"
#include "sound/sample_writer.h"
#include "sound/wave_converter.h"

void WaveConverter::ConvertG729() {
    BeginOutput(OutputSamples(header, rawGsm, sourceLeft));
    G729Decoder decoder;  // starts from reset: nothing carries over between conversions
    uint8_t frame[kG729FrameBytes];
    int16_t samples[kG729FrameSamples];
    // A short read (end of file) ends the data; a partial frame is dropped.
    while (ReadSource(frame, sizeof frame) == sizeof frame) {
        decoder.DecodeFrame(UnpackG729Frame(frame), samples);
        WriteSamples(output, samples, kG729FrameSamples);
        BlockWritten();
    }
    FinishHeader();
}
