#include "sound/voice_chain.h"

#include <algorithm>

VoiceChain::VoiceChain(uint32_t sampleRate, uint32_t channels)
    : channels_(std::max<uint32_t>(channels, 1)),
      skipper_(sampleRate, channels),
      leveler_(sampleRate, channels) {}

void VoiceChain::SetTools(VoiceTools tools, std::vector<int16_t>& out) {
    if (tools == tools_) return;
    if (tools_.skipSilence && !tools.skipSilence) FlushSkipper(out);
    if (tools_.level && !tools.level) leveler_.Flush(out);
    // A tool switched on starts from nothing held.
    if (!tools_.skipSilence) skipper_.Clear();
    if (!tools_.level) leveler_.Clear();
    tools_ = tools;
}

void VoiceChain::SetLevels(const VoiceLevels& levels, bool glide) {
    skipper_.SetThreshold(levels.SilenceThresholdDbfs());
    leveler_.SetGain(levels.GainDb(), glide);
}

void VoiceChain::Process(const int16_t* frames, size_t count, std::vector<int16_t>& out) {
    if (!tools_.skipSilence) {
        if (tools_.level)
            leveler_.Process(frames, count, out);
        else
            out.insert(out.end(), frames, frames + count * channels_);
        return;
    }
    if (!tools_.level) return skipper_.Process(frames, count, out);
    between_.clear();
    skipper_.Process(frames, count, between_);
    leveler_.Process(between_.data(), between_.size() / channels_, out);
}

void VoiceChain::Flush(std::vector<int16_t>& out) {
    if (tools_.skipSilence) FlushSkipper(out);
    if (tools_.level) leveler_.Flush(out);
}

void VoiceChain::Clear() noexcept {
    skipper_.Clear();
    leveler_.Clear();
}

void VoiceChain::FlushSkipper(std::vector<int16_t>& out) {
    between_.clear();
    skipper_.Flush(between_);
    if (tools_.level)
        leveler_.Process(between_.data(), between_.size() / channels_, out);
    else
        out.insert(out.end(), between_.begin(), between_.end());
}
