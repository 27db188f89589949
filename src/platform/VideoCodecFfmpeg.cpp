#include "platform/VideoCodecFfmpeg.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/frame.h>
#include <libavutil/log.h>
#include <libavutil/opt.h>
}

#include <algorithm>
#include <cstdarg>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <thread>

#include "platform/AvError.h"
#include "platform/SwscaleConverter.h"
#include "platform/VideoLog.h"

namespace kova {

Q_LOGGING_CATEGORY(lcVideo, "kova.video", QtWarningMsg)

namespace {

struct CodecEntry {
    std::uint32_t fourCC;
    AVCodecID id;
    const char* encoder;  // libavcodec encoder name; nullptr: decode only
    const char* shortName;
    const char* description;
    bool temporal;
    VideoOptionKind options;
};

// FourCC <-> codec. Order is the order encoders are offered in: intra-only MJPG
// first, since a lost frame costs it nothing.
constexpr CodecEntry kCodecs[] = {
    {fourCC('M', 'J', 'P', 'G'), AV_CODEC_ID_MJPEG, "mjpeg", "mjpeg", "Motion JPEG", false,
     VideoOptionKind::Quality},
    {fourCC('X', 'V', 'I', 'D'), AV_CODEC_ID_MPEG4, "mpeg4", "xvid", "MPEG-4 Part 2 (Xvid)", true,
     VideoOptionKind::Quality},
    {fourCC('F', 'M', 'P', '4'), AV_CODEC_ID_MPEG4, "mpeg4", "fmp4", "MPEG-4 Part 2 (FFmpeg)", true,
     VideoOptionKind::Quality},
    {fourCC('D', 'I', 'V', 'X'), AV_CODEC_ID_MPEG4, "mpeg4", "divx", "MPEG-4 Part 2 (DivX)", true,
     VideoOptionKind::Quality},
    {fourCC('H', '2', '6', '4'), AV_CODEC_ID_H264, "libx264", "h264", "H.264 / AVC", true,
     VideoOptionKind::Crf},
    {fourCC('M', 'P', '4', '2'), AV_CODEC_ID_MSMPEG4V2, "msmpeg4v2", "mp42", "Microsoft MPEG-4 V2",
     true, VideoOptionKind::Quality},
    {fourCC('M', 'P', '4', '3'), AV_CODEC_ID_MSMPEG4V3, "msmpeg4", "mp43", "Microsoft MPEG-4 V3",
     true, VideoOptionKind::Quality},
    {fourCC('W', 'M', 'V', '1'), AV_CODEC_ID_WMV1, "wmv1", "wmv1", "Windows Media Video 7", true,
     VideoOptionKind::Quality},
    // Decoders only where the encoder's stream depends on extra header bytes that
    // a 40-byte format cannot carry to the peer.
    {fourCC('W', 'M', 'V', '2'), AV_CODEC_ID_WMV2, nullptr, "wmv2", "Windows Media Video 8", true,
     VideoOptionKind::Quality},
    {fourCC('H', '2', '6', '3'), AV_CODEC_ID_H263, "h263p", "h263", "H.263+", true,
     VideoOptionKind::Quality},
    {fourCC('F', 'L', 'V', '1'), AV_CODEC_ID_FLV1, "flv", "flv1", "Sorenson H.263 (FLV1)", true,
     VideoOptionKind::Quality},
    {fourCC('V', 'P', '8', '0'), AV_CODEC_ID_VP8, "libvpx", "vp8", "VP8", true,
     VideoOptionKind::BitRate},
    {fourCC('M', 'S', 'V', 'C'), AV_CODEC_ID_MSVIDEO1, "msvideo1", "msvc", "Microsoft Video 1",
     true, VideoOptionKind::None},
    {fourCC('H', 'F', 'Y', 'U'), AV_CODEC_ID_HUFFYUV, nullptr, "huffyuv", "Huffyuv (lossless)",
     false, VideoOptionKind::None},
    {fourCC('F', 'F', 'V', '1'), AV_CODEC_ID_FFV1, "ffv1", "ffv1", "FFV1 (lossless)", false,
     VideoOptionKind::None},
    // Decoders only: peers may send these.
    {fourCC('I', 'V', '5', '0'), AV_CODEC_ID_INDEO5, nullptr, "iv50", "Indeo 5", true,
     VideoOptionKind::None},
    {fourCC('I', 'V', '4', '1'), AV_CODEC_ID_INDEO4, nullptr, "iv41", "Indeo 4", true,
     VideoOptionKind::None},
    {fourCC('I', 'V', '3', '2'), AV_CODEC_ID_INDEO3, nullptr, "iv32", "Indeo 3", true,
     VideoOptionKind::None},
    {fourCC('I', 'V', '3', '1'), AV_CODEC_ID_INDEO3, nullptr, "iv31", "Indeo 3", true,
     VideoOptionKind::None},
    {fourCC('c', 'v', 'i', 'd'), AV_CODEC_ID_CINEPAK, nullptr, "cvid", "Cinepak", true,
     VideoOptionKind::None},
    {fourCC('D', 'I', 'V', '3'), AV_CODEC_ID_MSMPEG4V3, nullptr, "div3", "DivX 3", true,
     VideoOptionKind::None},
    {fourCC('D', 'X', '5', '0'), AV_CODEC_ID_MPEG4, nullptr, "dx50", "DivX 5", true,
     VideoOptionKind::None},
    {fourCC('F', 'F', 'D', 'S'), AV_CODEC_ID_MPEG4, nullptr, "ffds", "MPEG-4 Part 2", true,
     VideoOptionKind::None},
    {fourCC('X', '2', '6', '4'), AV_CODEC_ID_H264, nullptr, "x264", "H.264", true,
     VideoOptionKind::None},
    {fourCC('A', 'V', 'C', '1'), AV_CODEC_ID_H264, nullptr, "avc1", "H.264", true,
     VideoOptionKind::None},
    {fourCC('C', 'R', 'A', 'M'), AV_CODEC_ID_MSVIDEO1, nullptr, "cram", "Microsoft Video 1", true,
     VideoOptionKind::None},
    {fourCC('F', 'F', 'V', 'H'), AV_CODEC_ID_FFVHUFF, nullptr, "ffvh", "Huffyuv FFmpeg variant",
     false, VideoOptionKind::None},
};

std::uint32_t upperFourCC(std::uint32_t v) {
    std::uint32_t out = 0;
    for (int i = 0; i < 4; ++i) {
        auto c = static_cast<unsigned char>(v >> (8 * i));
        if (c >= 'a' && c <= 'z') {
            c = static_cast<unsigned char>(c - 'a' + 'A');
        }
        out |= static_cast<std::uint32_t>(c) << (8 * i);
    }
    return out;
}

// Peers write FourCCs in either case ("mjpg", "XVID").
const CodecEntry* findEntry(std::uint32_t fourCC) {
    const std::uint32_t wanted = upperFourCC(fourCC);
    for (const CodecEntry& e : kCodecs) {
        if (upperFourCC(e.fourCC) == wanted) {
            return &e;
        }
    }
    return nullptr;
}

VideoCodecInfo infoOf(const CodecEntry& e) {
    VideoCodecInfo info;
    info.fourCC = e.fourCC;
    info.shortName = QString::fromLatin1(e.shortName);
    info.description = QString::fromLatin1(e.description);
    info.temporal = e.temporal;
    info.quality = e.options == VideoOptionKind::Quality || e.options == VideoOptionKind::Crf;
    info.options = e.options;
    return info;
}

// The encoder's picture format nearest to 24-bit BGR; 4:2:0 where offered, as
// every decoder handles it and it halves the conversion work.
AVPixelFormat encoderPixelFormat(const AVCodec* codec) {
    if (!codec->pix_fmts) {
        return AV_PIX_FMT_YUV420P;
    }
    for (const AVPixelFormat* p = codec->pix_fmts; *p != AV_PIX_FMT_NONE; ++p) {
        if (*p == AV_PIX_FMT_YUV420P || *p == AV_PIX_FMT_YUVJ420P) {
            return *p;
        }
    }
    return avcodec_find_best_pix_fmt_of_list(codec->pix_fmts, AV_PIX_FMT_BGR24, 0, nullptr);
}

struct ContextDeleter {
    void operator()(AVCodecContext* c) const { avcodec_free_context(&c); }
};
struct FrameDeleter {
    void operator()(AVFrame* f) const { av_frame_free(&f); }
};
struct PacketDeleter {
    void operator()(AVPacket* p) const { av_packet_free(&p); }
};
using ContextPtr = std::unique_ptr<AVCodecContext, ContextDeleter>;
using FramePtr = std::unique_ptr<AVFrame, FrameDeleter>;
using PacketPtr = std::unique_ptr<AVPacket, PacketDeleter>;

constexpr int kFrameRate = 30;

// Pictures go out one at a time and the sender waits for each to be shown, so
// only slice threads are used: they split one picture between cores and hand
// it back as soon as it is done. Frame threads would hold pictures back.
void useSliceThreads(AVCodecContext* ctx, int threads) {
    ctx->thread_count = threads;
    ctx->thread_type = FF_THREAD_SLICE;
}

class FfmpegDriver final : public IVideoCodecDriver {
public:
    // The codec says whether it encodes; the flag is the caller's intent only.
    FfmpegDriver(const CodecEntry& entry, const AVCodec* codec, [[maybe_unused]] bool encoder,
                 int threads)
        : entry_(entry), info_(infoOf(entry)), codec_(codec), threads_(threads) {}

