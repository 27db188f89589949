#pragma once
// The largest frame a peer will send on each media channel, from the call
// parameters it announced. Computed in 64 bits: the numbers come from the network.

#include <cstdint>

#include "common/ByteIo.h"
#include "formats/BitmapInfoHeader.h"

namespace kova {

// The largest frames a media channel accepts, so that a peer's numbers never
// size buffers beyond what a real call needs. Video: the largest capture the
// settings accept (1280 wide) at 1024 lines and 32 bits per pixel.
constexpr std::uint64_t kMaxVideoFrameSize = std::uint64_t{1280} * 1024 * 32 / 8;
// Audio: one buffer length of the most generous format is far below this.
constexpr std::uint64_t kMaxAudioFrameSize = std::uint64_t{1} << 20;

// width x height x bit count + 31 with the low five bits cleared, divided by 8:
// the rounding applies to the whole image, not to each row. Negative sides count
// by their size (a top-down image has a negative height).
std::uint64_t videoFrameSize(const BitmapInfoHeader& format);

// The larger of the format's bytes per second and one buffer length of blocks:
// block align x k with k = (rate x buffer ms + 500) / 1000, at least 1. An area
// too short for a format gives 0.
std::uint64_t audioFrameSize(ByteSpan audioFormatArea, std::uint16_t bufferMs);

}  // namespace kova
