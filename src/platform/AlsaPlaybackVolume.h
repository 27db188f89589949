#pragma once
// The output volume of the default device through ALSA's simple mixer:
// playback "Master", else "PCM", else "Speaker". Values are 0xRRRRLLLL with
// 0xFFFF the loudest, as peers' players read and set them.

#include <cstdint>
#include <optional>

namespace kova {

std::optional<std::uint32_t> alsaPlaybackVolume();
bool setAlsaPlaybackVolume(std::uint32_t volume);

}  // namespace kova
