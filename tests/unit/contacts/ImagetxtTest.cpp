#include "contacts/Imagetxt.h"

#include <gtest/gtest.h>

#include <QImage>

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

TEST(Imagetxt, HeightIsFiveLines) {
    CImagetxt panel;
    EXPECT_EQ(panel.Height(), 5 * panel.fontMetrics().height());
    EXPECT_EQ(panel.line1(), " ");
}

}  // namespace
}  // namespace kova
