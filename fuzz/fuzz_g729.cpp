// Decodes arbitrary bytes as packed G.729 frames (the first kMaxFrames; a trailing partial
// frame is dropped) and checks that decoding the same frames again from reset gives the same
// samples.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "sound/g729/g729_decoder.h"
#include "sound/g729/g729_parameters.h"

namespace {

// Enough frames for every state the decoder carries over (the four-frame LSP predictor, the
// pitch memory, the post-filter) to come into play, and few enough to try more than a
// thousand inputs a second; bytes after them are not looked at.
constexpr size_t kMaxFrames = 8;

uint64_t DecodeAll(G729Decoder& decoder, const uint8_t* data, size_t frames) {
    uint64_t hash = 1469598103934665603ull;
    int16_t out[kG729FrameSamples];
    for (size_t i = 0; i < frames; ++i) {
        decoder.DecodeFrame(UnpackG729Frame(data + i * kG729FrameBytes), out);
        for (int16_t s : out) hash = (hash ^ static_cast<uint16_t>(s)) * 1099511628211ull;
    }
    return hash;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    size_t frames = size / kG729FrameBytes;
    if (frames > kMaxFrames) frames = kMaxFrames;
    static G729Decoder decoder;  // reused: Reset must clear everything
    decoder.Reset();
    const uint64_t first = DecodeAll(decoder, data, frames);
    G729Decoder fresh;
    if (DecodeAll(fresh, data, frames) != first) std::abort();
    return 0;
}
