// Construct + Convert on hostile input for one conversion routine. FUZZ_FORMAT_TAG selects
// the routine. The first 10 input bytes make the WAVE header with that tag: channels (2),
// sample rate (3), block align (2), bits (1), the length of the fmt extension taken from the
// bytes that follow (1; MS ADPCM keeps its coefficients there) and one unused byte. The rest
// is the data chunk. FUZZ_FORMAT_TAG 0 writes the input as the whole file, and FUZZ_RAW_GSM
// as a raw .gsm file.
#include <algorithm>
#include <cstring>
#include <vector>

#include "fuzz/fuzz_input.h"
#include "platform/exception.h"
#include "sound/g729/g729_parameters.h"
#include "sound/wave_converter.h"

namespace {

void Put(std::vector<uint8_t>& b, uint32_t v, int bytes) {
    for (int i = 0; i < bytes; ++i) b.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

// The input bytes that make the header fields.
constexpr size_t kHeaderBytes = 10;

[[maybe_unused]] std::vector<uint8_t> WaveFrom(const uint8_t* data, size_t size, uint16_t tag) {
    uint8_t head[kHeaderBytes] = {};
    std::memcpy(head, data, size < sizeof head ? size : sizeof head);
    const size_t used = size < sizeof head ? size : sizeof head;
    data += used;
    size -= used;
    const uint16_t channels = static_cast<uint16_t>(head[0] | (head[1] << 8));
    const uint32_t rate = static_cast<uint32_t>(head[2] | (head[3] << 8) | (head[4] << 16));
    const uint16_t blockAlign = static_cast<uint16_t>(head[5] | (head[6] << 8));
    const uint16_t bits = head[7];
    const size_t extra = std::min<size_t>(size, head[8]);

    std::vector<uint8_t> b = {'R', 'I', 'F', 'F', 0,   0,   0,   0,
                              'W', 'A', 'V', 'E', 'f', 'm', 't', ' '};
    Put(b, static_cast<uint32_t>(16 + extra), 4);
    Put(b, tag, 2);
    Put(b, channels, 2);
    Put(b, rate, 4);
    Put(b, rate * blockAlign, 4);
    Put(b, blockAlign, 2);
    Put(b, bits, 2);
    b.insert(b.end(), data, data + extra);
    b.insert(b.end(), {'d', 'a', 't', 'a'});
    Put(b, static_cast<uint32_t>(size - extra), 4);
    b.insert(b.end(), data + extra, data + size);
    return b;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // G.729 decodes far slower than the other routines; the input is cut after this many
    // frames, so that more than a thousand inputs are tried a second.
    constexpr size_t kMaxG729Frames = 12;
    if (FUZZ_FORMAT_TAG == static_cast<int>(FormatTag::G729)) {
        size = std::min(size, kHeaderBytes + kMaxG729Frames * kG729FrameBytes);
    }
#ifdef FUZZ_RAW_GSM
    const std::string source = fuzz::ScratchPath("in.gsm");
    fuzz::WriteScratch(source, data, size);
#else
    const std::string source = fuzz::ScratchPath("in.wav");
    if (FUZZ_FORMAT_TAG == 0) {
        fuzz::WriteScratch(source, data, size);
    } else {
        const std::vector<uint8_t> wave = WaveFrom(data, size, FUZZ_FORMAT_TAG);
        fuzz::WriteScratch(source, wave.data(), wave.size());
    }
#endif
    try {
        WaveConverter converter(source, fuzz::ScratchPath("out.wav"));
        converter.Convert();
    } catch (CException* e) {
        ExceptionPtr owned(e);
    }
    return 0;
}
