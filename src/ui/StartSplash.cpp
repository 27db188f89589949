#include "ui/StartSplash.h"

#include <QApplication>
#include <QGuiApplication>
#include <QScreen>

namespace kova {

CStartSplash::CStartSplash() {
    SetPicture(kPicture);
    SetColourKey(kColourKey);
}

void CStartSplash::Create() {
    if (picture_.isNull()) {
        return;
    }
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect work = screen->availableGeometry();
        move(work.x() + (work.width() - width()) / 2, work.y() + (work.height() - height()) / 2);
    }
    show();
    // Paint now: the main window's start-up keeps the event loop busy.
    repaint();
    QApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

}  // namespace kova
