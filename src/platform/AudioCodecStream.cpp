#include "platform/AudioCodecStream.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/channel_layout.h>
#include <libavutil/frame.h>
#include <libavutil/log.h>
#include <libavutil/opt.h>
}

#include <algorithm>
#include <cstring>
#include <mutex>

#include "platform/AvError.h"

namespace kova {

namespace {

Q_LOGGING_CATEGORY(lcAudioCodec, "kova.audio.codec", QtWarningMsg)

// Peers send formats we never offer; these bounds keep a hostile format from
// asking for absurd buffers.
constexpr std::uint32_t kMinRate = 1000;
constexpr std::uint32_t kMaxRate = 48000;
constexpr std::uint16_t kMaxChannels = 2;
constexpr std::uint16_t kMaxAdpcmBlock = 8192;  // libavcodec's ADPCM encoder limit
constexpr std::uint16_t kGsmBlock = 65;
constexpr std::uint16_t kGsmSamples = 320;
// Samples per libavcodec frame for codecs without blocks.
constexpr std::uint32_t kSampleBatch = 4096;

struct CodecChoice {
    AVCodecID id = AV_CODEC_ID_NONE;
    std::uint32_t samplesPerBlock = 1;
    // Options that make the encoder produce the format's blocks.
    int blockSizeOption = 0;
};

bool isPcm16(const WaveFormat& f) {
    return f.formatTag == WaveFormat::kTagPcm && f.bitsPerSample == 16 && f.channels >= 1 &&
           f.channels <= kMaxChannels && f.blockAlign == 2 * f.channels &&
           f.samplesPerSec >= kMinRate && f.samplesPerSec <= kMaxRate;
}

// The codec behind a format, or nullopt when the table has no such format.
std::optional<CodecChoice> choose(const WaveFormat& f) {
    if (f.channels < 1 || f.channels > kMaxChannels || f.samplesPerSec < kMinRate ||
        f.samplesPerSec > kMaxRate) {
        return std::nullopt;
    }
    const std::uint32_t ch = f.channels;
    switch (f.formatTag) {
        case WaveFormat::kTagPcm:
            if (f.bitsPerSample == 16 && f.blockAlign == 2 * ch) {
                return CodecChoice{AV_CODEC_ID_PCM_S16LE};
            }
            if (f.bitsPerSample == 8 && f.blockAlign == ch) {
                return CodecChoice{AV_CODEC_ID_PCM_U8};
            }
            return std::nullopt;
        case WaveFormat::kTagALaw:
        case WaveFormat::kTagMuLaw:
            if (f.bitsPerSample != 8 || f.blockAlign != ch) {
                return std::nullopt;
            }
            return CodecChoice{f.formatTag == WaveFormat::kTagALaw ? AV_CODEC_ID_PCM_ALAW
                                                                   : AV_CODEC_ID_PCM_MULAW};
        case WaveFormat::kTagGsm610:
            if (ch != 1 || f.samplesPerSec != 8000 || f.blockAlign != kGsmBlock ||
                (f.extraWord() != 0 && f.extraWord() != kGsmSamples)) {
                return std::nullopt;
            }
            return CodecChoice{AV_CODEC_ID_GSM_MS, kGsmSamples};
        case WaveFormat::kTagImaAdpcm: {
            // 4 header bytes per channel, then 4-bit samples in 4-byte groups.
            if (f.blockAlign < 8 * ch || f.blockAlign > kMaxAdpcmBlock ||
                f.blockAlign % (4 * ch) != 0) {
                return std::nullopt;
            }
            const std::uint32_t spb = (f.blockAlign - 4 * ch) * 8 / (4 * ch) + 1;
            if (f.extraWord() != 0 && f.extraWord() != spb) {
                return std::nullopt;
            }
            return CodecChoice{AV_CODEC_ID_ADPCM_IMA_WAV, spb, f.blockAlign};
        }
        case WaveFormat::kTagAdpcmMs: {
            // 7 header bytes per channel (two of its samples), then 4-bit samples.
            if (f.blockAlign < 8 * ch || f.blockAlign > kMaxAdpcmBlock) {
                return std::nullopt;
            }
            const std::uint32_t spb = (f.blockAlign - 7 * ch) * 2 / ch + 2;
            if (f.extraWord() != 0 && f.extraWord() != spb) {
                return std::nullopt;
            }
            return CodecChoice{AV_CODEC_ID_ADPCM_MS, spb, f.blockAlign};
        }
        default:
            return std::nullopt;
    }
}

void quietLibav() {
    static std::once_flag once;
    std::call_once(once, [] { av_log_set_level(AV_LOG_QUIET); });
}

// Sample access over the sample formats these codecs use.
std::int16_t readSample(const AVFrame* fr, int fmt, std::size_t i, int c, int channels) {
    switch (fmt) {
        case AV_SAMPLE_FMT_S16:
            return reinterpret_cast<const std::int16_t*>(fr->data[0])[i * channels + c];
        case AV_SAMPLE_FMT_S16P:
            return reinterpret_cast<const std::int16_t*>(fr->data[c])[i];
        case AV_SAMPLE_FMT_U8:
            return static_cast<std::int16_t>((fr->data[0][i * channels + c] - 128) << 8);
        case AV_SAMPLE_FMT_U8P:
            return static_cast<std::int16_t>((fr->data[c][i] - 128) << 8);
        default:
            return 0;
    }
}

void writeSample(AVFrame* fr, int fmt, std::size_t i, int c, int channels, std::int16_t v) {
    switch (fmt) {
        case AV_SAMPLE_FMT_S16:
            reinterpret_cast<std::int16_t*>(fr->data[0])[i * channels + c] = v;
            break;
        case AV_SAMPLE_FMT_S16P:
            reinterpret_cast<std::int16_t*>(fr->data[c])[i] = v;
            break;
        case AV_SAMPLE_FMT_U8:
            fr->data[0][i * channels + c] = static_cast<std::uint8_t>((v >> 8) + 128);
            break;
        case AV_SAMPLE_FMT_U8P:
            fr->data[c][i] = static_cast<std::uint8_t>((v >> 8) + 128);
            break;
        default:
            break;
    }
}

bool sampleFormatHandled(int fmt) {
    return fmt == AV_SAMPLE_FMT_S16 || fmt == AV_SAMPLE_FMT_S16P || fmt == AV_SAMPLE_FMT_U8 ||
           fmt == AV_SAMPLE_FMT_U8P;
}

}  // namespace

struct AudioCodecStream::Impl {
    bool encoding = true;
    CodecChoice codec;
    int channels = 1;
    std::uint32_t codedBlock = 0;  // bytes of one coded block
    std::uint32_t pcmBlock = 0;    // bytes of 16-bit PCM in one block
    AVCodecContext* ctx = nullptr;
    AVFrame* frame = nullptr;
    AVPacket* packet = nullptr;

