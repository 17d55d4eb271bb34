#include "convert/command_line.h"

#include <getopt.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "convert/batch.h"
#include "corvane_version.h"
#include "platform/file.h"

namespace {

constexpr const char* kUsage =
    "usage: corvane-convert [--verbose] [OUTPUT OPTIONS] SOURCE OUTPUT\n"
    "       corvane-convert [--verbose] [OUTPUT OPTIONS] --output-dir DIR [-j N] SOURCE...\n"
    "       corvane-convert --info SOURCE\n";
constexpr const char* kPlayUsage = "       corvane-convert --play SOURCE\n";
constexpr const char* kHelp =
    "\n"
    "Converts recorded voice messages into 16-bit PCM WAVE files (linear PCM is copied).\n"
    "\n"
    "  SOURCE OUTPUT            write SOURCE as OUTPUT; OUTPUT - is standard output,\n"
    "                           SOURCE - standard input (a WAVE file; also for --info, --play)\n"
    "  --output-dir DIR         write each SOURCE as DIR/NAME.wav\n"
    "  -j N, --jobs N           convert N files at a time (default: the number of cores)\n"
    "  --verbose                describe each file written\n"
    "\n"
    "Output options:\n"
    "  --format wav|flac|opus|mp3\n"
    "                           wav: 16-bit PCM (the default, and for any other extension);\n"
    "                           flac: lossless, the same samples in three fifths the size;\n"
    "                           opus: speech at 24 kbit/s mono (a fifth of 8 kHz PCM), for\n"
    "                           sending on (every phone plays it); mp3: 32 kbit/s mono, for\n"
    "                           old players. Default: OUTPUT's extension (WAVE for -);\n"
    "                           batch outputs are named DIR/NAME.EXT after it\n"
    "  --trim-silence           shorten pauses longer than half a second to a quarter\n"
    "  --level                  bring the voice to a steady loudness (-16 LUFS)\n"
    "\n"
    "  --info SOURCE            print the header fields and the encoding's name\n";
constexpr const char* kPlayHelp =
    "  --play SOURCE            play SOURCE in the terminal (Ctrl+C stops)\n";
constexpr const char* kHelpEnd =
    "  --help, --version        print this text or the version\n"
    "  --                       end of options (for a SOURCE that starts with -)\n"
    "\n"
    "Exit status: 0 done, 1 a conversion failed, 2 wrong usage.\n";

enum Option {
    kHelpOption = 'h',
    kJobs = 'j',
    kVersion = 256,
    kVerbose,
    kInfo,
    kPlay,
    kOutputDir,
    kFormat,
    kTrimSilence,
    kLevel,
};

void PrintUsage(std::FILE* to, bool canPlay) {
    std::fputs(kUsage, to);
    if (canPlay) std::fputs(kPlayUsage, to);
}

int Usage(bool canPlay) {
    PrintUsage(stderr, canPlay);
    return 2;
}

// A positive count, or 0 for anything else.
unsigned ParseJobs(const char* text) {
    char* end = nullptr;
    const unsigned long n = std::strtoul(text, &end, 10);
    if (*text < '0' || *text > '9' || *end != '\0' || n > 65535) return 0;
    return static_cast<unsigned>(n);
}

// A --format value that names no format: said in getopt's manner, then the usage.
int BadFormat(const char* text, bool canPlay) {
    std::fprintf(stderr, "corvane-convert: unknown format '%s' (wav, flac, opus or mp3)\n", text);
    return Usage(canPlay);
}

// A standard descriptor that was closed when the program started.
int FailStandard(const char* what) {
    const std::string line =
        std::string("corvane-convert: ") + what + ": " + std::strerror(EBADF) + ".\n";
    std::fwrite(line.data(), 1, line.size(), stderr);
    return 1;
}

}  // namespace