    const VideoCodecInfo& info() const override { return info_; }

    // Opens an encoder for the format; used by locate to check the codec takes it.
    // Encoders that cannot split a picture refuse threads: they get one.
    // Motion JPEG stays on one thread: split, its pictures came out twice the
    // size at 1280 x 720 and no sooner on the screen.
    ContextPtr openEncoder(const BitmapInfoHeader& in) const {
        if (threads_ > 1 && entry_.id != AV_CODEC_ID_MJPEG) {
            if (ContextPtr ctx = openEncoder(in, threads_)) {
                return ctx;
            }
        }
        return openEncoder(in, 1);
    }

    ContextPtr openEncoder(const BitmapInfoHeader& in, int threads) const {
        ContextPtr ctx(avcodec_alloc_context3(codec_));
        if (!ctx) {
            return nullptr;
        }
        ctx->width = in.width;
        ctx->height = std::abs(in.height);
        ctx->pix_fmt = encoderPixelFormat(codec_);
        ctx->time_base = AVRational{1, kFrameRate};
        ctx->framerate = AVRational{kFrameRate, 1};
        useSliceThreads(ctx.get(), threads);
        ctx->max_b_frames = 0;
        ctx->gop_size = entry_.temporal ? static_cast<int>(options_.keyFrameInterval) : 0;
        if (ctx->pix_fmt == AV_PIX_FMT_YUVJ420P) {
            ctx->color_range = AVCOL_RANGE_JPEG;
        }
        if (entry_.id == AV_CODEC_ID_MSVIDEO1) {
            ctx->bits_per_coded_sample = 16;
        }
        AVDictionary* opts = nullptr;
        switch (entry_.options) {
            case VideoOptionKind::Quality: {
                // 100 % -> quantiser 2, 1 % -> 31.
                const int q = 2 + static_cast<int>((100 - options_.quality) * 29 / 100);
                ctx->flags |= AV_CODEC_FLAG_QSCALE;
                ctx->global_quality = q * FF_QP2LAMBDA;
                break;
            }
            case VideoOptionKind::Crf: {
                const int crf = 18 + static_cast<int>((100 - options_.quality) * 33 / 100);
                av_dict_set_int(&opts, "crf", crf, 0);
                // Above 640 x 480 the next faster preset: at 1280 x 720 a picture
                // then costs about a quarter less CPU (15 -> 12 ms here), which a
                // call at 30 pictures per second each way needs.
                av_dict_set(
                    &opts, "preset",
                    std::int64_t{ctx->width} * ctx->height > 640 * 480 ? "superfast" : "veryfast",
                    0);
                av_dict_set(&opts, "tune", "zerolatency", 0);
                break;
            }
            case VideoOptionKind::BitRate:
                ctx->bit_rate = static_cast<std::int64_t>(options_.bitRateKbps) * 1000;
                av_dict_set(&opts, "deadline", "realtime", 0);
                av_dict_set(&opts, "lag-in-frames", "0", 0);
                av_dict_set(&opts, "cpu-used", "8", 0);
                break;
            case VideoOptionKind::None:
                break;
        }
        const bool opened =
            avOk(avcodec_open2(ctx.get(), codec_, &opts), lcVideo(), "avcodec_open2");
        av_dict_free(&opts);
        return opened ? std::move(ctx) : nullptr;
    }

