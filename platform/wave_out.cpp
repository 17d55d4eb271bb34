#include "platform/wave_out.h"

#include "platform/wave_out_backend.h"
#include "platform/wave_out_device.h"

bool WaveOut::Supports(const WaveFormat& f) {
    return (f.bitsPerSample == 8 || f.bitsPerSample == 16) && f.channels >= 1 &&
           f.channels <= kMaxChannels && f.sampleRate >= kMinSampleRate &&
           f.sampleRate <= kMaxSampleRate;
}

uint32_t WaveOut::GetNumDevs() {
    return CurrentWaveOutBackend().DeviceCount();
}

WaveOutOpened WaveOut::Open(const WaveFormat& format, WaveOut::Callback callback,
                            uint32_t deviceId) {
    WaveOutBackend& backend = CurrentWaveOutBackend();
    if (deviceId >= backend.DeviceCount()) return {nullptr, WaveOutResult::BadDeviceId};
    if (!Supports(format)) return {nullptr, WaveOutResult::BadFormat};
    auto device = std::make_unique<WaveOutDevice>(format, std::move(callback));
    if (!device->Start(backend, deviceId)) return {nullptr, WaveOutResult::BadFormat};
    return {std::move(device), WaveOutResult::Ok};
}
