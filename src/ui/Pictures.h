#pragma once
// The program's pictures by number, read once from the assets ("Pictures/<id>.png").
// On screens with more than one device pixel per logical pixel the twice-as-large
// "Pictures/<id>@2x.png" is read instead, with a device pixel ratio of 2: callers
// lay out in logical sizes and draw from the full-resolution pixels.

#include <QImage>
#include <QPixmap>
#include <QRectF>

namespace kova {

// A null pixmap when the picture is not installed.
QPixmap picture(int id);
// The picture as stored (its own pixel depth), for recolouring.
QImage pictureImage(int id);
// The same for a given device pixel ratio; the large picture is taken only when
// it is exactly twice the size of the normal one.
QImage pictureImage(int id, qreal deviceRatio);

// Size in device-independent pixels.
QSize logicalSize(const QImage& image);
QSize logicalSize(const QPixmap& pixmap);
// A rectangle in logical pixels as the source rectangle of a drawing call, which
// counts the picture's own pixels.
QRectF sourceRect(const QRectF& logical, qreal deviceRatio);

}  // namespace kova