    std::optional<BitmapInfoHeader> compressFormat(const BitmapInfoHeader& in) override {
        BitmapInfoHeader out;
        out.size = BitmapInfoHeader::kSize;
        out.width = in.width;
        out.height = in.height;
        out.planes = 1;
        out.bitCount = 24;
        out.compression = entry_.fourCC;
        out.sizeImage = static_cast<std::uint32_t>(imageSizeOf(out));
        return out;
    }

    bool compressBegin(const BitmapInfoHeader& in, const BitmapInfoHeader&) override {
        context_ = openEncoder(in);
        frame_.reset(av_frame_alloc());
        packet_.reset(av_packet_alloc());
        if (!context_ || !frame_ || !packet_) {
            return false;
        }
        inFormat_ = in;
        return writableFrame();
    }

    // Encoders keep earlier pictures as references; rather than copy one that is
    // still held (as av_frame_make_writable would), take a fresh buffer: every
    // pixel is overwritten anyway.
    bool writableFrame() {
        if (frame_->buf[0] && av_frame_is_writable(frame_.get())) {
            return true;
        }
        av_frame_unref(frame_.get());
        frame_->format = context_->pix_fmt;
        frame_->width = context_->width;
        frame_->height = context_->height;
        if (entry_.id == AV_CODEC_ID_MJPEG) {
            frame_->color_range = AVCOL_RANGE_JPEG;
        }
        return avOk(av_frame_get_buffer(frame_.get(), 0), lcVideo(), "av_frame_get_buffer");
    }

