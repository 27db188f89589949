#include "platform/SwscaleConverter.h"

extern "C" {
#include <libavutil/frame.h>
#include <libavutil/pixfmt.h>
#include <libswscale/swscale.h>
}

#include <cstdlib>
#include <cstring>

#include "platform/AvError.h"
#include "platform/VideoLog.h"

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

// The fast filter: every camera frame goes through here, and same-size
// conversions only change the pixel layout.
constexpr int kScaleFlags = SWS_FAST_BILINEAR;

}  // namespace

SwscaleConverter::~SwscaleConverter() {
    sws_freeContext(context_);
}

bool SwscaleConverter::supportsBitCount(int bitCount) {
    return dibPixelFormat(bitCount) != AV_PIX_FMT_NONE;
}

void SwscaleConverter::prepareScratch(const BitmapInfoHeader& format) {
    // 64-byte aligned rows and a spare row's worth at the end.
    scratchStride_ = (static_cast<std::size_t>(dibStrideOf(format)) + 63) & ~std::size_t{63};
    scratch_.resize(scratchStride_ * (static_cast<std::size_t>(std::abs(format.height)) + 1));
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
    const auto stride = static_cast<std::size_t>(dibStrideOf(format));
    const auto* base = reinterpret_cast<const std::uint8_t*>(dib.data());
    prepareScratch(format);
    if (format.height > 0 && rows >= 4) {
        // Bottom-up, read straight from the bitmap with a negative stride. Row
        // reads may run a little past a row's end: for every row but the top
        // one that is the next row up, inside the bitmap; the top one sits at
        // the very end, so the first two rows (an even slice, as 4:2:0 wants)
        // come from the padded scratch rows instead.
        constexpr int kHead = 2;
        for (int y = 0; y < kHead; ++y) {
            std::memcpy(scratchRow(y), base + stride * static_cast<std::size_t>(rows - 1 - y),
                        stride);
        }
        const std::uint8_t* head[4] = {scratch_.data(), nullptr, nullptr, nullptr};
        const int headStride[4] = {static_cast<int>(scratchStride_), 0, 0, 0};
        const std::uint8_t* body[4] = {base + stride * static_cast<std::size_t>(rows - 1 - kHead),
                                       nullptr, nullptr, nullptr};
        const int bodyStride[4] = {-static_cast<int>(stride), 0, 0, 0};
        const int first =
            sws_scale(context_, head, headStride, 0, kHead, frame->data, frame->linesize);
        const int rest = sws_scale(context_, body, bodyStride, kHead, rows - kHead, frame->data,
                                   frame->linesize);
        return avOk(first, lcVideo(), "sws_scale") && avOk(rest, lcVideo(), "sws_scale") &&
               first + rest == frame->height;
    }
    // Top-down or tiny bitmaps: every row through the scratch picture.
    for (int y = 0; y < rows; ++y) {
        const int stored = format.height > 0 ? rows - 1 - y : y;
        std::memcpy(scratchRow(y), base + stride * static_cast<std::size_t>(stored), stride);
    }
    const std::uint8_t* srcData[4] = {scratch_.data(), nullptr, nullptr, nullptr};
    const int srcStride[4] = {static_cast<int>(scratchStride_), 0, 0, 0};
    const int out = sws_scale(context_, srcData, srcStride, 0, rows, frame->data, frame->linesize);
    return avOk(out, lcVideo(), "sws_scale") && out == frame->height;
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
    prepareScratch(format);
    std::uint8_t* dstData[4] = {scratch_.data(), nullptr, nullptr, nullptr};
    const int dstStride[4] = {static_cast<int>(scratchStride_), 0, 0, 0};
    const int out =
        sws_scale(context_, frame->data, frame->linesize, 0, frame->height, dstData, dstStride);
    if (!avOk(out, lcVideo(), "sws_scale") || out != rows) {
        return false;
    }
    const auto stride = static_cast<std::size_t>(dibStrideOf(format));
    auto* base = reinterpret_cast<std::uint8_t*>(dib.data());
    for (int y = 0; y < rows; ++y) {
        const int stored = format.height > 0 ? rows - 1 - y : y;
        std::memcpy(base + stride * static_cast<std::size_t>(stored), scratchRow(y), stride);
    }
    return true;
}

}  // namespace kova
