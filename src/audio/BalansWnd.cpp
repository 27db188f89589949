#include "audio/BalansWnd.h"

#include <QPainter>
#include <algorithm>

#include "ui/Pictures.h"

namespace kova {

CBalansWnd::CBalansWnd(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_OpaquePaintEvent);
}

bool CBalansWnd::SetBitmap(int pictureId, int maximum) {
    return SetBitmap(pictureImage(pictureId), maximum);
}

bool CBalansWnd::SetBitmap(const QImage& picture, int maximum) {
    bitmap_ = picture;
    maximum_ = maximum;
    value_ = 0;
    if (bitmap_.isNull() || logicalSize(bitmap_).width() < 2) {
        bitmap_ = QImage();
        return false;
    }
    resize(width(), logicalSize(bitmap_).height());
    update();
    return true;
}

void CBalansWnd::SetValue(int value) {
    if (maximum_ <= 0) {
        maximum_ = 1;
    }
    value_ = std::max(value, 0);
    update();
}

int CBalansWnd::filledWidth() const {
    const int m = std::max(maximum_, 1);
    return static_cast<int>(std::min<std::int64_t>(width(), std::int64_t{width()} * value_ / m));
}

void CBalansWnd::setLevel(int level) {
    // Queued: the player calls from its playout thread and the bar is a widget.
    QMetaObject::invokeMethod(
        this, [this, level] { SetValue(level); }, Qt::QueuedConnection);
}

void CBalansWnd::paintEvent(QPaintEvent*) {
    if (bitmap_.isNull()) {
        return;
    }
    QPainter p(this);
    const int x = filledWidth();
    const int h = height();
    const int rows = logicalSize(bitmap_).height();
    const qreal ratio = bitmap_.devicePixelRatio();
    p.drawImage(QRectF(0, 0, x, h), bitmap_, sourceRect(QRect(0, 0, 1, rows), ratio));
    p.drawImage(QRectF(x, 0, width() - x, h), bitmap_, sourceRect(QRect(1, 0, 1, rows), ratio));
}

}  // namespace kova
