#include "contacts/Imagetxt.h"

#include <QPainter>
#include <algorithm>

#include "ui/Pictures.h"

namespace kova {

CImagetxt::CImagetxt(QWidget* parent) : QWidget(parent) {}

void CImagetxt::SetBitmap(int pictureId, const QColor& textColour) {
    SetBitmap(picture(pictureId), textColour);
}

void CImagetxt::SetBitmap(const QPixmap& picture, const QColor& textColour) {
    textColour_ = textColour;
    picture_ = picture;
    composed_ = compose(picture_, width(), height());
    update();
}

void CImagetxt::SetLines(const QString& line1, const QString& line2) {
    line1_ = line1;
    line2_ = line2;
    update();
}

int CImagetxt::Height() const {
    const int line = std::max(1, fontMetrics().height());
    return 5 * line;
}

QPixmap CImagetxt::compose(const QPixmap& picture, int w, int h) {
    if (picture.isNull() || w <= 0 || h <= 0) {
        return {};
    }
    const QSize size = logicalSize(picture);
    const qreal ratio = picture.devicePixelRatio();
    // The fixed columns (the camera) take the panel's height in their own
    // shape; only the rest stretches to the panel's width.
    const double scale = double(h) / std::max(1, size.height());
    const int f = std::min(w, static_cast<int>(std::min(kFixedColumns, size.width()) * scale));
    // Composed as an image: painting into a pixmap depends on the window system.
    QImage out(QSize(w, h) * ratio, QImage::Format_ARGB32_Premultiplied);
    out.setDevicePixelRatio(ratio);
    out.fill(Qt::transparent);
    QPainter painter(&out);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    const int fixed = std::min(kFixedColumns, size.width());
    painter.drawPixmap(QRectF(0, 0, f, h), picture,
                       sourceRect(QRect(0, 0, fixed, size.height()), ratio));
    if (size.width() > kFixedColumns) {
        painter.drawPixmap(
            QRectF(f, 0, w, h), picture,
            sourceRect(QRect(kFixedColumns, 0, size.width() - kFixedColumns, size.height()),
                       ratio));
        // The stretched part is cut at the panel's edge: close it with the
        // picture's own left end, mirrored.
        const int end = std::min(kRoundEndColumns, fixed);
        const QImage left = picture.toImage().copy(
            sourceRect(QRect(0, 0, end, size.height()), ratio).toAlignedRect());
        const double width = double(end) * f / std::max(1, fixed);
        // Replacing, not blending: its rounded corners are see-through.
        painter.setCompositionMode(QPainter::CompositionMode_Source);
        painter.drawImage(QRectF(w - width, 0, width, h), left.mirrored(true, false));
    }
    painter.end();
    return QPixmap::fromImage(out);
}

void CImagetxt::resizeEvent(QResizeEvent*) {
    composed_ = compose(picture_, width(), height());
}

void CImagetxt::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    if (composed_.isNull() && !picture_.isNull()) {
        composed_ = compose(picture_, width(), height());
    }
    painter.drawPixmap(0, 0, composed_);
    painter.setPen(textColour_);
    const QFontMetrics fm = fontMetrics();
    const int lineHeight = fm.height();
    const int gap = (height() - 2 * lineHeight) / 3;
    painter.drawText((width() - fm.horizontalAdvance(line1_)) / 2, gap + fm.ascent(), line1_);
    painter.drawText((width() - fm.horizontalAdvance(line2_)) / 2,
                     lineHeight + 2 * gap + fm.ascent(), line2_);
}

}  // namespace kova
