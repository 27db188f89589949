#include "platform/AlsaPlaybackVolume.h"

#include <alsa/asoundlib.h>

namespace kova {

namespace {

constexpr const char* kControls[] = {"Master", "PCM", "Speaker"};

// Opens the default mixer and runs f on the first playback control it has.
template <typename F>
auto withControl(F f) -> decltype(f(nullptr)) {
    snd_mixer_t* mixer = nullptr;
    if (snd_mixer_open(&mixer, 0) < 0) {
        return {};
    }
    decltype(f(nullptr)) result{};
    if (snd_mixer_attach(mixer, "default") >= 0 &&
        snd_mixer_selem_register(mixer, nullptr, nullptr) >= 0 && snd_mixer_load(mixer) >= 0) {
        snd_mixer_selem_id_t* id = nullptr;
        snd_mixer_selem_id_alloca(&id);
        for (const char* name : kControls) {
            snd_mixer_selem_id_set_index(id, 0);
            snd_mixer_selem_id_set_name(id, name);
            snd_mixer_elem_t* e = snd_mixer_find_selem(mixer, id);
            if (e != nullptr && snd_mixer_selem_has_playback_volume(e)) {
                result = f(e);
                break;
            }
        }
    }
    snd_mixer_close(mixer);
    return result;
}

}  // namespace

std::optional<std::uint32_t> alsaPlaybackVolume() {
    return withControl([](snd_mixer_elem_t* e) -> std::optional<std::uint32_t> {
        long lo = 0, hi = 0, left = 0, right = 0;
        if (e == nullptr || snd_mixer_selem_get_playback_volume_range(e, &lo, &hi) < 0 ||
            hi <= lo) {
            return std::nullopt;
        }
        snd_mixer_selem_get_playback_volume(e, SND_MIXER_SCHN_FRONT_LEFT, &left);
        if (snd_mixer_selem_get_playback_volume(e, SND_MIXER_SCHN_FRONT_RIGHT, &right) < 0) {
            right = left;
        }
        auto scale = [&](long v) {
            return static_cast<std::uint32_t>((v - lo) * 0xFFFF / (hi - lo)) & 0xFFFF;
        };
        return (scale(right) << 16) | scale(left);
    });
}

bool setAlsaPlaybackVolume(std::uint32_t volume) {
    return withControl([volume](snd_mixer_elem_t* e) -> bool {
        long lo = 0, hi = 0;
        if (e == nullptr || snd_mixer_selem_get_playback_volume_range(e, &lo, &hi) < 0) {
            return false;
        }
        auto unscale = [&](std::uint32_t v) {
            return lo + static_cast<long>(v) * (hi - lo) / 0xFFFF;
        };
        snd_mixer_selem_set_playback_volume(e, SND_MIXER_SCHN_FRONT_LEFT, unscale(volume & 0xFFFF));
        snd_mixer_selem_set_playback_volume(e, SND_MIXER_SCHN_FRONT_RIGHT, unscale(volume >> 16));
        return true;
    });
}

}  // namespace kova
