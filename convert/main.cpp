// corvane-convert: the player's conversion from the command line.
//   corvane-convert SOURCE OUTPUT        write SOURCE as a 16-bit PCM WAVE file
//   corvane-convert --info SOURCE        print the header and the encoding's name
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <string>
#include <thread>

#include "platform/exception.h"
#include "platform/file.h"
#include "playback/wave_player.h"
#include "sound/wave_converter.h"
#include "sound/wave_header.h"

namespace {

constexpr const char* kUsage =
    "usage: corvane-convert [--verbose] SOURCE OUTPUT\n"
    "       corvane-convert --info SOURCE\n";

std::string TagText(const WaveHeader::Tag& tag) {
    std::string text;
    for (char c : tag) text += (c >= 0x20 && c < 0x7F) ? c : '?';
    return text;
}

void PrintHeader(const WaveHeader& h, bool rawGsm) {
    std::printf("encoding:        %s (format tag 0x%X)%s\n",
                WaveConverter::EncodingName(h.formatTag), static_cast<unsigned>(h.formatTag),
                rawGsm ? ", raw GSM file" : "");
    if (rawGsm) return;
    std::printf("riff:            %s, size %u, form %s\n", TagText(h.riffTag).c_str(), h.riffSize,
                TagText(h.waveTag).c_str());
    std::printf("fmt size:        %u (%zu extension bytes)\n", h.fmtSize, h.fmtExtra.size());
    std::printf("channels:        %u\n", h.channels);
    std::printf("sample rate:     %u Hz\n", h.sampleRate);
    std::printf("byte rate:       %u\n", h.byteRate);
    std::printf("block align:     %u\n", h.blockAlign);
    std::printf("bits per sample: %u\n", h.bitsPerSample);
    std::printf("data size:       %u\n", h.dataSize);
}

int Fail(const std::string& source, const std::string& message) {
    std::cerr << "corvane-convert: " << source << ": " << message << '\n';
    return 1;
}

int Info(const std::string& source) {
    try {
        CFile file;
        CFileException error;
        if (!file.Open(source, CFile::modeRead, &error, true)) return Fail(source, error.Message());
        WaveHeader header;
        const bool raw = WaveConverter::IsRawGsmPath(source);
        if (raw) {
            header.formatTag = FormatTag::Gsm610;
        } else if (!header.ReadHeader(file)) {
            return Fail(source, "Invalid wav header.");
        }
        PrintHeader(header, raw);
    } catch (CException* e) {
        ExceptionPtr owned(e);
        return Fail(source, e->Message());
    }
    return 0;
}

// Where the conversion writes before it replaces OUTPUT: a new file beside it, so a failed
// conversion leaves an existing OUTPUT as it was. Devices and FIFOs are written directly.
std::string ScratchFor(const std::string& output) {
    struct stat st {};
    if (::stat(output.c_str(), &st) == 0 && !S_ISREG(st.st_mode)) return output;
    std::string scratch = output + ".XXXXXX";
    const int fd = ::mkstemp(scratch.data());
    if (fd < 0) return output;  // the converter reports why the folder cannot be written
    const mode_t mask = ::umask(0);
    ::umask(mask);
    ::fchmod(fd, 0666 & ~mask);  // the permissions a newly created OUTPUT would get
    ::close(fd);
    return scratch;
}

int Convert(const std::string& source, const std::string& output, bool verbose) {
    if (IsSameExistingFile(source, output))
        return Fail(source, "Cannot write the output over its own source.");
    WaveHeader written;
    std::string encoding;
    const std::string scratch = ScratchFor(output);
    try {
        {
            WaveConverter converter(source, scratch);
            encoding = WaveConverter::EncodingName(converter.Header().formatTag);
            converter.Convert();
            written = converter.Header();
        }
        if (scratch != output && std::rename(scratch.c_str(), output.c_str()) != 0) {
            const int reason = errno;
            std::remove(scratch.c_str());
            return Fail(source, "Cannot create \"" + output + "\": " + std::strerror(reason) + ".");
        }
    } catch (CException* e) {
        ExceptionPtr owned(e);
        if (scratch != output) std::remove(scratch.c_str());
        return Fail(source, e->Message());
    } catch (const std::exception& e) {
        if (scratch != output) std::remove(scratch.c_str());
        return Fail(source, e.what());
    }
    if (verbose) {
        const uint32_t frame = written.blockAlign ? written.blockAlign : 1;
        const uint64_t frames = written.dataSize / frame;
        const double seconds =
            written.sampleRate ? static_cast<double>(frames) / written.sampleRate : 0.0;
        std::printf(
            "read %s, wrote %u channel(s), %u Hz, %u-bit, %llu samples per channel, %.2f s to %s\n",
            encoding.c_str(), written.channels, written.sampleRate, written.bitsPerSample,
            static_cast<unsigned long long>(frames), seconds, output.c_str());
    }
    return 0;
}

// --play SOURCE: converts into a private temporary file and plays it to the end (or to
// Ctrl+C), showing position and duration once a second on one line.
constexpr const char* kPlayUsage = "       corvane-convert --play SOURCE\n";

volatile std::sig_atomic_t interrupted = 0;

std::string Clock(uint32_t ms) {
    char text[32];
    std::snprintf(text, sizeof text, "%u:%02u", ms / 60000, ms / 1000 % 60);
    return text;
}

int PlayConverted(const std::string& source, const std::string& pcm) {
    try {
        WavePlayer player(pcm);
        player.Play();
        const auto shown = [&] {
            std::printf("\r%s / %s ", Clock(player.GetPosition()).c_str(),
                        Clock(player.GetDuration()).c_str());
            std::fflush(stdout);
        };
        auto next = std::chrono::steady_clock::now();
        while (!interrupted && !player.IsFinished()) {
            if (std::chrono::steady_clock::now() >= next) {
                shown();
                next += std::chrono::seconds(1);
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        shown();
        std::printf("\n");
        player.Stop();
    } catch (CException* e) {
        ExceptionPtr owned(e);
        return Fail(source, e->Message());
    } catch (const std::exception& e) {
        return Fail(source, e.what());
    }
    return interrupted ? 130 : 0;
}

int Play(const std::string& source) {
    const char* tmp = std::getenv("TMPDIR");
    std::string dir = std::string(tmp && *tmp ? tmp : "/tmp") + "/corvane-play-XXXXXX";
    if (!::mkdtemp(dir.data())) return Fail(source, "Cannot create a temporary folder.");
    const std::string pcm = dir + "/cvtemp.wav";
    int result = Convert(source, pcm, false);
    if (result == 0) {
        struct sigaction action {};
        action.sa_handler = [](int) { interrupted = 1; };
        struct sigaction previous {};
        ::sigaction(SIGINT, &action, &previous);
        result = PlayConverted(source, pcm);
        ::sigaction(SIGINT, &previous, nullptr);
    }
    std::remove(pcm.c_str());
    ::rmdir(dir.c_str());
    return result;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 3 && std::strcmp(argv[1], "--info") == 0) return Info(argv[2]);
    if (argc == 4 && std::strcmp(argv[1], "--verbose") == 0) return Convert(argv[2], argv[3], true);
    if (argc == 3 && argv[1][0] != '-') return Convert(argv[1], argv[2], false);
    if (argc == 3 && std::strcmp(argv[1], "--play") == 0) return Play(argv[2]);
    std::cerr << kUsage << kPlayUsage;
    return 2;
}