    std::optional<std::size_t> compress(ByteSpan image, bool keyFrame, std::uint32_t frameNumber,
                                        MutableByteSpan out) override {
        if (!context_ || !writableFrame() || !converter_.toFrame(inFormat_, image, frame_.get())) {
            return std::nullopt;
        }
        frame_->pts = frameNumber;
        // The quantiser codecs take their fixed scale from each picture.
        frame_->quality = context_->global_quality;
        frame_->pict_type = keyFrame ? AV_PICTURE_TYPE_I : AV_PICTURE_TYPE_NONE;
        if (!avOk(avcodec_send_frame(context_.get(), frame_.get()), lcVideo(),
                  "avcodec_send_frame") ||
            !avOk(avcodec_receive_packet(context_.get(), packet_.get()), lcVideo(),
                  "avcodec_receive_packet")) {
            return std::nullopt;
        }
        std::optional<std::size_t> written;
        const auto size = static_cast<std::size_t>(packet_->size);
        if (size <= out.size()) {
            std::memcpy(out.data(), packet_->data, size);
            written = size;
        }
        av_packet_unref(packet_.get());
        return written;
    }

    bool compressEnd() override {
        context_.reset();
        return true;
    }

    bool decompressBegin(const BitmapInfoHeader& in, const BitmapInfoHeader& out) override {
        context_.reset(avcodec_alloc_context3(codec_));
        frame_.reset(av_frame_alloc());
        packet_.reset(av_packet_alloc());
        if (!context_ || !frame_ || !packet_) {
            return false;
        }
        context_->width = in.width;
        context_->height = std::abs(in.height);
        context_->coded_width = context_->width;
        context_->coded_height = context_->height;
        context_->bits_per_coded_sample = in.bitCount;
        context_->codec_tag = in.compression;
        useSliceThreads(context_.get(), threads_);
        context_->flags |= AV_CODEC_FLAG_LOW_DELAY;
        if (!avOk(avcodec_open2(context_.get(), codec_, nullptr), lcVideo(), "avcodec_open2")) {
            context_.reset();
            return false;
        }
        outFormat_ = out;
        return true;
    }

    bool decompress(ByteSpan data, MutableByteSpan image) override {
        if (!context_ || data.empty()) {
            return false;
        }
        // The decoders read a little past the end of what they are given.
        padded_.assign(data.size() + AV_INPUT_BUFFER_PADDING_SIZE, std::byte{0});
        std::memcpy(padded_.data(), data.data(), data.size());
        packet_->data = reinterpret_cast<std::uint8_t*>(padded_.data());
        packet_->size = static_cast<int>(data.size());
        const bool sent = avOk(avcodec_send_packet(context_.get(), packet_.get()), lcVideo(),
                               "avcodec_send_packet");
        packet_->data = nullptr;
        packet_->size = 0;
        if (!sent || !avOk(avcodec_receive_frame(context_.get(), frame_.get()), lcVideo(),
                           "avcodec_receive_frame")) {
            return false;
        }
        const bool ok = converter_.toDib(frame_.get(), outFormat_, image);
        av_frame_unref(frame_.get());
        return ok;
    }

