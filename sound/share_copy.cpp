#include "sound/share_copy.h"

#include <fcntl.h>
#include <samplerate.h>
#include <sndfile.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <cerrno>
#include <memory>
#include <utility>

#include "platform/file.h"
#include "playback/wave_exceptions.h"
#include "sound/voice_tools_file.h"
#include "sound/wave_header.h"

namespace {

constexpr size_t kBlockFrames = 4096;  // frames read, filtered and encoded at a time

constexpr std::array kOpusRates{8000u, 12000u, 16000u, 24000u, 48000u};
constexpr std::array kMp3Rates{8000u,  11025u, 12000u, 16000u, 22050u,
                               24000u, 32000u, 44100u, 48000u};

// Speech: Opus at 24 kbit/s (its level maps linearly from 256 kbit/s per channel at 0.0 down
// to 6 kbit/s at 1.0); MP3 at 32 kbit/s, a bit rate every MPEG version of layer III has.
constexpr double kOpusBitsPerSecond = 24000;
constexpr double kMp3KilobitsPerSecond = 32;

struct Named {
    const char* extension;
    const char* name;
};
constexpr Named kNames[] = {{"wav", "WAVE"}, {"flac", "FLAC"}, {"opus", "Opus"}, {"mp3", "MP3"}};

bool SameLetters(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

// The smallest of rates at or above rate; the largest when rate is above them all.
template <size_t N>
uint32_t RateAtOrAbove(const std::array<unsigned, N>& rates, uint32_t rate) {
    const auto at = std::ranges::find_if(rates, [rate](unsigned r) { return r >= rate; });
    return at == rates.end() ? rates.back() : *at;
}

// Where libsndfile writes: a descriptor whose first failing errno is kept, so that the
// failure is reported in the system's words after libsndfile returns.
struct Sink {
    int fd = -1;
    int error = 0;
};

sf_count_t SinkLength(void* data) {
    struct stat st {};
    return ::fstat(static_cast<Sink*>(data)->fd, &st) == 0 ? st.st_size : -1;
}

sf_count_t SinkSeek(sf_count_t offset, int whence, void* data) {
    auto* sink = static_cast<Sink*>(data);
    const off_t at = ::lseek(sink->fd, offset, whence);
    if (at < 0 && !sink->error) sink->error = errno;
    return at;
}

sf_count_t SinkRead(void* buffer, sf_count_t count, void* data) {
    auto* sink = static_cast<Sink*>(data);
    for (;;) {
        const ssize_t n = ::read(sink->fd, buffer, static_cast<size_t>(count));
        if (n >= 0) return n;
        if (errno == EINTR) continue;
        if (!sink->error) sink->error = errno;
        return 0;
    }
}

sf_count_t SinkWrite(const void* buffer, sf_count_t count, void* data) {
    auto* sink = static_cast<Sink*>(data);
    const auto* bytes = static_cast<const char*>(buffer);
    sf_count_t done = 0;
    while (done < count && !sink->error) {
        const ssize_t n = ::write(sink->fd, bytes + done, static_cast<size_t>(count - done));
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) sink->error = errno;
        if (n > 0) done += n;
    }
    return done;
}

sf_count_t SinkTell(void* data) {
    return ::lseek(static_cast<Sink*>(data)->fd, 0, SEEK_CUR);
}

struct SndfileCloser {
    void operator()(SNDFILE* file) const { sf_close(file); }
};
struct ResamplerCloser {
    void operator()(SRC_STATE* state) const { src_delete(state); }
};

// The recording being copied: a PCM WAVE file of 8- or 16-bit samples, read in blocks of
// interleaved 16-bit frames.
class PcmSource {
  public:
    explicit PcmSource(CFile& file) : file_(file) {
        file_.Seek(0);
        if (!header_.ReadHeader(file_)) throw new CWaveDecoderException("Invalid wav header.");
        const uint16_t bits = header_.bitsPerSample;
        if (header_.formatTag != FormatTag::Pcm || (bits != 8 && bits != 16) ||
            header_.channels == 0 || header_.sampleRate == 0)
            throw new CWaveDecoderException("Unsupported wave format.");
        frameBytes_ = header_.channels * (bits / 8u);
        left_ = header_.DataLength() / frameBytes_;  // a partial last frame is no sound
        bytes_.resize(kBlockFrames * frameBytes_);
    }

