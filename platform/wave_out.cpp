#include "platform/wave_out.h"

#include "platform/wave_out_backend.h"
#include "platform/wave_out_device.h"

namespace {

bool Supported(const WaveFormat& f) {
    return f.formatTag == 1 && (f.bitsPerSample == 8 || f.bitsPerSample == 16) && f.channels >= 1 &&
           f.channels <= 8 && f.samplesPerSec >= 1000 && f.samplesPerSec <= 384000;
}

}  // namespace

uint32_t WaveOut::GetNumDevs() {
    return CurrentWaveOutBackend().DeviceCount();
}

uint32_t WaveOut::Open(std::unique_ptr<WaveOut>* device, uint32_t deviceId,
                       const WaveFormat& format, WaveOutProc callback, uintptr_t instance) {
    if (!device) return kWaveOutInvalidParam;
    WaveOutBackend& backend = CurrentWaveOutBackend();
    if (deviceId >= backend.DeviceCount()) return kWaveOutBadDeviceId;
    if (!Supported(format)) return kWaveOutBadFormat;
    auto opened = std::make_unique<WaveOutDevice>(format, callback, instance);
    if (!opened->Start(backend, deviceId)) return kWaveOutBadFormat;
    *device = std::move(opened);
    return kWaveOutOk;
}
