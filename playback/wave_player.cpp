#include "playback/wave_player.h"

#include <algorithm>
#include <bit>
#include <chrono>
#include <cstring>
#include <limits>

#include "playback/wave_exceptions.h"

namespace {

constexpr uint32_t kBufferCount = 4;
// Pause after a thread cycle that moved a buffer.
constexpr auto kCycle = std::chrono::milliseconds(10);

// Bits of a buffer record's user word.
constexpr uint32_t kEndMarker = 1;  // holds the end of the data
constexpr uint32_t kFlushed = 2;    // handed back by the reset of a seek: not played

}  // namespace

WavePlayer::WavePlayer(const std::string& path) : fileName(path) {
    if (!file.Open(fileName, CFile::modeRead, nullptr, true))
        throw new CWaveIOException(CannotOpenFile);
    bool read = false;
    if (CatchException([&] { read = header.ReadHeader(file); }) || !read) {
        file.Close();
        throw new CWaveIOException(CannotReadWavHeader);
    }
    SetUpFormat();
}

WavePlayer::WavePlayer(const std::string& path, std::shared_ptr<const ConversionProgress> progress)
    : fileName(path), progress_(std::move(progress)) {
    // The converter publishes its header right after the source's header was read; the file
    // may not exist before.
    while (!progress_->WaitForHeader(std::chrono::seconds(1)) && !progress_->Ended()) {
    }
    if (!progress_->HasHeader()) throw new CWaveIOException(CannotReadWavHeader);
    if (!file.Open(fileName, CFile::modeRead, nullptr, true))
        throw new CWaveIOException(CannotOpenFile);
    header = progress_->Header();
    SetUpFormat();
    SeekFile(header.dataStart);
    watch_.emplace(*progress_, [this] { readerWake.Signal(); });
}

void WavePlayer::SetUpFormat() {
    // Whole bytes per sample, times channels and samples per second, per millisecond; in
    // 64 bits so that no header value can wrap it.
    const uint64_t perMs = static_cast<uint64_t>(header.bitsPerSample / 8u) * header.channels *
                           header.sampleRate / 1000;
    if (header.formatTag != FormatTag::Pcm || perMs == 0 ||
        perMs * kBufferMs > std::numeric_limits<uint32_t>::max()) {
        file.Close();
        throw new CWaveIOException(UnsupportedSoundFormat);
    }
    bytesPerMs = static_cast<uint32_t>(perMs);
    bufferSize = kBufferMs * bytesPerMs;
    durationMs = static_cast<uint32_t>(
        std::min<uint64_t>(header.DataLength() / bytesPerMs, std::numeric_limits<uint32_t>::max()));
    // The tools work on native 16-bit samples: the file's are little-endian.
    if (header.bitsPerSample == 16 && std::endian::native == std::endian::little) {
        chain_.emplace(header.sampleRate, header.channels);
        fileBlock_.resize(bufferSize / 2 + 1);
    }
}

WavePlayer::~WavePlayer() {
    if (state != Stopped) Stop();
}

void WavePlayer::Play() {
    if (state != Stopped) return;
    stopRequested = false;
    finished = false;
    if (WaveOut::GetNumDevs() == 0) throw new CWaveIOException(CannotOpenSoundDevice);
    WaveOutOpened opened =
        WaveOut::Open(Format(), [this](WaveBuffer& done) { WaveOutCallback(done); });
    if (!opened.device) throw new CWaveIOException(CannotOpenSoundDevice);
    // Completions of the previous device's final reset arrive after its threads ended;
    // they must not let the new threads take back buffers the new device still holds.
    doneCount.Set(0);
    deviceHandle = std::move(opened.device);
    try {
        buffers.resize(kBufferCount);
        // Room for a buffer's own bytes and what the tools held back before it.
        blockCapacity_ = bufferSize + (chain_ ? chain_->MaxHeldFrames() * 2u * header.channels : 0);
        skippedPlayed_ = 0;
        if (chain_) skippedAtPlay_ = chain_->SkippedFrames();
        for (Buffer& b : buffers) {
            b.block = std::make_unique<char[]>(blockCapacity_);
            b.record.data = b.block.get();
            b.record.length = bufferSize;
            freeQueue.Push(&b.record);
        }
        readerThread = std::thread(&WavePlayer::ReaderThread, this);
        writerThread = std::thread(&WavePlayer::WriterThread, this);
    } catch (...) {
        EndPlayback();
        throw;
    }
    SetPlaying();
}

void WavePlayer::Stop() {
    if (state == Stopped) return;
    EndPlayback();
    state = Stopped;
    positionBytes = 0;
    SeekFile(header.dataStart);
}

