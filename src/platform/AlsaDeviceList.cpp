#include "platform/AlsaDeviceList.h"

#include <alsa/asoundlib.h>

#include <chrono>
#include <cstdlib>

#include "platform/PulseDevices.h"

namespace kova {

namespace {

// A local server answers in a few milliseconds; this bounds a hung one, and is
// paid where the list is asked for: opening the devices dialog and a recording.
constexpr std::chrono::milliseconds kServerWait{300};

std::string hintValue(void* hint, const char* id) {
    char* v = snd_device_name_get_hint(hint, id);
    std::string out = v != nullptr ? v : "";
    std::free(v);
    return out;
}

// The plugin's DEVICE argument is a quoted ALSA string; a name that would need
// escaping is no name a server gives, and is left out rather than mangled.
bool quotable(const std::string& name) {
    return !name.empty() && name.find_first_of("\"'\\\n") == std::string::npos;
}

// The sound cards' recording PCMs: one per card and device (plughw converts
// to any rate, as the capture needs 8000 Hz); the plugin hints without a card
// (rate converters, JACK, OSS) are no device a user chose.
std::vector<AlsaDevice> cardCaptureDevices() {
    std::vector<AlsaDevice> out;
    void** hints = nullptr;
    if (snd_device_name_hint(-1, "pcm", &hints) < 0 || hints == nullptr) {
        return out;
    }
    for (void** h = hints; *h != nullptr; ++h) {
        const std::string name = hintValue(*h, "NAME");
        const std::string io = hintValue(*h, "IOID");
        if (name.rfind("plughw:", 0) != 0 || io == "Output") {
            continue;
        }
        std::string desc = hintValue(*h, "DESC");
        // "HDA Intel PCH, ALC892 Analog\nHardware device with all software conversions"
        desc = desc.substr(0, desc.find('\n'));
        out.push_back({name, QString::fromStdString(desc.empty() ? name : desc)});
    }
    snd_device_name_free_hint(hints);
    return out;
}

bool soundCardPresent() {
    int card = -1;
    return snd_card_next(&card) >= 0 && card >= 0;
}

}  // namespace

std::vector<AlsaDevice> alsaCaptureDevices() {
    const auto server = pulseDevices(kServerWait);
    if (!server) {
        return cardCaptureDevices();
    }
    std::vector<AlsaDevice> out;
    for (const PulseDevice& d : server->sources) {
        if (quotable(d.name)) {
            out.push_back({"pulse:DEVICE=\"" + d.name + '"', d.description});
        }
    }
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

bool soundDevicePresent() {
    const auto server = pulseDevices(kServerWait);
    if (server) {
        return !server->sources.empty() || !server->sinks.empty();
    }
    return soundCardPresent();
}

}  // namespace kova
