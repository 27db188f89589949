#pragma once
// Conversions between device-independent bitmaps (bottom-up unless the height is
// negative, rows padded to 4 bytes; 16-bit 555, 24-bit BGR or 32-bit BGRx) and
// codec pictures, with one cached libswscale context.

#include <vector>

#include "common/ByteIo.h"
#include "formats/BitmapInfoHeader.h"

struct AVFrame;
struct SwsContext;

namespace kova {

class SwscaleConverter {
public:
    SwscaleConverter() = default;
    ~SwscaleConverter();
    SwscaleConverter(const SwscaleConverter&) = delete;
    SwscaleConverter& operator=(const SwscaleConverter&) = delete;

    // Whether a bitmap of this bit count can be converted at all.
    static bool supportsBitCount(int bitCount);
    // dib holds at least dibFrameSizeOf(format) bytes; frame has its buffers.
    bool toFrame(const BitmapInfoHeader& format, ByteSpan dib, AVFrame* frame);
    // Scales to the bitmap's size when the picture differs, so a peer's stream
    // can never write past dib (which holds dibFrameSizeOf(format) bytes or more).
    bool toDib(const AVFrame* frame, const BitmapInfoHeader& format, MutableByteSpan dib);

private:
    // Rows in the scratch picture: libswscale may read and write a few bytes past
    // a row's end, which a bitmap sized to the byte cannot afford.
    std::uint8_t* scratchRow(int row) { return scratch_.data() + scratchStride_ * row; }
    void prepareScratch(const BitmapInfoHeader& format);

    SwsContext* context_ = nullptr;
    std::vector<std::uint8_t> scratch_;
    std::size_t scratchStride_ = 0;
};

}  // namespace kova
