#include "sound/voice_tools_file.h"

#include <algorithm>
#include <bit>
#include <vector>

#include "playback/wave_exceptions.h"

VoiceToolsFile::VoiceToolsFile(const std::string& path, VoiceTools tools) : tools_(tools) {
    if (!file_.Open(path, CFile::modeRead, nullptr, true))
        throw new CWaveIOException(CannotOpenFile);
    bool read = false;
    if (CatchException([&] { read = header_.ReadHeader(file_); }) || !read)
        throw new CWaveIOException(CannotReadWavHeader);
    if (header_.formatTag != FormatTag::Pcm || header_.bitsPerSample != 16 ||
        header_.channels == 0 || header_.channels > VoiceMeasure::kMaxChannels ||
        header_.sampleRate < 1000 || header_.sampleRate > 384000)
        throw new CWaveIOException(UnsupportedSoundFormat);
}

bool VoiceToolsFile::ReadAll(const std::function<void(const int16_t*, size_t)>& each,
                             const std::atomic<bool>* cancel) {
    const size_t frameBytes = 2u * header_.channels;
    const size_t pieceFrames = std::max<size_t>(header_.sampleRate, 1);
    std::vector<int16_t> samples(pieceFrames * header_.channels);
    file_.Seek(header_.dataStart);
    uint64_t left = header_.DataLength() / frameBytes;
    while (left > 0) {
        if (cancel && cancel->load(std::memory_order_relaxed)) return false;
        const size_t want = static_cast<size_t>(std::min<uint64_t>(left, pieceFrames));
        const size_t got = file_.Read(samples.data(), want * frameBytes) / frameBytes;
        if (got == 0) break;
        if constexpr (std::endian::native == std::endian::big) {
            for (int16_t& s : samples) {
                const auto v = static_cast<uint16_t>(s);
                s = static_cast<int16_t>(static_cast<uint16_t>(v << 8 | v >> 8));
            }
        }
        each(samples.data(), got);
        left -= got;
        if (got < want) break;
    }
    return true;
}

bool VoiceToolsFile::Run(const FrameSink& sink, const std::atomic<bool>* cancel) {
    VoiceChain chain(header_.sampleRate, header_.channels);
    if (tools_.Any()) {
        VoiceMeasure measure(header_.sampleRate, header_.channels);
        if (!ReadAll([&](const int16_t* f, size_t n) { measure.Add(f, n); }, cancel)) return false;
        levels_ = measure.Levels();
        chain.SetLevels(levels_, false);
        std::vector<int16_t> none;
        chain.SetTools(tools_, none);
    }
    std::vector<int16_t> out;
    const auto give = [&] {
        if (!out.empty()) sink(out.data(), out.size() / header_.channels);
        out.clear();
    };
    const bool done = ReadAll(
        [&](const int16_t* f, size_t n) {
            chain.Process(f, n, out);
            give();
        },
        cancel);
    if (!done) return false;
    chain.Flush(out);
    give();
    skipped_ = chain.SkippedFrames();
    return true;
}
