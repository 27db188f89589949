#include "video/CaptureGraph.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QTest>

#include "media/MediaFrame.h"
#include "video/DeviceList.h"
#include "video/TestPatternSource.h"

namespace kova {
namespace {

class FakeSource final : public ICaptureSource {
public:
    explicit FakeSource(std::vector<BitmapInfoHeader> offered, bool opens = true,
                        bool streams = true)
        : offered_(std::move(offered)), opens_(opens), streams_(streams) {}

    std::vector<BitmapInfoHeader>* setCalls = nullptr;
    BitmapInfoHeader current = rgbFormat(160, 120, 16);

    QString name() const override { return "Fake"; }
    std::vector<BitmapInfoHeader> formats() override { return offered_; }
    bool setFormat(const BitmapInfoHeader& f) override {
        if (setCalls) {
            setCalls->push_back(f);
        }
        current = f;
        return true;
    }
    BitmapInfoHeader format() const override { return current; }
    bool open() override { return opens_; }
    bool startStream() override { return streams_; }
    bool grab(MutableByteSpan) override { return false; }
    void interrupt() override {}
    void resume() override {}
    void stopStream() override {}

private:
    std::vector<BitmapInfoHeader> offered_;
    bool opens_;
    bool streams_;
};

struct Boxes {
    std::vector<std::pair<QString, QString>> shown;
    CCaptureGraph::ErrorBox box() {
        return [this](const QString& text, const QString& caption) {
            shown.emplace_back(text, caption);
        };
    }
};

BitmapInfoHeader compressed(std::int32_t w, std::int32_t h) {
    BitmapInfoHeader f = rgbFormat(w, h);
    f.compression = fourCC('M', 'J', 'P', 'G');
    return f;
}

TEST(CaptureGraphTest, SelectFormatFallsBackToWhatTheDeviceOffers) {
    Boxes boxes;
    std::vector<BitmapInfoHeader> set;
    {
        CCaptureGraph graph(boxes.box());
        auto source = std::make_unique<FakeSource>(
            std::vector{compressed(640, 480), rgbFormat(352, 288, 16), rgbFormat(320, 240)});
        source->setCalls = &set;
        graph.SetSource(std::move(source));
        std::int32_t w = 640, h = 480;
        graph.SelectFormat(w, h);
        EXPECT_EQ(w, 320);
        EXPECT_EQ(h, 240);
        ASSERT_EQ(set.size(), 1u);
        EXPECT_EQ(set[0], rgbFormat(320, 240));
    }
    set.clear();
    {
        // Nothing uncompressed in 24 bits: seven passes, ending at 320 x 240, and the
        // device keeps its own format.
        CCaptureGraph graph(boxes.box());
        auto source = std::make_unique<FakeSource>(
            std::vector{compressed(320, 240), rgbFormat(320, 240, 16), rgbFormat(640, 480, 32)});
        source->setCalls = &set;
        graph.SetSource(std::move(source));
        std::int32_t w = 640, h = 480;
        graph.SelectFormat(w, h);
        EXPECT_EQ(w, 320);
        EXPECT_EQ(h, 240);
        EXPECT_TRUE(set.empty());
        ASSERT_EQ(graph.Start(), 0);
        EXPECT_EQ(graph.VideoFormat(), rgbFormat(160, 120, 16));
    }
    EXPECT_TRUE(boxes.shown.empty());
}

TEST(CaptureGraphTest, FrameSizeIsPaddedRowsTimesHeightOnceStarted) {
    Boxes boxes;
    CCaptureGraph graph(boxes.box());
    graph.SetSource(std::make_unique<FakeSource>(std::vector{rgbFormat(176, 144)}));
    std::int32_t w = 176, h = 144;
    graph.SelectFormat(w, h);
    EXPECT_EQ(graph.FrameSize(), 0u);
    ASSERT_EQ(graph.Start(), 0);
    EXPECT_EQ(graph.FrameSize(), 76032u);
    EXPECT_EQ(graph.VideoFormat().bitCount, 24);
    graph.Stop();
    EXPECT_EQ(graph.FrameSize(), 76032u);
    EXPECT_EQ(dibFrameSizeOf(rgbFormat(175, 3)), 528u * 3);
}

TEST(CaptureGraphTest, StartFailuresShowTheirBoxes) {
    const QString caption = "DirectShow Capture";
    {
        Boxes boxes;
        CCaptureGraph graph(boxes.box());
        EXPECT_EQ(graph.Start(), CCaptureGraph::kStartFailed);
        ASSERT_EQ(boxes.shown.size(), 2u);
        EXPECT_EQ(boxes.shown[0].first,
                  "Make sure that a video capture device is connected.\n Could not add the "
                  "capture filter to the graph. ");
        EXPECT_EQ(boxes.shown[1].first, "Could not start capture");
        EXPECT_EQ(boxes.shown[1].second, caption);
    }
    {
        Boxes boxes;
        CCaptureGraph graph(boxes.box());
        graph.SetSource(std::make_unique<FakeSource>(std::vector<BitmapInfoHeader>{}, true, false));
        EXPECT_EQ(graph.Start(), CCaptureGraph::kStartFailed);
        ASSERT_EQ(boxes.shown.size(), 2u);
        EXPECT_EQ(boxes.shown[0].first,
                  "Make sure that a video capture device is connected.\n Could not render the "
                  "capture stream.");
        EXPECT_EQ(boxes.shown[0].second, caption);
        EXPECT_FALSE(graph.IsRunning());
    }
}

TEST(DeviceListTest, CamerasThenTestPatternAtMostEleven) {
    auto cameras = [](int n) {
        std::vector<CaptureDeviceEntry> v;
        for (int i = 0; i < n; ++i) {
            v.push_back({QStringLiteral("Camera %1").arg(i), [] { return nullptr; }});
        }
        return v;
    };
    CDeviceList list;
    list.Enumerate(cameras(2));
    ASSERT_EQ(list.Count(), 3);
    EXPECT_EQ(list.Name(2), "Test Pattern");
    EXPECT_EQ(list.Find("Test Pattern"), 2);
    EXPECT_EQ(list.Find("test pattern"), -1);
    EXPECT_EQ(list.Find("Camera"), -1);
    EXPECT_TRUE(list.Name(3).isEmpty());
    EXPECT_TRUE(list.Name(-1).isEmpty());
    EXPECT_EQ(list.CreateSource(3), nullptr);
    auto pattern = list.CreateSource(2);
    ASSERT_NE(pattern, nullptr);
    EXPECT_EQ(pattern->name(), "Test Pattern");

    list.Enumerate(cameras(10));
    EXPECT_EQ(list.Count(), 11);
    EXPECT_EQ(list.Name(10), "Test Pattern");
    list.Enumerate(cameras(12));
    EXPECT_EQ(list.Count(), 11);
    EXPECT_EQ(list.Name(10), "Camera 10");
    EXPECT_EQ(list.Find("Camera 11"), -1);

    // This machine has no camera: the Test Pattern is all there is.
    list.Enumerate();
    EXPECT_GE(list.Count(), 1);
    EXPECT_EQ(list.Name(list.Count() - 1), "Test Pattern");
}

// Counts deliveries and can stop the graph from inside one.
class FrameCounter : public QObject, public IMediaFrameSink {
public:
    int frames = 0;
    std::size_t lastLength = 0;
    std::uint32_t lastCounter = 0;
    int lastSequence = -1;
    bool allFromCamera = true;
    CCaptureGraph* stopInside = nullptr;
    BitmapInfoHeader format;