    ~Impl() {
        av_packet_free(&packet);
        av_frame_free(&frame);
        avcodec_free_context(&ctx);
    }

    bool open(const WaveFormat& coded) {
        quietLibav();
        const AVCodec* c =
            encoding ? avcodec_find_encoder(codec.id) : avcodec_find_decoder(codec.id);
        if (c == nullptr) {
            return false;
        }
        ctx = avcodec_alloc_context3(c);
        frame = av_frame_alloc();
        packet = av_packet_alloc();
        if (ctx == nullptr || frame == nullptr || packet == nullptr) {
            return false;
        }
        ctx->sample_rate = static_cast<int>(coded.samplesPerSec);
        av_channel_layout_default(&ctx->ch_layout, channels);
        ctx->block_align = coded.blockAlign;
        ctx->bits_per_coded_sample = coded.bitsPerSample;
        if (encoding) {
            ctx->sample_fmt = c->sample_fmts != nullptr ? c->sample_fmts[0] : AV_SAMPLE_FMT_S16;
            if (codec.blockSizeOption != 0) {
                av_opt_set_int(ctx->priv_data, "block_size", codec.blockSizeOption, 0);
            }
        }
        if (!avOk(avcodec_open2(ctx, c, nullptr), lcAudioCodec(), "avcodec_open2")) {
            return false;
        }
        if (encoding) {
            if (!sampleFormatHandled(ctx->sample_fmt)) {
                return false;
            }
            // The encoder must agree with the block layout the format announces.
            if (codec.samplesPerBlock > 1 &&
                static_cast<std::uint32_t>(ctx->frame_size) != codec.samplesPerBlock) {
                return false;
            }
            frame->format = ctx->sample_fmt;
            frame->sample_rate = ctx->sample_rate;
            if (!avOk(av_channel_layout_copy(&frame->ch_layout, &ctx->ch_layout), lcAudioCodec(),
                      "av_channel_layout_copy")) {
                return false;
            }
            frame->nb_samples = static_cast<int>(std::max(codec.samplesPerBlock, kSampleBatch));
            if (!avOk(av_frame_get_buffer(frame, 0), lcAudioCodec(), "av_frame_get_buffer")) {
                return false;
            }
        }
        return true;
    }

