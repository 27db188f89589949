#include "ui/HoverButton.h"

#include <QBitmap>
#include <QPainter>

#include "ui/Pictures.h"

namespace kova {

namespace {
constexpr int kFrames = 4;
}

CHoverButton::CHoverButton(QWidget* parent) : QAbstractButton(parent) {
    setCursor(Qt::PointingHandCursor);
}

bool CHoverButton::LoadBitmap(int pictureId, const QColor& keyColour, bool focusFrame) {
    QPixmap strip = picture(pictureId);
    if (strip.isNull()) {
        return false;
    }
    strip.setMask(strip.createMaskFromColor(keyColour, Qt::MaskInColor));
    strip_ = strip;
    focusFrame_ = focusFrame;
    setFocusPolicy(focusFrame ? Qt::StrongFocus : Qt::NoFocus);
    resize(sizeHint());
    update();
    return true;
}

QSize CHoverButton::sizeHint() const {
    return strip_.isNull() ? QSize(40, 40) : QSize(strip_.width() / kFrames, strip_.height());
}

CHoverButton::Frame CHoverButton::frame() const {
    if (!isEnabled()) {
        return Disabled;
    }
    if (isDown()) {
        return Pressed;
    }
    if (hovered_ || (focusFrame_ && hasFocus())) {
        return Hover;
    }
    return Normal;
}

void CHoverButton::paintEvent(QPaintEvent*) {
    if (strip_.isNull()) {
        return;
    }
    QPainter painter(this);
    const QSize one = sizeHint();
    painter.drawPixmap(QRect(QPoint(0, 0), size()), strip_,
                       QRect(QPoint(frame() * one.width(), 0), one));
}

void CHoverButton::enterEvent(QEnterEvent* event) {
    hovered_ = true;
    update();
    QAbstractButton::enterEvent(event);
}

void CHoverButton::leaveEvent(QEvent* event) {
    hovered_ = false;
    update();
    QAbstractButton::leaveEvent(event);
}

}  // namespace kova
