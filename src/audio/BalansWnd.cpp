#include "audio/BalansWnd.h"

#include <QPainter>
#include <algorithm>

#include "ui/Pictures.h"

namespace kova {

CBalansWnd::CBalansWnd(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_OpaquePaintEvent);
}

bool CBalansWnd::SetBitmap(int pictureId, int maximum) {
    bitmap_ = pictureImage(pictureId);
    maximum_ = maximum;
    value_ = 0;
    if (bitmap_.isNull() || bitmap_.width() < 2) {
        bitmap_ = QImage();
        return false;
    }
    resize(width(), bitmap_.height());
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
    p.drawImage(QRect(0, 0, x, h), bitmap_, QRect(0, 0, 1, bitmap_.height()));
    p.drawImage(QRect(x, 0, width() - x, h), bitmap_, QRect(1, 0, 1, bitmap_.height()));
}

}  // namespace kova
