#include "ui/WaitPopup.h"

#include <gtest/gtest.h>

#include <QSignalSpy>
#include <QTest>

#include "common/WindowMessages.h"
#include "ui/TaskbarEdge.h"

namespace kova {
namespace {

// Records the window messages it is sent or posted.
class Owner : public QObject {
public:
    bool event(QEvent* e) override {
        if (e->type() == static_cast<QEvent::Type>(MSG_CALL_TIMEOUT)) {
            ++timeouts;
            return true;
        }
        return QObject::event(e);
    }
    int timeouts = 0;
};

// The call's wait and the teardown's picture as the conference controller gets them.
TEST(WaitPopup, ExpiredWaitTellsTheOwnerOnceAndClosesItself) {
    Owner owner;
    CWaitPopups waits(&owner);
    const std::unique_ptr<IWaitIndicator> wait = waits.showWait(300);
    auto& popup = dynamic_cast<CWaitPopup&>(*wait);
    QList<int> seen;
    QObject::connect(&popup, &CWaitPopup::progressChanged, [&seen](int p) { seen << p; });
    EXPECT_TRUE(popup.isVisible());
    ASSERT_TRUE(QTest::qWaitFor([&] { return owner.timeouts > 0; }, 5000));
    QTest::qWait(200);  // a second notice would arrive by now
    EXPECT_EQ(owner.timeouts, 1);
    EXPECT_TRUE(popup.stopped());
    EXPECT_TRUE(QTest::qWaitFor([&] { return !popup.isVisible(); }, 2000))
        << "closes on the paint after expiry";
    ASSERT_FALSE(seen.isEmpty());
    EXPECT_TRUE(std::is_sorted(seen.begin(), seen.end()));
    EXPECT_GE(seen.front(), 0);
    EXPECT_LE(seen.back(), CWaitPopup::kBarLength);
}

TEST(WaitPopup, TeardownWithoutProgressNeverNotifies) {
    Owner owner;
    CWaitPopups waits(&owner);
    const std::unique_ptr<IWaitIndicator> teardown = waits.showTeardown(100);
    auto& popup = dynamic_cast<CWaitPopup&>(*teardown);
    QTest::qWait(400);
    EXPECT_EQ(owner.timeouts, 0);
    EXPECT_TRUE(popup.isVisible());
    teardown->dismiss();
    EXPECT_FALSE(popup.isVisible());
}

TEST(WaitPopup, ClosedBeforeTheEndNeverNotifies) {
    Owner owner;
    {
        CWaitPopup popup;
        popup.SetProgress(CWaitPopup::kBarPicture, 200, &owner);
        popup.Create();
        popup.Close();
    }
    QTest::qWait(400);
    EXPECT_EQ(owner.timeouts, 0);
}

TEST(WaitPopup, BarGrowsOnePixelPer250MsOverThirtySeconds) {
    EXPECT_EQ(CWaitPopup::progressFor(0, 30000), 0);
    EXPECT_EQ(CWaitPopup::progressFor(249, 30000), 0);
    EXPECT_EQ(CWaitPopup::progressFor(250, 30000), 1);
    EXPECT_EQ(CWaitPopup::progressFor(15000, 30000), 60);
    EXPECT_EQ(CWaitPopup::progressFor(29999, 30000), 119);
    EXPECT_EQ(CWaitPopup::progressFor(150, 300), 60);
}

TEST(WaitPopup, SitsBesideThePanel) {
    const QSize screen(1280, 800);
    const QSize popup(200, 100);
    // A bottom panel ending short of the screen's right edge: 200 left of its
    // right end, 100 above its top.
    EXPECT_EQ(popupNextToTaskbar(TaskbarEdge::Bottom, QRect(QPoint(0, 760), QPoint(1000, 800)),
                                 screen, popup),
              QPoint(800, 660));
    // Full width: kept 2 pixels inside the screen.
    EXPECT_EQ(popupNextToTaskbar(TaskbarEdge::Bottom, QRect(QPoint(0, 760), QPoint(1280, 800)),
                                 screen, popup),
              QPoint(1078, 660));
    EXPECT_EQ(popupNextToTaskbar(TaskbarEdge::Right, QRect(QPoint(1230, 0), QPoint(1280, 800)),
                                 screen, popup),
              QPoint(1030, 698));
    EXPECT_EQ(
        popupNextToTaskbar(TaskbarEdge::Top, QRect(QPoint(0, 0), QPoint(1280, 30)), screen, popup),
        QPoint(1078, 30));
    EXPECT_EQ(
        popupNextToTaskbar(TaskbarEdge::Left, QRect(QPoint(0, 0), QPoint(48, 800)), screen, popup),
        QPoint(48, 698));
    // No panel: an empty strip at the bottom.
    const QRect s(0, 0, 1280, 800);
    EXPECT_EQ(popupNextToTaskbar(taskbarEdge(s, s), taskbarRect(s, s), screen, popup),
              QPoint(1078, 698));
}

}  // namespace
}  // namespace kova
