#include "platform/AlsaError.h"

#include <cerrno>

namespace kova {

int waveErrorFromAlsa(int e) {
    switch (e) {
        case 0:
            return kWaveOk;
        case -EINVAL:
            return kWaveBadFormat;
        case -EBUSY:
            return kWaveBusy;
        case -ENOENT:
        case -ENODEV:
        case -ENXIO:
            return kWaveBadDevice;
        case -ENOMEM:
            return kWaveNoMemory;
        case -ENOSYS:
            return kWaveNoDriver;
        default:
            return kWaveError;
    }
}

}  // namespace kova
