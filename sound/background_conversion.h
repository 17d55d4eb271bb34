// A conversion on a thread of its own, for a player that plays the output while it is being
// written. The session holds one of these per open:
//
//     auto conversion = std::make_unique<BackgroundConversion>(source, tempPath, observer);
//     // observer(kHeader), on the converting thread: post to the window's thread, which then
//     // builds WavePlayer(tempPath, conversion->Progress()) and plays it;
//     // observer(kEnd): Progress()->State() says how it ended, Progress()->Error() what to
//     // report (once) when it failed.
//     conversion.reset();  // a new open: cancels at once, waits for the thread, and removes
//                          // the output when the conversion had not finished (see below)
//
// What it writes and publishes is ConvertFile's with a progress (sound/convert_file.h): the
// output's header first, the data as it reaches the file, then the end. A cancelled
// conversion, or one that failed before its header was published, removes the output before
// it publishes its end; one that failed later leaves it (what was published stays playable).
#pragma once

#include <memory>
#include <string>
#include <thread>

#include "sound/conversion_progress.h"

class BackgroundConversion {
  public:
    // Starts converting sourcePath into outputPath (created or truncated). observer: see
    // ConversionProgress; it runs on the converting thread. Throws only std::system_error
    // when no thread can be started.
    BackgroundConversion(std::string sourcePath, std::string outputPath,
                         ConversionProgress::Observer observer = {});
    // Cancels and waits for the thread. After it returns the output is either complete (the
    // conversion had finished) or removed; the observer is no longer called.
    ~BackgroundConversion();
    BackgroundConversion(const BackgroundConversion&) = delete;
    BackgroundConversion& operator=(const BackgroundConversion&) = delete;

    // For the readers: the engine keeps its own reference.
    std::shared_ptr<const ConversionProgress> Progress() const { return progress_; }
    // Asks the conversion to stop at its next block; returns at once. Until the destructor
    // (or Wait) returns, the thread may still remove the output: start no other conversion
    // into the same path before.
    void Cancel() { progress_->Cancel(); }
    // Waits for the thread to end.
    void Wait();

  private:
    std::shared_ptr<ConversionProgress> progress_;
    std::thread thread_;
};
