#pragma once
// Capture devices from ALSA's device hints, in hint order.

#include <QString>
#include <string>
#include <vector>

namespace kova {

struct AlsaDevice {
    std::string name;     // what snd_pcm_open takes
    QString description;  // first line of the hint's description, else the name
};

// Every hinted PCM that can record, without "default" (always entry 0 of the
// program's list) and "null".
std::vector<AlsaDevice> alsaCaptureDevices();

// The PCM name for a device index: 0 = "default", k = the k-th capture device;
// empty when there is no such device.
std::string alsaCapturePcmName(int deviceIndex);

}  // namespace kova
