// Draws the program's smaller windows into PNG files, so their look can be
// checked at any scale (QT_SCALE_FACTOR) without driving a whole session.
// Usage: kova_gallery OUTPUT-FOLDER [SUFFIX]
#include <QApplication>
#include <QDir>
#include <QTimer>
#include <functional>
#include <memory>

#include "app/AboutDlg.h"
#include "audio/PropertiesDlg.h"
#include "chat/BackSetDlg.h"
#include "common/WindowMessages.h"
#include "contacts/ContactDlg.h"
#include "contacts/PofileDlg.h"
#include "platform/VideoCodecFfmpeg.h"
#include "signalling/DlgMessage.h"
#include "transfer/DownloadDlg.h"
#include "ui/SkinPalette.h"
#include "ui/SplashWnd.h"
#include "ui/StartSplash.h"
#include "ui/WaitPopup.h"
#include "video/DeviceList.h"

using namespace kova;

namespace {

bool save(QWidget& w, const QString& folder, const QString& name, const QString& suffix) {
    w.show();
    for (int i = 0; i < 5; ++i) {
        QApplication::processEvents();
    }
    const QString path = QDir(folder).filePath(name + suffix + QStringLiteral(".png"));
    const bool ok = w.grab().save(path);
    qInfo("%s %s", ok ? "saved" : "could not save", qPrintable(path));
    w.hide();
    return ok;
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    applySkinPalette();
    if (argc < 2) {
        qWarning("usage: kova_gallery OUTPUT-FOLDER [SUFFIX]");
        return 2;
    }
    const QString folder = QString::fromLocal8Bit(argv[1]);
    const QString suffix = argc > 2 ? QString::fromLocal8Bit(argv[2]) : QString();
    QDir().mkpath(folder);
    bool ok = true;

    CAboutDlg about;
    ok &= save(about, folder, QStringLiteral("about"), suffix);

    CPofileDlg profile(QStringLiteral("Ann"), QStringLiteral("ann@example.org"),
                       QStringLiteral("198.51.100.1"));
    ok &= save(profile, folder, QStringLiteral("profile"), suffix);

    CContactDlg contact(QStringLiteral("Bob"), QStringLiteral("bob@example.org"),
                        QStringLiteral("198.51.100.2"));
    ok &= save(contact, folder, QStringLiteral("contact"), suffix);

    CBackSetDlg background({2, 0x00F3E6D8, QStringLiteral("/home/ann/Pictures/beach.jpg")});
    ok &= save(background, folder, QStringLiteral("background"), suffix);

    CDlgMessage warning(QStringLiteral("Error connect to Bob, 198.51.100.2!"),
                        QStringLiteral("KOVA - Open Meeting Room"), CDlgMessage::Warning, nullptr,
                        0);
    ok &= save(warning, folder, QStringLiteral("warning"), suffix);

    CDownloadDlg download([](const QString&) { return true; }, [](const QString&) {});
    download.showTransfer(false, QStringLiteral("holiday-photos.zip"),
                          QStringLiteral("/home/bob/Downloads/holiday-photos.zip"), 3670016);
    QApplication::postEvent(&download,
                            new WindowMessage(MSG_TRANSFER_PROGRESS, qint64(1468006), 0));
    ok &= save(download, folder, QStringLiteral("download"), suffix);
    download.release(true, QStringLiteral("/home/bob/Downloads/holiday-photos.zip"));
    ok &= save(download, folder, QStringLiteral("download-done"), suffix);

    CDeviceList devices;
    devices.Enumerate(std::vector<CaptureDeviceEntry>{{"USB Camera", {}}});
    CFfmpegVideoCodecProvider codecs;
    CPropertiesDlg properties(false);
    properties.setVideoDevices(&devices, nullptr);
    properties.setVideoCodecs(&codecs, nullptr);
    properties.setVideoDeviceName(QStringLiteral("USB Camera"));
    properties.setAudioBufferLength(100);
    properties.initialise();
    ok &= save(properties, folder, QStringLiteral("devices"), suffix);

    CSplashWnd splash;
    splash.SetPicture(160);
    ok &= save(splash, folder, QStringLiteral("splash"), suffix);
    return ok ? 0 : 1;
}
