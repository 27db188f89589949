#include <gtest/gtest.h>

#include <QAccessible>
#include <QCoreApplication>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QWheelEvent>

#include "audio/BalansWnd.h"
#include "audio/VolumeSlider.h"
#include "ui/Pictures.h"
#include "unit/ui/TwinPictures.h"

namespace kova {
namespace {

struct MixerState {
    std::int64_t volume = 0;
    std::vector<std::int64_t> writes;
    bool opens = true;
};

class FakeMixer : public IMixerDevice {
public:
    explicit FakeMixer(MixerState& s) : s_(s) {}
    bool open(Line) override { return s_.opens; }
    void close() override {}
    std::int64_t minimum() const override { return 0; }
    std::int64_t maximum() const override { return 65535; }
    int channels() const override { return 2; }
    std::int64_t volume() const override { return s_.volume; }
    void setVolume(std::int64_t v) override {
        s_.volume = v;
        s_.writes.push_back(v);
    }
    std::vector<int> pollDescriptors() const override { return {}; }
    void handleEvents() override {}

private:
    MixerState& s_;
};

struct BoundSlider {
    MixerState mixer;
    CVolumeSlider slider{nullptr, std::make_unique<FakeMixer>(mixer)};
    explicit BoundSlider(std::int64_t volume) {
        mixer.volume = volume;
        slider.SetBitmaps(181, 183, 184, 185, Qt::black);
        slider.Bind(false);
    }
};

TEST(VolumeSlider, RemoteStepIsAFifthOfTheRangeCutToIt) {
    BoundSlider up(30000);
    up.slider.Step(true);
    EXPECT_EQ(up.mixer.volume, 30000 + 13107);
    EXPECT_EQ(up.slider.position(), 30000 + 13107) << "the thumb follows";

    BoundSlider low(10000);
    low.slider.Step(false);
    EXPECT_EQ(low.mixer.volume, 0);

    BoundSlider high(60000);
    high.slider.Step(true);
    EXPECT_EQ(high.mixer.volume, 65535);
}

TEST(VolumeSlider, WheelMovesAQuarterOfTheRangeAndSetsTheMixer) {
    BoundSlider s(20000);
    auto wheel = [&](int delta) {
        QWheelEvent e(QPointF(5, 5), QPointF(5, 5), QPoint(), QPoint(0, delta), Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
        QCoreApplication::sendEvent(&s.slider, &e);
    };
    wheel(120);
    EXPECT_EQ(s.slider.position(), 20000 + 16383);
    EXPECT_EQ(s.mixer.volume, 20000 + 16383);
    wheel(-120);
    wheel(-120);
    EXPECT_EQ(s.slider.position(), 20000 - 16383);
    wheel(0);
    EXPECT_EQ(s.slider.position(), 0) << "a zero delta moves down, cut to the range";
}

TEST(VolumeSlider, ArrowKeysReachTheMixerOnlyWhenTheFocusLeaves) {
    BoundSlider s(500);
    QKeyEvent up(QEvent::KeyPress, Qt::Key_Up, Qt::NoModifier);
    QCoreApplication::sendEvent(&s.slider, &up);
    QCoreApplication::sendEvent(&s.slider, &up);
    QKeyEvent down(QEvent::KeyPress, Qt::Key_Down, Qt::NoModifier);
    QCoreApplication::sendEvent(&s.slider, &down);
    EXPECT_EQ(s.slider.position(), 501);
    EXPECT_TRUE(s.mixer.writes.empty());

    QKeyEvent ctrlUp(QEvent::KeyPress, Qt::Key_Up, Qt::ControlModifier);
    QCoreApplication::sendEvent(&s.slider, &ctrlUp);
    EXPECT_EQ(s.slider.position(), 501) << "Ctrl leaves the key to the default handling";

    QFocusEvent out(QEvent::FocusOut);
    QCoreApplication::sendEvent(&s.slider, &out);
    EXPECT_EQ(s.mixer.writes, std::vector<std::int64_t>{501});
}

TEST(VolumeSlider, PixelsAndPositionsMapBothWays) {
    BoundSlider s(0);
    ASSERT_EQ(s.slider.size(), QSize(24, 110));
    EXPECT_EQ(s.slider.thumbTop(), 110 - 10);
    EXPECT_EQ(s.slider.positionFromY(200), 0);
    EXPECT_EQ(s.slider.positionFromY(-50), 65535);
    s.mixer.volume = 65535;
    s.slider.Bind(false);
    EXPECT_EQ(s.slider.thumbTop(), 22) << "full volume: the thumb at the track's top";
}

TEST(VolumeSlider, AScreenReaderReadsAndSetsItAndWithoutAMixerItSaysSo) {
    BoundSlider s(100);
    QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(&s.slider);
    ASSERT_NE(iface, nullptr);
    EXPECT_EQ(iface->role(), QAccessible::Slider);
    EXPECT_EQ(iface->text(QAccessible::Name), CVolumeSlider::kSpeakers);
    EXPECT_EQ(iface->valueInterface()->maximumValue(), 65535);
    iface->valueInterface()->setCurrentValue(30000);
    EXPECT_EQ(s.mixer.volume, 30000);

    MixerState none;
    none.opens = false;
    CVolumeSlider bare(nullptr, std::make_unique<FakeMixer>(none));
    bare.Bind(true);
    EXPECT_FALSE(bare.available());
    EXPECT_EQ(bare.toolTip(), CVolumeSlider::kNoMicrophone);
    EXPECT_EQ(QAccessible::queryAccessibleInterface(&bare)->text(QAccessible::Description),
              CVolumeSlider::kNoMicrophone);
}

TEST(BalansWnd, FillFollowsValueOverMaximum) {
    CBalansWnd bar;
    bar.resize(100, 10);
    ASSERT_TRUE(bar.SetBitmap(166, 41));
    const QImage bitmap = pictureImage(166);
    EXPECT_EQ(bar.height(), bitmap.height());
    const int y = bar.height() / 2;
    for (int v : {41, 42, 5000}) {
        bar.SetValue(v);
        EXPECT_EQ(bar.filledWidth(), 100) << v;
        EXPECT_EQ(bar.grab().toImage().pixel(99, y), bitmap.pixel(0, y)) << v;
    }
    for (int v : {0, -7}) {
        bar.SetValue(v);
        EXPECT_EQ(bar.value(), 0);
        EXPECT_EQ(bar.filledWidth(), 0) << v;
        EXPECT_EQ(bar.grab().toImage().pixel(0, y), bitmap.pixel(1, y)) << v;
    }
    bar.SetValue(20);
    EXPECT_EQ(bar.filledWidth(), 48);
}

TEST(VolumeSlider, LargePicturesKeepTheLayoutOfTheirTwinsAndTheirOwnDetail) {
    const QImage track = pictureImage(181, 1.0), top = pictureImage(183, 1.0),
                 thumb = pictureImage(184, 1.0), pressed = pictureImage(185, 1.0);
    MixerState normalMixer, largeMixer;
    normalMixer.volume = largeMixer.volume = 20000;
    CVolumeSlider normal(nullptr, std::make_unique<FakeMixer>(normalMixer));
    CVolumeSlider large(nullptr, std::make_unique<FakeMixer>(largeMixer));
    ASSERT_TRUE(normal.SetBitmaps(track, top, thumb, pressed, Qt::black));
    // One device pixel of the track that a doubled picture cannot have.
    QImage largeTrack = test::twice(track).convertToFormat(QImage::Format_ARGB32);
    const QPoint detail(11, 2 * logicalSize(top).height() + 1);
    const QRgb detailColour = qRgb(1, 2, 3);
    largeTrack.setPixel(detail - QPoint(0, 2 * logicalSize(top).height()), detailColour);
    ASSERT_TRUE(large.SetBitmaps(largeTrack, test::twice(top), test::twice(thumb),
                                 test::twice(pressed), Qt::black));
    normal.Bind(false);
    large.Bind(false);

    ASSERT_EQ(large.size(), QSize(24, 110));
    EXPECT_EQ(large.thumbTop(), normal.thumbTop());
    for (int y : {0, 30, 105}) {
        EXPECT_EQ(large.positionFromY(y), normal.positionFromY(y)) << y;
    }
    QImage shown = test::renderAtTwice(large);
    const QImage twin = test::renderAtTwice(normal);
    EXPECT_EQ(shown.pixel(detail), detailColour);
    shown.setPixel(detail, twin.pixel(detail));
    EXPECT_EQ(shown, twin);
}

TEST(BalansWnd, LargePictureKeepsItsHeightAndFillsFromItsLogicalColumns) {
    QImage bitmap(2, 6, QImage::Format_RGB32);
    for (int y = 0; y < 6; ++y) {
        bitmap.setPixelColor(0, y, Qt::green);
        bitmap.setPixelColor(1, y, Qt::gray);
    }
    CBalansWnd bar;
    bar.resize(100, 10);
    ASSERT_TRUE(bar.SetBitmap(test::twice(bitmap), 10));
    EXPECT_EQ(bar.height(), 6);
    bar.SetValue(5);
    const QImage shown = test::renderAtTwice(bar);
    EXPECT_EQ(shown.pixelColor(99, 5), QColor(Qt::green));
    EXPECT_EQ(shown.pixelColor(100, 5), QColor(Qt::gray));
    EXPECT_EQ(shown.pixelColor(199, 11), QColor(Qt::gray));
    EXPECT_FALSE(bar.SetBitmap(test::twice(QImage(1, 6, QImage::Format_RGB32)), 10))
        << "one logical column is no bar";
}

}  // namespace
}  // namespace kova
