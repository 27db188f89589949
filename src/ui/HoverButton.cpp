#include "ui/HoverButton.h"

#include <QBitmap>
#include <QPainter>
#include <QToolTip>

#include "ui/Pictures.h"
#include "ui/Recolour.h"

namespace kova {

CHoverButton::CHoverButton(QWidget* parent) : QAbstractButton(parent) {
    setCursor(Qt::PointingHandCursor);
    setAttribute(Qt::WA_Hover);
}

bool CHoverButton::LoadBitmap(int pictureId, const QColor& keyColour, bool focusFrame) {
    return LoadBitmap(pictureImage(pictureId), keyColour, focusFrame);
}

bool CHoverButton::LoadBitmap(QImage strip, const QColor& keyColour, bool focusFrame) {
    if (strip.isNull() || logicalSize(strip).width() < kFrames) {
        return false;
    }
    recolourBackground(strip, keyColour);
    key_ = keyColour;
    plain_ = QPixmap::fromImage(strip);
    keyed_ = plain_;
    keyed_.setMask(keyed_.createMaskFromColor(keyColour, Qt::MaskInColor));
    frameSize_ = QSize(logicalSize(strip).width() / kFrames, logicalSize(strip).height());
    sourceFrame_ = QSize(strip.width() / kFrames, strip.height());
    focusFrame_ = focusFrame;
    setFocusPolicy(focusFrame ? Qt::StrongFocus : Qt::NoFocus);
    resize(frameSize_);
    update();
    return true;
}

void CHoverButton::SetTooltip(const QString& text, bool activate) {
    setToolTip(activate ? text : QString());
    // A picture has no words for a screen reader; the tooltip's are its name.
    if (!text.isEmpty()) {
        setAccessibleName(text);
    }
}

void CHoverButton::SetParentBackground(const QPixmap* background, int yOffset) {
    parentBackground_ = background;
    backgroundOffset_ = yOffset;
    update();
}

QSize CHoverButton::sizeHint() const {
    return frameSize_.isValid() ? frameSize_ : QSize(40, 40);
}

CHoverButton::Frame CHoverButton::frame() const {
    if (isDown()) {
        return Pressed;
    }
    if (!isEnabled()) {
        return Disabled;
    }
    if (hovered_ || (focusFrame_ && hasFocus())) {
        return Hover;
    }
    return Normal;
}

void CHoverButton::paintEvent(QPaintEvent*) {
    if (plain_.isNull()) {
        return;
    }
    QPainter painter(this);
    const bool overBackground = parentBackground_ != nullptr && parentWidget() != nullptr;
    if (overBackground) {
        const QPoint at = mapTo(parentWidget(), QPoint(0, 0)) - QPoint(0, backgroundOffset_);
        painter.drawPixmap(
            QRectF(QPoint(0, 0), frameSize_), *parentBackground_,
            sourceRect(QRect(at, frameSize_), parentBackground_->devicePixelRatio()));
    }
    const Frame f = frame();
    if (f == Pressed) {
        QToolTip::hideText();
    }
    // The disabled frame is always drawn whole.
    const QPixmap& strip = overBackground && f != Disabled ? keyed_ : plain_;
    // Between pixel densities (a 2x picture on a 1.5x screen) blend, not pick.
    painter.setRenderHint(QPainter::SmoothPixmapTransform,
                          strip.devicePixelRatio() != devicePixelRatioF());
    painter.drawPixmap(QRect(QPoint(0, 0), size()), strip,
                       QRect(QPoint(f * sourceFrame_.width(), 0), sourceFrame_));
    if (!text().isEmpty()) {
        // Light text on the coloured frames, the skin's blue on the light hover
        // frame; the strip's symbol keeps the left end.
        static const QColor kOnColour(Qt::white), kOnLight(0x1F, 0x4F, 0x8F),
            kDisabled(0xEE, 0xF2, 0xF6);
        painter.setPen(f == Hover ? kOnLight : f == Disabled ? kDisabled : kOnColour);
        QFont bold = font();
        bold.setBold(true);
        painter.setFont(bold);
        const int shift = f == Pressed ? 1 : 0;
        painter.drawText(rect().adjusted(height() * 4 / 5, 0, 0, 0).translated(shift, shift),
                         Qt::AlignCenter, text());
    }
    if (focusFrame_ && hasFocus()) {
        const int r = width() - 1, b = height() - 1;
        painter.setPen(Qt::white);
        painter.drawLine(0, b, 0, 0);
        painter.setPen(kFocusShadow);
        painter.drawLine(0, b, r, b);
        painter.drawLine(r, b, r, 0);
    }
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
