#include "ui/TrayIcon.h"

#include <gtest/gtest.h>

#include <QWidget>

namespace kova {
namespace {

struct FakeNotifier : IDesktopNotifier {
    void probe(std::function<void()> a) override { answered = std::move(a); }
    State state() const override { return now; }
    bool statusNotifierHost() const override { return false; }
    void notify(const QString& title, const QString& text, std::function<void()> f) override {
        sent << title + "|" + text;
        failed = std::move(f);
    }
    State now = State::Unknown;
    std::function<void()> answered, failed;
    QStringList sent;
};

TEST(TrayIcon, BalloonsWaitForTheServiceAndWhatItRefusesIsShownHere) {
    QWidget owner;
    owner.setWindowTitle("KOVA - Open Meeting Room");
    FakeNotifier service;
    CTrayIcon tray;
    tray.setNotifier(&service);
    tray.Add(&owner, 153, "tip");
    for (int i = 0; i < CTrayIcon::kMaxHeld + 2; ++i) {
        tray.ShowBalloon(QString::number(i));
    }
    EXPECT_EQ(tray.lastShown(), CTrayIcon::Shown::Held);
    EXPECT_TRUE(service.sent.isEmpty());
    service.now = IDesktopNotifier::State::Available;
    service.answered();
    ASSERT_EQ(service.sent.size(), CTrayIcon::kMaxHeld) << "a flood is capped while held";
    EXPECT_EQ(service.sent.back(),
              "KOVA - Open Meeting Room|" + QString::number(CTrayIcon::kMaxHeld + 1));
    EXPECT_EQ(tray.balloonLog().size(), CTrayIcon::kMaxHeld + 2) << "the log keeps them all";

    tray.ShowBalloon("Connected:\nAnn");
    EXPECT_EQ(service.sent.back(), "KOVA - Open Meeting Room|Connected:\nAnn");
    EXPECT_EQ(tray.lastShown(), CTrayIcon::Shown::Service);
    service.failed();
    EXPECT_EQ(tray.lastShown(),
              tray.hasSystemTray() ? CTrayIcon::Shown::Tray : CTrayIcon::Shown::Corner);

    service.now = IDesktopNotifier::State::Missing;
    tray.ShowBalloon("No Video!");
    EXPECT_EQ(service.sent.size(), CTrayIcon::kMaxHeld + 1);
    EXPECT_NE(tray.lastShown(), CTrayIcon::Shown::Service);
}

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
