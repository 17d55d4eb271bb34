#include "sound/wave_converter.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <memory>
#include <new>
#include <vector>

#include "playback/wave_exceptions.h"
#include "sound/conversion_progress.h"
#include "sound/g711.h"
#include "sound/g729/g729_parameters.h"
#include "sound/gsm_decoder.h"
#include "sound/ima_adpcm.h"
#include "sound/linear_pcm.h"
#include "sound/ms_adpcm.h"
#include "sound/oki_adpcm.h"
#include "sound/sample_writer.h"

namespace {

constexpr size_t kReadUnit = 1024;  // source bytes per read for the byte-stream encodings
// The same while publishing: at most 43 ms of audio (OKI ADPCM at 24 kbit/s), so the
// publications come in steps of a few tens of milliseconds.
constexpr size_t kProgressiveReadUnit = 128;

// The largest file whose sizes a WAVE header can hold: riffSize and dataSize are 32-bit.
constexpr uint64_t kMaxOutputBytes = 0xFFFFFFFFu;

// Audio between two publications of a progressive conversion: a reader waiting for data
// never waits much longer, and the first engine buffer (200 ms) is there after a few.
constexpr uint64_t kPublishMs = 40;

void CheckOutputBytes(uint64_t bytes) {
    if (bytes > kMaxOutputBytes)
        throw new CWaveDecoderException("Output too large for a wav file.");
}

// Whether a WAVE header can describe 16-bit PCM of this shape: block align (2 bytes a channel)
// is a 16-bit field and byte rate (block align times the sample rate) a 32-bit one.
bool DescribablePcm16(uint32_t channels, uint32_t sampleRate) {
    const uint64_t blockAlign = 2 * uint64_t{channels};
    return blockAlign <= 0xFFFFu && blockAlign * sampleRate <= 0xFFFFFFFFu;
}

// Samples that an ADPCM stream of `bytes` bytes in blocks of blockAlign gives, the final
// partial block included; perBlock counts the samples per channel of a block of m bytes.
uint64_t BlockSamples(uint64_t bytes, uint32_t blockAlign, uint32_t channels,
                      uint32_t (*perBlock)(uint32_t channels, uint32_t m)) {
    if (blockAlign == 0) return 0;
    const uint64_t whole = bytes / blockAlign;
    const auto rest = static_cast<uint32_t>(bytes % blockAlign);
    return (whole * perBlock(channels, blockAlign) + perBlock(channels, rest)) * channels;
}

// OKI ADPCM's bit rate. Formed in 64 bits so that no product wraps round to an accepted rate.
int64_t OkiBitRate(const WaveHeader& header) {
    return static_cast<int64_t>(header.bitsPerSample) * header.sampleRate;
}

}  // namespace

WaveConverter::WaveConverter(const std::string& sourcePath, const std::string& outputPath,
                             ConversionProgress* progress)
    : progress_(progress) {
    // Receives the error of either open; thrown as it is, freed when both succeed.
    auto error = std::make_unique<CFileException>();
    if (!source.Open(sourcePath, CFile::modeRead, error.get(), /*regularOnly=*/true)) {
        throw error.release();
    }
    if (!output.Open(outputPath, CFile::modeCreate | CFile::modeWrite, error.get())) {
        throw error.release();
    }
    rawGsm = ReadSourceHeader(source, sourcePath, header);
    sourceLeft = header.DataLength();
}

bool WaveConverter::ReadSourceHeader(CFile& source, const std::string& sourcePath,
                                     WaveHeader& header) {
    if (IsRawGsmPath(sourcePath)) {
        header.formatTag = FormatTag::Gsm610;
        header.dataEnd = source.GetLength();  // frames from the first byte to the last
        return true;
    }
    bool valid;
    try {
        valid = header.ReadHeader(source);
    } catch (const std::bad_alloc&) {  // a fmt extension as large as the file
        throw new CWaveDecoderException("Out of memory.");
    }
    if (!valid) throw new CWaveDecoderException("Invalid wav header.");
    return false;
}

