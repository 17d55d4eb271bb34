#include "tests/test_util.h"

#include <fstream>
#include <iterator>
#include <random>
#include <stdexcept>

namespace testutil {

TempDir::TempDir() {
    std::random_device rd;
    path_ = std::filesystem::temp_directory_path() / ("corvane-test-" + std::to_string(rd()) + std::to_string(rd()));
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
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
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
    Bytes b;
    PutTag(b, "RIFF");
    Put32(b, static_cast<uint32_t>(4 + 8 + 16 + f.extra.size() + 8 + data.size()));
    PutTag(b, "WAVE");
    PutTag(b, "fmt ");
    Put32(b, static_cast<uint32_t>(16 + f.extra.size()));
    Put16(b, f.formatTag);
    Put16(b, f.channels);
    Put32(b, f.sampleRate);
    Put32(b, f.byteRate);
    Put16(b, f.blockAlign);
    Put16(b, f.bitsPerSample);
    b.insert(b.end(), f.extra.begin(), f.extra.end());
    PutTag(b, "data");
    Put32(b, static_cast<uint32_t>(data.size()));
    b.insert(b.end(), data.begin(), data.end());
    return b;
}

PcmFile ReadPcm(const std::string& path) {
    const Bytes b = ReadFile(path);
    if (b.size() < 44) throw std::runtime_error("short output " + path);
    auto u16 = [&](size_t o) { return static_cast<uint16_t>(b[o] | (b[o + 1] << 8)); };
    auto u32 = [&](size_t o) { return static_cast<uint32_t>(u16(o) | (u16(o + 2) << 16)); };
    PcmFile p{u16(20), u16(22), u16(32), u16(34), u32(4), u32(24), u32(28), u32(40), {}};
    for (size_t o = 44; o + 1 < b.size(); o += 2) p.samples.push_back(static_cast<int16_t>(u16(o)));
    return p;
}

}  // namespace testutil
