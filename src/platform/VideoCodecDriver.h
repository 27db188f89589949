#pragma once
// The codec layer under CVideoCodec: one open encoder or decoder instance, found
// by FourCC. The real layer is libavcodec (platform/VideoCodecFfmpeg); tests use
// fakes. Drivers report failures through their results; only running out of
// memory throws (std::bad_alloc), which CVideoCodec catches where it can happen.

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include <QString>

#include "common/ByteIo.h"
#include "formats/BitmapInfoHeader.h"
#include "formats/VideoCodecOptions.h"

namespace kova {

// Numbers kept from the codec managers peers were built with.
enum class VideoCodecMode : int {
    Compress = 1,
    Decompress = 2,
    FastDecompress = 3,
    FastCompress = 5,
};

struct VideoCodecInfo {
    std::uint32_t fourCC = 0;
    QString shortName;    // names the state file
    QString description;  // shown in codec lists
    bool temporal = false;
    bool quality = false;
    VideoOptionKind options = VideoOptionKind::None;
};

class IVideoCodecDriver {
public:
    virtual ~IVideoCodecDriver() = default;

    virtual const VideoCodecInfo& info() const = 0;

    // Encoder: the compressed format announced to the peer for this input.
    virtual std::optional<BitmapInfoHeader> compressFormat(const BitmapInfoHeader& in) = 0;
    virtual bool compressBegin(const BitmapInfoHeader& in, const BitmapInfoHeader& out) = 0;
    // Writes at most out.size() bytes; a frame that would not fit fails. Returns
    // the compressed length.
    virtual std::optional<std::size_t> compress(ByteSpan image, bool keyFrame,
                                                std::uint32_t frameNumber, MutableByteSpan out) = 0;
    virtual bool compressEnd() = 0;

    virtual bool decompressBegin(const BitmapInfoHeader& in, const BitmapInfoHeader& out) = 0;
    // Writes at most image.size() bytes.
    virtual bool decompress(ByteSpan data, MutableByteSpan image) = 0;
    virtual bool decompressEnd() = 0;

    // The opaque blob kept in "<short name>.kova".
    virtual std::vector<std::byte> getState() const = 0;
    virtual void setState(ByteSpan state) = 0;

    // Releases the codec; false when it refused.
    virtual bool close() = 0;
};

class IVideoCodecProvider {
public:
    virtual ~IVideoCodecProvider() = default;
    // fourCC 0: any decoder that accepts the input format. None: no codec fits.
    virtual std::unique_ptr<IVideoCodecDriver> locate(std::uint32_t fourCC,
                                                      const BitmapInfoHeader& in,
                                                      VideoCodecMode mode) = 0;
    // Encoders that can be chosen, intra-only MJPG first.
    virtual std::vector<VideoCodecInfo> encoders() = 0;
};

}  // namespace kova
