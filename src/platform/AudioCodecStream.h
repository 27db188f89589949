#pragma once
// One conversion stream between 16-bit PCM and a known audio format, in either
// direction, on libavcodec. The formats are those of the tag table: PCM (8 and
// 16 bit), GSM 6.10 in 65-byte blocks of 320 samples, IMA ADPCM, MS ADPCM,
// A-law and u-law.

#include <memory>

#include "platform/AudioCodecs.h"

namespace kova {

class AudioCodecStream final : public IAudioStream {
public:
    // Null when the pair is not 16-bit PCM <-> a table format of the same rate
    // and channels, or when libavcodec lacks the codec.
    static std::unique_ptr<AudioCodecStream> open(const WaveFormat& src, const WaveFormat& dst);
    // The same decision without opening a codec.
    static bool supported(const WaveFormat& src, const WaveFormat& dst);
    // The table's name of a tag, empty when the tag is unknown.
    static QString tagName(std::uint16_t tag);

    ~AudioCodecStream() override;
    std::optional<std::uint32_t> destinationSize(std::uint32_t srcBytes) const override;
    // Encoding: with kConvertBlockAlign (and no kConvertEnd) only whole blocks are
    // used; otherwise the last partial block is padded with silence. Decoding
    // uses whole blocks; a block the codec rejects comes out as silence, so a
    // damaged frame keeps its length.
    AudioConvertResult convert(ByteSpan src, MutableByteSpan dst, std::uint32_t flags) override;

    struct Impl;

private:
    explicit AudioCodecStream(std::unique_ptr<Impl> impl);
    std::unique_ptr<Impl> d_;
};

}  // namespace kova
