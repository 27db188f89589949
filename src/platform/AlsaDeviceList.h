#pragma once
// Recording devices by the names people know. Where a sound server runs they
// are its devices, as the desktop's sound settings list them, each opened
// through ALSA's pulse plugin pointed at it; elsewhere the sound cards' own
// devices from ALSA's hints, leaving out the plugins that are no device.

#include <QString>
#include <string>
#include <vector>

namespace kova {

struct AlsaDevice {
    std::string name;     // what snd_pcm_open takes
    QString description;  // what the user reads
};

// Every recording device, without "default" (always entry 0 of the program's
// list); the same call gives the same order, so indexes stay what the user chose.
std::vector<AlsaDevice> alsaCaptureDevices();

// The PCM name for a device index: 0 = "default", k = the k-th capture device;
// empty when there is no such device.
std::string alsaCapturePcmName(int deviceIndex);

// False when there is neither a sound server with a device nor a sound card.
bool soundDevicePresent();

}  // namespace kova
