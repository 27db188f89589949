#pragma once
// The video codecs libavcodec offers, chosen by FourCC.

#include "platform/VideoCodecDriver.h"

namespace kova {

class CFfmpegVideoCodecProvider final : public IVideoCodecProvider {
public:
    std::unique_ptr<IVideoCodecDriver> locate(std::uint32_t fourCC, const BitmapInfoHeader& in,
                                              VideoCodecMode mode) override;
    std::vector<VideoCodecInfo> encoders() override;

    // Whether a decoder exists for frames of this compression FourCC.
    static bool canDecode(std::uint32_t fourCC);
};

}  // namespace kova