WaveConverter::~WaveConverter() {
    source.Close();
    // Close errors of the output were already reported by Convert; the destructor must not throw.
    CatchException([this] { output.Close(); });
}

bool WaveConverter::IsRawGsmPath(const std::string& path) {
    if (path.size() < 4) return false;
    std::string tail = path.substr(path.size() - 4);
    std::transform(tail.begin(), tail.end(), tail.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return tail == ".gsm";
}

uint64_t WaveConverter::OutputSamples(const WaveHeader& header, bool rawGsm, uint64_t bytes) {
    if (rawGsm) return 160 * (bytes / 33);  // raw GSM: 33-byte frames of 160 samples
    const uint32_t channels = header.channels;
    switch (header.formatTag) {
        case FormatTag::Pcm:
        case FormatTag::IeeeFloat:
            // Whole samples only: a partial sample at the end of the data is dropped.
            return bytes / std::max<uint32_t>(1, (header.bitsPerSample + 7u) / 8);
        case FormatTag::ALaw:
        case FormatTag::MuLaw:
            return bytes;  // one byte in, one sample out
        case FormatTag::ImaAdpcm:
            return BlockSamples(bytes, header.blockAlign, channels, ImaSamplesPerBlock);
        case FormatTag::MsAdpcm:
            return BlockSamples(bytes, header.blockAlign, channels, MsAdpcmSamplesPerBlock);
        case FormatTag::OkiAdpcm: {
            // Two codes per byte; at 24 kbit/s every three codes give four samples, the first
            // of them before its codes. Other rates are refused: nothing is written.
            const int64_t bitRate = OkiBitRate(header);
            const uint64_t codes = 2 * bytes;
            if (bitRate == 32000) return codes;
            return bitRate == 24000 ? codes + (codes + 2) / 3 : 0;
        }
        case FormatTag::Gsm610:
            // 160 samples per whole frame; WAVE blocks of 65 bytes hold two.
            return 160 * (2 * (bytes / 65) + (bytes % 65 >= 33 ? 1 : 0));
        case FormatTag::G729:
            return bytes / kG729FrameBytes * kG729FrameSamples;
        default:
            return 0;
    }
}

uint64_t WaveConverter::LengthMs(const WaveHeader& header, bool rawGsm) {
    const uint64_t samples = OutputSamples(header, rawGsm, header.DataLength());
    // GSM and OKI ADPCM always decode to one channel at 8000 Hz.
    const bool fixedRate =
        rawGsm || header.formatTag == FormatTag::Gsm610 || header.formatTag == FormatTag::OkiAdpcm;
    const uint64_t channels = fixedRate ? 1 : header.channels;
    const uint64_t rate = fixedRate ? 8000 : header.sampleRate;
    if (channels == 0 || rate == 0) return 0;
    // samples is bounded by 2^33 (four codes per byte of a 32-bit-sized data chunk, or a
    // whole file), so the product stays within 64 bits.
    return samples / channels * 1000 / rate;
}

const char* WaveConverter::EncodingName(FormatTag formatTag) {
    switch (formatTag) {
        case FormatTag::Pcm:
            return "linear PCM";
        case FormatTag::MsAdpcm:
            return "Microsoft ADPCM";
        case FormatTag::IeeeFloat:
            return "IEEE float PCM";
        case FormatTag::ALaw:
            return "G.711 A-law";
        case FormatTag::MuLaw:
            return "G.711 mu-law";
        case FormatTag::OkiAdpcm:
            return "OKI ADPCM";
        case FormatTag::ImaAdpcm:
            return "IMA ADPCM";
        case FormatTag::Gsm610:
            return "GSM 06.10";
        case FormatTag::G729:
            return "G.729";
        default:
            return "unsupported";
    }
}

void WaveConverter::Convert() {
    try {
        switch (header.formatTag) {
            case FormatTag::Pcm:
                // The device plays 8 and 16 bits as they are. Depths it cannot take, up to 32
                // bits, become 16-bit; any other is copied like 8-bit, and the player refuses it.
                if (header.bitsPerSample > 8 && header.bitsPerSample != 16 &&
                    header.bitsPerSample <= 32) {
                    ConvertWidePcm();
                } else {
                    ConvertPcm();
                }
                break;
            case FormatTag::IeeeFloat:
                if (header.bitsPerSample != 32 && header.bitsPerSample != 64)
                    throw new CWaveDecoderException("Unsupported wave format.");
                ConvertWidePcm();
                break;
            case FormatTag::MsAdpcm:
                ConvertMsAdpcm();
                break;
            case FormatTag::ALaw:
                ConvertALaw();
                break;
            case FormatTag::MuLaw:
                ConvertMuLaw();
                break;
            case FormatTag::OkiAdpcm:
                ConvertOkiAdpcm();
                break;
            case FormatTag::ImaAdpcm:
                ConvertImaAdpcm();
                break;
            case FormatTag::Gsm610:
                ConvertGsm(rawGsm);
                break;
            case FormatTag::G729:
                ConvertG729();
                break;
            default:
                throw new CWaveDecoderException("Unsupported wave format.");
        }
    } catch (const std::bad_alloc&) {
        throw new CWaveDecoderException("Out of memory.");
    }
    // A conversion is complete only when every byte reached the disk.
    output.Close();
    if (progress_) PublishEnd();
}

size_t WaveConverter::ReadUnit() const {
    return progress_ ? kProgressiveReadUnit : kReadUnit;
}

uint64_t WaveConverter::DataBytes() const {
    // A copy's sound data ends where the source's did; what follows it is copied too.
    return copied_ ? std::min(writtenBytes_, expectedBytes_) : writtenBytes_;
}

void WaveConverter::Advance() {
    if (progress_->CancelRequested()) throw new CMessageException("Conversion cancelled.");
    if (publishStep_ == 0) {
        // Whole bytes per sample of the output, as the engine counts them; at least one
        // publication per block.
        const uint64_t bytesPerSecond = uint64_t{header.channels} *
                                        (copied_ ? header.bitsPerSample / 8u : 2u) *
                                        header.sampleRate;
        publishStep_ = std::max<uint64_t>(1, bytesPerSecond * kPublishMs / 1000);
    }
    if (output.GetPosition() - WaveHeader::kCanonicalSize >= publishedBytes_ + publishStep_)
        Publish();
}

void WaveConverter::Publish() {
    const uint64_t written = output.GetPosition() - WaveHeader::kCanonicalSize;
    WaveHeader published;
    if (!headerPublished_) {
        // The placeholder holds the source's fields: a reader needs the output's, with the
        // sizes expected. FinishHeader patches them when the output turns out shorter.
        published = copied_ ? header : PcmHeader(WaveHeader::kCanonicalSize + expectedBytes_);
        if (!copied_) {
            output.Seek(0);
            published.WriteHeader(output);
            output.Seek(WaveHeader::kCanonicalSize + written);
        }
    }
    output.Flush();
    if (!headerPublished_) {
        published.dataStart = WaveHeader::kCanonicalSize;
        published.dataEnd = WaveHeader::kCanonicalSize + expectedBytes_;
        progress_->PublishHeader(published, expectedBytes_);
        headerPublished_ = true;
    }
    progress_->PublishData(std::min(written, expectedBytes_));
    publishedBytes_ = written;
}

void WaveConverter::PublishEnd() {
    if (!headerPublished_) {
        // Short enough to be converted before its first publication: the header in the file
        // is the final one.
        WaveHeader published = header;
        published.dataStart = WaveHeader::kCanonicalSize;
        published.dataEnd = WaveHeader::kCanonicalSize + expectedBytes_;
        progress_->PublishHeader(published, expectedBytes_);
        headerPublished_ = true;
    }
    progress_->Finish(DataBytes());
}

size_t WaveConverter::ReadSource(void* buffer, size_t count) {
    const size_t n =
        source.Read(buffer, static_cast<size_t>(std::min<uint64_t>(count, sourceLeft)));
    sourceLeft -= n;
    return n;
}

void WaveConverter::BeginOutput(uint64_t samples) {
    if (!DescribablePcm16(header.channels, header.sampleRate))
        throw new CWaveDecoderException("Unsupported wave format.");
    // Bounded by the data length, so the product cannot wrap.
    CheckOutputBytes(WaveHeader::kCanonicalSize + 2 * samples);
    expectedBytes_ = 2 * samples;
    header.WriteHeader(output);
}

void WaveConverter::FinishHeader() {
    const uint64_t length = output.GetLength();
    // BeginOutput's prediction already holds it; a size must never be written wrapped.
    CheckOutputBytes(length);
    writtenBytes_ = length - WaveHeader::kCanonicalSize;
    header = PcmHeader(length);
    output.Seek(0);
    header.WriteHeader(output);
}

WaveHeader WaveConverter::PcmHeader(uint64_t length) const {
    WaveHeader h = header;
    h.formatTag = FormatTag::Pcm;
    h.fmtSize = 16;
    h.bitsPerSample = 16;
    h.blockAlign = static_cast<uint16_t>(2u * h.channels);
    h.byteRate = static_cast<uint32_t>(h.blockAlign) * h.sampleRate;
    h.riffSize = static_cast<uint32_t>(length - 8);
    h.dataSize = static_cast<uint32_t>(length - WaveHeader::kCanonicalSize);
    return h;
}

void WaveConverter::ConvertPcm() {
    // The copy takes everything from the data payload to the end of the file, trailing
    // chunks included; a player reading it finds the same end of the data.
    CheckOutputBytes(WaveHeader::kCanonicalSize + (source.GetLength() - header.dataStart));
    copied_ = true;
    expectedBytes_ = header.DataLength();
    header.WriteHeader(output);
    std::vector<uint8_t> buffer(ReadUnit());
    while (const size_t n = source.Read(buffer.data(), buffer.size())) {
        output.Write(buffer.data(), n);
        BlockWritten();
    }
    writtenBytes_ = output.GetPosition() - WaveHeader::kCanonicalSize;
}

void WaveConverter::ConvertWidePcm() {
    const bool isFloat = header.formatTag == FormatTag::IeeeFloat;
    const size_t width = (header.bitsPerSample + 7u) / 8;  // bytes per sample in the file
    BeginOutput(OutputSamples(header, rawGsm, sourceLeft));
    std::vector<uint8_t> in(ReadUnit() * width);
    std::vector<int16_t> out(kReadUnit);
    while (const size_t n = ReadSource(in.data(), in.size())) {
        const size_t count = n / width;  // a partial sample at the end of the data is dropped
        if (isFloat)
            FloatPcmToPcm16(in.data(), out.data(), count, width);
        else
            IntegerPcmToPcm16(in.data(), out.data(), count, width);
        WriteSamples(output, out.data(), count);
        BlockWritten();
    }
    FinishHeader();
}

void WaveConverter::ConvertALaw() {
    ConvertG711(ALawToLinear);
}

void WaveConverter::ConvertMuLaw() {
    ConvertG711(MuLawToLinear);
}

void WaveConverter::ConvertG711(void (*expand)(const uint8_t*, int16_t*, size_t)) {
    BeginOutput(OutputSamples(header, rawGsm, sourceLeft));
    std::vector<uint8_t> in(ReadUnit());
    std::vector<int16_t> out(kReadUnit);
    while (const size_t n = ReadSource(in.data(), in.size())) {
        expand(in.data(), out.data(), n);
        WriteSamples(output, out.data(), n);
        BlockWritten();
    }
    FinishHeader();
}

void WaveConverter::ConvertImaAdpcm() {
    const uint32_t channels = header.channels;
    BeginOutput(OutputSamples(header, rawGsm, sourceLeft));
    const uint32_t perBlock = ImaSamplesPerBlock(channels, header.blockAlign);
    std::vector<uint8_t> in(header.blockAlign);
    std::vector<int16_t> out(static_cast<size_t>(perBlock) * channels);
    // A zero blockAlign reads nothing: the output is just the header.
    while (!in.empty()) {
        const size_t m = ReadSource(in.data(), in.size());
        if (m == 0) break;
        const uint32_t n = ImaSamplesPerBlock(channels, static_cast<uint32_t>(m));
        ImaBlockExpand(channels, in.data(), out.data(), n);
        WriteSamples(output, out.data(), static_cast<size_t>(n) * channels);
        BlockWritten();
    }
    FinishHeader();
}

void WaveConverter::ConvertMsAdpcm() {
    const uint32_t channels = header.channels;
    BeginOutput(OutputSamples(header, rawGsm, sourceLeft));
    const uint32_t perBlock = MsAdpcmSamplesPerBlock(channels, header.blockAlign);
    std::vector<uint8_t> in(header.blockAlign);
    std::vector<int16_t> out(2 * static_cast<size_t>(perBlock) * channels);
    // An EXTENSIBLE fmt extension holds its own fields, not a coefficient table.
    const std::vector<MsAdpcmCoefficients> coefficients =
        MsAdpcmCoefficientTable(header.extensible ? std::vector<uint8_t>{} : header.fmtExtra);
    std::vector<MsAdpcmChannelState> states(channels);
    while (!in.empty()) {
        const size_t m = ReadSource(in.data(), in.size());
        if (m == 0) break;
        const uint32_t n = MsAdpcmSamplesPerBlock(channels, static_cast<uint32_t>(m));
        MsAdpcmBlockExpand(channels, coefficients, in.data(), out.data(), n, states);
        WriteSamples(output, out.data(), static_cast<size_t>(n) * channels);
        BlockWritten();
    }
    FinishHeader();
}

void WaveConverter::ConvertOkiAdpcm() {
    std::vector<uint8_t> in(ReadUnit());
    std::vector<int16_t> out(3 * kReadUnit);
    OkiAdpcmDecoder decoder;
    const int64_t bitRate = OkiBitRate(header);
    const bool opened = decoder.Open(bitRate);
    const uint64_t samples = OutputSamples(header, rawGsm, sourceLeft);
    // The codes form one stream whatever the header says.
    header.channels = 1;
    header.sampleRate = 8000;
    BeginOutput(samples);
    if (!opened) throw new CWaveDecoderException("Error: oki adpcm unsupported bit rate.");
    while (const size_t n = ReadSource(in.data(), in.size())) {
        const size_t k = decoder.Decode(in.data(), out.data(), n);
        WriteSamples(output, out.data(), k);
        BlockWritten();
    }
    decoder.Close();
    FinishHeader();
}

void WaveConverter::ConvertGsm(bool raw) {
    const uint64_t total = OutputSamples(header, raw, sourceLeft);
    header.channels = 1;
    header.sampleRate = 8000;
    BeginOutput(total);
    uint8_t frame[33];
    int16_t samples[160];
    GsmDecoder decoder(!raw);
    // WAVE blocks of 65 bytes arrive as a 33-byte and a 32-byte half, in the library's own
    // alternation; raw files are plain 33-byte frames.
    bool firstHalf = true;
    for (;;) {
        const size_t want = (raw || firstHalf) ? 33 : 32;
        const size_t got = ReadSource(frame, want);
        if (want == 32) frame[32] = 0;
        if (got < want) break;
        decoder.DecodeFrame(frame, samples);
        WriteSamples(output, samples, 160);
        BlockWritten();
        firstHalf = !firstHalf;
    }
    FinishHeader();
}
