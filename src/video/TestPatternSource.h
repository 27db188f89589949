#pragma once
// The built-in capture source for machines without a camera: moving colour bars
// and the frame number, deterministic for a frame number so that a receiver can
// check what arrived, paced at 30 frames per second.

#include <array>
#include <chrono>
#include <condition_variable>
#include <mutex>

#include "platform/CaptureSource.h"

namespace kova {

class CTestPatternSource final : public ICaptureSource {
public:
    static inline const QString kName = QStringLiteral("Test Pattern");
    static constexpr int kFramesPerSecond = 30;
    // Bars move this many pixels to the left per frame.
    static constexpr int kStepPixels = 4;
    // The frame number is drawn as this many bits, most significant first, in
    // equal blocks along the bottom eighth of the picture.
    static constexpr int kCounterBits = 16;
    static constexpr int kBarCount = 8;

    // paced = false hands frames out as fast as they are asked for (tests).
    explicit CTestPatternSource(bool paced = true);

    // The pattern of frame n in a 24-bit bottom-up bitmap of the format's size.
    static void render(std::uint32_t n, const BitmapInfoHeader& format, MutableByteSpan dib);
    // Reads the counter back from a picture (tolerates lossy coding).
    static std::uint32_t readCounter(const BitmapInfoHeader& format, ByteSpan dib);
    // The bar colour (B, G, R) at column x of frame n.
    static std::array<std::uint8_t, 3> barColour(std::uint32_t n, int x, int width);

    QString name() const override { return kName; }
    std::vector<BitmapInfoHeader> formats() override;
    bool setFormat(const BitmapInfoHeader& format) override;
    BitmapInfoHeader format() const override { return format_; }
    bool open() override { return true; }
    bool startStream() override;
    bool grab(MutableByteSpan dib) override;
    void interrupt() override;
    void resume() override;
    void stopStream() override {}

    std::uint32_t nextFrameNumber() const { return next_; }

private:
    bool paced_;
    BitmapInfoHeader format_;
    std::uint32_t next_ = 0;
    std::chrono::steady_clock::time_point due_;
    std::mutex mutex_;
    std::condition_variable wake_;
    bool interrupted_ = false;
};

}  // namespace kova
