#include "sound/wave_converter.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <memory>
#include <new>
#include <vector>

#include "playback/wave_exceptions.h"
#include "sound/g711.h"
#include "sound/gsm_decoder.h"
#include "sound/ima_adpcm.h"
#include "sound/ms_adpcm.h"
#include "sound/oki_adpcm.h"
#include "sound/sample_writer.h"

namespace {

constexpr size_t kReadUnit = 1024;  // source bytes per read for the byte-stream encodings

}  // namespace

WaveConverter::WaveConverter(const std::string& sourcePath, const std::string& outputPath) {
    // Receives the error of either open; thrown as it is, freed when both succeed.
    auto error = std::make_unique<CFileException>();
    if (!source.Open(sourcePath, CFile::modeRead, error.get(), /*regularOnly=*/true)) {
        throw error.release();
    }
    if (!output.Open(outputPath, CFile::modeCreate | CFile::modeWrite, error.get())) {
        throw error.release();
    }
    if (IsRawGsmPath(sourcePath)) {
        rawGsm = true;
        header.formatTag = FormatTag::Gsm610;
        return;
    }
    bool valid;
    try {
        valid = header.ReadHeader(source);
    } catch (const std::bad_alloc&) {  // a fmt extension as large as the file
        throw new CWaveDecoderException("Out of memory.");
    }
    if (!valid) throw new CWaveDecoderException("Invalid wav header.");
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

const char* WaveConverter::EncodingName(FormatTag formatTag) {
    switch (formatTag) {
        case FormatTag::Pcm:
            return "linear PCM";
        case FormatTag::MsAdpcm:
            return "Microsoft ADPCM";
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
                ConvertPcm();
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
}

void WaveConverter::FinishHeader() {
    const uint64_t length = output.GetLength();
    header.formatTag = FormatTag::Pcm;
    header.fmtSize = 16;
    header.bitsPerSample = 16;
    header.blockAlign = static_cast<uint16_t>(2u * header.channels);
    header.byteRate = static_cast<uint32_t>(header.blockAlign) * header.sampleRate;
    header.riffSize = static_cast<uint32_t>(length - 8);
    header.dataSize = static_cast<uint32_t>(length - WaveHeader::kCanonicalSize);
    output.Seek(0);
    header.WriteHeader(output);
}

void WaveConverter::ConvertPcm() {
    header.WriteHeader(output);
    std::vector<uint8_t> buffer(kReadUnit);
    while (const size_t n = source.Read(buffer.data(), buffer.size()))
        output.Write(buffer.data(), n);
}

void WaveConverter::ConvertALaw() {
    ConvertG711(ALawToLinear);
}

void WaveConverter::ConvertMuLaw() {
    ConvertG711(MuLawToLinear);
}

void WaveConverter::ConvertG711(void (*expand)(const uint8_t*, int16_t*, size_t)) {
    header.WriteHeader(output);
    std::vector<uint8_t> in(kReadUnit);
    std::vector<int16_t> out(kReadUnit);
    while (const size_t n = source.Read(in.data(), in.size())) {
        expand(in.data(), out.data(), n);
        WriteSamples(output, out.data(), n);
    }
    FinishHeader();
}

void WaveConverter::ConvertImaAdpcm() {
    header.WriteHeader(output);
    const uint32_t channels = header.channels;
    const uint32_t perBlock = ImaSamplesPerBlock(channels, header.blockAlign);
    std::vector<uint8_t> in(header.blockAlign);
    std::vector<int16_t> out(static_cast<size_t>(perBlock) * channels);
    // A zero blockAlign reads nothing: the output is just the header.
    while (!in.empty()) {
        const size_t m = source.Read(in.data(), in.size());
        if (m == 0) break;
        const uint32_t n = ImaSamplesPerBlock(channels, static_cast<uint32_t>(m));
        ImaBlockExpand(channels, in.data(), out.data(), n);
        WriteSamples(output, out.data(), static_cast<size_t>(n) * channels);
    }
    FinishHeader();
}

void WaveConverter::ConvertMsAdpcm() {
    header.WriteHeader(output);
    const uint32_t channels = header.channels;
    const uint32_t perBlock = MsAdpcmSamplesPerBlock(channels, header.blockAlign);
    std::vector<uint8_t> in(header.blockAlign);
    std::vector<int16_t> out(2 * static_cast<size_t>(perBlock) * channels);
    const std::vector<MsAdpcmCoefficients> coefficients = MsAdpcmCoefficientTable(header.fmtExtra);
    std::vector<MsAdpcmChannelState> states(channels);
    while (!in.empty()) {
        const size_t m = source.Read(in.data(), in.size());
        if (m == 0) break;
        const uint32_t n = MsAdpcmSamplesPerBlock(channels, static_cast<uint32_t>(m));
        MsAdpcmBlockExpand(channels, coefficients, in.data(), out.data(), n, states);
        WriteSamples(output, out.data(), static_cast<size_t>(n) * channels);
    }
    FinishHeader();
}

void WaveConverter::ConvertOkiAdpcm() {
    header.WriteHeader(output);
    std::vector<uint8_t> in(kReadUnit);
    std::vector<int16_t> out(3 * kReadUnit);
    OkiAdpcmDecoder decoder;
    // Formed in 64 bits so that no product wraps round to an accepted rate.
    if (!decoder.Open(static_cast<int64_t>(header.bitsPerSample) * header.sampleRate)) {
        throw new CWaveDecoderException("Error: oki adpcm unsupported bit rate.");
    }
    while (const size_t n = source.Read(in.data(), in.size())) {
        const size_t k = decoder.Decode(in.data(), out.data(), n);
        WriteSamples(output, out.data(), k);
    }
    decoder.Close();
    header.sampleRate = 8000;
    FinishHeader();
}

void WaveConverter::ConvertGsm(bool raw) {
    header.WriteHeader(output);
    uint8_t frame[33];
    int16_t samples[160];
    GsmDecoder decoder(!raw);
    // WAVE blocks of 65 bytes arrive as a 33-byte and a 32-byte half, in the library's own
    // alternation; raw files are plain 33-byte frames.
    bool firstHalf = true;
    for (;;) {
        const size_t want = (raw || firstHalf) ? 33 : 32;
        const size_t got = source.Read(frame, want);
        if (want == 32) frame[32] = 0;
        if (got < want) break;
        decoder.DecodeFrame(frame, samples);
        WriteSamples(output, samples, 160);
        firstHalf = !firstHalf;
    }
    header.channels = 1;
    header.sampleRate = 8000;
    FinishHeader();
}
