// How far a conversion into a 16-bit PCM WAVE file has got, shared by the thread that
// converts and the readers of the output while it grows (the playback engine, the session).
//
// The converting side publishes, in this order: the output's header once (written and handed
// to the operating system, with the data length the converter expects), then a mark of how
// many data bytes after the header are readable from the file, growing, and at last the end:
// finished (with the final data length, smaller than expected when the source ended early;
// the file's header is then patched to it), failed (with the error's text) or cancelled.
// Every mark counts bytes that were flushed to the file before it was published, so a reader
// may read up to it with an ordinary read of the file.
//
// The readers' side never blocks the converter: the accessors are lock-free, the waits use a
// condition variable. A reader that must wait on other events of its own as well (the
// engine's reader thread) registers a Watch, whose wake the converter calls when an armed
// mark is reached or the conversion ends.
//
// The session sees the object through BackgroundConversion (sound/background_conversion.h).
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "sound/wave_header.h"

enum class ConversionState { kRunning, kFinished, kFailed, kCancelled };

class ConversionProgress {
  public:
    // What the converter has just published.
    enum class Event { kHeader, kData, kEnd };
    // Called on the converting thread after each publication, with no lock held (it may use
    // every accessor). A data event comes every few tens of milliseconds of audio.
    using Observer = std::function<void(Event)>;

    explicit ConversionProgress(Observer observer = {});
    ConversionProgress(const ConversionProgress&) = delete;
    ConversionProgress& operator=(const ConversionProgress&) = delete;

    // ---- The converting side (one thread).

    // header: the output's header as written at offset 0, with dataStart and dataEnd set
    // for the expected length (expectedBytes data bytes after the header).
    void PublishHeader(const WaveHeader& header, uint64_t expectedBytes);
    // readableBytes: data bytes flushed to the file so far; never less than before.
    void PublishData(uint64_t readableBytes);
    // The output is complete and closed: dataBytes of data follow the header.
    void Finish(uint64_t dataBytes);
    // The conversion ended with an error (message: the exception's text) or was cancelled
    // (see Cancel); the data ends at the last published mark.
    void Fail(std::string message);
    void Abandon();

    // Asks the converter to stop at its next block (any thread; returns at once).
    void Cancel() { cancelRequested_.store(true, std::memory_order_relaxed); }
    bool CancelRequested() const { return cancelRequested_.load(std::memory_order_relaxed); }

    // ---- Readers (any thread).

    ConversionState State() const { return state_.load(std::memory_order_acquire); }
    bool Ended() const { return State() != ConversionState::kRunning; }
    bool HasHeader() const { return hasHeader_.load(std::memory_order_acquire); }
    // The published header; only once HasHeader. Its format fields are final; its sizes are
    // the expected ones.
    WaveHeader Header() const;
    uint64_t ExpectedBytes() const { return expectedBytes_.load(std::memory_order_acquire); }
    // Data bytes that can be read from the file now; once ended, where the data ends.
    uint64_t ReadableBytes() const { return readableBytes_.load(std::memory_order_acquire); }
    // The length of the data: the expected one while running, the final one once ended.
    uint64_t DataBytes() const;
    // The error's text once failed; empty otherwise.
    std::string Error() const;

    // Block until the header is published or the conversion ends (returns HasHeader()), or
    // until at least `bytes` data bytes are readable or it ends (returns whether that is so),
    // at most `timeout`.
    bool WaitForHeader(std::chrono::milliseconds timeout) const;
    bool WaitForBytes(uint64_t bytes, std::chrono::milliseconds timeout) const;

    // A reader's wake, registered for the Watch's life. wake runs on the converting thread
    // under the progress object's lock, so it must take no lock but leaf ones (signalling an
    // event is fine) and must not use this object. Once the destructor returns, wake is
    // never called again.
    class Watch {
      public:
        Watch(const ConversionProgress& progress, std::function<void()> wake);
        ~Watch();
        Watch(const Watch&) = delete;
        Watch& operator=(const Watch&) = delete;

        // Arms the wake for once `bytes` data bytes are readable or the conversion ends, and
        // returns true; when that is already so, arms nothing and returns false.
        bool Arm(uint64_t bytes);

      private:
        friend class ConversionProgress;
        const ConversionProgress& progress_;
        std::function<void()> wake_;
        uint64_t wantedBytes_ = 0;  // guarded by the progress object's lock
        bool armed_ = false;
    };

  private:
    // With mutex_ held: wakes the armed watches that the current state satisfies.
    void WakeWatches();
    // Updates under the lock, then tells the waiters, the watches and the observer.
    template <typename Update>
    void Publish(Event event, Update&& update);

    Observer observer_;
    std::atomic<bool> cancelRequested_{false};
    std::atomic<ConversionState> state_{ConversionState::kRunning};
    std::atomic<bool> hasHeader_{false};
    std::atomic<uint64_t> expectedBytes_{0};
    std::atomic<uint64_t> readableBytes_{0};
    // A leaf but for the watches' wakes, which take only their own leaf locks.
    mutable std::mutex mutex_;
    mutable std::condition_variable changed_;
    WaveHeader header_;                    // guarded by mutex_
    std::string error_;                    // guarded by mutex_
    mutable std::vector<Watch*> watches_;  // guarded by mutex_
};
