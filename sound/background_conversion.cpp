#include "sound/background_conversion.h"

#include "platform/exception.h"
#include "sound/convert_file.h"

BackgroundConversion::BackgroundConversion(std::string sourcePath, std::string outputPath,
                                           ConversionProgress::Observer observer)
    : progress_(std::make_shared<ConversionProgress>(std::move(observer))) {
    thread_ = std::thread(
        [progress = progress_, source = std::move(sourcePath), output = std::move(outputPath)] {
            // The progress carries the outcome and the error's text.
            CatchException([&] { ConvertFile(source, output, progress.get()); });
        });
}

BackgroundConversion::~BackgroundConversion() {
    Cancel();
    Wait();
}

void BackgroundConversion::Wait() {
    if (thread_.joinable()) thread_.join();
}
