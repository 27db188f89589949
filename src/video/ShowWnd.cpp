#include "video/ShowWnd.h"

#include <QGuiApplication>
#include <QPainter>
#include <QScreen>
#include <cstring>

#include "common/TimingLog.h"

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
    if (!open_ || image.empty() || image.size() < dibFrameSizeOf(format_) ||
        destination_.isEmpty()) {
        return;
    }
    // The caller's bytes are valid only during this call. They become the
    // picture as shown (upright, scaled, 32-bit: the layout the window's
    // backing store is drawn from without a conversion at each paint) in one
    // pass, into the buffer of the last picture. At 1280 x 720 the flip, copy,
    // scaling and conversion that Qt's own calls take in turn cost more than
    // decoding the picture, most of all for the small local preview.
    if (picture_.size() != destination_ || picture_.format() != QImage::Format_RGB32) {
        picture_ = QImage(destination_, QImage::Format_RGB32);
    }
    toPicture(image);
    update();
}

void CShowWnd::toPicture(ByteSpan image) {
    const int rows = std::abs(format_.height);
    const int width = format_.width;
    const auto stride = static_cast<std::size_t>(dibStrideOf(format_));
    const auto* base = reinterpret_cast<const std::uint8_t*>(image.data());
    if (format_.bitCount == 16) {
        const QImage view(base, width, rows, static_cast<qsizetype>(stride), QImage::Format_RGB555);
        picture_ = view.mirrored(false, format_.height > 0)
                       .scaled(destination_, Qt::IgnoreAspectRatio, Qt::FastTransformation)
                       .convertToFormat(QImage::Format_RGB32);
        return;
    }
    const int bytes = format_.bitCount / 8;
    const int outWidth = destination_.width();
    const int outRows = destination_.height();
    // Nearest source pixel for each column, as a byte offset in a row.
    columns_.resize(static_cast<std::size_t>(outWidth));
    for (int x = 0; x < outWidth; ++x) {
        columns_[static_cast<std::size_t>(x)] =
            static_cast<int>(std::int64_t{x} * width / outWidth) * bytes;
    }
    const bool sameWidth = outWidth == width;
    for (int y = 0; y < outRows; ++y) {
        const int top = static_cast<int>(std::int64_t{y} * rows / outRows);
        // Bottom-up storage: the top row of the picture is the last in memory.
        const std::uint8_t* in =
            base + stride * static_cast<std::size_t>(format_.height > 0 ? rows - 1 - top : top);
        auto* out = reinterpret_cast<QRgb*>(picture_.scanLine(y));
        if (bytes == 4 && sameWidth) {
            // BGRx in memory is already the 32-bit layout.
            std::memcpy(out, in, static_cast<std::size_t>(width) * 4);
        } else if (sameWidth) {
            for (int x = 0; x < width; ++x, in += 3) {
                out[x] = 0xFF000000u | (std::uint32_t{in[2]} << 16) | (std::uint32_t{in[1]} << 8) |
                         in[0];
            }
        } else {
            for (int x = 0; x < outWidth; ++x) {
                const std::uint8_t* p = in + columns_[static_cast<std::size_t>(x)];
                out[x] =
                    0xFF000000u | (std::uint32_t{p[2]} << 16) | (std::uint32_t{p[1]} << 8) | p[0];
            }
        }
    }
}

void CShowWnd::paintEvent(QPaintEvent*) {
    if (lcTiming().isDebugEnabled()) {
        logPlace();
    }
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

void CShowWnd::logPlace() {
    // Where the picture sits on the screen, in device pixels, so that a reader
    // of the screen knows where to look; logged when it changes.
    const qreal ratio = devicePixelRatioF();
    const QPoint at = mapToGlobal(QPoint(0, 0)) * ratio;
    const QSize shown = picture_.size().boundedTo(size()) * ratio;
    const QRect place(at, shown);
    if (place != loggedPlace_) {
        loggedPlace_ = place;
        qCDebug(lcTiming).nospace()
            << "placed " << window()->metaObject()->className() << " at " << place.x() << " "
            << place.y() << " " << place.width() << " " << place.height();
    }
}

}  // namespace kova
