#pragma once
// Pictures for a screen with two device pixels per logical pixel.

#include <QImage>
#include <QPainter>
#include <QWidget>

namespace kova::test {

// The picture drawn at twice the size, each pixel doubled.
inline QImage twice(const QImage& image) {
    QImage large = image.scaled(image.size() * 2, Qt::IgnoreAspectRatio, Qt::FastTransformation);
    large.setDevicePixelRatio(2);
    return large;
}

// What the widget shows on such a screen, in device pixels.
inline QImage renderAtTwice(QWidget& widget) {
    QImage out(widget.size() * 2, QImage::Format_ARGB32);
    out.setDevicePixelRatio(2);
    out.fill(Qt::transparent);
    widget.render(&out);
    return out;
}

}  // namespace kova::test
