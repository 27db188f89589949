#include "ui/TrayIcon.h"

#include <gtest/gtest.h>

#include <QWidget>

namespace kova {
namespace {

TEST(TrayIcon, BalloonsAreCutLoggedAndTitledWithTheOwnersCaption) {
    QWidget owner;
    owner.setWindowTitle(QString(70, 'T'));
    CTrayIcon tray;
    tray.Add(&owner, 153, QString(200, 't'));
    EXPECT_EQ(tray.tooltip().size(), 127);
    EXPECT_EQ(tray.balloonTitle(), QString(63, 'T'));

    tray.ShowBalloon(QString(300, 'x'));
    tray.ShowBalloon(QString());  // a null text shows nothing
    tray.ShowBalloon(QStringLiteral("Connected:\nAnn"));
    ASSERT_EQ(tray.balloonLog().size(), 2);
    EXPECT_EQ(tray.balloonLog()[0], QString(255, 'x'));
    EXPECT_EQ(tray.balloonLog()[1], "Connected:\nAnn");
}

TEST(TrayIcon, TitleIsTakenLaterWhenTheOwnerHadNone) {
    QWidget owner;
    CTrayIcon tray;
    tray.Add(&owner, 153, "tip");
    EXPECT_EQ(tray.balloonTitle(), "");
    owner.setWindowTitle("KOVA - Open Meeting Room");
    tray.ShowBalloon("No Video!");
    EXPECT_EQ(tray.balloonTitle(), "KOVA - Open Meeting Room");
}

TEST(TrayIcon, LogKeepsTheLatestBalloons) {
    CTrayIcon tray;
    tray.Add(nullptr, 153, "tip");
    for (int i = 0; i < CTrayIcon::kLogSize + 10; ++i) {
        tray.ShowBalloon(QString::number(i));
    }
    ASSERT_EQ(tray.balloonLog().size(), CTrayIcon::kLogSize);
    EXPECT_EQ(tray.balloonLog().back(), QString::number(CTrayIcon::kLogSize + 9));
}

}  // namespace
}  // namespace kova
