// The wave-out device: plays a stream of PCM buffers that the caller writes one after the
// other, and reports each buffer back through a completion callback once it has been
// played.
//
// Guarantees:
// - Completions come in the order the buffers were written, exactly once per buffer, from
//   the device's own completion thread (never from the real-time audio thread and never
//   from the caller's thread).
// - Write never blocks on playback, also while paused. A zero-length buffer is accepted and
//   completes in order. Reset hands every pending buffer back as done and returns once
//   those completions have been delivered. Close returns only when no completion is
//   running or pending, so the callback never runs after Close.
// - The buffers form one byte stream: a frame may be split across two buffers.
// - Formats: PCM (tag 1), 8- or 16-bit, 1 to 8 channels, 1000 to 384000 Hz.
// - The playback rate is 16.16 fixed point; rates above 1 shorten the sound and keep its
//   pitch. A new device starts at rate 1.
// - The volume is one process-wide value applied as a gain to every device.
// The callback must not call Reset or Close of its own device.
#pragma once

#include <cstdint>
#include <memory>

// Result codes of the device operations.
enum WaveOutResult : uint32_t {
    kWaveOutOk = 0,
    kWaveOutError = 1,
    kWaveOutBadDeviceId = 2,
    kWaveOutNoDriver = 6,
    kWaveOutNotSupported = 8,
    kWaveOutInvalidParam = 11,
    kWaveOutBadFormat = 32,
    kWaveOutStillPlaying = 33,
    kWaveOutUnprepared = 34,
};

// Message number of the completion callback for a buffer that has been played (or handed
// back by Reset or Close); param1 is the WaveBuffer.
constexpr uint32_t kWaveOutDone = 957;

// Bits of WaveBuffer::flags.
constexpr uint32_t kWaveBufferDone = 0x01;      // completed
constexpr uint32_t kWaveBufferPrepared = 0x02;  // between PrepareHeader and UnprepareHeader
constexpr uint32_t kWaveBufferInQueue = 0x10;   // written and not yet completed

// The format handed to Open.
struct WaveFormat {
    uint16_t formatTag = 0;  // 1 = PCM
    uint16_t channels = 0;
    uint32_t samplesPerSec = 0;   // Hz
    uint32_t avgBytesPerSec = 0;  // informative only
    uint16_t blockAlign = 0;      // informative only: the frame is channels * bits / 8
    uint16_t bitsPerSample = 0;   // 8 (unsigned samples) or 16 (signed little-endian)
    uint16_t extraSize = 0;
};

// One buffer of audio. The caller owns the record and its data until the completion.
// While the device holds the buffer it reads data and length and writes flags; it never
// touches user, loops, next or reserved.
struct WaveBuffer {
    char* data = nullptr;
    uint32_t length = 0;  // bytes of data
    uint32_t bytesRecorded = 0;
    uintptr_t user = 0;  // the caller's word
    uint32_t flags = 0;
    uint32_t loops = 0;
    WaveBuffer* next = nullptr;
    uintptr_t reserved = 0;
};

class WaveOut;

// Completion callback: device, message (kWaveOutDone), the instance value given to Open,
// the WaveBuffer* as param1, 0 as param2.
using WaveOutProc = void (*)(WaveOut* device, uint32_t message, uintptr_t instance,
                             uintptr_t param1, uintptr_t param2);

class WaveOut {
  public:
    // Number of output devices; 0 when there is none.
    static uint32_t GetNumDevs();

    // Opens output device deviceId (0 is the default output) for format. On kWaveOutOk
    // *device holds the open device.
    static uint32_t Open(std::unique_ptr<WaveOut>* device, uint32_t deviceId,
                         const WaveFormat& format, WaveOutProc callback, uintptr_t instance);

    virtual ~WaveOut() = default;  // an open device is closed first
    WaveOut(const WaveOut&) = delete;
    WaveOut& operator=(const WaveOut&) = delete;

    // size is sizeof(WaveBuffer); anything else is refused with kWaveOutInvalidParam.
    virtual uint32_t PrepareHeader(WaveBuffer* buffer, uint32_t size) = 0;
    virtual uint32_t UnprepareHeader(WaveBuffer* buffer, uint32_t size) = 0;
    virtual uint32_t Write(WaveBuffer* buffer, uint32_t size) = 0;
    virtual uint32_t Pause() = 0;
    virtual uint32_t Restart() = 0;
    virtual uint32_t Reset() = 0;
    virtual uint32_t Close() = 0;
    // Rate in 16.16 fixed point (0x10000 = normal speed).
    virtual uint32_t GetPlaybackRate(uint32_t* rate) = 0;
    virtual uint32_t SetPlaybackRate(uint32_t rate) = 0;

  protected:
    WaveOut() = default;
};

// Process-wide volume: low word left, high word right, each 0 (silent) to 0xFFFF (full).
// Channels alternate left, right; a mono device uses the left word. Starts at 0xFFFFFFFF.
uint32_t WaveOutGetVolume();
void WaveOutSetVolume(uint32_t volume);
