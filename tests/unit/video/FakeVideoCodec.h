#pragma once
// A codec layer that records what the wrapper asks of it.

#include <algorithm>
#include <functional>
#include <new>
#include <vector>

#include "common/BalloonReporter.h"
#include "platform/VideoCodecDriver.h"

namespace kova::test {

struct FakeCodecLog {
    int locates = 0;
    int compressBegins = 0;
    int compressEnds = 0;
    int decompressBegins = 0;
    int decompressEnds = 0;
    std::vector<bool> keyFrames;
    std::vector<std::uint32_t> frameNumbers;
    std::vector<bool> blackImages;  // per compressed image: all its bytes zero
    std::vector<std::byte> state;
    bool closed = false;
    std::function<void()> duringFrame;  // a nested loop inside compress
};

class FakeCodecDriver final : public IVideoCodecDriver {
public:
    FakeCodecDriver(VideoCodecInfo info, FakeCodecLog& log) : info_(std::move(info)), log_(log) {}

    bool refuseBegin = false;
    bool failFrames = false;
    std::size_t frameBytes = 10;

    const VideoCodecInfo& info() const override { return info_; }
    std::optional<BitmapInfoHeader> compressFormat(const BitmapInfoHeader& in) override {
        BitmapInfoHeader out = in;
        out.compression = info_.fourCC;
        return out;
    }
    bool compressBegin(const BitmapInfoHeader&, const BitmapInfoHeader&) override {
        ++log_.compressBegins;
        return !refuseBegin;
    }
    std::optional<std::size_t> compress(ByteSpan image, bool keyFrame, std::uint32_t n,
                                        MutableByteSpan out) override {
        log_.blackImages.push_back(
            std::all_of(image.begin(), image.end(), [](std::byte b) { return b == std::byte{0}; }));
        log_.keyFrames.push_back(keyFrame);
        log_.frameNumbers.push_back(n);
        if (log_.duringFrame) {
            log_.duringFrame();
        }
        if (failFrames || frameBytes > out.size()) {
            return std::nullopt;
        }
        std::fill_n(out.begin(), frameBytes, std::byte{0x5A});
        return frameBytes;
    }
    bool compressEnd() override {
        ++log_.compressEnds;
        return true;
    }
    bool decompressBegin(const BitmapInfoHeader&, const BitmapInfoHeader&) override {
        ++log_.decompressBegins;
        return !refuseBegin;
    }
    bool decompress(ByteSpan data, MutableByteSpan) override {
        return !data.empty() && !failFrames;
    }
    bool decompressEnd() override {
        ++log_.decompressEnds;
        return true;
    }
    std::vector<std::byte> getState() const override { return log_.state; }
    void setState(ByteSpan s) override { log_.state.assign(s.begin(), s.end()); }
    bool close() override {
        log_.closed = true;
        return true;
    }

private:
    VideoCodecInfo info_;
    FakeCodecLog& log_;
};

class FakeCodecProvider final : public IVideoCodecProvider {
public:
    VideoCodecInfo info{fourCC('F', 'A', 'K', 'E'), "fake", "Fake codec", true, true,
                        VideoOptionKind::Quality};
    FakeCodecLog log;
    bool missing = false;
    bool throwOnLocate = false;
    bool refuseBegin = false;
    bool failFrames = false;

    std::unique_ptr<IVideoCodecDriver> locate(std::uint32_t, const BitmapInfoHeader&,
                                              VideoCodecMode) override {
        ++log.locates;
        if (throwOnLocate) {
            throw std::bad_alloc();
        }
        if (missing) {
            return nullptr;
        }
        auto d = std::make_unique<FakeCodecDriver>(info, log);
        d->refuseBegin = refuseBegin;
        d->failFrames = failFrames;
        return d;
    }
    std::vector<VideoCodecInfo> encoders() override { return {info}; }
};

class RecordingBalloons final : public IBalloonReporter {
public:
    void ShowBalloon(const QString& text) override { texts.push_back(text); }
    std::vector<QString> texts;
};

}  // namespace kova::test
