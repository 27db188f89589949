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
    const double scale = std::max(double(picture.width()) / w, double(picture.height()) / h);
    const int f = static_cast<int>(kFixedColumns * scale);
    // Composed as an image: painting into a pixmap depends on the window system.
    QImage out(w, h, QImage::Format_ARGB32_Premultiplied);
    out.fill(Qt::transparent);
    QPainter painter(&out);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    const int fixed = std::min(kFixedColumns, picture.width());
    painter.drawPixmap(QRect(0, 0, f, h), picture, QRect(0, 0, fixed, picture.height()));
    if (picture.width() > kFixedColumns) {
        painter.drawPixmap(
            QRect(f, 0, w, h), picture,
            QRect(kFixedColumns, 0, picture.width() - kFixedColumns, picture.height()));
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