int RunCommandLine(int argc, char** argv, const TerminalPlayer& play,
                   const ClosedStandardDescriptors& closed) {
    static const option kOptions[] = {
        {"help", no_argument, nullptr, kHelpOption},
        {"version", no_argument, nullptr, kVersion},
        {"verbose", no_argument, nullptr, kVerbose},
        {"info", no_argument, nullptr, kInfo},
        {"play", no_argument, nullptr, kPlay},
        {"output-dir", required_argument, nullptr, kOutputDir},
        {"jobs", required_argument, nullptr, kJobs},
        {"format", required_argument, nullptr, kFormat},
        {"trim-silence", no_argument, nullptr, kTrimSilence},
        {"level", no_argument, nullptr, kLevel},
        {nullptr, 0, nullptr, 0},
    };
    const bool canPlay = static_cast<bool>(play);
    argv[0] = const_cast<char*>("corvane-convert");  // the name getopt's messages start with
    bool verbose = false, info = false, playing = false, batch = false;
    std::string folder;
    unsigned jobs = 0;
    OutputOptions outputOptions;
    for (int c; (c = ::getopt_long(argc, argv, "hj:", kOptions, nullptr)) != -1;) {
        switch (c) {
            case kHelpOption:
                PrintUsage(stdout, canPlay);
                std::fputs(kHelp, stdout);
                if (canPlay) std::fputs(kPlayHelp, stdout);
                std::fputs(kHelpEnd, stdout);
                return 0;
            case kVersion:
                std::puts("corvane-convert " CORVANE_VERSION);
                return 0;
            case kVerbose:
                verbose = true;
                break;
            case kInfo:
                info = true;
                break;
            case kPlay:
                playing = true;
                break;
            case kOutputDir:
                batch = true;
                folder = optarg;
                break;
            case kJobs:
                if ((jobs = ParseJobs(optarg)) == 0) return Usage(canPlay);
                break;
            case kFormat:
                if (!(outputOptions.format = ShareFormatNamed(optarg)))
                    return BadFormat(optarg, canPlay);
                break;
            case kTrimSilence:
                outputOptions.trimSilence = true;
                break;
            case kLevel:
                outputOptions.level = true;
                break;
            default:
                return Usage(canPlay);
        }
    }
    const std::vector<std::string> operands(argv + optind, argv + argc);
    const bool shaping = outputOptions.format || outputOptions.trimSilence || outputOptions.level;
    if (info + playing + batch > 1 || (jobs && !batch) ||
        ((verbose || shaping) && (info || playing)))
        return Usage(canPlay);
    const bool single = !info && !playing && !batch;
    // Standard input is one source: a batch of several has no use for it.
    if (((info || playing) && operands.size() != 1) || (playing && !canPlay) ||
        (batch && (operands.empty() || std::ranges::count(operands, "-") > 0)) ||
        (single && operands.size() != 2))
        return Usage(canPlay);
    if (closed.input && operands[0] == "-") return FailStandard("Cannot read standard input");
    // A closed standard output is now /dev/null: what the command writes there (the file, the
    // header fields, the descriptions) would be lost while the command reports success.
    if (closed.output && (info || verbose || (single && operands[1] == "-")))
        return FailStandard("Cannot write to standard output");
    if (info) return ShowInfo(operands[0]);
    if (playing) return PlaySource(operands[0], play);
    if (batch) {
        if (jobs == 0) jobs = std::max(1u, std::thread::hardware_concurrency());
        return ConvertBatch(folder, operands, jobs, verbose, outputOptions);
    }

    const std::string& source = operands[0];
    const std::string& output = operands[1];
    if (source != "-" && output != "-" && IsSameExistingFile(source, output))
        return Fail(source, kOwnSource);
    std::string summary;
    if (const ExceptionPtr error =
            ConvertOne(source, output, outputOptions, verbose ? &summary : nullptr))
        return Fail(source, error->Message());
    // Beside a WAVE file on standard output, the description goes to stderr.
    std::fputs(summary.c_str(), output == "-" ? stderr : stdout);
    return 0;
}
