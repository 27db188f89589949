#pragma once
// The video codecs libavcodec offers, chosen by FourCC.

#include "platform/VideoCodecDriver.h"

namespace kova {

class CFfmpegVideoCodecProvider final : public IVideoCodecProvider {
public:
    // threads: slice threads per codec instance; 0 takes defaultThreads().
    explicit CFfmpegVideoCodecProvider(int threads = 0);
    static int defaultThreads();
    int threads() const { return threads_; }

    std::unique_ptr<IVideoCodecDriver> locate(std::uint32_t fourCC, const BitmapInfoHeader& in,
                                              VideoCodecMode mode) override;
    std::vector<VideoCodecInfo> encoders() override;

    // Whether a decoder exists for frames of this compression FourCC.
    static bool canDecode(std::uint32_t fourCC);

private:
    int threads_;
};

}  // namespace kova
