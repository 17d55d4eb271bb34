#include "sound/convert_file.h"

#include "sound/wave_converter.h"

Conversion ConvertFile(const std::string& sourcePath, const std::string& outputPath) {
    WaveConverter converter(sourcePath, outputPath);
    Conversion result;
    result.sourceFormat = converter.Header().formatTag;
    converter.Convert();
    result.output = converter.Header();
    return result;
}

Conversion ConvertReplacing(const std::string& sourcePath, const std::string& targetPath,
                            Flush flush) {
    FileReplacer replacer(targetPath, flush);
    Conversion result = ConvertFile(sourcePath, replacer.ScratchPath());
    replacer.Commit();
    return result;
}
