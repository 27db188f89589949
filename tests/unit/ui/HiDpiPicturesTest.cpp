#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QEnterEvent>
#include <QTemporaryDir>

#include "ui/HoverButton.h"
#include "ui/PictureStatic.h"
#include "ui/Pictures.h"
#include "ui/SplashWnd.h"
#include "ui/WaitPopup.h"
#include "unit/ui/TwinPictures.h"

namespace kova {
namespace {

using test::renderAtTwice;
using test::twice;

// Pictures installed in a program folder of the test's own.
class PictureFiles : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir_.isValid());
        hadConfigHome_ = qEnvironmentVariableIsSet("XDG_CONFIG_HOME");
        configHome_ = qgetenv("XDG_CONFIG_HOME");
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(dir_.path()));
        ASSERT_TRUE(QDir().mkpath(dir_.path() + "/kova/Pictures"));
    }
    void TearDown() override {
        if (hadConfigHome_) {
            qputenv("XDG_CONFIG_HOME", configHome_);
        } else {
            qunsetenv("XDG_CONFIG_HOME");
        }
    }
    void install(const QImage& image, const QString& name) {
        ASSERT_TRUE(image.save(dir_.path() + "/kova/Pictures/" + name));
    }
    static QImage filled(QSize size, QColor colour) {
        QImage image(size, QImage::Format_RGB32);
        image.fill(colour);
        return image;
    }

    QTemporaryDir dir_;
    bool hadConfigHome_ = false;
    QByteArray configHome_;
};

TEST_F(PictureFiles, LargePictureAboveRatioOneWithItsStoredDepth) {
    install(filled({10, 6}, Qt::red), "9901.png");
    const QImage large = filled({20, 12}, Qt::blue).convertToFormat(QImage::Format_Indexed8);
    install(large, "9901@2x.png");

    const QImage normal = pictureImage(9901, 1.0);
    EXPECT_EQ(normal.size(), QSize(10, 6));
    EXPECT_EQ(normal.devicePixelRatio(), 1.0);
    EXPECT_EQ(normal.pixelColor(0, 0), QColor(Qt::red));

    for (qreal ratio : {1.5, 2.0, 3.0}) {
        const QImage image = pictureImage(9901, ratio);
        EXPECT_EQ(image.size(), QSize(20, 12)) << ratio;
        EXPECT_EQ(image.devicePixelRatio(), 2.0) << ratio;
        EXPECT_EQ(logicalSize(image), QSize(10, 6)) << ratio;
        EXPECT_EQ(image.depth(), 8) << "a palette picture is not recoloured";
        EXPECT_EQ(image.pixelColor(0, 0), QColor(Qt::blue)) << ratio;
    }
}

TEST_F(PictureFiles, NormalPictureWhenTheLargeOneIsMissingOrOfAnotherSize) {
    install(filled({10, 6}, Qt::red), "9902.png");
    EXPECT_EQ(pictureImage(9902, 2.0).size(), QSize(10, 6));
    EXPECT_EQ(pictureImage(9902, 2.0).devicePixelRatio(), 1.0);

    install(filled({10, 6}, Qt::red), "9903.png");
    install(filled({21, 12}, Qt::blue), "9903@2x.png");
    const QImage image = pictureImage(9903, 2.0);
    EXPECT_EQ(image.size(), QSize(10, 6));
    EXPECT_EQ(image.pixelColor(0, 0), QColor(Qt::red));

    install(filled({20, 12}, Qt::blue), "9904@2x.png");
    EXPECT_TRUE(pictureImage(9904, 2.0).isNull()) << "no picture without its normal size";
}

const QColor kKey(216, 230, 243);
const QColor kMarks[CHoverButton::kFrames] = {Qt::red, Qt::green, Qt::blue, Qt::yellow};

// A large strip whose frames differ only in their second device column, which
// a strip drawn at logical resolution loses.
QImage markedStrip() {
    QImage strip(320, 80, QImage::Format_RGB32);
    strip.fill(QColor(255, 0, 255));
    for (int f = 0; f < CHoverButton::kFrames; ++f) {
        for (int y = 0; y < strip.height(); ++y) {
            strip.setPixelColor(80 * f + 1, y, kMarks[f]);
        }
    }
    strip.setDevicePixelRatio(2);
    return strip;
}

TEST(HiDpiHoverButton, LargeStripMakesTheButtonOfItsTwin) {
    QImage strip(160, 40, QImage::Format_RGB888);
    strip.fill(QColor(255, 0, 255));
    CHoverButton normal, large;
    ASSERT_TRUE(normal.LoadBitmap(strip, kKey, true));
    ASSERT_TRUE(large.LoadBitmap(twice(strip), kKey, true));
    EXPECT_EQ(large.size(), QSize(40, 40));
    EXPECT_EQ(large.frameSize(), normal.frameSize());
    EXPECT_EQ(large.sizeHint(), normal.sizeHint());
    EXPECT_EQ(renderAtTwice(large), renderAtTwice(normal));
}

