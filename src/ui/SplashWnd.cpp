#include "ui/SplashWnd.h"

#include <QBitmap>
#include <QPainter>
#include <QtMath>

#include "ui/Pictures.h"

namespace kova {

namespace {

// The window's drawn part in its own logical pixels. A window pixel over several
// picture pixels stays when any of them is drawn, so the edge is never cut.
QRegion drawnRegion(const QPixmap& picture, const QColor& key) {
    const QRegion drawn(
        QBitmap::fromImage(picture.toImage().createMaskFromColor(key.rgb(), Qt::MaskInColor)));
    const qreal ratio = picture.devicePixelRatio();
    if (ratio == 1.0) {
        return drawn;
    }
    QRegion logical;
    for (const QRect& r : drawn) {
        const QPoint from(qFloor(r.left() / ratio), qFloor(r.top() / ratio));
        const QPoint to(qCeil((r.right() + 1) / ratio), qCeil((r.bottom() + 1) / ratio));
        logical += QRect(from, to - QPoint(1, 1));
    }
    return logical;
}

}  // namespace

CSplashWnd::CSplashWnd(Qt::WindowFlags extraFlags)
    : QWidget(nullptr, Qt::Tool | Qt::FramelessWindowHint | extraFlags) {
    setWindowTitle(kTitle);
    setAttribute(Qt::WA_DeleteOnClose, false);
    setCursor(Qt::WaitCursor);
}

bool CSplashWnd::SetPicture(int pictureId) {
    return SetPicture(picture(pictureId));
}

bool CSplashWnd::SetPicture(const QPixmap& picture) {
    if (picture.isNull() || picture.width() == 0 || picture.height() == 0) {
        return false;
    }
    picture_ = picture;
    setFixedSize(logicalSize(picture_));
    applyColourKey();
    return true;
}

void CSplashWnd::SetColourKey(quint32 bgr) {
    colourKey_ = bgr;
    applyColourKey();
}

void CSplashWnd::applyColourKey() {
    if (colourKey_ == 0 || picture_.isNull()) {
        clearMask();
        return;
    }
    setMask(drawnRegion(picture_, colourFromBgr(colourKey_)));
}

void CSplashWnd::Close() {
    hide();
}

void CSplashWnd::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    Paint(painter);
}

void CSplashWnd::Paint(QPainter& painter) {
    painter.drawPixmap(0, 0, picture_);
}

}  // namespace kova
