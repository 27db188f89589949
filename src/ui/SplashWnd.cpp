#include "ui/SplashWnd.h"

#include <QBitmap>
#include <QPainter>

#include "ui/Pictures.h"

namespace kova {

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
    setFixedSize(picture_.size());
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
    setMask(QBitmap::fromImage(
        picture_.toImage().createMaskFromColor(colourFromBgr(colourKey_).rgb(), Qt::MaskInColor)));
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
