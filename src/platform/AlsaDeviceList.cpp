#include "platform/AlsaDeviceList.h"

#include <alsa/asoundlib.h>

#include <cstdlib>

namespace kova {

namespace {
std::string hintValue(void* hint, const char* id) {
    char* v = snd_device_name_get_hint(hint, id);
    std::string out = v != nullptr ? v : "";
    std::free(v);
    return out;
}
}  // namespace

std::vector<AlsaDevice> alsaCaptureDevices() {
    std::vector<AlsaDevice> out;
    void** hints = nullptr;
    if (snd_device_name_hint(-1, "pcm", &hints) < 0 || hints == nullptr) {
        return out;
    }
    for (void** h = hints; *h != nullptr; ++h) {
        const std::string name = hintValue(*h, "NAME");
        const std::string io = hintValue(*h, "IOID");
        if (name.empty() || name == "default" || name == "null" || io == "Output") {
            continue;
        }
        std::string desc = hintValue(*h, "DESC");
        desc = desc.substr(0, desc.find('\n'));
        out.push_back({name, QString::fromStdString(desc.empty() ? name : desc)});
    }
    snd_device_name_free_hint(hints);
    return out;
}

std::string alsaCapturePcmName(int deviceIndex) {
    if (deviceIndex <= 0) {
        return "default";
    }
    const auto devices = alsaCaptureDevices();
    if (static_cast<std::size_t>(deviceIndex) > devices.size()) {
        return {};
    }
    return devices[deviceIndex - 1].name;
}

}  // namespace kova
