#include "video/SendVideoWnd.h"

#include <gtest/gtest.h>

#include <QCoreApplication>

#include "media/FrameSink.h"
#include "media/MediaFrame.h"
#include "unit/video/FakeVideoCodec.h"
#include "video/VideoCodec.h"

namespace kova {
namespace {

using test::FakeCodecProvider;
using test::RecordingBalloons;

class FakeSink final : public IFrameSink {
public:
    void SendFrame(std::span<std::byte> buffer) override {
        frames.emplace_back(buffer.begin(), buffer.end());
    }
    std::vector<std::vector<std::byte>> frames;
};

const BitmapInfoHeader kFormat = rgbFormat(160, 120);

struct Sender {
    std::uint32_t now = 10000;
    FakeCodecProvider codecs;
    RecordingBalloons balloons;
    CVideoCodec encoder{codecs, &balloons};
    FakeSink sink;
    CShowWnd preview;
    std::vector<QString> boxes;
    CSendVideoWnd wnd{nullptr, [this] { return now; },
                      [this](const QString& text) { boxes.push_back(text); }};
    std::vector<std::byte> image = std::vector<std::byte>(dibFrameSizeOf(kFormat), std::byte{0x80});
    int previews = 0;

    Sender() {
        EXPECT_TRUE(encoder.SetUp(1, kFormat, true, false));
        preview.SetFormat(kFormat);
        preview.OpenDrawing();
        wnd.Attach(&preview);
    }
    // Delivers one captured image as the capture graph does; returns whether it
    // was previewed.
    bool capture() {
        std::fill(image.begin(), image.end(), std::byte{0x80});
        const QImage before = preview.Picture();
        wnd.onMediaFrame(MediaFrame{0, MediaSource::Camera, image});
        return preview.Picture().constBits() != before.constBits();
    }
};

TEST(SendVideoWndTest, WithoutACallEveryImageIsPreviewedAndNothingSent) {
    Sender s;
    for (int i = 0; i < 5; ++i) {
        EXPECT_TRUE(s.capture());
        s.now += 1;
    }
    EXPECT_TRUE(s.sink.frames.empty());
    EXPECT_TRUE(s.wnd.StartSending(nullptr, &s.encoder, dibFrameSizeOf(kFormat)));
    EXPECT_TRUE(s.wnd.StartSending(&s.sink, &s.encoder, 0));
    EXPECT_FALSE(s.wnd.IsSending());
    EXPECT_TRUE(s.capture());
    EXPECT_TRUE(s.sink.frames.empty());
}

TEST(SendVideoWndTest, UnattachedWindowIgnoresFrames) {
    FakeSink sink;
    CShowWnd preview;
    preview.SetFormat(kFormat);
    preview.OpenDrawing();
    CSendVideoWnd wnd;
    wnd.SetPreview(&preview);
    std::vector<std::byte> image(dibFrameSizeOf(kFormat));
    wnd.onMediaFrame(MediaFrame{0, MediaSource::Camera, image});
    EXPECT_TRUE(preview.Picture().isNull());
}

TEST(SendVideoWndTest, FirstFrameIsBlackThenPacedByAcks) {
    Sender s;
    const std::uint32_t size = dibFrameSizeOf(kFormat);
    ASSERT_TRUE(s.wnd.StartSending(&s.sink, &s.encoder, size));

    // First image: previewed as captured, sent black.
    EXPECT_TRUE(s.capture());
    EXPECT_EQ(qGray(s.preview.Picture().pixel(0, 0)), 0x80);
    ASSERT_EQ(s.sink.frames.size(), 1u);
    EXPECT_EQ(s.sink.frames[0].size(), 10u + IFrameSink::kHeaderRoom);
    EXPECT_EQ(s.sink.frames[0][4], std::byte{0x5A});

    // While the frame is unacknowledged, images are dropped: no preview, no send.
    s.now += 100;
    EXPECT_FALSE(s.capture());
    s.now += 1900;  // exactly 2000 ms: still waiting
    EXPECT_FALSE(s.capture());
    EXPECT_EQ(s.sink.frames.size(), 1u);

    // An ack lets the next image through, and that one is not blacked out.
    s.wnd.OnFrameAck();
    s.now += 1;
    EXPECT_TRUE(s.capture());
    EXPECT_EQ(s.sink.frames.size(), 2u);
    EXPECT_EQ(s.codecs.log.blackImages, (std::vector<bool>{true, false}));

    // The next call starts black again.
    ASSERT_TRUE(s.wnd.StartSending(&s.sink, &s.encoder, size));
    s.now += 1;
    EXPECT_TRUE(s.capture());
    EXPECT_EQ(s.codecs.log.blackImages, (std::vector<bool>{true, false, true}));
}

TEST(SendVideoWndTest, WithoutAcksOneFrameAboutEveryTwoSeconds) {
    Sender s;
    ASSERT_TRUE(s.wnd.StartSending(&s.sink, &s.encoder, dibFrameSizeOf(kFormat)));
    // 30 frames per second for ten seconds, no ack ever.
    for (int i = 0; i < 300; ++i) {
        s.capture();
        s.now += 33;
    }
    // Sent at t = 0, then at the first image more than 2000 ms later, ...
    EXPECT_EQ(s.sink.frames.size(), 5u);
    // The tick counter wraps without upsetting the pacing.
    s.now = 0xFFFFFF00u;
    s.capture();
    s.now += 0x200;
    EXPECT_FALSE(s.capture());
    EXPECT_EQ(s.sink.frames.size(), 6u);
}

TEST(SendVideoWndTest, StopSendingReturnsAtOnceAndRestoresPreviewRate) {
    Sender s;
    ASSERT_TRUE(s.wnd.StartSending(&s.sink, &s.encoder, dibFrameSizeOf(kFormat)));
    s.capture();
    s.wnd.StopSending();
    EXPECT_FALSE(s.wnd.IsSending());
    s.now += 1;
    EXPECT_TRUE(s.capture());
    s.now += 1;
    EXPECT_TRUE(s.capture());
    EXPECT_EQ(s.sink.frames.size(), 1u);

    // Ended and restarted from a nested loop inside a frame: that frame goes
    // to neither call.
    FakeSink next;
    ASSERT_TRUE(s.wnd.StartSending(&s.sink, &s.encoder, dibFrameSizeOf(kFormat)));
    s.codecs.log.duringFrame = [&] {
        s.wnd.StopSending();
        ASSERT_TRUE(s.wnd.StartSending(&next, &s.encoder, dibFrameSizeOf(kFormat)));
    };
    s.capture();
    s.codecs.log.duringFrame = nullptr;
    EXPECT_EQ(s.sink.frames.size(), 1u);
    EXPECT_TRUE(next.frames.empty());
    s.now += 1;
    s.capture();
    EXPECT_EQ(next.frames.size(), 1u);
}

TEST(SendVideoWndTest, ImagesThatDoNotMatchTheCallAreNotReadPastTheirEnd) {
    Sender s;
    // A call set up for a larger frame than the capture now delivers.
    const std::uint32_t size = dibFrameSizeOf(rgbFormat(320, 240));
    ASSERT_TRUE(s.wnd.StartSending(&s.sink, &s.encoder, size));
    EXPECT_TRUE(s.capture());
    EXPECT_TRUE(s.codecs.log.keyFrames.empty());
    EXPECT_TRUE(s.sink.frames.empty());
}

TEST(SendVideoWndTest, AFrameThatDoesNotFitIsSkipped) {
    Sender s;
    ASSERT_TRUE(s.wnd.StartSending(&s.sink, &s.encoder, dibFrameSizeOf(kFormat)));
    // The fake codec writes 10 bytes; give the sender only frames of 8.
    CSendVideoWnd small{nullptr, [&s] { return s.now; }};
    small.Attach(nullptr);
    ASSERT_TRUE(small.StartSending(&s.sink, &s.encoder, 8));
    std::vector<std::byte> image(8);
    small.onMediaFrame(MediaFrame{0, MediaSource::Camera, image});
    EXPECT_TRUE(s.sink.frames.empty());
}

}  // namespace
}  // namespace kova
