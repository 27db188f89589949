#pragma once
// The program's pictures by number, read once from the assets ("Pictures/<id>.png").

#include <QImage>
#include <QPixmap>

namespace kova {

// A null pixmap when the picture is not installed.
QPixmap picture(int id);
// The picture as stored (its own pixel depth), for recolouring.
QImage pictureImage(int id);

}  // namespace kova
