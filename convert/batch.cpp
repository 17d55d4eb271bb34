#include "convert/batch.h"

#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <map>
#include <mutex>
#include <optional>
#include <system_error>
#include <thread>
#include <tuple>
#include <unordered_map>
#include <utility>

#include "convert/commands.h"
#include "platform/file_replacer.h"

namespace {

// What the batch has done so far, printed as the workers finish files.
class Progress {
  public:
    explicit Progress(size_t total) : total_(total), shown_(::isatty(STDERR_FILENO) == 1) {
        Show();
    }

    void Finished(const ExceptionPtr& error, const std::string& source,
                  const std::string& summary) {
        std::lock_guard lock(mutex_);
        ++done_;
        if (error) ++failed_;
        if (shown_) std::fputs("\r\033[K", stderr);  // the line makes way for the report
        if (error) std::fputs(ErrorLine(source, error->Message()).c_str(), stderr);
        if (!summary.empty()) {
            std::fputs(summary.c_str(), stdout);
            std::fflush(stdout);
        }
        Show();
    }

    bool AnyFailed() const { return failed_ > 0; }

  private:
    void Show() {
        if (!shown_) return;
        std::fprintf(stderr, "\rcorvane-convert: %zu of %zu done, %zu failed", done_, total_,
                     failed_);
        if (done_ == total_) std::fputc('\n', stderr);
    }

    std::mutex mutex_;
    const size_t total_;
    const bool shown_;
    size_t done_ = 0;
    size_t failed_ = 0;
};

// The file that writing an output replaces or creates: an existing file by its device and inode,
// a new one by its folder's and its name.
using OutputFile = std::tuple<dev_t, ino_t, std::string>;

// None when the output cannot be written; its conversion reports why.
std::optional<OutputFile> FileWritten(const std::string& output) {
    std::string target;
    if (CatchException([&] { target = FollowLinksForWriting(output); })) return std::nullopt;
    struct stat st {};
    if (::stat(target.c_str(), &st) == 0) return OutputFile{st.st_dev, st.st_ino, ""};
    const std::filesystem::path path(target);
    if (::stat(path.parent_path().empty() ? "." : path.parent_path().c_str(), &st) != 0)
        return std::nullopt;
    return OutputFile{st.st_dev, st.st_ino, path.filename().string()};
}

// Reports every output that clashes with another or would replace a source; returns how many.
size_t RefuseClashes(const std::vector<std::string>& sources,
                     const std::vector<std::string>& outputs) {
    size_t refused = 0;
    std::unordered_map<std::string, size_t> firstWithName;
    std::map<OutputFile, size_t> firstWithFile;
    for (size_t i = 0; i < sources.size(); ++i) {
        size_t clash = i;
        if (const auto [first, fresh] = firstWithName.emplace(outputs[i], i); !fresh) {
            clash = first->second;
        } else if (const std::optional<OutputFile> file = FileWritten(outputs[i])) {
            // Two names that are one file: through a link, or two links to one file.
            const auto [firstFile, freshFile] = firstWithFile.emplace(*file, i);
            if (!freshFile) clash = firstFile->second;
        }
        if (clash != i)
            refused += Fail(sources[i], "Same output name as \"" + sources[clash] + "\".");
    }
    // Files are compared by device and inode, so links are seen through.
    std::map<std::pair<dev_t, ino_t>, size_t> sourceFiles;
    struct stat st {};
    for (size_t i = 0; i < sources.size(); ++i) {
        if (::stat(sources[i].c_str(), &st) == 0)
            sourceFiles.emplace(std::pair{st.st_dev, st.st_ino}, i);
    }
    for (size_t i = 0; i < outputs.size(); ++i) {
        if (::stat(outputs[i].c_str(), &st) != 0) continue;
        const auto replaced = sourceFiles.find({st.st_dev, st.st_ino});
        if (replaced == sourceFiles.end()) continue;
        const size_t j = replaced->second;
        refused +=
            Fail(sources[j], j == i ? kOwnSource
                                    : "Would be replaced by the output of \"" + sources[i] + "\".");
    }
    return refused;
}

}  // namespace

std::string BatchOutputName(const std::string& source, ShareFormat format) {
    return std::filesystem::path(source)
        .filename()
        .replace_extension(std::string(".") + ShareFormatExtension(format))
        .string();
}

int ConvertBatch(const std::string& folder, const std::vector<std::string>& sources, unsigned jobs,
                 bool verbose, const OutputOptions& options) {
    struct stat st {};
    if (::stat(folder.c_str(), &st) != 0)
        return Fail(folder, std::string(std::strerror(errno)) + ".");
    if (!S_ISDIR(st.st_mode)) return Fail(folder, std::string(std::strerror(ENOTDIR)) + ".");
    std::vector<std::string> outputs;
    for (const std::string& source : sources)
        outputs.push_back(
            (std::filesystem::path(folder) / BatchOutputName(source, OutputFormat(options, "-")))
                .string());
    if (RefuseClashes(sources, outputs) > 0) return 1;

    Progress progress(sources.size());
    std::atomic<size_t> next = 0;
    const auto work = [&] {
        for (size_t i; (i = next++) < sources.size();) {
            std::string summary;
            const ExceptionPtr error =
                ConvertOne(sources[i], outputs[i], options, verbose ? &summary : nullptr);
            progress.Finished(error, sources[i], summary);
        }
    };
    std::vector<std::thread> workers;
    const size_t count = std::min<size_t>(jobs, sources.size());
    for (size_t k = 1; k < count; ++k) {
        try {
            workers.emplace_back(work);
        } catch (const std::system_error&) {
            break;  // fewer threads: the ones running take the rest
        }
    }
    work();
    for (std::thread& worker : workers) worker.join();
    return progress.AnyFailed() ? 1 : 0;
}
