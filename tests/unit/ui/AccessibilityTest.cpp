// Every window's controls have names a screen reader reads, picture buttons
// a tooltip, and the links are reached by Tab and pressed like links.
#include <gtest/gtest.h>

#include <QLineEdit>
#include <QTest>

#include "app/AboutDlg.h"
#include "audio/AudioCompressorDlg.h"
#include "audio/PropertiesDlg.h"
#include "chat/BackSetDlg.h"
#include "chat/ChatDlg.h"
#include "contacts/ContactDlg.h"
#include "contacts/PofileDlg.h"
#include "platform/AudioCodecLibav.h"
#include "signalling/DlgMessage.h"
#include "support/Accessibility.h"
#include "transfer/DownloadDlg.h"
#include "ui/LinkStatic.h"
#include "unit/audio/AudioFakes.h"
#include "video/DeviceList.h"

namespace kova {
namespace {

using namespace kova::test;

QStringList shownUnnamed(QWidget& w) {
    w.show();
    QApplication::processEvents();
    QStringList out = unnamedControls(&w);
    w.hide();
    return out;
}

TEST(Accessibility, EveryControlOfEachWindowIsNamed) {
    CContactDlg contact("Bob", "bob@x", "198.51.100.2");
    EXPECT_EQ(shownUnnamed(contact), QStringList());
    CPofileDlg profile("Ann", "ann@x", "198.51.100.1");
    EXPECT_EQ(shownUnnamed(profile), QStringList());
    CBackSetDlg background({2, 0, "/tmp/beach.jpg"});
    EXPECT_EQ(shownUnnamed(background), QStringList());
    CAboutDlg about;
    EXPECT_EQ(shownUnnamed(about), QStringList());
    CDlgMessage message("Error connect to Bob!", "KOVA", CDlgMessage::Warning, nullptr, 0);
    EXPECT_EQ(shownUnnamed(message), QStringList());
    CDownloadDlg download([](const QString&) { return true; }, [](const QString&) {});
    download.showTransfer(false, "a.zip", "/tmp/a.zip", 1000);
    EXPECT_EQ(shownUnnamed(download), QStringList());

    AudioCodecLibav libav;
    CAudioCompressorDlg compressor(nullptr, "Select Audio Compressor",
                                   libav.formatsFrom(WaveFormat::pcm(8000, 16, 1)),
                                   WaveFormat::defaultDestination(), libav);
    EXPECT_EQ(shownUnnamed(compressor), QStringList());

    FakeWaveIn device;
    RecordingCodecs codecs;
    FakeBalloons balloons;
    FakePrompt prompt;
    FakeChooser chooser;
    CAudioCapture capture(device, codecs, balloons, prompt, chooser);
    CDeviceList cameras;
    cameras.Enumerate(std::vector<CaptureDeviceEntry>{{"USB Camera", {}}});
    CPropertiesDlg properties(false);
    properties.setVideoDevices(&cameras, nullptr);
    properties.setAudioCapture(&capture);
    properties.setSoundCheck([] { return true; });
    properties.initialise();
    EXPECT_EQ(shownUnnamed(properties), QStringList());

    AvSettings settings;
    auto* chat = new CChatDlg(nullptr, "Ann", "Bob", "198.51.100.2", settings, nullptr);
    chat->setFileOffer([](const QString&, const QString&, const QString&) {});
    EXPECT_EQ(shownUnnamed(*chat), QStringList());
    delete chat;
}

TEST(Accessibility, LinksAreReachedByTabAndPressedByKeysAndScreenReaders) {
    QWidget window;
    auto* before = new QLineEdit(&window);
    auto* link = new CLinkStatic("Obtain by Internet", &window);
    link->move(0, 40);
    link->SetAddress("https://example.org/");
    int opened = 0;
    link->open = [&opened](const QString&) { return ++opened, true; };
    window.show();
    QApplication::setActiveWindow(&window);
    before->setFocus();
    QTest::keyClick(before, Qt::Key_Tab);
    EXPECT_TRUE(link->hasFocus());
    QTest::keyClick(link, Qt::Key_Return);
    QTest::keyClick(link, Qt::Key_Space);
    QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(link);
    ASSERT_NE(iface, nullptr);
    EXPECT_EQ(iface->role(), QAccessible::Link);
    EXPECT_EQ(iface->text(QAccessible::Name), "Obtain by Internet");
    EXPECT_EQ(iface->text(QAccessible::Description), "https://example.org/");
    iface->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
    EXPECT_EQ(opened, 3);
    EXPECT_TRUE(link->visited());
}

}  // namespace
}  // namespace kova
