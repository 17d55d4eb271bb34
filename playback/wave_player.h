// Plays one linear PCM WAVE file through the wave-out device with four 200 ms buffers, a
// reader and a writer thread: pause, resume, seek, stop, speed 1x-3x, position, duration
// and end of data. Every public operation is called from one (the window's) thread.
//
// The voice tools (sound/voice_chain.h: skip silence, level the voice; 16-bit files only)
// sit between the file and the device: the reader passes what it read through them, so a
// buffer may hold less sound (a shortened pause) or more (what was held back) than the part
// of the file it covers. Each buffer remembers that part, and the position, seeking and the
// duration stay in the message's own time; the device's speed applies after the tools.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "platform/file.h"
#include "platform/wave_out.h"
#include "playback/auto_reset_event.h"
#include "playback/locked_counter.h"
#include "playback/locked_queue.h"
#include "playback/player_state.h"
#include "sound/conversion_progress.h"
#include "sound/voice_chain.h"
#include "sound/wave_header.h"

class WavePlayer {
  public:
    // Audio in one buffer: the position advances by this much at a time.
    static constexpr uint32_t kBufferMs = kEngineBufferMs;

    // Opens and checks the file; throws CWaveIOException* with code 1, 4 or 5.
    explicit WavePlayer(const std::string& path);
    // Plays the output of a conversion while it is being written (see sound/convert_file.h):
    // the format is the published header's, the duration the expected length's and, once the
    // conversion ended, the final length's. The reader reads only what was published and
    // waits for more where there is not a whole buffer yet; the data ends at the final length
    // (after a failed or cancelled conversion, at the last mark). No operation of the caller's
    // waits for the conversion. Build it once the header is published (constructed before,
    // it waits for it). Throws CWaveIOException* with code 1 or 5 as above, and code 4 when
    // the conversion ended without a header.
    WavePlayer(const std::string& path, std::shared_ptr<const ConversionProgress> progress);
    ~WavePlayer();
    WavePlayer(const WavePlayer&) = delete;
    WavePlayer& operator=(const WavePlayer&) = delete;

    void Play();  // from Stopped only; throws CWaveIOException* code 3
    void Stop();
    void Pause();
    void Resume();
    void Seek(uint32_t ms);
    uint32_t GetPosition() const;  // ms
    uint32_t GetDuration() const;  // ms
    // The sound the device is asked to play, as the file's header gives it.
    WaveFormat Format() const { return {header.channels, header.sampleRate, header.bitsPerSample}; }
    PlayerState GetState() const;
    bool IsFinished() const;
    uint32_t GetSpeed() const;  // whole rate multiplier; 1 without a device
    void SetSpeed(uint32_t rate);
    // The rate in 16.16 fixed point (0x18000 plays 1.5 times as fast, keeping the pitch);
    // 0x10000 without a device.
    uint32_t GetPlaybackRate() const;
    void SetPlaybackRate(uint32_t rate);

    // The voice tools for the buffers filled from now on (off at first). A seek drops what
    // they held back.
    void SetVoiceTools(VoiceTools tools);
    VoiceTools Tools() const;
    // The message's levels (sound/voice_measure.h), measured over all of it or, while it is
    // decoded, over the part decoded so far: the first levels apply at once, later ones glide
    // the gain there (VoiceLeveler::kGlideDbPerSecond).
    void SetVoiceLevels(const VoiceLevels& levels);
    // The time skipped silence saved in what has played since Play, in ms.
    uint32_t TimeSavedMs() const;

  private:
    // Lets the tests hold the queues' sections as the threads do.
    friend struct WavePlayerSections;

    // One of the buffers: the device's record and the data block (bufferSize bytes) that
    // its data pointer addresses.
    struct Buffer {
        WaveBuffer record;
        std::unique_ptr<char[]> block;  // bufferSize bytes and what the tools may add
        uint32_t fileBytes = 0;         // bytes of the file the data covers
        uint64_t skippedFrames = 0;     // frames the tools had left out up to its end
    };
    Buffer& Owner(const WaveBuffer* record);