void WavePlayer::EndPlayback() {
    stopRequested = true;
    readerWake.Signal();
    writerWake.Signal();
    if (readerThread.joinable()) readerThread.join();
    if (writerThread.joinable()) writerThread.join();
    // No thread is left, so no lock is taken.
    deviceHandle->Reset();
    deviceHandle->Close();
    deviceHandle.reset();
    for (LockedQueue* q : {&freeQueue, &playingQueue, &filledQueue}) q->Clear();
    buffers.clear();
    if (chain_) chain_->Clear();
}

void WavePlayer::Pause() {
    if (state != Playing) return;
    deviceHandle->Pause();
    state = Paused;
}

void WavePlayer::Resume() {
    if (state != Paused) return;
    deviceHandle->Restart();
    SetPlaying();
}

void WavePlayer::SetPlaying() {
    state = Playing;
    writerWake.Signal();
}

void WavePlayer::Seek(uint32_t ms) {
    const bool wasPlaying = state == Playing;
    if (wasPlaying) {
        deviceHandle->Pause();
        state = Paused;
    }
    // A target beyond 32 bits lies past any data chunk: keep it there instead of letting it
    // wrap to an earlier place. Whole frames only.
    uint64_t offset =
        std::min<uint64_t>(uint64_t{ms} * bytesPerMs, std::numeric_limits<uint32_t>::max());
    if (header.blockAlign > 0) offset -= offset % header.blockAlign;
    {
        // The reader's own order, so no fill is under way while the file moves.
        std::lock_guard freeLock(freeQueue.section);
        std::lock_guard filledLock(filledQueue.section);
        std::lock_guard playingLock(playingQueue.section);
        for (WaveBuffer* r : playingQueue.records) r->user |= kFlushed;
        positionBytes = static_cast<uint32_t>(offset);
        SeekFile(header.dataStart + offset);
        if (chain_) chain_->Clear();
        if (deviceHandle) deviceHandle->Reset();
        while (!filledQueue.Empty()) freeQueue.Push(filledQueue.Pop());
    }
    readerWake.Signal();  // to refill what came back from filledQueue
    if (wasPlaying && state == Paused) {
        deviceHandle->Restart();
        SetPlaying();
    }
}

uint32_t WavePlayer::GetPosition() const {
    return positionBytes / bytesPerMs;
}

uint32_t WavePlayer::GetDuration() const {
    if (!progress_) return durationMs;
    return static_cast<uint32_t>(std::min<uint64_t>(progress_->DataBytes() / bytesPerMs,
                                                    std::numeric_limits<uint32_t>::max()));
}

PlayerState WavePlayer::GetState() const {
    return state;
}

bool WavePlayer::IsFinished() const {
    return finished;
}

uint32_t WavePlayer::GetSpeed() const {
    return GetPlaybackRate() >> 16;
}

void WavePlayer::SetSpeed(uint32_t rate) {
    // A multiplier of 65536 or more has no 16.16 form; no device plays it.
    if (rate > 0xFFFF) return;
    SetPlaybackRate(rate << 16);
}

uint32_t WavePlayer::GetPlaybackRate() const {
    return deviceHandle ? deviceHandle->GetPlaybackRate() : 0x10000;
}

void WavePlayer::SetPlaybackRate(uint32_t rate) {
    if (deviceHandle) deviceHandle->SetPlaybackRate(rate);
}

void WavePlayer::SetVoiceTools(VoiceTools tools) {
    std::lock_guard lock(toolsSection_);
    tools_ = tools;
}

VoiceTools WavePlayer::Tools() const {
    std::lock_guard lock(toolsSection_);
    return tools_;
}

void WavePlayer::SetVoiceLevels(const VoiceLevels& levels) {
    std::lock_guard lock(toolsSection_);
    levels_ = levels;
}

uint32_t WavePlayer::TimeSavedMs() const {
    return static_cast<uint32_t>(std::min<uint64_t>(skippedPlayed_ * 1000 / header.sampleRate,
                                                    std::numeric_limits<uint32_t>::max()));
}

WavePlayer::Buffer& WavePlayer::Owner(const WaveBuffer* record) {
    return *std::find_if(buffers.begin(), buffers.end(),
                         [record](const Buffer& b) { return &b.record == record; });
}

void WavePlayer::WaveOutCallback(WaveBuffer&) {
    // Runs on the device's completion thread, never the real-time audio thread, so it may
    // take the counter's and the event's locks. The device completes buffers in the order
    // they were written, so the count alone tells which have come back.
    doneCount.Add(1);
    readerWake.Signal();
}

void WavePlayer::WriterThread() {
    while (!stopRequested) {
        if (HandOverOne())
            std::this_thread::sleep_for(kCycle);
        else
            writerWake.Wait();
    }
}

void WavePlayer::ReaderThread() {
    while (!stopRequested) {
        const bool filled = FillOne();
        const bool tookBack = TakeBackOne();
        // The pause after work also paces the zero-length end-marker buffers, which the
        // device returns at once, at one per cycle.
        if (filled || tookBack)
            std::this_thread::sleep_for(kCycle);
        else
            readerWake.Wait();
    }
}

