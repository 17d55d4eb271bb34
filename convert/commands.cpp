#include "convert/commands.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <optional>
#include <vector>

#include "platform/file.h"
#include "platform/locked_folder.h"
#include "platform/scratch_file.h"
#include "sound/convert_file.h"
#include "sound/wave_converter.h"

namespace {

constexpr size_t kCopyUnit = 64 * 1024;

std::string TemporaryFolder() {
    const char* folder = std::getenv("TMPDIR");
    return folder && *folder ? folder : "/tmp";
}

std::string NameOf(const std::string& path) {
    return std::filesystem::path(path).filename().string();
}

// Writes all count bytes to out at offset at (or at its current end when at < 0).
void WriteAll(int out, const char* bytes, size_t count, off_t at, const std::string& name) {
    for (size_t written = 0; written < count;) {
        const ssize_t w = at < 0 ? ::write(out, bytes + written, count - written)
                                 : ::pwrite(out, bytes + written, count - written,
                                            at + static_cast<off_t>(written));
        if (w < 0 && errno == EINTR) continue;
        if (w < 0) ThrowFileException(errno, name, "Cannot write");
        written += static_cast<size_t>(w);
    }
}

// What a SOURCE names: a file, or for "-" the spool of standard input, which lives as long
// as this object (and is removed by a signal that ends the program, see ScratchFile).
class SourceFile {
  public:
    explicit SourceFile(const std::string& source) : path_(source) {
        if (source != "-") return;
        spool_.emplace(TemporaryFolder(), "stdin", 0600);
        path_ = spool_->Path();
        std::vector<char> buffer(kCopyUnit);
        for (off_t at = 0;;) {
            const ssize_t n = ::read(STDIN_FILENO, buffer.data(), buffer.size());
            if (n < 0 && errno == EINTR) continue;
            if (n < 0) ThrowFileException(errno, source, "Cannot read");
            if (n == 0) return;
            WriteAll(spool_->Descriptor(), buffer.data(), static_cast<size_t>(n), at, path_);
            at += n;
        }
    }

    const std::string& Path() const { return path_; }

  private:
    std::string path_;
    std::optional<ScratchFile> spool_;
};

// A FIFO or a device (target has its links followed): written from the start, never sought
// or replaced.
bool IsStream(const std::string& target) {
    struct stat st {};
    return ::stat(target.c_str(), &st) == 0 && !S_ISREG(st.st_mode) && !S_ISDIR(st.st_mode);
}

void CopyAll(const ScratchFile& from, int out, const std::string& outputName) {
    std::vector<char> buffer(kCopyUnit);
    for (off_t at = 0;;) {
        const ssize_t n = ::pread(from.Descriptor(), buffer.data(), buffer.size(), at);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) ThrowFileException(errno, from.Path(), "Cannot read");
        if (n == 0) return;
        WriteAll(out, buffer.data(), static_cast<size_t>(n), -1, outputName);
        at += n;
    }
}

// Copies the whole file in scratch to output, which is "-" or the stream target (output
// with its links followed). The scratch file's name is removed before the copy starts, so
// nothing can be left behind then.
void CopyToStream(ScratchFile& scratch, const std::string& output, const std::string& target) {
    scratch.Remove();
    const bool standard = output == "-";
    const int out = standard ? STDOUT_FILENO : ::open(target.c_str(), O_WRONLY | O_CLOEXEC);
    if (out < 0) ThrowFileException(errno, output, "Cannot open");
    ExceptionPtr error = CatchException([&] { CopyAll(scratch, out, output); });
    if (!standard && ::close(out) != 0 && !error) ThrowFileException(errno, output, "Cannot write");
    if (error) throw error.release();
}

// The header's sizes are known only at the end, so the whole file is made in a scratch file
// first.
Conversion ConvertToStream(const std::string& source, const std::string& output,
                           const std::string& target) {
    ScratchFile scratch(TemporaryFolder(), NameOf(source), 0600);
    const Conversion done = ConvertFile(source, scratch.Path());
    CopyToStream(scratch, output, target);
    return done;
}

// A copy in another format, or with the voice tools: decoded into a scratch file in the
// temporary folder, then encoded from there into output (replaced in one step) or, for a
// stream, into a second scratch file that is copied out whole.
ShareCopy ConvertShared(const std::string& source, const std::string& output,
                        const std::string& target, const OutputOptions& options, bool stream,
                        FormatTag& sourceFormat) {
    // An output that cannot be written is refused before anything is decoded.
    std::optional<FileReplacer> replacer;
    if (!stream) replacer.emplace(output);
    ScratchFile pcm(TemporaryFolder(), NameOf(source), 0600);
    sourceFormat = ConvertFile(source, pcm.Path()).sourceFormat;
    const ShareOptions share{OutputFormat(options, output),
                             {.skipSilence = options.trimSilence, .level = options.level}};
    if (replacer) {
        const ShareCopy copy = EncodeShareCopy(pcm.Path(), replacer->ScratchPath(), output, share);
        replacer->Commit();
        return copy;
    }
    ScratchFile encoded(TemporaryFolder(), NameOf(source), 0600);
    const ShareCopy copy = EncodeShareCopy(pcm.Path(), encoded.Path(), output, share);
    CopyToStream(encoded, output, target);
    return copy;
}

