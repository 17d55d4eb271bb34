#include "sound/conversion_progress.h"

#include <algorithm>

ConversionProgress::ConversionProgress(Observer observer) : observer_(std::move(observer)) {}

template <typename Update>
void ConversionProgress::Publish(Event event, Update&& update) {
    {
        std::lock_guard lock(mutex_);
        update();
        WakeWatches();
        // Under the lock, like the updates: a waiter between its test and its wait cannot
        // miss it.
        changed_.notify_all();
    }
    if (observer_) observer_(event);
}

void ConversionProgress::PublishHeader(const WaveHeader& header, uint64_t expectedBytes) {
    Publish(Event::kHeader, [&] {
        header_ = header;
        expectedBytes_.store(expectedBytes, std::memory_order_release);
        hasHeader_.store(true, std::memory_order_release);
    });
}

void ConversionProgress::PublishData(uint64_t readableBytes) {
    Publish(Event::kData, [&] { readableBytes_.store(readableBytes, std::memory_order_release); });
}

void ConversionProgress::Finish(uint64_t dataBytes) {
    Publish(Event::kEnd, [&] {
        readableBytes_.store(dataBytes, std::memory_order_release);
        state_.store(ConversionState::kFinished, std::memory_order_release);
    });
}

void ConversionProgress::Fail(std::string message) {
    Publish(Event::kEnd, [&] {
        error_ = std::move(message);
        state_.store(ConversionState::kFailed, std::memory_order_release);
    });
}

void ConversionProgress::Abandon() {
    Publish(Event::kEnd,
            [&] { state_.store(ConversionState::kCancelled, std::memory_order_release); });
}

WaveHeader ConversionProgress::Header() const {
    std::lock_guard lock(mutex_);
    return header_;
}

uint64_t ConversionProgress::DataBytes() const {
    // The state first: once it says ended, the readable bytes are the final length.
    return Ended() ? ReadableBytes() : ExpectedBytes();
}

std::string ConversionProgress::Error() const {
    std::lock_guard lock(mutex_);
    return error_;
}

bool ConversionProgress::WaitForHeader(std::chrono::milliseconds timeout) const {
    std::unique_lock lock(mutex_);
    changed_.wait_for(lock, timeout, [this] { return HasHeader() || Ended(); });
    return HasHeader();
}

bool ConversionProgress::WaitForBytes(uint64_t bytes, std::chrono::milliseconds timeout) const {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, timeout, [&] { return Ended() || ReadableBytes() >= bytes; });
}

void ConversionProgress::WakeWatches() {
    for (Watch* w : watches_) {
        if (w->armed_ && (Ended() || ReadableBytes() >= w->wantedBytes_)) {
            w->armed_ = false;
            w->wake_();
        }
    }
}

ConversionProgress::Watch::Watch(const ConversionProgress& progress, std::function<void()> wake)
    : progress_(progress), wake_(std::move(wake)) {
    std::lock_guard lock(progress_.mutex_);
    progress_.watches_.push_back(this);
}

ConversionProgress::Watch::~Watch() {
    std::lock_guard lock(progress_.mutex_);
    auto& watches = progress_.watches_;
    watches.erase(std::find(watches.begin(), watches.end(), this));
}

bool ConversionProgress::Watch::Arm(uint64_t bytes) {
    std::lock_guard lock(progress_.mutex_);
    armed_ = !progress_.Ended() && progress_.ReadableBytes() < bytes;
    wantedBytes_ = bytes;
    return armed_;
}
