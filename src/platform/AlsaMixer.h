#pragma once
// The ALSA simple mixer on "default": playback "Master" (else "PCM",
// "Speaker") for the speakers, capture "Capture" (else "Mic") for the
// microphone.

#include "platform/MixerDevice.h"

typedef struct _snd_mixer snd_mixer_t;
typedef struct _snd_mixer_elem snd_mixer_elem_t;

namespace kova {

class AlsaMixer final : public IMixerDevice {
public:
    AlsaMixer() = default;
    ~AlsaMixer() override;
    AlsaMixer(const AlsaMixer&) = delete;
    AlsaMixer& operator=(const AlsaMixer&) = delete;

    bool open(Line line) override;
    void close() override;
    std::int64_t minimum() const override { return minimum_; }
    std::int64_t maximum() const override { return maximum_; }
    int channels() const override { return channels_; }
    std::int64_t volume() const override;
    void setVolume(std::int64_t value) override;
    std::vector<int> pollDescriptors() const override;
    void handleEvents() override;

private:
    snd_mixer_t* mixer_ = nullptr;
    snd_mixer_elem_t* elem_ = nullptr;
    bool capture_ = false;
    std::int64_t minimum_ = 0;
    std::int64_t maximum_ = 0;
    int channels_ = 0;
};

}  // namespace kova
