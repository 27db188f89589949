#include "ui/TaskbarEdge.h"

#include <gtest/gtest.h>

namespace kova {
namespace {

const QRect kScreen(0, 0, 1280, 800);
const QSize kWindow(300, 120);

TEST(TaskbarEdge, WindowSitsInTheCornerNextToThePanel) {
    // Bottom panel 40 px: bottom edge touches the panel's top, right edge the screen's.
    const QRect bottom(0, 0, 1280, 760);
    EXPECT_EQ(taskbarEdge(kScreen, bottom), TaskbarEdge::Bottom);
    const QPoint p = cornerNextToTaskbar(kScreen, bottom, kWindow);
    EXPECT_EQ(p.x() + kWindow.width(), 1280);
    EXPECT_EQ(p.y() + kWindow.height(), 760);

    const QRect right(0, 0, 1230, 800);
    EXPECT_EQ(taskbarEdge(kScreen, right), TaskbarEdge::Right);
    EXPECT_EQ(cornerNextToTaskbar(kScreen, right, kWindow), QPoint(1230 - 300, 800 - 120));

    for (const QRect& available : {QRect(0, 30, 1280, 770), QRect(60, 0, 1220, 800)}) {
        EXPECT_EQ(cornerNextToTaskbar(kScreen, available, kWindow), QPoint(980, 680));
    }
}

TEST(TaskbarEdge, NoPanelMeansTheBottom) {
    EXPECT_EQ(taskbarEdge(kScreen, kScreen), TaskbarEdge::Bottom);
    EXPECT_EQ(cornerNextToTaskbar(kScreen, kScreen, kWindow), QPoint(980, 680));
    // A second screen to the right of the first.
    const QRect second(1280, 0, 1024, 768);
    EXPECT_EQ(cornerNextToTaskbar(second, second, kWindow), QPoint(2304 - 300, 768 - 120));
}

}  // namespace
}  // namespace kova
