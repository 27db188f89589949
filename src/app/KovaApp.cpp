#include "app/KovaApp.h"

#include <QApplication>
#include <QMessageBox>
#include <QSessionManager>
#include <chrono>
#include <optional>

#include "app/MainDlg.h"
#include "config/ProgramPaths.h"
#include "platform/SingleInstance.h"
#include "platform/SocketLayer.h"
#include "platform/TerminationSignals.h"

namespace kova {

namespace {
// Session managers and service stops give a program about two seconds after the
// signal; the settings are written first, so the forced end loses nothing.
constexpr std::chrono::milliseconds kEndDeadline{1500};
}  // namespace

int CKovaApp::run() {
    // No host firewall to register with on this platform: the first start-up step
    // is skipped.
    QApplication::setQuitOnLastWindowClosed(false);

    // Before the first box: a signal must end the program from there too.
    TerminationSignals terminations;
    std::optional<CMainDlg> mainDlg;
    bool endRequested = false;
    auto endSession = [&] {
        endRequested = true;
        if (mainDlg) {
            mainDlg->saveSettings();
        }
        terminations.armDeadline(kEndDeadline);
        if (mainDlg) {
            mainDlg->endSession();
        } else {
            CMainDlg::endModalLoops(nullptr);
        }
    };
    // Cut before the main window goes: a late signal must not reach it half destroyed.
    struct Connections {
        QList<QMetaObject::Connection> list;
        ~Connections() {
            for (const auto& c : list) {
                QObject::disconnect(c);
            }
        }
    } connections;
    connections.list << QObject::connect(&terminations, &TerminationSignals::received, qApp,
                                         endSession)
                     << QObject::connect(qApp, &QGuiApplication::commitDataRequest, qApp,
                                         [&endSession](QSessionManager&) { endSession(); });

    const SocketLayerInfo sockets = startSocketLayer();
    if (!sockets.usable) {
        QMessageBox::critical(nullptr, QStringLiteral("KOVA"),
                              QStringLiteral("Failed to Initialize Sockets"));
    }
    const std::uint16_t maxUdp = effectiveMaxUdpDatagram(sockets.maxUdpDatagram);

    mainDlg.emplace(MainDlgSetup{programFolder(), profilePath(), SingleInstance::defaultKey(), {}},
                    maxUdp);
    if (endRequested) {  // the teardown still writes avset.cfg
        return 0;
    }
    // exit, not quit: it also ends nested loops and asks no window whether it may
    // close. Queued: the quit may come before the loop runs.
    QObject::connect(
        &*mainDlg, &CMainDlg::ended, qApp, [] { QCoreApplication::exit(0); }, Qt::QueuedConnection);

    // A session that ended during start-up (a signal while a start-up dialog was
    // open) has run its quit sequence already: no loop to enter.
    if (!mainDlg->initialise() || mainDlg->hasEnded()) {
        return 0;
    }
    return QApplication::exec();
}

}  // namespace kova
