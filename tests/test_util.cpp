#include "tests/test_util.h"

#include <algorithm>
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
