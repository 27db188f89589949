// Local video end to end in one process: the Test Pattern device through the
// capture graph into the sender window, its preview drawn, and during a "call"
// frames compressed, paced by acks, and decodable by a peer's decoder.
#include <gtest/gtest.h>

#include <QFile>
#include <QTest>

#include "common/BalloonReporter.h"
#include "media/FrameSink.h"
#include "platform/VideoCodecFfmpeg.h"
#include "video/LocalVideo.h"
#include "video/SendVideoWnd.h"
#include "video/ShowWnd.h"
#include "video/TestPatternSource.h"

namespace kova {
namespace {

class Balloons final : public IBalloonReporter {
public:
    void ShowBalloon(const QString& text) override { texts.push_back(text); }
    std::vector<QString> texts;
};

class Sink final : public IFrameSink {
public:
    void SendFrame(std::span<std::byte> buffer) override {
        frames.emplace_back(buffer.begin() + kHeaderRoom, buffer.end());
    }
    std::vector<std::vector<std::byte>> frames;
};

struct Rig {
    CFfmpegVideoCodecProvider codecs;
    Balloons balloons;
    std::vector<QString> boxes;
    CLocalVideo video{codecs, balloons,
                      [this](const QString& text, const QString&) { boxes.push_back(text); }};
    CDeviceList devices;
    CSendVideoWnd sender;
    CShowWnd preview;
    AvSettings settings;

    Rig() {
        settings.applyDefaults();
        settings.captureFormat = rgbFormat(640, 480);
        devices.Enumerate();
        sender.Attach(&preview);
    }
};

TEST(LocalPreviewTest, TestPatternMovesInThePreview) {
    Rig rig;
    rig.settings.compressorFourCC = fourCC('M', 'J', 'P', 'G');
    rig.settings.captureFormat.width = 800;  // not offered: falls back to 352 x 288
    rig.settings.captureFormat.height = 600;
    const auto choice = CLocalVideo::ChooseDevice(rig.devices, QStringLiteral("Test Pattern"));
    ASSERT_TRUE(choice.found());
    ASSERT_EQ(rig.video.Start(rig.devices, choice.device, rig.settings, QString(), rig.sender,
                              &rig.preview),
              CLocalVideo::Result::Started);
    EXPECT_EQ(rig.settings.captureFormat.width, 352);
    EXPECT_EQ(rig.settings.captureFormat.height, 288);
    EXPECT_EQ(rig.video.FrameSize(), 352u * 288 * 3);
    EXPECT_EQ(rig.video.CallFormat().compression, fourCC('M', 'J', 'P', 'G'));
    EXPECT_EQ(CLocalVideo::FrameRate(), 30u);

    rig.preview.resize(rig.preview.DestinationSize());
    rig.preview.show();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !rig.preview.Picture().isNull(); }));
    const BitmapInfoHeader format = rig.video.Graph()->VideoFormat();
    auto counterOf = [&](const QImage& shot) {
        // Back to a bottom-up bitmap to read the counter as a receiver would.
        std::vector<std::byte> dib(dibFrameSizeOf(format));
        const QImage rgb = shot.convertToFormat(QImage::Format_BGR888);
        for (int y = 0; y < rgb.height(); ++y) {
            std::memcpy(dib.data() + dibStrideOf(format) * (rgb.height() - 1 - y),
                        rgb.constScanLine(y), static_cast<std::size_t>(rgb.width()) * 3);
        }
        return CTestPatternSource::readCounter(format, dib);
    };
    const QImage first = rig.preview.grab().toImage();
    ASSERT_EQ(first.size(), QSize(352, 288));
    // The top-left pixel shows the bar the pattern puts there for that frame.
    const std::uint32_t n1 = counterOf(first);
    const auto bar = CTestPatternSource::barColour(n1, 0, 352);
    EXPECT_EQ(first.pixelColor(0, 0), QColor(bar[2], bar[1], bar[0]));

    ASSERT_TRUE(QTest::qWaitFor([&] { return counterOf(rig.preview.grab().toImage()) > n1 + 2; }));
    rig.video.Stop();
    EXPECT_TRUE(rig.boxes.empty());
    EXPECT_TRUE(rig.balloons.texts.empty());
}