    uint16_t Channels() const { return header_.channels; }
    uint32_t SampleRate() const { return header_.sampleRate; }
    bool EightBit() const { return header_.bitsPerSample == 8; }

    // The next frames into samples (empty at the end).
    void Read(std::vector<int16_t>& samples) {
        const size_t frames = static_cast<size_t>(std::min<uint64_t>(left_, kBlockFrames));
        const size_t wanted = frames * frameBytes_;
        const size_t got = file_.Read(bytes_.data(), wanted) / frameBytes_ * frameBytes_;
        left_ = got < wanted ? 0 : left_ - frames;
        samples.resize(got / (frameBytes_ / header_.channels));
        const uint8_t* b = bytes_.data();
        if (EightBit()) {
            for (int16_t& s : samples) s = static_cast<int16_t>((*b++ - 128) * 256);
        } else {
            for (int16_t& s : samples) {
                s = static_cast<int16_t>(static_cast<uint16_t>(b[0] | b[1] << 8));
                b += 2;
            }
        }
    }

  private:
    CFile& file_;
    WaveHeader header_;
    size_t frameBytes_ = 0;
    uint64_t left_ = 0;  // whole frames still to read
    std::vector<uint8_t> bytes_;
};

// The encoder side: mixes down, resamples and writes through libsndfile.
class Encoder {
  public:
    Encoder(Sink& sink, const std::string& outputName, ShareFormat format, uint16_t channels,
            uint32_t sampleRate, bool eightBit)
        : sink_(sink),
          name_(outputName),
          format_(format),
          inChannels_(channels),
          channels_(ShareChannels(format, channels)),
          rate_(ShareSampleRate(format, sampleRate)),
          ratio_(static_cast<double>(rate_) / sampleRate) {
        SF_INFO info{};
        info.samplerate = static_cast<int>(rate_);
        info.channels = channels_;
        info.format = FileFormat(eightBit);
        SF_VIRTUAL_IO io{SinkLength, SinkSeek, SinkRead, SinkWrite, SinkTell};
        file_.reset(sf_open_virtual(&io, SFM_WRITE, &info, &sink_));
        if (!file_) Refused(sf_strerror(nullptr));
        Configure();
        if (rate_ != sampleRate) {
            int error = 0;
            resampler_.reset(src_new(SRC_SINC_FASTEST, channels_, &error));
            if (!resampler_) Refused(src_strerror(error));
        }
    }

    uint16_t Channels() const { return channels_; }
    uint32_t SampleRate() const { return rate_; }
    uint64_t Frames() const { return frames_; }

    // Encodes count interleaved frames of the recording's channels; with end, the last.
    void Write(const int16_t* frames, size_t count, bool end) {
        if (channels_ != inChannels_) {
            frames = MixDown(frames, count);
        }
        if (resampler_) {
            Resample(frames, count, end);
        } else if (count > 0) {
            const auto n = static_cast<sf_count_t>(count);
            WriteFrames(sf_writef_short(file_.get(), frames, n), n);
        }
    }

    // Finishes the file (the last frames, the encoder's trailer, the header's sizes).
    void Close() {
        const int error = sf_close(file_.release());
        CheckSink();
        if (error != 0) Refused(sf_error_number(error));
    }

  private:
    int FileFormat(bool eightBit) const {
        switch (format_) {
            case ShareFormat::kWave:
                return SF_FORMAT_WAV | SF_FORMAT_PCM_16;
            case ShareFormat::kFlac:
                // An 8-bit recording stays 8-bit: the copy holds exactly its samples.
                return SF_FORMAT_FLAC | (eightBit ? SF_FORMAT_PCM_S8 : SF_FORMAT_PCM_16);
            case ShareFormat::kOpus:
                return SF_FORMAT_OGG | SF_FORMAT_OPUS;
            case ShareFormat::kMp3:
                return SF_FORMAT_MPEG | SF_FORMAT_MPEG_LAYER_III;
        }
        return 0;
    }

