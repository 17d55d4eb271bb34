// The voice tools in the order they play: the silence skipper, then the leveler, over a
// stream of interleaved 16-bit frames (the engine's path between the file and the device,
// and the converter's copies). Tools switched off pass the frames through untouched, so with
// both off the output is the input, byte for byte.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "sound/silence_skipper.h"
#include "sound/voice_leveler.h"
#include "sound/voice_measure.h"

// The two switches.
struct VoiceTools {
    bool skipSilence = false;
    bool level = false;
    bool Any() const { return skipSilence || level; }
    bool operator==(const VoiceTools&) const = default;
};

class VoiceChain {
  public:
    VoiceChain(uint32_t sampleRate, uint32_t channels);

    // Switches the tools for the frames from now on. A tool switched off hands what it held
    // back to out; one switched on starts empty.
    void SetTools(VoiceTools tools, std::vector<int16_t>& out);
    VoiceTools Tools() const { return tools_; }
    // The message's levels (see VoiceMeasure): the skipper's threshold and the leveler's
    // gain, which glides there when glide is set (the levels of a part of the message).
    void SetLevels(const VoiceLevels& levels, bool glide);

    // Takes count frames and appends every output frame that is ready to out.
    void Process(const int16_t* frames, size_t count, std::vector<int16_t>& out);
    // The input has ended: appends every frame still held back.
    void Flush(std::vector<int16_t>& out);
    // Drops everything held back (a seek).
    void Clear() noexcept;
    // Frames the skipper has left out so far.
    uint64_t SkippedFrames() const { return skipper_.SkippedFrames(); }
    // The most frames one Process or Flush appends beyond the frames it is given.
    size_t MaxHeldFrames() const { return skipper_.MaxHeldFrames() + leveler_.MaxHeldFrames(); }

  private:
    // Hands what the skipper holds on through the leveler when it is on.
    void FlushSkipper(std::vector<int16_t>& out);

    uint32_t channels_;
    VoiceTools tools_;
    SilenceSkipper skipper_;
    VoiceLeveler leveler_;
    std::vector<int16_t> between_;  // the skipper's output on its way to the leveler
};