bool WavePlayer::HandOverOne() {
    if (state != Playing) return false;
    {
        std::lock_guard filledLock(filledQueue.section);
        if (filledQueue.Empty()) return false;
        WaveBuffer* r = filledQueue.Pop();
        deviceHandle->Prepare(*r);
        deviceHandle->Write(*r);
        std::lock_guard playingLock(playingQueue.section);
        playingQueue.Push(r);
    }
    // The device may report the buffer done before it is on playingQueue (a zero-length one
    // at once); the reader, woken by that completion, then found nothing to take back.
    if (doneCount.Peek() != 0) readerWake.Signal();
    return true;
}

bool WavePlayer::FillOne() {
    {
        std::lock_guard freeLock(freeQueue.section);
        if (freeQueue.Empty()) return false;
        // A file being written: a whole buffer, or the rest once the conversion ended. The
        // converter wakes the reader when there is.
        if (watch_ && watch_->Arm(file.GetPosition() - header.dataStart + bufferSize)) return false;
        WaveBuffer* r = freeQueue.Pop();
        Buffer& b = Owner(r);
        char* data = r->data;
        *r = WaveBuffer{};
        r->data = data;
        b.fileBytes = ReadThroughTools(b);
        if (b.fileBytes < bufferSize) r->user = kEndMarker;
        std::lock_guard filledLock(filledQueue.section);
        filledQueue.Push(r);
    }
    writerWake.Signal();
    return true;
}

bool WavePlayer::TakeBackOne() {
    if (doneCount.Peek() == 0) return false;
    WaveBuffer* r;
    {
        std::lock_guard playingLock(playingQueue.section);
        if (playingQueue.Empty()) return false;
        r = playingQueue.Pop();
        doneCount.Add(-1);
        if (r->flags & WaveBuffer::kPrepared) deviceHandle->Unprepare(*r);
        if (!(r->user & kFlushed)) {
            const Buffer& b = Owner(r);
            positionBytes += b.fileBytes;
            skippedPlayed_ = b.skippedFrames;
            if (r->user & kEndMarker) finished = true;
        }
    }
    std::lock_guard freeLock(freeQueue.section);
    freeQueue.Push(r);
    return true;
}

uint32_t WavePlayer::ReadThroughTools(Buffer& b) {
    WaveBuffer& r = b.record;
    if (!chain_) {
        r.length = static_cast<uint32_t>(ReadData(r.data, bufferSize));
        return r.length;
    }
    VoiceTools tools;
    std::optional<VoiceLevels> levels;
    {
        std::lock_guard lock(toolsSection_);
        tools = tools_;
        levels.swap(levels_);
    }
    if (levels) {
        chain_->SetLevels(*levels, hadLevels_);
        hadLevels_ = true;
    }
    b.skippedFrames = chain_->SkippedFrames() - skippedAtPlay_;
    if (!tools.Any() && !chain_->Tools().Any()) {
        r.length = static_cast<uint32_t>(ReadData(r.data, bufferSize));
        return r.length;
    }
    toolsOut_.clear();
    chain_->SetTools(tools, toolsOut_);
    const size_t got = ReadData(reinterpret_cast<char*>(fileBlock_.data()), bufferSize);
    // Whole frames into the tools; a partial frame at the end of the data is not sound.
    chain_->Process(fileBlock_.data(), got / (2u * header.channels), toolsOut_);
    if (got < bufferSize) chain_->Flush(toolsOut_);
    // The tools never give more than the block holds (MaxHeldFrames); never write past it.
    r.length = static_cast<uint32_t>(std::min(toolsOut_.size() * sizeof(int16_t), blockCapacity_));
    std::memcpy(r.data, toolsOut_.data(), r.length);
    b.skippedFrames = chain_->SkippedFrames() - skippedAtPlay_;
    return static_cast<uint32_t>(got);
}

size_t WavePlayer::ReadData(char* data, uint32_t count) {
    // Never past the end of the data: a chunk after it is not sound. A read error ends the
    // data like the end of the file does.
    size_t got = 0;
    CatchException([&] {
        const uint64_t at = file.GetPosition();
        const uint64_t end = ReadableEnd();
        if (at < end)
            got = file.Read(data, static_cast<size_t>(std::min<uint64_t>(count, end - at)));
    });
    return got;
}

uint64_t WavePlayer::ReadableEnd() const {
    // Once the conversion ended, what is readable is all there is.
    return progress_ ? header.dataStart + progress_->ReadableBytes() : header.dataEnd;
}

void WavePlayer::SeekFile(uint64_t offset) {
    CatchException([&] { file.Seek(offset); });
}
