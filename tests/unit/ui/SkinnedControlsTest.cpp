#include <gtest/gtest.h>

#include <QImage>
#include <QTest>

#include "ui/HoverButton.h"
#include "ui/LinkStatic.h"
#include "ui/PMenu.h"
#include "ui/PictureStatic.h"
#include "ui/Recolour.h"

namespace kova {
namespace {

QImage strip(QImage::Format format, int width = 160, int height = 40) {
    QImage image(width, height, format);
    image.fill(QColor(255, 0, 255));
    for (int x = 10; x < 20; ++x) {
        image.setPixelColor(x, 10, QColor(10, 20, 30));
    }
    return image;
}

TEST(HoverButton, OneFrameIsAQuarterOfTheStripAndStateChoosesIt) {
    CHoverButton button;
    ASSERT_TRUE(button.LoadBitmap(strip(QImage::Format_RGB888), QColor(216, 230, 243), true));
    EXPECT_EQ(button.size(), QSize(40, 40));
    EXPECT_EQ(button.frame(), CHoverButton::Normal);
    button.setDown(true);
    EXPECT_EQ(button.frame(), CHoverButton::Pressed);
    button.setDown(false);
    button.setEnabled(false);
    EXPECT_EQ(button.frame(), CHoverButton::Disabled);
    button.setEnabled(true);
    QEnterEvent enter(QPointF(1, 1), QPointF(1, 1), QPointF(1, 1));
    QCoreApplication::sendEvent(&button, &enter);
    EXPECT_EQ(button.frame(), CHoverButton::Hover);
    EXPECT_FALSE(button.LoadBitmap(QImage(), Qt::white, true));
}

TEST(HoverButton, WithoutFocusFrameItNeverTakesTheFocus) {
    CHoverButton button;
    button.LoadBitmap(strip(QImage::Format_RGB32), Qt::white, false);
    EXPECT_EQ(button.focusPolicy(), Qt::NoFocus);
}

TEST(Recolour, ReplacesTheCornerColourOnlyInDeepPictures) {
    const QColor key(129, 180, 233);
    for (auto format : {QImage::Format_RGB888, QImage::Format_RGB32, QImage::Format_ARGB32,
                        QImage::Format_RGB16}) {
        QImage image = strip(format);
        ASSERT_TRUE(recolourBackground(image, key)) << format;
        EXPECT_EQ(image.pixelColor(0, 0), image.pixelColor(159, 39)) << format;
        EXPECT_EQ(image.pixelColor(80, 20), image.pixelColor(0, 0)) << format;
        EXPECT_NE(image.pixelColor(15, 10), image.pixelColor(0, 0)) << "other pixels stay";
        if (format != QImage::Format_RGB16) {
            EXPECT_EQ(image.pixelColor(0, 0).rgb(), key.rgb()) << format;
        }
    }
    QImage palette = strip(QImage::Format_RGB32).convertToFormat(QImage::Format_Indexed8);
    const QImage before = palette;
    EXPECT_FALSE(recolourBackground(palette, key));
    EXPECT_EQ(palette, before);

    // A picture whose corner is already see-through keeps it so.
    QImage clear = strip(QImage::Format_ARGB32);
    clear.fill(Qt::transparent);
    clear.setPixelColor(15, 10, Qt::red);
    const QImage clearBefore = clear;
    EXPECT_TRUE(recolourBackground(clear, key));
    EXPECT_EQ(clear, clearBefore);
}

TEST(PictureStatic, ShowsTheRecolouredPicture) {
    CPictureStatic picture;
    ASSERT_TRUE(picture.SetBitmap(strip(QImage::Format_RGB32, 30, 20), Qt::yellow));
    EXPECT_EQ(picture.size(), QSize(30, 20));
    EXPECT_EQ(picture.pixmap().toImage().pixelColor(0, 0), QColor(Qt::yellow));
}

TEST(LinkStatic, AnEmptyTextShowsTheAddressAndASuccessfulClickMarksItVisited) {
    CLinkStatic link;
    link.SetAddress("https://example.org/");
    EXPECT_EQ(link.text(), "https://example.org/");
    EXPECT_EQ(link.toolTip(), "https://example.org/");
    EXPECT_EQ(link.currentColour(), CLinkStatic::kLink);
    QString opened;
    link.open = [&opened](const QString& a) {
        opened = a;
        return false;
    };
    QTest::mouseClick(&link, Qt::LeftButton);
    EXPECT_EQ(opened, "https://example.org/");
    EXPECT_FALSE(link.visited()) << "nothing opened it";
    link.open = [](const QString&) { return true; };
    QTest::mouseClick(&link, Qt::LeftButton);
    EXPECT_TRUE(link.visited());
    EXPECT_EQ(link.currentColour(), CLinkStatic::kVisited);
    EXPECT_TRUE(link.font().underline());
}

TEST(PMenu, SeparatorsReadAsStarsAndEveryRowHasTheLargestSize) {
    CPMenu menu;
    menu.AppendItem(1053, "Start Video Conference");
    QAction* separator = menu.AppendItem(0, {});
    menu.AppendItem(1055, "Edit");
    EXPECT_EQ(CPMenu::rowText(separator), "* * *");
    const QSize largest = menu.itemSize();
    EXPECT_GT(largest.width(), QFontMetrics(menu.font()).horizontalAdvance("Edit"));
    menu.ensurePolished();
    menu.adjustSize();
    for (QAction* a : menu.actions()) {
        EXPECT_EQ(menu.actionGeometry(a).size(), largest) << a->text().toStdString();
    }
}

}  // namespace
}  // namespace kova
