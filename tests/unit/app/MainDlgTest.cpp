#include "app/MainDlg.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QKeyEvent>
#include <QMessageBox>
#include <QPushButton>
#include <QRandomGenerator>
#include <QSignalSpy>
#include <QTimer>
#include <QUuid>

#include "app/ConferenceMedia.h"
#include "audio/AudioCapture.h"
#include "audio/PropertiesDlg.h"
#include "common/WindowMessages.h"
#include "config/ProfileStore.h"
#include "contacts/ContactBook.h"
#include "contacts/ContactEntry.h"
#include "contacts/Imagetxt.h"
#include "contacts/ListContact.h"
#include "media/MediaSocket.h"
#include "platform/TcpListener.h"
#include "platform/UdpSocket.h"
#include "signalling/ConferenceController.h"
#include "signalling/ControlChannel.h"
#include "support/Accessibility.h"
#include "support/ControlDatagrams.h"
#include "support/Modal.h"
#include "support/TempDir.h"
#include "transfer/FileListener.h"
#include "ui/HoverButton.h"
#include "ui/TrayIcon.h"
#include "unit/config/FileSizeLimit.h"
#include "video/LocalVideo.h"
#include "video/TestPatternSource.h"

namespace kova {
namespace {

using test::TempDir;

// Hidden, or minimised where no tray could bring a hidden window back.
bool putAway(const QWidget& w) {
    return !w.isVisible() || w.isMinimized();
}

class MainDlgTest : public ::testing::Test {
protected:
    MainDlgSetup setup() const {
        // A stored video source keeps the start-up Devices Properties dialog away.
        if (!QFile::exists(dir.path("avset.cfg"))) {
            AvSettings stored;
            stored.applyDefaults();
            stored.videoSourceName.setText(CTestPatternSource::kName.toStdU16String());
            saveAvSettings(dir.path("avset.cfg"), stored);
        }
        // A loopback address of its own: tests run side by side on the fixed port.
        const quint32 r = QRandomGenerator::global()->bounded(1u << 16);
        return {dir.path({}), dir.path("kova.INI"),
                "kova-test-" + QUuid::createUuid().toString(QUuid::Id128),
                QString("127.%1.%2.%3").arg(1 + (r >> 8) % 200).arg(r & 0xFF).arg(2 + r % 250)};
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
    EXPECT_TRUE(putAway(dlg));
    dlg.restore();
    EXPECT_FALSE(putAway(dlg));

    QKeyEvent esc(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
    QApplication::sendEvent(&dlg, &esc);
    QApplication::processEvents();  // the close request is posted
    EXPECT_TRUE(putAway(dlg));
    EXPECT_EQ(ended.count(), 0);
    EXPECT_FALSE(dlg.quitFlag());
}

TEST_F(MainDlgTest, EveryControlIsNamedForScreenReaders) {
    writeProfile();
    CMainDlg dlg(setup(), 65507);
    ASSERT_TRUE(dlg.initialise());
    EXPECT_EQ(test::unnamedControls(&dlg), QStringList());
}

TEST_F(MainDlgTest, EndOfSessionRunsTheQuitSequenceAndTeardownWritesSettings) {
    writeProfile();
    {
        CMainDlg dlg(setup(), 65507);
        ASSERT_TRUE(dlg.initialise());
        QFile::remove(dir.path("avset.cfg"));
        QSignalSpy ended(&dlg, &CMainDlg::ended);
        dlg.endSession();
        EXPECT_TRUE(dlg.quitFlag());
        EXPECT_EQ(ended.count(), 1);
        EXPECT_FALSE(dlg.isVisible());
        EXPECT_EQ(TempDir::read(dir.path("avset.cfg")).size(), 1344) << "written before the end";
        dlg.settings().audioBufferLength = 120;
    }
    const QByteArray saved = TempDir::read(dir.path("avset.cfg"));
    ASSERT_EQ(saved.size(), 1344);
    EXPECT_EQ(saved.mid(40, 4), "IV50");
    EXPECT_EQ(static_cast<unsigned char>(saved[192]), 120) << "teardown writes what changed";
}

TEST_F(MainDlgTest, EndOfSessionEndsNestedModalDialogsAndNothingStartsAfterThem) {
    writeProfile();
    CMainDlg dlg(setup(), 65507);
    ASSERT_TRUE(dlg.initialise());
    QSignalSpy ended(&dlg, &CMainDlg::ended);
    // A message box over My Profile, the session ending while both run.
    test::whenShown<QDialog>([&](QDialog* profile) {
        QMessageBox box(QMessageBox::Question, "q", "q", QMessageBox::Ok, profile);
        QTimer::singleShot(0, &dlg, [&] { dlg.endSession(); });
        box.exec();
    });
    dlg.onCommand(CMainDlg::ID_PROFILE);
    EXPECT_EQ(ended.count(), 1);
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
    test::whenShown<QDialog>([](QDialog* d) {
        ADD_FAILURE() << "a dialog opened after the end";
        d->reject();
    });
    dlg.onCommand(CMainDlg::ID_PROPERTIES);
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
    stored.videoSourceName.setText(CTestPatternSource::kName.toStdU16String());
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
    EXPECT_FALSE(putAway(dlg));
}

TEST_F(MainDlgTest, WithoutATrayCloseMinimisesAndTheBandMenuOffersExit) {
    writeProfile();
    CMainDlg dlg(setup(), 65507);
    ASSERT_TRUE(dlg.initialise());
    if (dlg.tray().hasSystemTray()) {
        GTEST_SKIP() << "a tray runs here";
    }
    using C = CMainDlg::Command;
    EXPECT_EQ(dlg.bandMenuCommands(), (QList<int>{C::ID_SYSTEM_ABOUT, C::ID_APP_EXIT}));
    dlg.close();
    EXPECT_TRUE(dlg.isVisible() && dlg.isMinimized());
    EXPECT_FALSE(dlg.quitFlag());
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

TEST_F(MainDlgTest, AFreshStartEndsWithAWorkingCodecAndNoCodecBalloon) {
    writeProfile();
    AvSettings fresh;
    fresh.applyDefaults();
    saveAvSettings(dir.path("avset.cfg"), fresh);
    bool asked = false;
    QTimer poll;  // other start-up steps run event loops before it opens
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (auto* d = qobject_cast<CPropertiesDlg*>(QApplication::activeModalWidget())) {
            asked = true;
            d->reject();
        }
    });
    poll.start(10);
    CMainDlg dlg(setup(), 65507);
    ASSERT_TRUE(dlg.initialise());
    EXPECT_TRUE(asked);
    EXPECT_FALSE(dlg.tray().balloonLog().contains(CLocalVideo::kNoCompressor));
    EXPECT_EQ(dlg.settings().compressorFourCC, fourCC('M', 'J', 'P', 'G')) << "even on Cancel";
    EXPECT_EQ(dlg.statusPanel().line1().left(17), "Video: codec MJPG");
}

}  // namespace
}  // namespace kova

namespace kova {
namespace {

TEST_F(MainDlgTest, ContactButtonsFollowSelectionAndConference) {
    writeProfile();
    CContactStore(dir.path("clset.cfg")).appendEntry("Ann", "ann@x", "127.0.0.9");
    CMainDlg dlg(setup(), 65507);
    ASSERT_TRUE(dlg.initialise());
    const QList<int> contactButtons{CMainDlg::ID_EDIT, CMainDlg::ID_DELETE, CMainDlg::ID_CONNECT,
                                    CMainDlg::ID_CHAT};
    for (int c : contactButtons) {
        EXPECT_TRUE(dlg.button(c)->isEnabled()) << c << " with the first contact selected";
    }
    dlg.media().setWarningHook([](const QString&) {});
    // Ann calls and the question is accepted.
    dlg.controlChannel().setShowMessage([](const QString&, const QString&, int) { return 1; });
    dlg.controlChannel().processDatagram(test::callDatagram(CTL_CALL, u"Ann"), 0x7F000009,
                                         CControlChannel::kPort);
    ASSERT_EQ(dlg.conference().state(), CConferenceController::State::Running);
    for (int c : contactButtons) {
        EXPECT_FALSE(dlg.button(c)->isEnabled()) << c << " during a conference";
    }
    EXPECT_TRUE(dlg.contactList().busyMark());
    dlg.conference().hangUp();
    EXPECT_TRUE(dlg.button(CMainDlg::ID_CHAT)->isEnabled());
    EXPECT_TRUE(dlg.button(CMainDlg::ID_NEW)->isEnabled());
    EXPECT_FALSE(dlg.button(CMainDlg::ID_DISCONNECT)->isVisible());
}

TEST_F(MainDlgTest, ToolBarSitsBelowTheTitleBandAndTheSkinShowsThroughButtonCorners) {
    writeProfile();
    CMainDlg dlg(setup(), 65507);
    ASSERT_TRUE(dlg.initialise());
    const int band = 40;  // the band picture's height
    for (int c : {CMainDlg::ID_PROFILE, CMainDlg::ID_NEW, CMainDlg::ID_EDIT, CMainDlg::ID_DELETE,
                  CMainDlg::ID_CONNECT, CMainDlg::ID_DISCONNECT, CMainDlg::ID_CHAT,
                  CMainDlg::ID_PROPERTIES, CMainDlg::ID_HELP}) {
        EXPECT_EQ(dlg.button(c)->y(), band + 1) << c;
    }
    const QRect close = dlg.button(CMainDlg::ID_CLOSE)->geometry();
    EXPECT_LT(close.bottom(), band);
    EXPECT_EQ(close.right(), dlg.width() - 1 - close.top());

    const QImage shot = dlg.grab().toImage();
    // A button's corner is the band beside it, not the colour it was drawn on.
    const QPoint corner = close.topLeft();
    EXPECT_EQ(shot.pixelColor(corner), shot.pixelColor(corner - QPoint(2, 0)));
    EXPECT_NE(shot.pixelColor(corner), QColor(216, 230, 243));
    // The title is written in the band.
    int titlePixels = 0;
    for (int x = band + 10; x < band + 150; ++x) {
        for (int y = 5; y < band - 5; ++y) {
            titlePixels += shot.pixelColor(x, y).blue() < 160 ? 1 : 0;
        }
    }
    EXPECT_GT(titlePixels, 100);
}

TEST_F(MainDlgTest, StatusPanelWithoutCameraShowsTheDefaultCall) {
    writeProfile();
    CMainDlg dlg(setup(), 65507);
    ASSERT_TRUE(dlg.initialise());
    EXPECT_EQ(dlg.statusPanel().line1(), "Video: codec IV50, resolution 320x240, 24 bits");
    EXPECT_EQ(dlg.statusPanel().line2(), "Audio: codec GSM 6.10, 8000 Herz");
}

TEST_F(MainDlgTest, DevicesPropertiesOkStoresTheChoicesAndCancelKeepsThem) {
    writeProfile();
    CMainDlg dlg(setup(), 65507);
    ASSERT_TRUE(dlg.initialise());
    const std::uint32_t stored = dlg.settings().compressorFourCC;
    test::whenShown<CPropertiesDlg>([](CPropertiesDlg* d) {
        d->bufferLengths()->setCurrentIndex(2);
        d->reject();
    });
    dlg.onCommand(CMainDlg::ID_PROPERTIES);
    EXPECT_EQ(dlg.settings().audioBufferLength, 50);
    EXPECT_EQ(dlg.settings().compressorFourCC, stored);

    test::whenShown<CPropertiesDlg>([](CPropertiesDlg* d) {
        EXPECT_FALSE(d->button(2)->isHidden()) << "Cancel is offered from the menu";
        d->bufferLengths()->setCurrentIndex(1);
        d->accept();
    });
    dlg.onCommand(CMainDlg::ID_PROPERTIES);
    EXPECT_EQ(dlg.settings().audioBufferLength, 100);
    EXPECT_EQ(dlg.media().capture().bufferLength(), 100);
    EXPECT_NE(dlg.settings().compressorFourCC, stored) << "the listed codec shown replaces IV50";
    EXPECT_EQ(QString::fromStdU16String(dlg.settings().videoSourceName.text()),
              CTestPatternSource::kName);
}

TEST_F(MainDlgTest, PresenceRepliesReachTheListUnchanged) {
    writeProfile();
    CContactStore(dir.path("clset.cfg")).appendEntry("Ann", "ann@x", "127.0.0.9");
    CMainDlg dlg(setup(), 65507);
    ASSERT_TRUE(dlg.initialise());
    EXPECT_EQ(sendMessage(&dlg, MSG_PRESENCE_REPLY, 1, contactKey("127.0.0.9")), 0);
    QApplication::processEvents();
    EXPECT_TRUE(dlg.contactList().model().at(0).available);
    EXPECT_EQ(sendMessage(&dlg, MSG_CONTACT_ACTIVATED, QVariant::fromValue<void*>(nullptr), 0), 1);
}

QStringList visibleMessageBoxTexts() {
    QStringList texts;
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (auto* box = qobject_cast<QMessageBox*>(w); box != nullptr && box->isVisible()) {
            texts << box->text();
        }
    }
    return texts;
}

TEST_F(MainDlgTest, PortsThatCannotBeBoundAreNamedInOneMessage) {
    writeProfile();
    MainDlgSetup held = setup();
    UdpSocket video;
    TcpListener files;
    ASSERT_EQ(video.open(CMediaSocket::kVideoPort, held.bindAddress), 0);
    ASSERT_EQ(files.open(CFileListener::kPort, held.bindAddress), 0);
    CMainDlg dlg(held, 65507);
    ASSERT_TRUE(dlg.initialise());
    const QStringList texts = visibleMessageBoxTexts();
    ASSERT_EQ(texts.size(), 1);
    EXPECT_TRUE(texts[0].contains("UDP 6323: Another program already uses this port."));
    EXPECT_TRUE(texts[0].contains("TCP 6327: Another program already uses this port."));
    EXPECT_FALSE(texts[0].contains("6321")) << "the control port was free";
}

TEST_F(MainDlgTest, AFullDiskIsToldOnceAndKeepsTheContactFile) {
    writeProfile();
    CContactStore(dir.path("clset.cfg")).appendEntry("Ann", "ann@x", "127.0.0.9");
    const QByteArray before = TempDir::read(dir.path("clset.cfg"));
    CMainDlg dlg(setup(), 65507);
    ASSERT_TRUE(dlg.initialise());
    {
        test::FileSizeLimit full(16);
        dlg.contacts().lookUpOrAdd("Bob", "bob@x", "127.0.0.10");  // a few writes, one box
    }
    EXPECT_EQ(TempDir::read(dir.path("clset.cfg")), before);
    const QStringList texts = visibleMessageBoxTexts();
    ASSERT_EQ(texts.size(), 1);
    EXPECT_TRUE(texts[0].contains("clset.cfg")) << texts[0].toStdString();
}

}  // namespace
}  // namespace kova