    bool decompressEnd() override {
        context_.reset();
        return true;
    }

    std::vector<std::byte> getState() const override {
        if (entry_.options == VideoOptionKind::None) {
            return {};
        }
        const auto blob = options_.encode();
        return {blob.begin(), blob.end()};
    }

    void setState(ByteSpan state) override {
        if (auto o = VideoCodecOptions::decode(state)) {
            options_ = *o;
        }
    }

    bool close() override {
        context_.reset();
        frame_.reset();
        packet_.reset();
        return true;
    }

private:
    const CodecEntry& entry_;
    VideoCodecInfo info_;
    const AVCodec* codec_;
    int threads_;
    VideoCodecOptions options_;
    ContextPtr context_;
    FramePtr frame_;
    PacketPtr packet_;
    SwscaleConverter converter_;
    BitmapInfoHeader inFormat_;
    BitmapInfoHeader outFormat_;
    std::vector<std::byte> padded_;
};

// Codec messages (clipped coefficients, a peer's damaged frame) would reach the
// terminal on every frame; they go to our logging category, off by default.
void forwardCodecLog(void* avcl, int level, const char* fmt, va_list args) {
    if (level > AV_LOG_WARNING || !lcVideo().isDebugEnabled()) {
        return;
    }
    char line[512];
    int prefix = 1;
    av_log_format_line(avcl, level, fmt, args, line, sizeof line, &prefix);
    qCDebug(lcVideo) << QString::fromUtf8(line).trimmed();
}

void quietCodecLog() {
    static std::once_flag once;
    std::call_once(once, [] { av_log_set_callback(forwardCodecLog); });
}

}  // namespace

int CFfmpegVideoCodecProvider::defaultThreads() {
    // KOVA_VIDEO_THREADS lets the benchmarks compare; otherwise one per core,
    // up to the few slices a picture of the channel's sizes splits into well.
    constexpr int kMaxThreads = 4;
    if (const char* forced = std::getenv("KOVA_VIDEO_THREADS")) {
        return std::clamp(std::atoi(forced), 1, kMaxThreads);
    }
    return std::clamp(static_cast<int>(std::thread::hardware_concurrency()), 1, kMaxThreads);
}

CFfmpegVideoCodecProvider::CFfmpegVideoCodecProvider(int threads)
    : threads_(threads > 0 ? threads : defaultThreads()) {}

std::unique_ptr<IVideoCodecDriver> CFfmpegVideoCodecProvider::locate(std::uint32_t fourCC,
                                                                     const BitmapInfoHeader& in,
                                                                     VideoCodecMode mode) {
    quietCodecLog();
    const bool encoder = mode == VideoCodecMode::Compress || mode == VideoCodecMode::FastCompress;
    if (encoder) {
        const CodecEntry* e = findEntry(fourCC);
        if (!e || !e->encoder || in.compression != 0 ||
            !SwscaleConverter::supportsBitCount(in.bitCount)) {
            return nullptr;
        }
        const AVCodec* codec = avcodec_find_encoder_by_name(e->encoder);
        if (!codec) {
            return nullptr;
        }
        auto driver = std::make_unique<FfmpegDriver>(*e, codec, true, threads_);
        // Ask the codec whether it takes this size before promising it.
        if (!driver->openEncoder(in)) {
            return nullptr;
        }
        return driver;
    }
    const CodecEntry* e = findEntry(in.compression);
    if (!e || !SwscaleConverter::supportsBitCount(in.bitCount)) {
        return nullptr;
    }
    const AVCodec* codec = avcodec_find_decoder(e->id);
    if (!codec) {
        return nullptr;
    }
    return std::make_unique<FfmpegDriver>(*e, codec, false, threads_);
}

std::vector<VideoCodecInfo> CFfmpegVideoCodecProvider::encoders() {
    std::vector<VideoCodecInfo> out;
    for (const CodecEntry& e : kCodecs) {
        if (e.encoder && avcodec_find_encoder_by_name(e.encoder)) {
            out.push_back(infoOf(e));
        }
    }
    return out;
}

bool CFfmpegVideoCodecProvider::canDecode(std::uint32_t fourCC) {
    const CodecEntry* e = findEntry(fourCC);
    return e && avcodec_find_decoder(e->id);
}

}  // namespace kova
