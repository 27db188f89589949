#pragma once
// The largest frame a peer will send on each media channel, from the call
// parameters it announced. Computed in 64 bits: the numbers come from the network.

#include <cstdint>

#include "common/ByteIo.h"
#include "video/BitmapInfoHeader.h"

namespace kova {

// width x height x bit count + 31 with the low five bits cleared, divided by 8:
// the rounding applies to the whole image, not to each row. Negative sides count
// by their size (a top-down image has a negative height).
std::uint64_t videoFrameSize(const BitmapInfoHeader& format);

// The larger of the format's bytes per second and one buffer length of blocks:
// block align x k with k = (rate x buffer ms + 500) / 1000, at least 1. An area
// too short for a format gives 0.
std::uint64_t audioFrameSize(ByteSpan audioFormatArea, std::uint16_t bufferMs);

}  // namespace kova
