#pragma once
// Pictures are drawn on a background colour of their own (the top-left pixel);
// that colour is replaced by the colour of the window they sit on. Only 16-, 24-
// and 32-bit pictures are recoloured: palette pictures stay as they are.

#include <QColor>
#include <QImage>

namespace kova {

// True when the picture was of a depth that is recoloured.
bool recolourBackground(QImage& image, const QColor& key);

}  // namespace kova
