#include "video/VideoCodec.h"

#include <QFile>
#include <new>

#include "common/BalloonReporter.h"
#include "config/ProgramPaths.h"
#include "platform/VideoLog.h"

namespace kova {

namespace {

// Formats come from peers too: refuse sizes no camera produces before anything
// is allocated from them.
constexpr std::int32_t kMaxSide = 4096;

bool plausible(const BitmapInfoHeader& f) {
    const std::int64_t h = f.height < 0 ? -static_cast<std::int64_t>(f.height) : f.height;
    return f.width > 0 && f.width <= kMaxSide && h > 0 && h <= kMaxSide && f.bitCount > 0 &&
           f.bitCount <= 32;
}

const QString kNoName;

}  // namespace

CVideoCodec::CVideoCodec(IVideoCodecProvider& provider, IBalloonReporter* balloons)
    : provider_(provider), balloons_(balloons) {}

CVideoCodec::~CVideoCodec() {
    End();
    previousImage_.clear();
    if (driver_) {
        if (!driver_->close()) {
            report(kNotClosed);
            // The handle stays open: releasing a codec that refused to close
            // could pull memory from under it.
            static_cast<void>(driver_.release());
        }
    }
}

void CVideoCodec::report(const QString& text) const {
    if (balloons_) {
        balloons_->ShowBalloon(text);
    }
}

const QString& CVideoCodec::ShortName() const {
    return driver_ ? driver_->info().shortName : kNoName;
}

bool CVideoCodec::SetUp(std::uint32_t fourCC, const BitmapInfoHeader& format, bool encoder,
                        bool fast) {
    if (driver_) {
        return false;
    }
    encoder_ = encoder;
    busy_ = true;
    locked_ = true;
    mode_ = encoder ? (fast ? VideoCodecMode::FastCompress : VideoCodecMode::Compress)
                    : (fast ? VideoCodecMode::FastDecompress : VideoCodecMode::Decompress);
    inputFormat_ = format;
    if (!plausible(format)) {
        return false;
    }
    if (!encoder) {
        outputFormat_ = format;
        outputFormat_.compression = 0;
    }
    try {
        driver_ = provider_.locate(encoder ? fourCC : 0, inputFormat_, mode_);
    } catch (const std::bad_alloc&) {
        driver_.reset();
        report(encoder ? kEncoderLocateFault : kDecoderLocateFault);
        return false;
    }
    if (!driver_) {
        qCDebug(lcVideo) << "no codec for" << Qt::hex << (encoder ? fourCC : format.compression);
        return false;
    }
    const VideoCodecInfo& info = driver_->info();
    quality_ = info.quality ? kQuality : 0;
    if (info.temporal) {
        previousFormat_ = inputFormat_;
        previousImage_.assign(imageSizeOf(inputFormat_), std::byte{0});
    }
    busy_ = false;
    locked_ = false;
    if (!encoder) {
        return true;
    }
    const std::optional<BitmapInfoHeader> out = driver_->compressFormat(inputFormat_);
    if (!out) {
        return false;
    }
    outputFormat_ = *out;
    return true;
}

bool CVideoCodec::Compress(bool keyFrame, ByteSpan image, MutableByteSpan output,
                           std::size_t& outLength) {
    if (busy_ || !driver_ || !encoder_) {
        return false;
    }
    busy_ = true;
    const bool ok = compressFrame(keyFrame, image, output, outLength);
    finishFrame();
    return ok;
}

// The codec allocates its pictures and conversion buffers on the first frame,
// up to tens of megabytes for the largest formats: running out of memory there
// fails the frame, not the call.
bool CVideoCodec::compressFrame(bool keyFrame, ByteSpan image, MutableByteSpan output,
                                std::size_t& outLength) {
    try {
        if (!compressBegun_) {
            if (!driver_->compressBegin(inputFormat_, outputFormat_)) {
                locked_ = true;  // busy stays set until the next set-up
                report(kCompressBeginRefused);
                return false;
            }
            compressBegun_ = true;
            frameNumber_ = 0;
            keyFrame = true;
        }
        if (frameNumber_ > kKeyFrameRestart) {
            frameNumber_ = 0;
            keyFrame = true;
        }
        // A frame shorter than the input format would make the codec read past it.
        std::optional<std::size_t> written;
        if (image.size() >= dibFrameSizeOf(inputFormat_)) {
            written = driver_->compress(image, keyFrame, frameNumber_, output);
        }
        ++frameNumber_;
        if (written) {
            outLength = *written;
            busy_ = false;
            return true;
        }
        driver_->compressEnd();
        compressBegun_ = false;
    } catch (const std::bad_alloc&) {
    }
    busy_ = false;
    return false;
}

bool CVideoCodec::Decompress(ByteSpan data, MutableByteSpan image) {
    if (busy_ || !driver_ || encoder_) {
        return false;
    }
    busy_ = true;
    const bool ok = decompressFrame(data, image);
    finishFrame();
    return ok;
}

bool CVideoCodec::decompressFrame(ByteSpan data, MutableByteSpan image) {
    bool ok = false;
    try {
        if (!decompressBegun_) {
            if (!driver_->decompressBegin(inputFormat_, outputFormat_)) {
                locked_ = true;  // busy stays set: this decoder takes no more frames
                report(kDecompressBeginRefused);
                return false;
            }
            decompressBegun_ = true;
        }
        // The decoder writes whole padded rows; a short buffer takes no frame.
        ok = image.size() >= dibFrameSizeOf(outputFormat_) && driver_->decompress(data, image);
        if (!ok) {
            driver_->decompressEnd();
            decompressBegun_ = false;
        }
    } catch (const std::bad_alloc&) {
        ok = false;
    }
    busy_ = false;
    return ok;
}

void CVideoCodec::finishFrame() {
    if (endRequested_) {
        endRequested_ = false;
        endStreaming();
    }
}

void CVideoCodec::End() {
    if (!driver_) {
        return;
    }
    if (busy_ && !locked_) {
        // A frame is running on this very thread, below a nested event loop
        // that got us here: waiting could never see it finish. It ends the
        // streaming itself as it returns.
        endRequested_ = true;
        return;
    }
    endStreaming();
}

void CVideoCodec::endStreaming() {
    // A codec that refuses to end is asked once more, then left as it is.
    if (encoder_) {
        if (compressBegun_) {
            busy_ = true;
            if (!driver_->compressEnd()) {
                driver_->compressEnd();
            }
            compressBegun_ = false;
        }
        busy_ = false;
        locked_ = false;
        return;
    }
    busy_ = true;
    locked_ = true;
    if (decompressBegun_ && !driver_->decompressEnd()) {
        driver_->decompressEnd();
    }
    decompressBegun_ = false;
}

std::uint32_t CVideoCodec::OutputImageSize() const {
    if (!driver_) {
        return 0;
    }
    // Decoders write padded rows; the buffer holds them even where the
    // whole-image rounding would come out shorter.
    return static_cast<std::uint32_t>(
        std::max(imageSizeOf(outputFormat_), encoder_ ? 0 : dibFrameSizeOf(outputFormat_)));
}

QString CVideoCodec::StateFileName(const QString& folder, const QString& shortName) {
    return joinPath(folder, shortName + QStringLiteral(".kova"));
}

void CVideoCodec::LoadState(const QString& folder) {
    if (!driver_) {
        return;
    }
    QFile file(StateFileName(folder, driver_->info().shortName));
    if (!file.open(QIODevice::ReadOnly)) {
        return;
    }
    // Our own blobs are a few bytes; anything larger is not ours.
    constexpr qint64 kMaxState = 64 * 1024;
    const QByteArray blob = file.read(kMaxState);
    if (blob.isEmpty()) {
        return;
    }
    driver_->setState(std::as_bytes(std::span(blob.data(), blob.size())));
}

bool CVideoCodec::Configure(IVideoCodecProvider& provider, std::uint32_t fourCC,
                            const QString& folder, const AskOptions& ask,
                            IBalloonReporter* balloons) {
    bool shown = false;
    try {
        BitmapInfoHeader probe;
        probe.size = BitmapInfoHeader::kSize;
        probe.width = 320;
        probe.height = 240;
        probe.planes = 1;
        probe.bitCount = 24;
        auto driver = provider.locate(fourCC, probe, VideoCodecMode::FastCompress);
        if (!driver) {
            return false;
        }
        const VideoCodecInfo info = driver->info();
        if (info.options != VideoOptionKind::None && ask) {
            const QString path = StateFileName(folder, info.shortName);
            {
                // Start the dialog from what was saved last time.
                QFile saved(path);
                if (saved.open(QIODevice::ReadOnly)) {
                    const QByteArray blob = saved.read(64 * 1024);
                    if (!blob.isEmpty()) {
                        driver->setState(std::as_bytes(std::span(blob.data(), blob.size())));
                    }
                }
            }
            auto options = VideoCodecOptions::decode(driver->getState());
            shown = true;
            if (const auto chosen = ask(info, options.value_or(VideoCodecOptions{}))) {
                driver->setState(chosen->encode());
            }
            const std::vector<std::byte> state = driver->getState();
            if (!state.empty()) {
                QFile file(path);
                if (file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
                    file.write(reinterpret_cast<const char*>(state.data()),
                               static_cast<qint64>(state.size()));
                }
            }
        }
        driver->close();
    } catch (const std::bad_alloc&) {
        if (balloons) {
            balloons->ShowBalloon(kConfigureFault);
        }
    }
    return shown;
}

}  // namespace kova