    // Encodes n samples from pcm (zero-padded to the frame when short) into out.
    // Returns the bytes written, or nullopt on a codec failure.
    std::optional<std::size_t> encodeFrame(const std::byte* pcm, std::size_t pcmBytes,
                                           std::uint32_t samples, MutableByteSpan out) {
        if (!avOk(av_frame_make_writable(frame), lcAudioCodec(), "av_frame_make_writable")) {
            return std::nullopt;
        }
        frame->nb_samples = static_cast<int>(samples);
        const std::size_t have = pcmBytes / 2 / channels;
        const int fmt = frame->format;
        for (std::size_t i = 0; i < samples; ++i) {
            for (int c = 0; c < channels; ++c) {
                std::int16_t v = 0;
                if (i < have) {
                    v = readLe<std::int16_t>(ByteSpan(pcm, pcmBytes), (i * channels + c) * 2);
                }
                writeSample(frame, fmt, i, c, channels, v);
            }
        }
        if (!avOk(avcodec_send_frame(ctx, frame), lcAudioCodec(), "avcodec_send_frame")) {
            return std::nullopt;
        }
        std::size_t written = 0;
        while (
            avOk(avcodec_receive_packet(ctx, packet), lcAudioCodec(), "avcodec_receive_packet")) {
            const std::size_t n = std::min<std::size_t>(packet->size, out.size() - written);
            std::memcpy(out.data() + written, packet->data, n);
            written += n;
            av_packet_unref(packet);
        }
        return written;
    }

    AudioConvertResult encode(ByteSpan src, MutableByteSpan dst, std::uint32_t flags) {
        const bool whole = (flags & kConvertBlockAlign) != 0 && (flags & kConvertEnd) == 0;
        std::size_t blocks = whole ? src.size() / pcmBlock : (src.size() + pcmBlock - 1) / pcmBlock;
        blocks = std::min<std::size_t>(blocks, dst.size() / codedBlock);
        const std::size_t used = std::min<std::size_t>(src.size(), blocks * pcmBlock);
        std::size_t produced = 0;
        std::size_t pos = 0;
        const std::uint32_t perFrame =
            codec.samplesPerBlock > 1 ? codec.samplesPerBlock : kSampleBatch;
        std::size_t samplesLeft = blocks * codec.samplesPerBlock;
        while (samplesLeft > 0) {
            const auto n = static_cast<std::uint32_t>(std::min<std::size_t>(perFrame, samplesLeft));
            const std::size_t bytes =
                std::min<std::size_t>(used - pos, std::size_t{n} * 2 * channels);
            auto w = encodeFrame(src.data() + pos, bytes, n, dst.subspan(produced));
            if (!w) {
                return {};
            }
            produced += *w;
            pos += bytes;
            samplesLeft -= n;
        }
        return {true, used, produced};
    }

    // Decodes one packet; writes its samples (or silence when the codec refuses
    // it) into out. Returns the bytes written.
    std::size_t decodePacket(const std::byte* data, std::size_t size, std::size_t expectBytes,
                             MutableByteSpan out) {
        std::size_t written = 0;
        if (avOk(av_new_packet(packet, static_cast<int>(size)), lcAudioCodec(), "av_new_packet")) {
            std::memcpy(packet->data, data, size);
            if (avOk(avcodec_send_packet(ctx, packet), lcAudioCodec(), "avcodec_send_packet")) {
                while (avOk(avcodec_receive_frame(ctx, frame), lcAudioCodec(),
                            "avcodec_receive_frame")) {
                    const int fmt = frame->format;
                    const std::size_t n = std::min<std::size_t>(
                        frame->nb_samples, (out.size() - written) / 2 / channels);
                    if (sampleFormatHandled(fmt) && frame->ch_layout.nb_channels == channels) {
                        for (std::size_t i = 0; i < n; ++i) {
                            for (int c = 0; c < channels; ++c) {
                                writeLe<std::int16_t>(out, written + (i * channels + c) * 2,
                                                      readSample(frame, fmt, i, c, channels));
                            }
                        }
                    } else {
                        std::memset(out.data() + written, 0, n * 2 * channels);
                    }
                    written += n * 2 * channels;
                    av_frame_unref(frame);
                }
            }
            av_packet_unref(packet);
        }
        if (written < expectBytes) {
            const std::size_t pad = std::min(expectBytes, out.size()) - written;
            std::memset(out.data() + written, 0, pad);
            written += pad;
        }
        return written;
    }