    // Counts a buffer the device has completed; runs on the device's completion thread.
    void WaveOutCallback(WaveBuffer& done);
    // Hands filled buffers to the device while Playing, at most one per cycle, until
    // stopRequested. A cycle that moved a buffer is followed by a 10 ms pause; one that found
    // nothing to do waits for writerWake.
    void WriterThread();
    // Fills free buffers from the file and takes completed ones back, at most one each per
    // cycle; pauses and waits (for readerWake) like the writer.
    void ReaderThread();

    // The derived quantities; throws code 5 (and closes the file) for a format it cannot play.
    void SetUpFormat();
    // Each returns whether it moved a buffer.
    bool HandOverOne();
    bool FillOne();
    bool TakeBackOne();
    // Becomes Playing and wakes the writer, which hands nothing over in any other state.
    void SetPlaying();
    size_t ReadData(char* data, uint32_t count);
    // Fills b from the file through the voice tools; returns the file bytes read.
    uint32_t ReadThroughTools(Buffer& b);
    // The file offset where the data ends for the reader now: the end of the data, or while
    // the file is being written, the end of what was published.
    uint64_t ReadableEnd() const;
    void SeekFile(uint64_t offset);
    // Ends the threads, resets and closes the device and releases the buffers; whatever of
    // these Play has set up.
    void EndPlayback();

    // Lock order, outermost first: freeQueue, filledQueue, playingQueue, doneCount;
    // toolsSection_ is a leaf.
    std::unique_ptr<WaveOut> deviceHandle;  // open from Play to Stop
    WaveHeader header;
    CFile file;
    std::string fileName;
    std::atomic<PlayerState> state{Stopped};
    std::atomic<bool> stopRequested{false};
    std::atomic<bool> finished{false};
    uint32_t bufferSize = 0;  // bytes: 200 ms of audio
    uint32_t durationMs = 0;
    std::atomic<uint32_t> positionBytes{0};  // bytes returned by the device since start or Seek
    uint32_t bytesPerMs = 0;                 // whole bytes of audio per millisecond
    LockedQueue freeQueue;
    LockedQueue playingQueue;
    LockedQueue filledQueue;
    LockedCounter doneCount;  // completions not yet taken back
    // From Play to Stop; the queues hold pointers to their records. Never resized in between.
    std::vector<Buffer> buffers;
    // Set on every event that can give a waiting thread work: the reader's on a completion,
    // on buffers pushed to freeQueue by others and on Stop; the writer's on a buffer pushed
    // to filledQueue, on becoming Playing and on Stop.
    AutoResetEvent readerWake;
    AutoResetEvent writerWake;
    std::thread writerThread;
    std::thread readerThread;
    // While a conversion writes the file: how far it has got, and the reader's wake for when
    // more has come (armed by the fill that found too little). The watch goes before the
    // event it signals.
    std::shared_ptr<const ConversionProgress> progress_;
    std::optional<ConversionProgress::Watch> watch_;

    // The voice tools: chain_ (16-bit files only) is used under freeQueue's section (by the
    // fill and by Seek) and while no thread runs. The choices wait for the next fill under
    // toolsSection_, a leaf lock.
    std::optional<VoiceChain> chain_;
    std::vector<int16_t> fileBlock_;  // what a fill read, on its way through chain_
    size_t blockCapacity_ = 0;        // bytes of each buffer's block
    std::vector<int16_t> toolsOut_;   // what came out
    mutable std::mutex toolsSection_;
    VoiceTools tools_;                   // guarded by toolsSection_
    std::optional<VoiceLevels> levels_;  // guarded by toolsSection_; new levels, not yet applied
    bool hadLevels_ = false;             // chain_ has had levels: later ones glide
    uint64_t skippedAtPlay_ = 0;         // chain_'s count when Play began
    std::atomic<uint64_t> skippedPlayed_{0};  // frames left out of the buffers played
};
