#include "app/MainLayout.h"

#include <gtest/gtest.h>

namespace kova {
namespace {

MainLayoutInput defaults() {
    MainLayoutInput in;
    in.bandHeight = 61;
    in.videoArea = QRect(216, 69, 100, 100);
    in.captureSize = QSize(320, 240);
    in.screenSize = QSize(1280, 800);
    in.list = QRect(8, 69, 200, 50);
    in.helpRight = 416;
    in.slider = QSize(24, 110);
    in.panelHeight = 80;
    in.closeButton = QSize(22, 22);
    return in;
}

TEST(MainLayout, FollowsTheVideoSize) {
    const MainLayout out = computeMainLayout(defaults());
    EXPECT_EQ(out.videoArea, QRect(216, 69, 320, 240));
    EXPECT_EQ(out.list, QRect(8, 69, 200, 240));
    // right = max(536 + 16, 416 + 48 + 16, 536 + 48); bottom = max(309 + 112, 69 + 352, 321)
    EXPECT_EQ(out.client, QSize(584, 421));
    EXPECT_EQ(out.speakerSlider.topLeft(), QPoint(548, 69));
    EXPECT_EQ(out.micSlider.top(), 69 + 110 + 12);
    EXPECT_EQ(out.statusPanel, QRect(8, 325, 584 - 16 - 8, 80));
    EXPECT_EQ(out.closeButton, QRect(584 - 18 - 22, 18, 22, 22));
}

TEST(MainLayout, BigCapturesAreCappedToTheScreenAndSmallOnesKeepTheList) {
    MainLayoutInput in = defaults();
    in.captureSize = QSize(1280, 1024);
    MainLayout out = computeMainLayout(in);
    EXPECT_EQ(out.videoArea.size(), QSize(1280 - 216 - 48, 800 - 69 - 80 - 32));
    EXPECT_EQ(out.client, QSize(1280, 800)) << "sliders and status panel stay on the screen";

    in.captureSize = QSize(160, 120);
    out = computeMainLayout(in);
    EXPECT_EQ(out.videoArea.size(), QSize(160, 120));
    EXPECT_EQ(out.list.height(), 240) << "the list keeps at least 240 pixels";
}

}  // namespace
}  // namespace kova