TEST(HiDpiHoverButton, EachFrameComesFromItsOwnDeviceColumns) {
    CHoverButton button;
    ASSERT_TRUE(button.LoadBitmap(markedStrip(), kKey, false));
    auto shows = [&button](CHoverButton::Frame f) {
        EXPECT_EQ(button.frame(), f);
        const QImage shown = renderAtTwice(button);
        EXPECT_EQ(shown.size(), QSize(80, 80));
        EXPECT_EQ(shown.pixelColor(1, 41), kMarks[f]) << f;
        EXPECT_EQ(shown.pixelColor(0, 41), kKey) << f;
        EXPECT_EQ(shown.pixelColor(2, 41), kKey) << f;
    };
    shows(CHoverButton::Normal);
    QEnterEvent enter(QPointF(1, 1), QPointF(1, 1), QPointF(1, 1));
    QCoreApplication::sendEvent(&button, &enter);
    shows(CHoverButton::Hover);
    button.setDown(true);
    shows(CHoverButton::Pressed);
    button.setDown(false);
    button.setEnabled(false);
    shows(CHoverButton::Disabled);
}

TEST(HiDpiHoverButton, LargeParentBackgroundShowsThroughTheKeyColour) {
    QImage back(200, 100, QImage::Format_RGB32);
    for (int y = 0; y < back.height(); ++y) {
        for (int x = 0; x < back.width(); ++x) {
            back.setPixel(x, y, qRgb(x, y, 7));
        }
    }
    back.setDevicePixelRatio(2);
    const QPixmap background = QPixmap::fromImage(back);
    QWidget parent;
    parent.resize(100, 60);
    auto* button = new CHoverButton(&parent);
    ASSERT_TRUE(button->LoadBitmap(markedStrip(), kKey, false));
    button->move(10, 5);
    button->SetParentBackground(&background, 2);

    const QImage shown = renderAtTwice(*button);
    // The button's top left is the background's logical (10, 3).
    for (QPoint p : {QPoint(0, 0), QPoint(3, 9), QPoint(79, 79)}) {
        EXPECT_EQ(shown.pixel(p), back.pixel(p + QPoint(20, 6))) << p.x() << "," << p.y();
    }
    EXPECT_EQ(shown.pixelColor(1, 9), kMarks[CHoverButton::Normal]);
}

TEST(HiDpiPictureStatic, TakesTheLogicalSize) {
    QImage image(30, 20, QImage::Format_RGB32);
    image.fill(Qt::magenta);
    CPictureStatic picture;
    ASSERT_TRUE(picture.SetBitmap(twice(image), Qt::yellow));
    EXPECT_EQ(picture.size(), QSize(30, 20));
    EXPECT_EQ(picture.sizeHint(), QSize(30, 20));
    EXPECT_EQ(renderAtTwice(picture).pixelColor(59, 39), QColor(Qt::yellow));
}

// White is the splash's see-through colour; the shape an L and a dot.
QImage splashShape(int width = 40) {
    QImage image(width, 30, QImage::Format_RGB32);
    image.fill(Qt::white);
    for (int y = 4; y < 26; ++y) {
        image.setPixel(5, y, qRgb(0, 0, 0));
        image.setPixel(6, y, qRgb(0, 0, 0));
    }
    for (int x = 5; x < width - 5; ++x) {
        image.setPixel(x, 25, qRgb(20, 40, 60));
    }
    image.setPixel(width - 2, 1, qRgb(9, 9, 9));
    return image;
}

TEST(HiDpiSplash, TwinsGiveTheSameWindowAndSeeThroughPart) {
    CSplashWnd normal, large;
    ASSERT_TRUE(normal.SetPicture(QPixmap::fromImage(splashShape())));
    ASSERT_TRUE(large.SetPicture(QPixmap::fromImage(twice(splashShape()))));
    normal.SetColourKey(0xFFFFFF);
    large.SetColourKey(0xFFFFFF);
    EXPECT_EQ(large.size(), QSize(40, 30));
    EXPECT_EQ(large.size(), normal.size());
    ASSERT_FALSE(normal.mask().isEmpty());
    EXPECT_TRUE(normal.mask().contains(QPoint(38, 1)));
    EXPECT_FALSE(normal.mask().contains(QPoint(20, 10)));
    EXPECT_TRUE((large.mask() ^ normal.mask()).isEmpty());
}

TEST(HiDpiSplash, AWindowPixelStaysWhenAnyDevicePixelUnderItIsDrawn) {
    QImage image(80, 60, QImage::Format_RGB32);
    image.fill(Qt::white);
    image.setPixel(5, 7, qRgb(0, 0, 0));
    image.setPixel(40, 40, qRgb(0, 0, 0));
    image.setDevicePixelRatio(2);
    CSplashWnd splash;
    ASSERT_TRUE(splash.SetPicture(QPixmap::fromImage(image)));
    splash.SetColourKey(0xFFFFFF);
    EXPECT_EQ(splash.mask(), QRegion(2, 3, 1, 1) + QRegion(20, 20, 1, 1));
}

TEST(HiDpiSplash, WaitPopupWithoutBarHidesTheSameLogicalColumns) {
    const QImage shape = splashShape(200);
    CWaitPopup normal, large;
    ASSERT_TRUE(normal.SetPicture(QPixmap::fromImage(shape)));
    ASSERT_TRUE(large.SetPicture(QPixmap::fromImage(twice(shape))));
    normal.ClearProgress();
    large.ClearProgress();
    EXPECT_EQ(large.size(), QSize(200, 30));
    EXPECT_EQ(normal.mask().boundingRect().left(), CWaitPopup::kBarAreaWidth);
    EXPECT_TRUE((large.mask() ^ normal.mask()).isEmpty());
}

}  // namespace
}  // namespace kova