    void Configure() {
        int mode = 0;
        double level = 0;
        if (format_ == ShareFormat::kOpus) {
            mode = SF_BITRATE_MODE_VARIABLE;
            level = 1.0 - (kOpusBitsPerSecond - 6000) / 250000;
        } else if (format_ == ShareFormat::kMp3) {
            // The level runs linearly from the highest bit rate of the MPEG version that the
            // rate takes (320, 160, 64 kbit/s) down to its lowest (32, 8, 8 kbit/s); half a
            // kilobit more keeps the truncated value on the wanted one.
            mode = SF_BITRATE_MODE_CONSTANT;
            const double top = rate_ >= 32000 ? 320 : rate_ >= 16000 ? 160 : 64;
            const double bottom = rate_ >= 32000 ? 32 : 8;
            level = (top - kMp3KilobitsPerSecond - 0.5) / (top - bottom);
        } else {
            return;
        }
        // libsndfile 1.2.0 answers the bit rate mode with 0 also when it took it (and Opus
        // keeps its own default, variable): only a recorded error is a refusal.
        sf_command(file_.get(), SFC_SET_BITRATE_MODE, &mode, sizeof mode);
        if (sf_error(file_.get()) != SF_ERR_NO_ERROR ||
            sf_command(file_.get(), SFC_SET_COMPRESSION_LEVEL, &level, sizeof level) != SF_TRUE)
            Refused(sf_strerror(file_.get()));
        // Resampled frames may pass full scale by a little: they are clipped, not wrapped.
        sf_command(file_.get(), SFC_SET_CLIPPING, nullptr, SF_TRUE);
    }

    // The mean of each frame's channels.
    const int16_t* MixDown(const int16_t* frames, size_t count) {
        mixed_.resize(count);
        for (int16_t& out : mixed_) {
            int32_t sum = 0;
            for (uint16_t c = 0; c < inChannels_; ++c) sum += *frames++;
            out = static_cast<int16_t>(sum / inChannels_);
        }
        return mixed_.data();
    }

    void Resample(const int16_t* frames, size_t count, bool end) {
        in_.resize(count * channels_);
        src_short_to_float_array(frames, in_.data(), static_cast<int>(in_.size()));
        out_.resize((static_cast<size_t>(count * ratio_) + 256) * channels_);
        SRC_DATA data{};
        data.data_in = in_.data();
        data.input_frames = static_cast<long>(count);
        data.src_ratio = ratio_;
        data.end_of_input = end;
        for (;;) {
            data.data_out = out_.data();
            data.output_frames = static_cast<long>(out_.size() / channels_);
            if (const int error = src_process(resampler_.get(), &data))
                Refused(src_strerror(error));
            WriteFrames(sf_writef_float(file_.get(), out_.data(), data.output_frames_gen),
                        data.output_frames_gen);
            data.data_in += data.input_frames_used * channels_;
            data.input_frames -= data.input_frames_used;
            // Done once the input is used up and, at the end, nothing more comes out.
            if (data.input_frames == 0 && (!end || data.output_frames_gen == 0)) return;
        }
    }

    void WriteFrames(sf_count_t written, sf_count_t wanted) {
        CheckSink();
        if (written != wanted) Refused(sf_strerror(file_.get()));
        frames_ += static_cast<uint64_t>(written);
    }

    void CheckSink() const {
        if (sink_.error) ThrowFileException(sink_.error, name_, "Cannot write");
    }

    [[noreturn]] void Refused(const char* reason) const {
        std::string why = reason && *reason ? reason : "the encoder failed";
        while (!why.empty() && (why.back() == '.' || why.back() == ' ')) why.pop_back();
        throw new CMessageException("Cannot encode \"" + name_ + "\" as " +
                                    ShareFormatName(format_) + ": " + why + ".");
    }

    Sink& sink_;
    const std::string& name_;
    const ShareFormat format_;
    const uint16_t inChannels_;
    const uint16_t channels_;
    const uint32_t rate_;
    const double ratio_;
    std::unique_ptr<SNDFILE, SndfileCloser> file_;
    std::unique_ptr<SRC_STATE, ResamplerCloser> resampler_;
    std::vector<int16_t> mixed_;
    std::vector<float> in_, out_;
    uint64_t frames_ = 0;
};

// Closes the output descriptor; a failing close of a written file is a failed write.
class OutputFile {
  public:
    OutputFile(const std::string& path, const std::string& name) : name_(name) {
        sink_.fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
        if (sink_.fd < 0) ThrowFileException(errno, name, "Cannot create");
    }
    ~OutputFile() {
        if (sink_.fd >= 0) ::close(sink_.fd);
    }
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    Sink& Target() { return sink_; }