    AudioConvertResult decode(ByteSpan src, MutableByteSpan dst) {
        std::size_t blocks = src.size() / codedBlock;
        blocks = std::min<std::size_t>(blocks, dst.size() / pcmBlock);
        std::size_t produced = 0;
        if (codec.samplesPerBlock > 1) {
            for (std::size_t b = 0; b < blocks; ++b) {
                produced += decodePacket(src.data() + b * codedBlock, codedBlock, pcmBlock,
                                         dst.subspan(produced));
            }
        } else {
            std::size_t done = 0;
            while (done < blocks) {
                const std::size_t n = std::min<std::size_t>(blocks - done, kSampleBatch);
                produced += decodePacket(src.data() + done * codedBlock, n * codedBlock,
                                         n * pcmBlock, dst.subspan(produced));
                done += n;
            }
        }
        return {true, blocks * codedBlock, produced};
    }
};

AudioCodecStream::AudioCodecStream(std::unique_ptr<Impl> impl) : d_(std::move(impl)) {}
AudioCodecStream::~AudioCodecStream() = default;

bool AudioCodecStream::supported(const WaveFormat& src, const WaveFormat& dst) {
    const bool encoding = isPcm16(src);
    const WaveFormat& pcm = encoding ? src : dst;
    const WaveFormat& coded = encoding ? dst : src;
    if (!isPcm16(pcm) || pcm.channels != coded.channels ||
        pcm.samplesPerSec != coded.samplesPerSec || !choose(coded)) {
        return false;
    }
    const AVCodecID id = choose(coded)->id;
    return (encoding ? avcodec_find_encoder(id) : avcodec_find_decoder(id)) != nullptr;
}

std::unique_ptr<AudioCodecStream> AudioCodecStream::open(const WaveFormat& src,
                                                         const WaveFormat& dst) {
    if (!supported(src, dst)) {
        return nullptr;
    }
    auto impl = std::make_unique<Impl>();
    impl->encoding = isPcm16(src);
    const WaveFormat& coded = impl->encoding ? dst : src;
    impl->codec = *choose(coded);
    impl->channels = coded.channels;
    impl->codedBlock = coded.blockAlign;
    impl->pcmBlock = impl->codec.samplesPerBlock * 2 * coded.channels;
    if (!impl->open(coded)) {
        return nullptr;
    }
    return std::unique_ptr<AudioCodecStream>(new AudioCodecStream(std::move(impl)));
}

std::optional<std::uint32_t> AudioCodecStream::destinationSize(std::uint32_t srcBytes) const {
    const std::uint64_t in = d_->encoding ? d_->pcmBlock : d_->codedBlock;
    const std::uint64_t out = d_->encoding ? d_->codedBlock : d_->pcmBlock;
    const std::uint64_t blocks = (std::uint64_t{srcBytes} + in - 1) / in;
    const std::uint64_t size = blocks * out;
    if (size > UINT32_MAX) {
        return std::nullopt;
    }
    return static_cast<std::uint32_t>(size);
}

AudioConvertResult AudioCodecStream::convert(ByteSpan src, MutableByteSpan dst,
                                             std::uint32_t flags) {
    return d_->encoding ? d_->encode(src, dst, flags) : d_->decode(src, dst);
}

QString AudioCodecStream::tagName(std::uint16_t tag) {
    switch (tag) {
        case WaveFormat::kTagPcm:
            return QStringLiteral("PCM");
        case WaveFormat::kTagGsm610:
            return QStringLiteral("GSM 6.10");
        case WaveFormat::kTagImaAdpcm:
            return QStringLiteral("IMA ADPCM");
        case WaveFormat::kTagAdpcmMs:
            return QStringLiteral("MS ADPCM");
        case WaveFormat::kTagALaw:
            return QStringLiteral("CCITT A-Law");
        case WaveFormat::kTagMuLaw:
            return QStringLiteral("CCITT u-Law");
        default:
            return {};
    }
}

}  // namespace kova
