#pragma once
// The program's audio compression manager on libavcodec: one table of format
// tag <-> codec (see AudioCodecStream), the queries and the chooser's list.

#include "platform/AudioCodecs.h"

namespace kova {

class AudioCodecLibav final : public IAudioCodecs {
public:
    std::unique_ptr<IAudioStream> openStream(const WaveFormat& src, const WaveFormat& dst) override;
    bool queryStream(const WaveFormat& src, const WaveFormat& dst) override;
    std::optional<WaveFormat> suggestPcm(const WaveFormat& fmt) override;
    QString tagName(std::uint16_t tag) override;
    std::vector<WaveFormat> formatsFrom(const WaveFormat& pcmSource) override;
};

}  // namespace kova