    void Close() {
        const int fd = std::exchange(sink_.fd, -1);
        if (::close(fd) != 0) ThrowFileException(errno, name_, "Cannot write");
    }

  private:
    Sink sink_;
    std::string name_;
};

// Closes the encoder and then the file; what was written.
ShareCopy Finish(Encoder& encoder, OutputFile& output, ShareFormat format) {
    encoder.Close();
    output.Close();
    return {format, encoder.Channels(), encoder.SampleRate(), encoder.Frames()};
}

}  // namespace

std::optional<ShareFormat> ShareFormatNamed(std::string_view name) {
    for (size_t i = 0; i < std::size(kNames); ++i) {
        if (SameLetters(name, kNames[i].extension)) return static_cast<ShareFormat>(i);
    }
    return std::nullopt;
}

ShareFormat ShareFormatOfPath(std::string_view path) {
    const size_t slash = path.find_last_of('/');
    const std::string_view name = slash == std::string_view::npos ? path : path.substr(slash + 1);
    const size_t dot = name.find_last_of('.');
    if (dot == std::string_view::npos) return ShareFormat::kWave;
    return ShareFormatNamed(name.substr(dot + 1)).value_or(ShareFormat::kWave);
}

const char* ShareFormatExtension(ShareFormat format) {
    return kNames[static_cast<size_t>(format)].extension;
}

const char* ShareFormatName(ShareFormat format) {
    return kNames[static_cast<size_t>(format)].name;
}

uint32_t ShareSampleRate(ShareFormat format, uint32_t sampleRate) {
    switch (format) {
        case ShareFormat::kOpus:
            return RateAtOrAbove(kOpusRates, sampleRate);
        case ShareFormat::kMp3:
            return RateAtOrAbove(kMp3Rates, sampleRate);
        default:
            return sampleRate;
    }
}

uint16_t ShareChannels(ShareFormat format, uint16_t channels) {
    // Speech needs one channel; the lossless formats keep what was recorded.
    return format == ShareFormat::kOpus || format == ShareFormat::kMp3 ? 1 : channels;
}

ShareCopy EncodeShareCopy(const std::string& pcmPath, const std::string& outputPath,
                          const std::string& outputName, const ShareOptions& options) {
    if (!options.tools.Any()) {
        CFile pcm;
        auto openError = std::make_unique<CFileException>();
        if (!pcm.Open(pcmPath, CFile::modeRead, openError.get(), true)) throw openError.release();
        return EncodeShareCopy(pcm, outputPath, outputName, options.format);
    }
    VoiceToolsFile message(pcmPath, options.tools);
    OutputFile output(outputPath, outputName);
    Encoder encoder(output.Target(), outputName, options.format, message.Channels(),
                    message.SampleRate(), false);
    message.Run([&](const int16_t* frames, size_t count) { encoder.Write(frames, count, false); });
    encoder.Write(nullptr, 0, true);
    return Finish(encoder, output, options.format);
}

ShareCopy EncodeShareCopy(CFile& pcm, const std::string& outputPath, const std::string& outputName,
                          ShareFormat format) {
    PcmSource source(pcm);
    OutputFile output(outputPath, outputName);
    Encoder encoder(output.Target(), outputName, format, source.Channels(), source.SampleRate(),
                    source.EightBit());
    std::vector<int16_t> frames;
    do {
        source.Read(frames);
        encoder.Write(frames.data(), frames.size() / source.Channels(), frames.empty());
    } while (!frames.empty());
    return Finish(encoder, output, format);
}

ShareCopy WriteShareCopy(const std::string& pcmPath, const std::string& targetPath,
                         const ShareOptions& options, Flush flush) {
    FileReplacer replacer(targetPath, flush);
    const ShareCopy copy = EncodeShareCopy(pcmPath, replacer.ScratchPath(), targetPath, options);
    replacer.Commit();
    return copy;
}

ShareCopy WriteShareCopy(CFile& pcm, const std::string& targetPath, ShareFormat format,
                         Flush flush) {
    FileReplacer replacer(targetPath, flush);
    const ShareCopy copy = EncodeShareCopy(pcm, replacer.ScratchPath(), targetPath, format);
    replacer.Commit();
    return copy;
}
