// A whole decoded message with the voice tools applied, for copies written after the
// conversion (the converter's --trim-silence and --level, the shared copies): reads a 16-bit
// PCM WAVE file (as the converter writes it), measures the whole message first when a tool is
// on, then reads it again through the tools (VoiceChain) and hands the frames to a sink, so a
// WAVE writer and a libsndfile writer take them alike. With both tools off the frames are the
// file's data as it stands.
//
//   VoiceToolsFile message(path, {.skipSilence = true, .level = true});
//   writer.Open(message.Channels(), message.SampleRate());
//   message.Run([&](const int16_t* frames, size_t count) { writer.Write(frames, count); });
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

#include "platform/file.h"
#include "sound/voice_chain.h"
#include "sound/wave_header.h"

class VoiceToolsFile {
  public:
    // Interleaved 16-bit frames, count of them (all channels of a frame together).
    using FrameSink = std::function<void(const int16_t* frames, size_t count)>;

    // Opens the file and reads its header. Throws CWaveIOException* with code 1 (cannot open),
    // 4 (no header) or 5 (not 16-bit PCM with 1 or more channels).
    VoiceToolsFile(const std::string& path, VoiceTools tools);

    uint16_t Channels() const { return header_.channels; }
    uint32_t SampleRate() const { return header_.sampleRate; }

    // Measures (when a tool is on), then hands every output frame to sink, in pieces of at
    // most about a second, in order. Returns false, with part of the output handed over,
    // when cancel became true (checked between pieces). Throws CFileException* on a read
    // error; a file that ends before its data does ends the data there.
    bool Run(const FrameSink& sink, const std::atomic<bool>* cancel = nullptr);
    // The message's levels once Run has measured them.
    const VoiceLevels& Levels() const { return levels_; }
    // Frames the skipper left out.
    uint64_t SkippedFrames() const { return skipped_; }

  private:
    // Reads the data from its start piece by piece into each(frames, count); false when
    // cancelled.
    bool ReadAll(const std::function<void(const int16_t*, size_t)>& each,
                 const std::atomic<bool>* cancel);

    CFile file_;
    WaveHeader header_;
    VoiceTools tools_;
    VoiceLevels levels_;
    uint64_t skipped_ = 0;
};