    void onMediaFrame(const MediaFrame& frame) override {
        ++frames;
        lastLength = frame.bytes.size();
        lastSequence = frame.sequence;
        allFromCamera = allFromCamera && frame.source == MediaSource::Camera;
        lastCounter = CTestPatternSource::readCounter(format, frame.bytes);
        if (stopInside) {
            stopInside->Stop();
            // The frame stays readable after the stop returned.
            lastCounter = CTestPatternSource::readCounter(format, frame.bytes);
        }
    }
};

TEST(CaptureGraphTest, DeliversFramesInOrderAndStopsWithoutHanging) {
    Boxes boxes;
    CCaptureGraph graph(boxes.box());
    graph.SetSource(std::make_unique<CTestPatternSource>(false));
    std::int32_t w = 176, h = 144;
    graph.SelectFormat(w, h);
    FrameCounter target;
    target.format = rgbFormat(176, 144);
    graph.SetTarget(&target);
    ASSERT_EQ(graph.Start(), 0);
    ASSERT_TRUE(QTest::qWaitFor([&] { return target.frames >= 5; }));
    EXPECT_EQ(target.lastLength, 76032u);
    EXPECT_EQ(target.lastCounter, static_cast<std::uint32_t>(target.frames - 1));
    EXPECT_EQ(target.lastSequence, (target.frames - 1) % 256);
    EXPECT_TRUE(target.allFromCamera);

    // The capture thread now waits for a delivery this thread has not run:
    // stopping must not wait for it, and the stale delivery is dropped.
    graph.Stop();
    const int before = target.frames;
    QCoreApplication::processEvents();
    EXPECT_EQ(target.frames, before);

    // Stopping from inside the frame handler returns too.
    target.stopInside = &graph;
    ASSERT_EQ(graph.Start(), 0);
    ASSERT_TRUE(QTest::qWaitFor([&] { return target.frames > before; }));
    EXPECT_FALSE(graph.IsRunning());
}

TEST(CaptureGraphTest, PauseHoldsFramesAndResumeRestarts) {
    Boxes boxes;
    CCaptureGraph graph(boxes.box());
    graph.SetSource(std::make_unique<CTestPatternSource>(false));
    FrameCounter target;
    target.format = rgbFormat(320, 240);
    graph.SetTarget(&target);
    ASSERT_EQ(graph.Start(), 0);
    ASSERT_TRUE(QTest::qWaitFor([&] { return target.frames >= 1; }));
    graph.Pause();
    EXPECT_FALSE(graph.IsRunning());
    QCoreApplication::processEvents();  // at most the frame already in flight
    const int held = target.frames;
    QTest::qWait(50);
    EXPECT_LE(target.frames, held + 1);
    graph.Resume();
    EXPECT_TRUE(graph.IsRunning());
    ASSERT_TRUE(QTest::qWaitFor([&] { return target.frames >= held + 3; }));
}

}  // namespace
}  // namespace kova
