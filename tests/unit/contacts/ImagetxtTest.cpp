#include "contacts/Imagetxt.h"

#include <gtest/gtest.h>

#include <QImage>

#include "unit/ui/TwinPictures.h"

namespace kova {
namespace {

TEST(Imagetxt, PictureAsLargeAsThePanelKeepsItsFirst130Columns) {
    QImage source(300, 40, QImage::Format_RGB32);
    for (int x = 0; x < 300; ++x) {
        for (int y = 0; y < 40; ++y) {
            source.setPixel(x, y, qRgb(x < 130 ? x : 255, y, 0));
        }
    }
    const QImage out = CImagetxt::compose(QPixmap::fromImage(source), 300, 40).toImage();
    for (int x : {0, 64, 129}) {
        EXPECT_EQ(out.pixel(x, 20), source.pixel(x, 20)) << x;
    }
}

TEST(Imagetxt, LargePictureKeepsItsFirst130LogicalColumnsAtFullResolution) {
    QImage source(600, 80, QImage::Format_RGB32);
    for (int x = 0; x < 600; ++x) {
        for (int y = 0; y < 80; ++y) {
            source.setPixel(x, y, qRgb(x % 256, x / 256 * 100, y));
        }
    }
    source.setDevicePixelRatio(2);
    const QPixmap out = CImagetxt::compose(QPixmap::fromImage(source), 300, 40);
    EXPECT_EQ(out.deviceIndependentSize(), QSizeF(300, 40));
    const QImage shown = out.toImage();
    for (int x : {0, 1, 129, 258, 259}) {
        EXPECT_EQ(shown.pixel(x, 41), source.pixel(x, 41)) << x;
    }
}

TEST(Imagetxt, LargePictureSplitsWhereItsTwinDoes) {
    QImage source(300, 40, QImage::Format_RGB32);
    source.fill(Qt::blue);
    for (int x = 0; x < CImagetxt::kFixedColumns; ++x) {
        for (int y = 0; y < 40; ++y) {
            source.setPixelColor(x, y, Qt::green);
        }
    }
    // Twice the picture's height: the fixed columns keep their shape in 260 of
    // the panel's.
    const QImage normal = CImagetxt::compose(QPixmap::fromImage(source), 600, 80).toImage();
    const QImage large =
        CImagetxt::compose(QPixmap::fromImage(test::twice(source)), 600, 80).toImage();
    EXPECT_EQ(normal.pixelColor(250, 40), QColor(Qt::green));
    EXPECT_EQ(normal.pixelColor(270, 40), QColor(Qt::blue));
    EXPECT_EQ(large.pixelColor(500, 80), QColor(Qt::green));
    EXPECT_EQ(large.pixelColor(540, 80), QColor(Qt::blue));
}

TEST(Imagetxt, RightEndIsTheLeftEndMirrored) {
    QImage source(300, 40, QImage::Format_ARGB32);
    source.fill(Qt::blue);
    for (int y = 0; y < 40; ++y) {
        source.setPixelColor(0, y, Qt::red);
        source.setPixelColor(1, y, Qt::yellow);
    }
    source.setPixelColor(0, 0, Qt::transparent);
    const QImage out = CImagetxt::compose(QPixmap::fromImage(source), 300, 40).toImage();
    EXPECT_EQ(out.pixelColor(299, 20), QColor(Qt::red));
    EXPECT_EQ(out.pixelColor(298, 20), QColor(Qt::yellow));
    EXPECT_EQ(out.pixelColor(299, 0).alpha(), 0) << "a rounded corner stays see-through";
    EXPECT_EQ(out.pixelColor(250, 20), QColor(Qt::blue));
}

TEST(Imagetxt, HeightIsFiveLines) {
    CImagetxt panel;
    EXPECT_EQ(panel.Height(), 5 * panel.fontMetrics().height());
    EXPECT_EQ(panel.line1(), " ");
}

}  // namespace
}  // namespace kova