std::string Summary(const Conversion& done, const std::string& output) {
    const WaveHeader& written = done.output;
    const uint32_t frame = written.blockAlign ? written.blockAlign : 1;
    const uint64_t frames = written.dataSize / frame;
    const double seconds =
        written.sampleRate ? static_cast<double>(frames) / written.sampleRate : 0.0;
    char line[160];
    std::snprintf(line, sizeof line,
                  "read %s, wrote %u channel(s), %u Hz, %u-bit, %llu samples per channel, %.2f s "
                  "to ",
                  WaveConverter::EncodingName(done.sourceFormat), written.channels,
                  written.sampleRate, written.bitsPerSample,
                  static_cast<unsigned long long>(frames), seconds);
    return line + output + "\n";
}

std::string SharedSummary(FormatTag sourceFormat, const ShareCopy& copy,
                          const std::string& output) {
    const double seconds =
        copy.sampleRate ? static_cast<double>(copy.frames) / copy.sampleRate : 0.0;
    char line[160];
    std::snprintf(line, sizeof line,
                  "read %s, wrote %s, %u channel(s), %u Hz, %llu samples per channel, %.2f s to ",
                  WaveConverter::EncodingName(sourceFormat), ShareFormatName(copy.format),
                  copy.channels, copy.sampleRate, static_cast<unsigned long long>(copy.frames),
                  seconds);
    return line + output + "\n";
}

std::string TagText(const WaveHeader::Tag& tag) {
    std::string text;
    for (char c : tag) text += (c >= 0x20 && c < 0x7F) ? c : '?';
    return text;
}

void PrintHeader(const WaveHeader& h, bool rawGsm) {
    std::printf("encoding:        %s (format tag 0x%X)%s\n",
                WaveConverter::EncodingName(h.formatTag), static_cast<unsigned>(h.formatTag),
                rawGsm         ? ", raw GSM file"
                : h.extensible ? ", WAVE_FORMAT_EXTENSIBLE"
                               : "");
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
    // What is decoded: the data chunk, or the rest of the file when its size was never filled
    // in; never a chunk that follows it.
    std::printf("sound data:      %llu bytes\n", static_cast<unsigned long long>(h.DataLength()));
}

}  // namespace

std::string ErrorLine(const std::string& name, const std::string& message) {
    return "corvane-convert: " + name + ": " + message + "\n";
}

int Fail(const std::string& name, const std::string& message) {
    const std::string line = ErrorLine(name, message);
    std::fwrite(line.data(), 1, line.size(), stderr);
    return 1;
}

ShareFormat OutputFormat(const OutputOptions& options, const std::string& output) {
    if (options.format) return *options.format;
    return output == "-" ? ShareFormat::kWave : ShareFormatOfPath(output);
}

ExceptionPtr ConvertOne(const std::string& source, const std::string& output,
                        const OutputOptions& options, std::string* summary) {
    return CatchException([&] {
        const std::string target = output == "-" ? output : FollowLinksForWriting(output);
        const SourceFile in(source);
        const bool stream = target == "-" || IsStream(target);
        if (OutputFormat(options, output) != ShareFormat::kWave || options.trimSilence ||
            options.level) {
            FormatTag sourceFormat{};
            const ShareCopy copy =
                ConvertShared(in.Path(), output, target, options, stream, sourceFormat);
            if (summary) *summary = SharedSummary(sourceFormat, copy, output);
            return;
        }
        const Conversion done = stream ? ConvertToStream(in.Path(), output, target)
                                       : ConvertReplacing(in.Path(), output);
        if (summary) *summary = Summary(done, output);
    });
}

int ShowInfo(const std::string& source) {
    const ExceptionPtr error = CatchException([&] {
        const SourceFile in(source);
        CFile file;
        auto openError = std::make_unique<CFileException>();
        if (!file.Open(in.Path(), CFile::modeRead, openError.get(), true))
            throw openError.release();
        // Read as the conversion reads it (the raw GSM rule included), so that the two never
        // disagree.
        WaveHeader header;
        const bool raw = WaveConverter::ReadSourceHeader(file, in.Path(), header);
        PrintHeader(header, raw);
    });
    return error ? Fail(source, error->Message()) : 0;
}

int PlaySource(const std::string& source, const TerminalPlayer& play) {
    int status = 0;
    const ExceptionPtr error = CatchException([&] {
        const SourceFile in(source);
        // In a folder of its own, which the next run (or player) removes should this one be
        // killed outright while it plays.
        const LockedFolder folder(TemporaryFolder());
        ScratchFile pcm(folder.Path(), NameOf(in.Path()), 0600);
        ConvertFile(in.Path(), pcm.Path());
        status = play(pcm.Path());
    });
    return error ? Fail(source, error->Message()) : status;
}
