#include "platform/wave_out_portaudio.h"

#include <fcntl.h>
#include <portaudio.h>
#include <unistd.h>

#include <cstdio>
#include <mutex>

namespace {

std::mutex paMutex;  // PortAudio's set-up calls are not thread-safe

// The host APIs under PortAudio (ALSA, JACK) print pages of diagnostics to stderr while
// they probe for sound cards and servers; the user learns what matters from our own
// message. Holds stderr on /dev/null while it lives.
class QuietStderr {
  public:
    QuietStderr() {
        std::fflush(stderr);
        saved_ = ::dup(STDERR_FILENO);
        const int null = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
        if (saved_ >= 0 && null >= 0) ::dup2(null, STDERR_FILENO);
        if (null >= 0) ::close(null);
    }
    ~QuietStderr() {
        if (saved_ < 0) return;
        ::dup2(saved_, STDERR_FILENO);
        ::close(saved_);
    }
    QuietStderr(const QuietStderr&) = delete;
    QuietStderr& operator=(const QuietStderr&) = delete;

  private:
    int saved_;
};

class PortAudioSink : public WaveOutSink {
  public:
    explicit PortAudioSink(PaStream* stream) : stream_(stream) {}
    ~PortAudioSink() override {
        std::lock_guard lock(paMutex);
        Pa_StopStream(stream_);  // returns after the last callback
        Pa_CloseStream(stream_);
    }

  private:
    PaStream* stream_;
};

int Callback(const void*, void* output, unsigned long frames, const PaStreamCallbackTimeInfo*,
             PaStreamCallbackFlags, void* user) {
    static_cast<WaveOutRenderer*>(user)->Render(static_cast<int16_t*>(output), frames);
    return paContinue;
}

}  // namespace

PortAudioWaveOutBackend::~PortAudioWaveOutBackend() {
    std::lock_guard lock(paMutex);
    if (state_ == 1) Pa_Terminate();
}

bool PortAudioWaveOutBackend::Initialise() {
    if (state_ == 0) {
        QuietStderr quiet;
        state_ = Pa_Initialize() == paNoError ? 1 : -1;
    }
    return state_ == 1;
}

uint32_t PortAudioWaveOutBackend::DeviceCount() {
    std::lock_guard lock(paMutex);
    if (!Initialise() || Pa_GetDefaultOutputDevice() == paNoDevice) return 0;
    uint32_t count = 0;
    const PaDeviceIndex n = Pa_GetDeviceCount();
    for (PaDeviceIndex i = 0; i < n; ++i) {
        const PaDeviceInfo* info = Pa_GetDeviceInfo(i);
        if (info && info->maxOutputChannels > 0) ++count;
    }
    return count;
}

std::unique_ptr<WaveOutSink> PortAudioWaveOutBackend::OpenSink(uint32_t,
                                                               const WaveOutSinkFormat& format,
                                                               WaveOutRenderer& renderer) {
    // Every device id plays through the default output, which follows the desktop's
    // choice of sound card.
    std::lock_guard lock(paMutex);
    if (!Initialise()) return nullptr;
    const PaDeviceIndex device = Pa_GetDefaultOutputDevice();
    const PaDeviceInfo* info = device == paNoDevice ? nullptr : Pa_GetDeviceInfo(device);
    if (!info) return nullptr;
    PaStreamParameters params{};
    params.device = device;
    params.channelCount = static_cast<int>(format.channels);
    params.sampleFormat = paInt16;
    params.suggestedLatency = info->defaultLowOutputLatency;
    PaStream* stream = nullptr;
    QuietStderr quiet;
    if (Pa_OpenStream(&stream, nullptr, &params, format.sampleRate, paFramesPerBufferUnspecified,
                      paNoFlag, &Callback, &renderer) != paNoError)
        return nullptr;
    if (Pa_StartStream(stream) != paNoError) {
        Pa_CloseStream(stream);
        return nullptr;
    }
    return std::make_unique<PortAudioSink>(stream);
}
