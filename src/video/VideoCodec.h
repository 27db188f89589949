#pragma once
// One video codec instance in one direction: the sender's encoder or a receiving
// window's decoder. Fixes the formats, the key-frame policy, begin/end bracketing
// of streaming, the guard against overlapping use and the codec's state file.

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include <QString>

#include "platform/VideoCodecDriver.h"

namespace kova {

class IBalloonReporter;

class CVideoCodec {
public:
    static constexpr int kQuality = 500;
    // Past this many frames since the last begin the next one is a key frame.
    static constexpr std::uint32_t kKeyFrameRestart = 2500000;

    static inline const QString kEncoderLocateFault =
        QStringLiteral("Video Encoder format is not supported");
    static inline const QString kDecoderLocateFault =
        QStringLiteral("Video Decoder format is not supported");
    static inline const QString kCompressBeginRefused =
        QStringLiteral("Video Codec is not supported image format");
    static inline const QString kDecompressBeginRefused =
        QStringLiteral("Video Codec is not supported");
    static inline const QString kNotClosed = QStringLiteral("Codec not closed");
    static inline const QString kConfigureFault = QStringLiteral("Error open compressor!");

    CVideoCodec(IVideoCodecProvider& provider, IBalloonReporter* balloons);
    ~CVideoCodec();
    CVideoCodec(const CVideoCodec&) = delete;
    CVideoCodec& operator=(const CVideoCodec&) = delete;

    bool SetUp(std::uint32_t fourCC, const BitmapInfoHeader& format, bool encoder, bool fast);
    // key frame request; image = one raw frame of the input format; the compressed
    // frame goes to the start of output, its length to outLength.
    bool Compress(bool keyFrame, ByteSpan image, MutableByteSpan output, std::size_t& outLength);
    // data = one compressed frame with its length; image = OutputImageSize bytes or more.
    bool Decompress(ByteSpan data, MutableByteSpan image);
    // Ends streaming (a decoder for good). Called from a nested event loop while
    // a frame runs, it returns at once and the frame ends streaming as it returns.
    void End();

    const BitmapInfoHeader& OutputFormat() const { return outputFormat_; }
    const BitmapInfoHeader& InputFormat() const { return inputFormat_; }
    // Bytes of one decoded (or raw) image of the output format; 0 without a codec.
    std::uint32_t OutputImageSize() const;

    void LoadState(const QString& folder);
    // The codec's options dialog: the options it was opened with -> the accepted
    // ones, or nothing when cancelled.
    using AskOptions = std::function<std::optional<VideoCodecOptions>(
        const VideoCodecInfo& info, const VideoCodecOptions& options)>;
    // Asks for the codec's options (not for codecs without options) and saves
    // the result as its state file. False when nothing was asked.
    static bool Configure(IVideoCodecProvider& provider, std::uint32_t fourCC,
                          const QString& folder, const AskOptions& ask, IBalloonReporter* balloons);
    static QString StateFileName(const QString& folder, const QString& shortName);

    bool IsOpen() const { return driver_ != nullptr; }
    bool IsBusy() const { return busy_; }
    bool IsEncoder() const { return encoder_; }
    int Mode() const { return static_cast<int>(mode_); }
    int Quality() const { return quality_; }
    std::uint32_t FrameNumber() const { return frameNumber_; }
    bool HasPreviousFrame() const { return !previousImage_.empty(); }
    const QString& ShortName() const;
    // Test hook: the frame counter as if that many frames had been compressed.
    void SetFrameNumberForTest(std::uint32_t n) { frameNumber_ = n; }

private:
    void report(const QString& text) const;
    bool compressFrame(bool keyFrame, ByteSpan image, MutableByteSpan output,
                       std::size_t& outLength);
    bool decompressFrame(ByteSpan data, MutableByteSpan image);
    void finishFrame();
    void endStreaming();

    IVideoCodecProvider& provider_;
    IBalloonReporter* balloons_;
    std::unique_ptr<IVideoCodecDriver> driver_;
    BitmapInfoHeader inputFormat_;
    BitmapInfoHeader outputFormat_;
    BitmapInfoHeader previousFormat_;
    std::vector<std::byte> previousImage_;
    VideoCodecMode mode_ = VideoCodecMode::Compress;
    int quality_ = 0;
    std::uint32_t frameNumber_ = 0;
    bool encoder_ = false;
    bool compressBegun_ = false;
    bool decompressBegun_ = false;
    // Set from creation until a set-up succeeds, so nothing runs on a half-made codec.
    bool busy_ = true;
    // Busy on purpose (failed set-up, refused begin, ended decoder) rather than
    // because a frame is running.
    bool locked_ = true;
    // End was asked for while a frame ran (all on one thread: from a nested loop).
    bool endRequested_ = false;
};

}  // namespace kova
