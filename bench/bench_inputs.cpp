#include "bench/bench_inputs.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <random>

namespace fs = std::filesystem;

namespace {

bool Run(const std::string& command) {
    return std::system(command.c_str()) == 0;
}

void Put(std::vector<char>& b, uint32_t v, int bytes) {
    for (int i = 0; i < bytes; ++i) b.push_back(static_cast<char>(v >> (8 * i)));
}

// A mono WAVE file around payload with the given format fields.
void WriteWave(const fs::path& path, uint16_t tag, uint32_t rate, uint32_t byteRate, uint16_t align,
               uint16_t bits, const std::vector<char>& payload) {
    std::vector<char> b;
    b.insert(b.end(), {'R', 'I', 'F', 'F'});
    Put(b, static_cast<uint32_t>(36 + payload.size()), 4);
    b.insert(b.end(), {'W', 'A', 'V', 'E', 'f', 'm', 't', ' '});
    Put(b, 16, 4);
    Put(b, tag, 2);
    Put(b, 1, 2);
    Put(b, rate, 4);
    Put(b, byteRate, 4);
    Put(b, align, 2);
    Put(b, bits, 2);
    b.insert(b.end(), {'d', 'a', 't', 'a'});
    Put(b, static_cast<uint32_t>(payload.size()), 4);
    b.insert(b.end(), payload.begin(), payload.end());
    std::ofstream(path, std::ios::binary).write(b.data(), static_cast<std::streamsize>(b.size()));
}

std::vector<char> ReadAll(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<char>(std::istreambuf_iterator<char>(in), {});
}

}  // namespace

std::vector<std::pair<std::string, fs::path>> MakeHourInputs(const fs::path& work,
                                                             const char* program) {
    std::vector<std::pair<std::string, fs::path>> inputs;
    const std::string samples = CORVANE_SAMPLES;
    const fs::path hour = work / "hour.wav";
    if (!Run("sox -q '" + samples + "/greeting-pcm.wav' '" + hour.string() +
             "' repeat 540 trim 0 3600")) {
        std::fprintf(stderr, "%s: sox is needed to make the inputs\n", program);
        return inputs;
    }
    inputs.emplace_back("pcm", hour);
    const struct {
        const char* name;
        const char* options;
        const char* file;
    } soxEncodings[] = {{"alaw", "-e a-law", "hour-alaw.wav"},
                        {"mulaw", "-e mu-law", "hour-mulaw.wav"},
                        {"ima", "-e ima-adpcm", "hour-ima.wav"},
                        {"msadpcm", "-e ms-adpcm", "hour-msadpcm.wav"},
                        {"gsm_wave", "-e gsm-full-rate", "hour-gsm.wav"},
                        {"gsm_raw", "", "hour.gsm"}};
    for (const auto& e : soxEncodings) {
        const fs::path out = work / e.file;
        if (Run("sox -q '" + hour.string() + "' " + e.options + " '" + out.string() + "'"))
            inputs.emplace_back(e.name, out);
    }
    for (uint32_t rate : {8000u, 6000u}) {  // OKI ADPCM: sox writes the codes, we the header
        const fs::path codes = work / "oki.vox";
        if (!Run("sox -q '" + hour.string() + "' -r " + std::to_string(rate) + " -e oki-adpcm '" +
                 codes.string() + "'"))
            continue;
        const fs::path out = work / ("hour-oki" + std::to_string(rate / 250) + ".wav");
        WriteWave(out, 0x10, rate, rate / 2, 1, 4, ReadAll(codes));
        fs::remove(codes);
        inputs.emplace_back("oki" + std::to_string(rate / 250), out);
    }
    // 360000 frames of 10 bytes (the decoder takes every frame as good).
    std::vector<char> frames(3600u * 100u * 10u);
    std::mt19937 random(729);
    for (char& c : frames) c = static_cast<char>(random());
    const fs::path g729 = work / "hour-g729.wav";
    WriteWave(g729, 0x133, 8000, 1000, 10, 0, frames);
    inputs.emplace_back("g729", g729);
    return inputs;
}
