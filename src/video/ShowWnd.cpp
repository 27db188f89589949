#include "video/ShowWnd.h"

#include <QGuiApplication>
#include <QPainter>
#include <QScreen>

namespace kova {

CShowWnd::CShowWnd(QWidget* parent)
    : QWidget(parent), format_(rgbFormat(kInitialWidth, kInitialHeight)) {
    // We paint every pixel ourselves.
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void CShowWnd::SetFormat(const BitmapInfoHeader& format) {
    format_ = format;
    updateDestination();
}

void CShowWnd::SetZoom(double zoom) {
    zoom_ = zoom;
    updateDestination();
}

void CShowWnd::updateDestination() {
    if (zoom_ > 0) {
        destination_ = QSize(static_cast<int>(zoom_ * format_.width),
                             static_cast<int>(zoom_ * std::abs(format_.height)));
        return;
    }
    const QScreen* screen = QGuiApplication::primaryScreen();
    destination_ = screen ? screen->size() : QSize(format_.width, std::abs(format_.height));
}

bool CShowWnd::OpenDrawing() {
    open_ = format_.compression == 0 &&
            (format_.bitCount == 16 || format_.bitCount == 24 || format_.bitCount == 32) &&
            format_.width > 0 && format_.height != 0;
    return open_;
}

void CShowWnd::Draw(ByteSpan image) {
    const int rows = std::abs(format_.height);
    if (!open_ || image.empty() || image.size() < dibFrameSizeOf(format_)) {
        return;
    }
    QImage::Format layout = QImage::Format_BGR888;
    if (format_.bitCount == 32) {
        layout = QImage::Format_RGB32;
    } else if (format_.bitCount == 16) {
        layout = QImage::Format_RGB555;
    }
    // Wraps the caller's bytes: they are valid only during this call, so the
    // scaled copy below is all that is kept.
    const QImage view(reinterpret_cast<const uchar*>(image.data()), format_.width, rows,
                      static_cast<qsizetype>(dibStrideOf(format_)), layout);
    const QImage upright = format_.height > 0 ? view.mirrored(false, true) : view.copy();
    picture_ = destination_ == upright.size()
                   ? upright
                   : upright.scaled(destination_, Qt::IgnoreAspectRatio, Qt::FastTransformation);
    update();
}

void CShowWnd::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    if (picture_.isNull()) {
        painter.fillRect(rect(), Qt::black);
        return;
    }
    painter.drawImage(QPoint(0, 0), picture_);
    // Outside the picture, keep the area dark rather than stale.
    if (picture_.width() < width()) {
        painter.fillRect(picture_.width(), 0, width() - picture_.width(), height(), Qt::black);
    }
    if (picture_.height() < height()) {
        painter.fillRect(0, picture_.height(), picture_.width(), height() - picture_.height(),
                         Qt::black);
    }
}

}  // namespace kova
