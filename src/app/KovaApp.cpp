#include "app/KovaApp.h"

#include <QApplication>
#include <QMessageBox>
#include <QSessionManager>

#include "app/MainDlg.h"
#include "config/ProgramPaths.h"
#include "platform/SingleInstance.h"
#include "platform/SocketLayer.h"
#include "platform/TerminationSignals.h"

namespace kova {

int CKovaApp::run() {
    // No host firewall to register with on this platform: the first start-up step
    // is skipped.
    QApplication::setQuitOnLastWindowClosed(false);

    const SocketLayerInfo sockets = startSocketLayer();
    if (!sockets.usable) {
        QMessageBox::critical(nullptr, QStringLiteral("KOVA"),
                              QStringLiteral("Failed to Initialize Sockets"));
    }
    const std::uint16_t maxUdp = effectiveMaxUdpDatagram(sockets.maxUdpDatagram);

    TerminationSignals terminations;
    CMainDlg mainDlg({programFolder(), profilePath(), SingleInstance::defaultKey(), {}}, maxUdp);
    QObject::connect(&terminations, &TerminationSignals::received, &mainDlg, &CMainDlg::endSession);
    QObject::connect(qApp, &QGuiApplication::commitDataRequest, &mainDlg,
                     [&mainDlg](QSessionManager&) { mainDlg.endSession(); });
    // Queued: the quit may come before the loop runs (a session ended during start-up).
    QObject::connect(&mainDlg, &CMainDlg::ended, qApp, &QCoreApplication::quit,
                     Qt::QueuedConnection);

    if (!mainDlg.initialise()) {
        return 0;
    }
    return QApplication::exec();
}

}  // namespace kova
