// The wave-out device: plays a stream of PCM buffers that the caller writes one after the
// other, and hands each buffer back through a completion callback once it has been played.
//
// Guarantees:
// - Completions come in the order the buffers were written, exactly once per buffer, from
//   the device's own completion thread (never from the real-time audio thread and never
//   from the caller's thread).
// - Write never blocks on playback, also while paused. A zero-length buffer is accepted and
//   completes in order. Reset hands every pending buffer back as done and returns once
//   those completions have been delivered. Close does the same and returns only when no
//   completion is running or pending, so the callback never runs after Close.
// - The buffers form one byte stream: a frame may be split across two buffers.
// - Formats: PCM, 8- or 16-bit, 1 to 8 channels, 1000 to 384000 Hz.
// - The playback rate is 16.16 fixed point; rates above 1 shorten the sound and keep its
//   pitch. A new device starts at rate 1.
// - The volume is one process-wide value applied as a gain to every device.
// The callback must not call Reset or Close of its own device.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>

enum class WaveOutResult {
    Ok,
    BadDeviceId,   // Open: no output with that number
    BadFormat,     // Open: a format the device cannot play, or the output refused it
    InvalidParam,  // Write: no data for a non-empty buffer; SetPlaybackRate: out of range
    Unprepared,    // Write: the buffer is not prepared
    StillPlaying,  // Write, Unprepare: the buffer is queued on the device
    Closed,        // Write after Close
};

// The PCM format handed to Open.
struct WaveFormat {
    uint16_t channels = 0;
    uint32_t sampleRate = 0;     // Hz
    uint16_t bitsPerSample = 0;  // 8 (unsigned samples) or 16 (signed little-endian)
};

// One buffer of audio. The caller owns the record and its data. From Write to its
// completion the device reads data and length and writes flags; it never touches user.
struct WaveBuffer {
    // Bits of flags.
    static constexpr uint32_t kDone = 0x01;      // completed
    static constexpr uint32_t kPrepared = 0x02;  // between Prepare and Unprepare
    static constexpr uint32_t kInQueue = 0x10;   // written and not yet completed

    char* data = nullptr;
    uint32_t length = 0;  // bytes of data
    uint32_t user = 0;    // the caller's word
    uint32_t flags = 0;
};

struct WaveOutOpened;

class WaveOut {
  public:
    // Called on the device's completion thread with each buffer that has been played or
    // handed back by Reset or Close.
    using Callback = std::function<void(WaveBuffer& done)>;

    // Number of output devices; 0 when there is none.
    static uint32_t GetNumDevs();

    // The formats every device takes: 8- or 16-bit PCM, 1 to kMaxChannels channels,
    // kMinSampleRate to kMaxSampleRate Hz. Open refuses any other.
    static constexpr uint16_t kMaxChannels = 8;
    static constexpr uint32_t kMinSampleRate = 1000;
    static constexpr uint32_t kMaxSampleRate = 384000;
    static bool Supports(const WaveFormat& format);

    // Opens output device deviceId (0 is the default output) for format; callback may be
    // empty.
    static WaveOutOpened Open(const WaveFormat& format, Callback callback, uint32_t deviceId = 0);

    virtual ~WaveOut() = default;  // an open device is closed first
    WaveOut(const WaveOut&) = delete;
    WaveOut& operator=(const WaveOut&) = delete;

    // Sets kPrepared; a buffer is written only while prepared.
    virtual void Prepare(WaveBuffer& buffer) = 0;
    // Clears kPrepared once the buffer has completed.
    virtual WaveOutResult Unprepare(WaveBuffer& buffer) = 0;
    // Queues a prepared buffer behind those written before it.
    virtual WaveOutResult Write(WaveBuffer& buffer) = 0;
    // Halts playback where it is; Restart plays on from there.
    virtual void Pause() = 0;
    virtual void Restart() = 0;
    virtual void Reset() = 0;
    virtual void Close() = 0;
    // Rate in 16.16 fixed point (0x10000 = normal speed).
    virtual uint32_t GetPlaybackRate() = 0;
    virtual WaveOutResult SetPlaybackRate(uint32_t rate) = 0;

  protected:
    WaveOut() = default;
};

// What Open gives: the open device, or no device and the reason.
struct WaveOutOpened {
    std::unique_ptr<WaveOut> device;
    WaveOutResult result = WaveOutResult::Ok;
};

// Process-wide volume: low word left, high word right, each 0 (silent) to 0xFFFF (full).
// Channels alternate left, right; a mono device uses the left word. Starts at 0xFFFFFFFF.
uint32_t WaveOutGetVolume();
void WaveOutSetVolume(uint32_t volume);
