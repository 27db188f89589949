#include "app/MainDlg.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QKeyEvent>
#include <QSignalSpy>
#include <QUuid>

#include "common/WindowMessages.h"
#include "config/ProfileStore.h"
#include "support/TempDir.h"
#include "ui/TrayIcon.h"

namespace kova {
namespace {

using test::TempDir;

class MainDlgTest : public ::testing::Test {
protected:
    MainDlgSetup setup() const {
        return {dir.path({}), dir.path("kova.INI"),
                "kova-test-" + QUuid::createUuid().toString(QUuid::Id128)};
    }
    void writeProfile() { ProfileStore(dir.path("kova.INI")).save({"Ann", "ann@x", {}}); }
    TempDir dir;
};

TEST_F(MainDlgTest, CloseAndEscapeOnlyHideWithoutTheQuitFlag) {
    writeProfile();
    CMainDlg dlg(setup(), 65507);
    ASSERT_TRUE(dlg.initialise());
    EXPECT_TRUE(dlg.isVisible());
    EXPECT_EQ(dlg.windowTitle(), "KOVA - Open Meeting Room");
    QSignalSpy ended(&dlg, &CMainDlg::ended);

    dlg.close();
    EXPECT_FALSE(dlg.isVisible());
    dlg.restore();
    EXPECT_TRUE(dlg.isVisible());

    QKeyEvent esc(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
    QApplication::sendEvent(&dlg, &esc);
    QApplication::processEvents();  // the close request is posted
    EXPECT_FALSE(dlg.isVisible());
    EXPECT_EQ(ended.count(), 0);
    EXPECT_FALSE(dlg.quitFlag());
}

TEST_F(MainDlgTest, EndOfSessionRunsTheQuitSequenceAndTeardownWritesSettings) {
    writeProfile();
    {
        CMainDlg dlg(setup(), 65507);
        ASSERT_TRUE(dlg.initialise());
        QSignalSpy ended(&dlg, &CMainDlg::ended);
        dlg.endSession();
        EXPECT_TRUE(dlg.quitFlag());
        EXPECT_EQ(ended.count(), 1);
        EXPECT_FALSE(dlg.isVisible());
        EXPECT_FALSE(QFile::exists(dir.path("avset.cfg"))) << "written only at teardown";
    }
    const QByteArray saved = TempDir::read(dir.path("avset.cfg"));
    ASSERT_EQ(saved.size(), 1344);
    EXPECT_EQ(saved.mid(40, 4), "IV50");
}

TEST_F(MainDlgTest, ExitFromTheTrayPostsTheCloseRequest) {
    writeProfile();
    CMainDlg dlg(setup(), 65507);
    ASSERT_TRUE(dlg.initialise());
    QSignalSpy ended(&dlg, &CMainDlg::ended);
    dlg.exitProgram();
    EXPECT_EQ(ended.count(), 0);
    EXPECT_TRUE(ended.wait(1000));
}

TEST_F(MainDlgTest, LoadsTheProfileAndSettingsOfItsFolder) {
    writeProfile();
    AvSettings stored;
    stored.applyDefaults();
    stored.audioBufferLength = 100;
    saveAvSettings(dir.path("avset.cfg"), stored);
    CMainDlg dlg(setup(), 65507);
    EXPECT_EQ(dlg.settings().audioBufferLength, 100);
    ASSERT_TRUE(dlg.initialise());
    EXPECT_EQ(dlg.profile().name, "Ann");
    EXPECT_EQ(dlg.maxUdpDatagram(), 65507);
}

}  // namespace
}  // namespace kova

namespace kova {
namespace {

TEST_F(MainDlgTest, TrayMenuOffersRestoreOnlyWhileHidden) {
    writeProfile();
    CMainDlg dlg(setup(), 65507);
    ASSERT_TRUE(dlg.initialise());
    using C = CMainDlg::Command;
    EXPECT_EQ(dlg.trayMenuCommands(), (QList<int>{C::ID_APP_ABOUT, 0, C::ID_APP_EXIT}));
    dlg.close();
    EXPECT_EQ(dlg.trayMenuCommands(),
              (QList<int>{C::ID_APP_ABOUT, 0, C::ID_RESTORE, C::ID_APP_EXIT}));
    dlg.onCommand(C::ID_RESTORE);
    EXPECT_TRUE(dlg.isVisible());
}

TEST_F(MainDlgTest, TrayClickShowsTheWindowUntilTheQuitFlagIsSet) {
    writeProfile();
    CMainDlg dlg(setup(), 65507);
    ASSERT_TRUE(dlg.initialise());
    dlg.close();
    sendMessage(&dlg, MSG_TRAY_NOTIFY, 0, CTrayIcon::kLeftButtonDown);
    EXPECT_TRUE(dlg.isVisible());
    EXPECT_EQ(dlg.tray().tooltip(), "KOVA\nUniversal Video Conferencing Tool");

    dlg.endSession();
    sendMessage(&dlg, MSG_TRAY_NOTIFY, 0, CTrayIcon::kLeftButtonDown);
    EXPECT_FALSE(dlg.isVisible());
}

TEST_F(MainDlgTest, BalloonsGoThroughTheTray) {
    writeProfile();
    CMainDlg dlg(setup(), 65507);
    ASSERT_TRUE(dlg.initialise());
    static_cast<IBalloonReporter&>(dlg).ShowBalloon("No Video!");
    ASSERT_FALSE(dlg.tray().balloonLog().isEmpty());
    EXPECT_EQ(dlg.tray().balloonLog().back(), "No Video!");
    EXPECT_EQ(dlg.tray().balloonTitle(), "KOVA - Open Meeting Room");
}

}  // namespace
}  // namespace kova
