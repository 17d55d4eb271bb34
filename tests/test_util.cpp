#include "tests/test_util.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <random>
#include <stdexcept>

namespace testutil {

TempDir::TempDir() {
    std::random_device rd;
    path_ = std::filesystem::temp_directory_path() /
            ("corvane-test-" + std::to_string(rd()) + std::to_string(rd()));
    std::filesystem::create_directories(path_);
}

TempDir::~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
}

Bytes ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw std::runtime_error("cannot read " + path);
    return Bytes(std::istreambuf_iterator<char>(in), {});
}

void WriteFile(const std::string& path, const Bytes& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
    if (!out) throw std::runtime_error("cannot write " + path);
}

void Put16(Bytes& b, uint16_t v) {
    b.push_back(static_cast<uint8_t>(v));
    b.push_back(static_cast<uint8_t>(v >> 8));
}

void Put32(Bytes& b, uint32_t v) {
    for (int i = 0; i < 4; ++i) b.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

void PutTag(Bytes& b, const char* tag) {
    for (int i = 0; i < 4; ++i) b.push_back(static_cast<uint8_t>(tag[i]));
}

Bytes Wave(const Format& f, const Bytes& data) {
    // Sized up front and filled in place (GCC 12 warns falsely on growing an empty vector).
    Bytes b(44 + f.extra.size() + data.size());
    size_t at = 0;
    auto tag = [&](const char* t) {
        std::memcpy(&b[at], t, 4);
        at += 4;
    };
    auto le = [&](uint32_t v, int bytes) {
        for (int i = 0; i < bytes; ++i) b[at++] = static_cast<uint8_t>(v >> (8 * i));
    };
    tag("RIFF");
    le(static_cast<uint32_t>(b.size() - 8), 4);
    tag("WAVE");
    tag("fmt ");
    le(static_cast<uint32_t>(16 + f.extra.size()), 4);
    le(static_cast<uint16_t>(f.formatTag), 2);
    le(f.channels, 2);
    le(f.sampleRate, 4);
    le(f.byteRate, 4);
    le(f.blockAlign, 2);
    le(f.bitsPerSample, 2);
    std::copy(f.extra.begin(), f.extra.end(), b.begin() + static_cast<long>(at));
    at += f.extra.size();
    tag("data");
    le(static_cast<uint32_t>(data.size()), 4);
    std::copy(data.begin(), data.end(), b.begin() + static_cast<long>(at));
    return b;
}

Bytes ExtensibleExtra(FormatTag subFormat, uint16_t validBits) {
    Bytes b;
    Put16(b, 22);
    Put16(b, validBits);
    Put32(b, 0);
    Put16(b, static_cast<uint16_t>(subFormat));
    b.insert(b.end(),
             {0x00, 0x00, 0x00, 0x00, 0x10, 0x00, 0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71});
    return b;
}

PcmFile ReadPcm(const std::string& path) {
    const Bytes b = ReadFile(path);
    if (b.size() < 44) throw std::runtime_error("short output " + path);
    auto u16 = [&](size_t o) { return static_cast<uint16_t>(b[o] | (b[o + 1] << 8)); };
    auto u32 = [&](size_t o) { return static_cast<uint32_t>(u16(o) | (u16(o + 2) << 16)); };
    PcmFile p{static_cast<FormatTag>(u16(20)),
              u16(22),
              u16(32),
              u16(34),
              u32(4),
              u32(24),
              u32(28),
              u32(40),
              {}};
    for (size_t o = 44; o + 1 < b.size(); o += 2) p.samples.push_back(static_cast<int16_t>(u16(o)));
    return p;
}

}  // namespace testutil

