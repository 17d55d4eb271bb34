#include "sound/convert_file.h"

#include <filesystem>
#include <memory>

#include "sound/conversion_progress.h"
#include "sound/wave_converter.h"

namespace {

Conversion Convert(const std::string& sourcePath, const std::string& outputPath,
                   ConversionProgress* progress, bool& outputMade) {
    WaveConverter converter(sourcePath, outputPath, progress);
    outputMade = true;
    Conversion result;
    result.sourceFormat = converter.Header().formatTag;
    converter.Convert();
    result.output = converter.Header();
    return result;
}

// Removes path when it is a regular file (never what a link points to, never a device).
void RemoveOutput(const std::string& path) {
    std::error_code error;
    if (std::filesystem::is_regular_file(std::filesystem::symlink_status(path, error)))
        std::filesystem::remove(path, error);
}

}  // namespace

Conversion ConvertFile(const std::string& sourcePath, const std::string& outputPath,
                       ConversionProgress* progress) {
    bool outputMade = false;
    if (!progress) return Convert(sourcePath, outputPath, nullptr, outputMade);
    Conversion result;
    ExceptionPtr error =
        CatchException([&] { result = Convert(sourcePath, outputPath, progress, outputMade); });
    if (!error) return result;
    // A constructor's file error is one of the opens: the output was not touched then. Every
    // later failure comes after the output was created or truncated.
    if (!outputMade && !dynamic_cast<CFileException*>(error.get())) outputMade = true;
    const bool cancelled = progress->CancelRequested();
    if (outputMade && (cancelled || !progress->HasHeader())) RemoveOutput(outputPath);
    if (cancelled)
        progress->Abandon();
    else
        progress->Fail(error->Message());
    throw error.release();
}

Conversion ConvertReplacing(const std::string& sourcePath, const std::string& targetPath,
                            Flush flush) {
    FileReplacer replacer(targetPath, flush);
    Conversion result = ConvertFile(sourcePath, replacer.ScratchPath());
    replacer.Commit();
    return result;
}
