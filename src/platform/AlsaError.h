#pragma once
// ALSA's negative errno codes become the wave-audio error numbers callers and
// peers' logs know (bad format 32, device busy 4, ...), here and nowhere else.

namespace kova {

enum WaveError : int {
    kWaveOk = 0,
    kWaveError = 1,      // unspecified
    kWaveBadDevice = 2,  // no such device
    kWaveBusy = 4,       // device already in use
    kWaveNoDriver = 6,
    kWaveNoMemory = 7,
    kWaveBadFormat = 32,  // format not supported
};

int waveErrorFromAlsa(int alsaError);

}  // namespace kova