namespace testutil {

std::string ShellOutput(const std::string& command) {
    FILE* pipe = ::popen((command + " 2>&1").c_str(), "r");
    if (!pipe) return {};
    std::string output;
    char buffer[4096];
    while (size_t n = std::fread(buffer, 1, sizeof buffer, pipe)) output.append(buffer, n);
    ::pclose(pipe);
    return output;
}

void WritePcmWave(const std::string& path, const std::vector<int16_t>& samples, uint32_t sampleRate,
                  uint16_t channels) {
    Bytes data;
    data.reserve(samples.size() * 2);
    for (int16_t s : samples) Put16(data, static_cast<uint16_t>(s));
    Format f;
    f.channels = channels;
    f.sampleRate = sampleRate;
    f.blockAlign = static_cast<uint16_t>(2 * channels);
    f.byteRate = sampleRate * f.blockAlign;
    WriteFile(path, Wave(f, data));
}

std::vector<int16_t> VoiceMessage(const TempDir& dir, const std::vector<uint32_t>& pausesMs,
                                  double hissDbfs) {
    static const char* const kPhrases[] = {
        "Hello, this is Ann from the front desk, calling about your order.",
        "The parcel arrived this morning and it is waiting for you here.",
        "We are open until six tonight, and again tomorrow from nine.",
        "If that does not suit you, call me back and we will find a time.",
        "Thanks a lot, and have a good day.",
    };
    constexpr uint32_t kRate = 8000;
    std::vector<int16_t> message;
    for (size_t i = 0; i <= pausesMs.size(); ++i) {
        const std::string spoken = dir.File("spoken.wav");
        const std::string phrase = dir.File("phrase.wav");
        ShellOutput("espeak-ng -w " + spoken + " '" + kPhrases[i % std::size(kPhrases)] +
                    "' && sox " + spoken + " -r 8000 -b 16 -c 1 " + phrase);
        std::vector<int16_t> samples;
        try {
            samples = ReadPcm(phrase).samples;
        } catch (const std::exception&) {
            return {};
        }
        // espeak-ng leaves some silence around a phrase: trim it to the spoken part.
        auto loud = [](int16_t s) { return std::abs(int{s}) > 300; };
        const auto first = std::find_if(samples.begin(), samples.end(), loud);
        const auto last = std::find_if(samples.rbegin(), samples.rend(), loud).base();
        if (first >= last) return {};
        message.insert(message.end(), first, last);
        if (i < pausesMs.size())
            message.resize(message.size() + size_t{pausesMs[i]} * kRate / 1000);
    }
    if (std::isfinite(hissDbfs)) {
        // Uniform noise: RMS is amplitude / sqrt(3).
        const double amplitude = 32768.0 * std::pow(10.0, hissDbfs / 20.0) * std::sqrt(3.0);
        std::mt19937 random(17);
        std::uniform_real_distribution<double> noise(-amplitude, amplitude);
        for (int16_t& s : message)
            s = static_cast<int16_t>(std::clamp(std::lround(s + noise(random)), -32768L, 32767L));
    }
    return message;
}

Loudness MeasureLoudness(const std::string& path) {
    const std::string out =
        ShellOutput("ffmpeg -nostats -hide_banner -i " + path + " -af ebur128=peak=true -f null -");
    Loudness loudness{std::nan(""), std::nan("")};
    // The summary at the end: "I:  -23.0 LUFS" and, under "True peak:", "Peak:  -1.2 dBFS".
    const size_t summary = out.rfind("Summary:");
    if (summary == std::string::npos) return loudness;
    const size_t i = out.find("I:", summary);
    const size_t peak = out.find("Peak:", out.find("True peak:", summary));
    if (i != std::string::npos) loudness.integratedLufs = std::strtod(out.c_str() + i + 2, nullptr);
    if (peak != std::string::npos)
        loudness.truePeakDbtp = std::strtod(out.c_str() + peak + 5, nullptr);
    return loudness;
}

Pauses DetectPauses(const std::string& path, double noiseDb, double minSeconds) {
    const std::string out = ShellOutput("ffmpeg -nostats -hide_banner -i " + path +
                                        " -af silencedetect=noise=" + std::to_string(noiseDb) +
                                        "dB:d=" + std::to_string(minSeconds) + " -f null -");
    Pauses result;
    double soundStart = 0;
    for (size_t at = out.find("silence_start: "); at != std::string::npos;
         at = out.find("silence_start: ", at + 1)) {
        Stretch pause;
        pause.start = std::strtod(out.c_str() + at + 15, nullptr);
        const size_t end = out.find("silence_end: ", at);
        pause.end =
            end == std::string::npos ? pause.start : std::strtod(out.c_str() + end + 13, nullptr);
        if (pause.start > soundStart) result.sounds.push_back({soundStart, pause.start});
        result.pauses.push_back(pause);
        soundStart = pause.end;
    }
    return result;
}

}  // namespace testutil
