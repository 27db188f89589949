#include "platform/AlsaMixer.h"

#include <alsa/asoundlib.h>
#include <poll.h>

namespace kova {

namespace {

constexpr const char* kPlaybackControls[] = {"Master", "PCM", "Speaker"};
constexpr const char* kCaptureControls[] = {"Capture", "Mic"};

snd_mixer_elem_t* findControl(snd_mixer_t* mixer, bool capture) {
    snd_mixer_selem_id_t* id = nullptr;
    snd_mixer_selem_id_alloca(&id);
    auto tryNames = [&](const auto& names) -> snd_mixer_elem_t* {
        for (const char* name : names) {
            snd_mixer_selem_id_set_index(id, 0);
            snd_mixer_selem_id_set_name(id, name);
            snd_mixer_elem_t* e = snd_mixer_find_selem(mixer, id);
            if (e != nullptr && (capture ? snd_mixer_selem_has_capture_volume(e)
                                         : snd_mixer_selem_has_playback_volume(e))) {
                return e;
            }
        }
        return nullptr;
    };
    return capture ? tryNames(kCaptureControls) : tryNames(kPlaybackControls);
}

// ALSA prints its own complaints when a host has no mixer; a missing mixer is
// normal for us and stays quiet.
void quiet(const char*, int, const char*, int, const char*, ...) {}

}  // namespace

AlsaMixer::~AlsaMixer() {
    close();
}

bool AlsaMixer::open(Line line) {
    close();
    if (snd_mixer_open(&mixer_, 0) < 0) {
        mixer_ = nullptr;
        return false;
    }
    snd_lib_error_set_handler(quiet);
    const bool loaded = snd_mixer_attach(mixer_, "default") >= 0 &&
                        snd_mixer_selem_register(mixer_, nullptr, nullptr) >= 0 &&
                        snd_mixer_load(mixer_) >= 0;
    snd_lib_error_set_handler(nullptr);
    if (!loaded) {
        close();
        return false;
    }
    capture_ = line == Line::Microphone;
    elem_ = findControl(mixer_, capture_);
    long lo = 0, hi = 0;
    if (elem_ == nullptr ||
        (capture_ ? snd_mixer_selem_get_capture_volume_range(elem_, &lo, &hi)
                  : snd_mixer_selem_get_playback_volume_range(elem_, &lo, &hi)) < 0 ||
        hi <= lo) {
        close();
        return false;
    }
    minimum_ = lo;
    maximum_ = hi;
    channels_ = 0;
    for (int c = 0; c <= SND_MIXER_SCHN_LAST; ++c) {
        const auto ch = static_cast<snd_mixer_selem_channel_id_t>(c);
        if (capture_ ? snd_mixer_selem_has_capture_channel(elem_, ch)
                     : snd_mixer_selem_has_playback_channel(elem_, ch)) {
            ++channels_;
        }
    }
    return true;
}

void AlsaMixer::close() {
    if (mixer_ != nullptr) {
        snd_mixer_close(mixer_);
    }
    mixer_ = nullptr;
    elem_ = nullptr;
    minimum_ = maximum_ = 0;
    channels_ = 0;
}

std::int64_t AlsaMixer::volume() const {
    if (elem_ == nullptr) {
        return 0;
    }
    long v = 0;
    const int rc = capture_
                       ? snd_mixer_selem_get_capture_volume(elem_, SND_MIXER_SCHN_FRONT_LEFT, &v)
                       : snd_mixer_selem_get_playback_volume(elem_, SND_MIXER_SCHN_FRONT_LEFT, &v);
    return rc < 0 ? 0 : v;
}

void AlsaMixer::setVolume(std::int64_t value) {
    if (elem_ == nullptr) {
        return;
    }
    const long v = static_cast<long>(value);
    if (capture_) {
        snd_mixer_selem_set_capture_volume_all(elem_, v);
    } else {
        snd_mixer_selem_set_playback_volume_all(elem_, v);
    }
}

std::vector<int> AlsaMixer::pollDescriptors() const {
    std::vector<int> fds;
    if (mixer_ == nullptr) {
        return fds;
    }
    const int n = snd_mixer_poll_descriptors_count(mixer_);
    if (n <= 0) {
        return fds;
    }
    std::vector<pollfd> pfds(static_cast<std::size_t>(n));
    const int got = snd_mixer_poll_descriptors(mixer_, pfds.data(), static_cast<unsigned>(n));
    for (int i = 0; i < got; ++i) {
        fds.push_back(pfds[static_cast<std::size_t>(i)].fd);
    }
    return fds;
}

void AlsaMixer::handleEvents() {
    if (mixer_ != nullptr) {
        snd_mixer_handle_events(mixer_);
    }
}

}  // namespace kova
