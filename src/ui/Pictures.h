#pragma once
// The program's pictures by number, read once from the assets ("Pictures/<id>.png").

#include <QPixmap>

namespace kova {

// A null pixmap when the picture is not installed.
QPixmap picture(int id);

}  // namespace kova
