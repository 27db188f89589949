// Chat backgrounds: picture scaling, the fall-back to the default colour, the
// "Set Background" dialog and the main window's band-and-body painter.
#include "chat/ChatBackground.h"

#include <gtest/gtest.h>

#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QTextBrowser>

#include "chat/BackImage.h"
#include "chat/BackSetDlg.h"
#include "chat/ChatDlg.h"
#include "chat/ChatHistory.h"
#include "chat/RichTextDocument.h"
#include "config/AvSettings.h"
#include "support/Modal.h"
#include "support/TempDir.h"

namespace kova {
namespace {

TEST(ChatBackground, PicturesLargerThanTheScreenAreScaledDown) {
    const QSize area(1280, 1024);
    EXPECT_EQ(ChatBackground::renderSize({1000, 3000}, area), QSize(341, 1024));
    EXPECT_EQ(ChatBackground::renderSize({4000, 1000}, area), QSize(1280, 320));
    EXPECT_EQ(ChatBackground::renderSize({300, 200}, area), QSize(300, 200));
    EXPECT_EQ(ChatBackground::renderSize({100000, 2000}, area).width(), 1280);
    EXPECT_FALSE(ChatBackground::renderSize({0, 10}, area).isValid());
}

TEST(ChatBackground, ModesFromTheSettings) {
    test::TempDir dir;
    AvSettings s;
    EXPECT_EQ(ChatBackground::fromSettings(s, {1280, 1024}).colour, QColor(216, 230, 243));
    s.backgroundMode = 1;
    s.backgroundColour = 0x00332211;
    EXPECT_EQ(ChatBackground::fromSettings(s, {1280, 1024}).colour, QColor(0x11, 0x22, 0x33));

    QImage tall(1000, 3000, QImage::Format_RGB32);
    tall.fill(Qt::red);
    const QString path = dir.path("tall.png");
    ASSERT_TRUE(tall.save(path));
    s.backgroundMode = 2;
    s.backgroundImagePath.setText(toU16(path));
    const ChatBackground b = ChatBackground::fromSettings(s, {1280, 1024});
    EXPECT_EQ(b.mode, BackgroundMode::ImageFile);
    EXPECT_EQ(b.picture.size(), QSize(341, 1024));
    EXPECT_EQ(s.backgroundMode, 2);

    s.backgroundImagePath.setText(toU16(dir.path("missing.jpg")));
    const ChatBackground missing = ChatBackground::fromSettings(s, {1280, 1024});
    EXPECT_EQ(missing.mode, BackgroundMode::Default);
    EXPECT_EQ(missing.colour, QColor(216, 230, 243));
    EXPECT_EQ(s.backgroundMode, 0) << "stored back as the default";
}

TEST(ChatBackground, SetBackgroundDialogEditsItsOwnCopies) {
    test::TempDir dir;
    const QString picture = dir.path("p.png");
    QImage(8, 8, QImage::Format_RGB32).save(picture);
    int browses = 0;
    CBackSetDlg::setChoosers(
        [](const QColor&, QWidget*) { return std::optional<QColor>(Qt::blue); },
        [&](const QString&, QWidget*) { return ++browses == 1 ? picture : QString(); });
    CBackSetDlg dlg({0, 0, "/old.jpg"});
    auto* colors = static_cast<QPushButton*>(dlg.control(CBackSetDlg::IDC_COLORS));
    auto* browse = static_cast<QPushButton*>(dlg.control(CBackSetDlg::IDC_BROWSE));
    EXPECT_FALSE(colors->isEnabled());
    EXPECT_FALSE(browse->isEnabled());
    static_cast<QRadioButton*>(dlg.control(CBackSetDlg::IDC_USER_COLOR))->click();
    EXPECT_TRUE(colors->isEnabled());
    colors->click();
    EXPECT_EQ(dlg.values().colour, 0x00FF0000u);
    static_cast<QRadioButton*>(dlg.control(CBackSetDlg::IDC_IMAGE_FILE))->click();
    EXPECT_FALSE(colors->isEnabled());
    EXPECT_TRUE(browse->isEnabled());
    browse->click();
    EXPECT_EQ(dlg.values().imagePath, picture);
    browse->click();  // cancelled
    EXPECT_EQ(dlg.values().imagePath, picture);
    EXPECT_EQ(dlg.values().mode, 2);
}

TEST(ChatBackground, ChatWindowWithAMissingPictureFallsBackAndStoresIt) {
    AvSettings s;
    s.backgroundMode = 2;
    s.backgroundImagePath.setText(u"/nonexistent/x.jpg");
    CChatDlg dlg(nullptr, "A", "B", "10.0.0.2", s, nullptr);
    EXPECT_EQ(dlg.background().mode, BackgroundMode::Default);
    EXPECT_EQ(s.backgroundMode, 0);
    EXPECT_EQ(dlg.history()->palette().color(QPalette::Base), QColor(216, 230, 243));
}

TEST(BackImage, BandBodyAndTitle) {
    QImage band(90, 30, QImage::Format_RGB32);
    band.fill(Qt::red);
    QPainter(&band).fillRect(30, 0, 30, 30, Qt::green);
    QImage body(10, 100, QImage::Format_RGB32);
    body.fill(Qt::blue);
    QPainter(&body).fillRect(0, 67, 10, 33, Qt::yellow);
    CBackImage image;
    EXPECT_EQ(image.BandHeight(), 40);
    ASSERT_TRUE(image.LoadBitmaps(band, body));
    EXPECT_EQ(image.BandHeight(), 30);
    image.Compose(400, 300, true);
    const QImage& p = image.picture();
    ASSERT_EQ(p.size(), QSize(400, 300));
    EXPECT_EQ(p.pixelColor(5, 5), QColor(Qt::red));
    EXPECT_EQ(p.pixelColor(200, 5), QColor(Qt::green)) << "middle third stretched";
    EXPECT_EQ(p.pixelColor(395, 5), QColor(Qt::red));
    EXPECT_EQ(p.pixelColor(200, 30 + 30), QColor(Qt::blue)) << "first 67 rows kept";
    EXPECT_EQ(p.pixelColor(200, 30 + 67 + 100), QColor(Qt::yellow)) << "rest stretched";
    image.Compose(400, 300, false);
    EXPECT_EQ(image.picture().pixelColor(200, 30 + 80), QColor(Qt::blue));

    // Pictures for a dense screen: the same layout in logical pixels, twice the
    // device pixels, and the band's thirds cut from the right device columns.
    QImage band2 = band.scaled(180, 60);
    band2.setDevicePixelRatio(2);
    QImage body2 = body.scaled(20, 200);
    body2.setDevicePixelRatio(2);
    ASSERT_TRUE(image.LoadBitmaps(band2, body2));
    EXPECT_EQ(image.BandHeight(), 30);
    image.Compose(400, 300, true, 2);
    const QImage& dense = image.picture();
    ASSERT_EQ(dense.size(), QSize(800, 600));
    EXPECT_EQ(dense.devicePixelRatio(), 2);
    EXPECT_EQ(dense.pixelColor(10, 10), QColor(Qt::red));
    EXPECT_EQ(dense.pixelColor(400, 10), QColor(Qt::green));
    EXPECT_EQ(dense.pixelColor(790, 10), QColor(Qt::red));
    EXPECT_EQ(dense.pixelColor(400, 2 * (30 + 30)), QColor(Qt::blue));
    EXPECT_EQ(dense.pixelColor(400, 2 * (30 + 67 + 100)), QColor(Qt::yellow));
}

}  // namespace
}  // namespace kova
