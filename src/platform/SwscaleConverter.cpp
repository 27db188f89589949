#include "platform/SwscaleConverter.h"

extern "C" {
#include <libavutil/frame.h>
#include <libavutil/pixfmt.h>
#include <libswscale/swscale.h>
}

#include <cstdlib>

namespace kova {

namespace {

AVPixelFormat dibPixelFormat(int bitCount) {
    switch (bitCount) {
        case 16:
            return AV_PIX_FMT_RGB555LE;
        case 24:
            return AV_PIX_FMT_BGR24;
        case 32:
            return AV_PIX_FMT_BGR0;
        default:
            return AV_PIX_FMT_NONE;
    }
}

// Same-size conversions only change the pixel layout; bicubic is what the
// ffmpeg tool uses for its own conversions, so output matches it.
constexpr int kScaleFlags = SWS_BICUBIC;

}  // namespace

SwscaleConverter::~SwscaleConverter() {
    sws_freeContext(context_);
}

bool SwscaleConverter::supportsBitCount(int bitCount) {
    return dibPixelFormat(bitCount) != AV_PIX_FMT_NONE;
}

bool SwscaleConverter::toFrame(const BitmapInfoHeader& format, ByteSpan dib, AVFrame* frame) {
    const AVPixelFormat src = dibPixelFormat(format.bitCount);
    const int rows = std::abs(format.height);
    if (src == AV_PIX_FMT_NONE || dib.size() < dibFrameSizeOf(format) || rows == 0) {
        return false;
    }
    context_ = sws_getCachedContext(context_, format.width, rows, src, frame->width, frame->height,
                                    static_cast<AVPixelFormat>(frame->format), kScaleFlags, nullptr,
                                    nullptr, nullptr);
    if (!context_) {
        return false;
    }
    const int stride = static_cast<int>(dibStrideOf(format));
    const auto* base = reinterpret_cast<const std::uint8_t*>(dib.data());
    // Bottom-up: start at the last row and walk backwards.
    const std::uint8_t* srcData[4] = {
        format.height > 0 ? base + static_cast<std::ptrdiff_t>(rows - 1) * stride : base, nullptr,
        nullptr, nullptr};
    const int srcStride[4] = {format.height > 0 ? -stride : stride, 0, 0, 0};
    return sws_scale(context_, srcData, srcStride, 0, rows, frame->data, frame->linesize) ==
           frame->height;
}

bool SwscaleConverter::toDib(const AVFrame* frame, const BitmapInfoHeader& format,
                             MutableByteSpan dib) {
    const AVPixelFormat dst = dibPixelFormat(format.bitCount);
    const int rows = std::abs(format.height);
    if (dst == AV_PIX_FMT_NONE || dib.size() < dibFrameSizeOf(format) || rows == 0 ||
        frame->width <= 0 || frame->height <= 0) {
        return false;
    }
    context_ = sws_getCachedContext(context_, frame->width, frame->height,
                                    static_cast<AVPixelFormat>(frame->format), format.width, rows,
                                    dst, kScaleFlags, nullptr, nullptr, nullptr);
    if (!context_) {
        return false;
    }
    const int stride = static_cast<int>(dibStrideOf(format));
    auto* base = reinterpret_cast<std::uint8_t*>(dib.data());
    std::uint8_t* dstData[4] = {
        format.height > 0 ? base + static_cast<std::ptrdiff_t>(rows - 1) * stride : base, nullptr,
        nullptr, nullptr};
    const int dstStride[4] = {format.height > 0 ? -stride : stride, 0, 0, 0};
    return sws_scale(context_, frame->data, frame->linesize, 0, frame->height, dstData,
                     dstStride) == rows;
}

}  // namespace kova