TEST(LocalPreviewTest, CallSendsBlackFirstThenAckPacedPatternFrames) {
    Rig rig;
    rig.settings.compressorFourCC = fourCC('X', 'V', 'I', 'D');
    rig.settings.captureFormat = rgbFormat(176, 144);
    const int device = rig.devices.Find(QStringLiteral("Test Pattern"));
    ASSERT_EQ(
        rig.video.Start(rig.devices, device, rig.settings, QString(), rig.sender, &rig.preview),
        CLocalVideo::Result::Started);
    Sink sink;
    ASSERT_TRUE(rig.sender.StartSending(&sink, rig.video.Encoder(), rig.video.FrameSize()));

    CVideoCodec decoder(rig.codecs, &rig.balloons);
    ASSERT_TRUE(decoder.SetUp(0, rig.video.CallFormat(), false, false));
    std::vector<std::byte> picture(decoder.OutputImageSize());
    const BitmapInfoHeader out = decoder.OutputFormat();
    std::vector<std::uint32_t> counters;
    for (int i = 0; i < 4; ++i) {
        ASSERT_TRUE(
            QTest::qWaitFor([&] { return sink.frames.size() > static_cast<std::size_t>(i); }));
        // One frame in flight: nothing more until the ack.
        QTest::qWait(100);
        ASSERT_EQ(sink.frames.size(), static_cast<std::size_t>(i + 1));
        ASSERT_TRUE(decoder.Decompress(sink.frames[i], picture));
        if (i == 0) {
            EXPECT_TRUE(std::all_of(picture.begin(), picture.end(),
                                    [](std::byte b) { return std::to_integer<int>(b) < 8; }));
        } else {
            counters.push_back(CTestPatternSource::readCounter(out, picture));
        }
        rig.sender.OnFrameAck();
    }
    EXPECT_LT(counters[0], counters[1]);
    EXPECT_LT(counters[1], counters[2]);

    // A device restart during the call frees the encoder the sender used: the
    // call goes on without video rather than on a freed encoder.
    rig.video.Stop();
    ASSERT_EQ(
        rig.video.Start(rig.devices, device, rig.settings, QString(), rig.sender, &rig.preview),
        CLocalVideo::Result::Started);
    rig.sender.OnFrameAck();
    const auto sent = sink.frames.size();
    QTest::qWait(200);
    EXPECT_EQ(sink.frames.size(), sent);
    rig.sender.StopSending();
    rig.video.Stop();
}

TEST(LocalPreviewTest, MissingEncoderStillPreviews) {
    Rig rig;
    rig.settings.compressorFourCC = fourCC('I', 'V', '5', '0');
    const auto choice = CLocalVideo::ChooseDevice(rig.devices, QStringLiteral("Gone Camera"));
    EXPECT_TRUE(choice.storedNameGone);
    EXPECT_EQ(rig.video.Start(rig.devices, choice.device, rig.settings, QString(), rig.sender,
                              &rig.preview),
              CLocalVideo::Result::NoCompressor);
    EXPECT_EQ(rig.balloons.texts, (std::vector<QString>{"Compressor is not supported!"}));
    EXPECT_EQ(rig.video.Encoder(), nullptr);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !rig.preview.Picture().isNull(); }));

    CDeviceList none;
    none.Enumerate(std::vector<CaptureDeviceEntry>{});
    EXPECT_EQ(CLocalVideo::ChooseDevice(none, QString()).device, 0);  // the Test Pattern
}

}  // namespace
}  // namespace kova

namespace kova {
namespace {

// Driven by tests/e2e/video_preview_test.sh on a real X server: shows the
// preview window at the top-left corner and holds it there while the script
// takes its screenshots.
TEST(LocalPreviewOnScreen, HoldsThePreviewForScreenshots) {
    const QString dir = qEnvironmentVariable("KOVA_PREVIEW_SHOT_DIR");
    if (dir.isEmpty()) {
        GTEST_SKIP() << "run by the process test only";
    }
    Rig rig;
    rig.settings.captureFormat = rgbFormat(352, 288);
    ASSERT_NE(rig.video.Start(rig.devices, rig.devices.Find(CTestPatternSource::kName),
                              rig.settings, QString(), rig.sender, &rig.preview),
              CLocalVideo::Result::CaptureFailed);
    rig.preview.setWindowFlag(Qt::FramelessWindowHint);
    rig.preview.setWindowTitle(QStringLiteral("KOVA Preview"));
    rig.preview.setGeometry(0, 0, 352, 288);
    rig.preview.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&rig.preview));
    ASSERT_TRUE(QTest::qWaitFor([&] { return !rig.preview.Picture().isNull(); }));
    QFile ready(dir + QStringLiteral("/ready"));
    ASSERT_TRUE(ready.open(QIODevice::WriteOnly));
    ready.close();
    EXPECT_TRUE(
        QTest::qWaitFor([&] { return QFile::exists(dir + QStringLiteral("/done")); }, 30000));
    rig.video.Stop();
}

}  // namespace
}  // namespace kova
