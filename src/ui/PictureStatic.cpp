#include "ui/PictureStatic.h"

#include <QPainter>

#include "ui/Pictures.h"
#include "ui/Recolour.h"

namespace kova {

CPictureStatic::CPictureStatic(QWidget* parent) : QWidget(parent) {
    // A picture is shown whole or not at all.
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

bool CPictureStatic::SetBitmap(int pictureId, const QColor& keyColour) {
    return SetBitmap(pictureImage(pictureId), keyColour);
}

bool CPictureStatic::SetBitmap(QImage image, const QColor& keyColour) {
    if (image.isNull()) {
        picture_ = {};
        return false;
    }
    recolourBackground(image, keyColour);
    picture_ = QPixmap::fromImage(image);
    resize(logicalSize(picture_));
    updateGeometry();
    update();
    return true;
}

QSize CPictureStatic::sizeHint() const {
    return logicalSize(picture_);
}

void CPictureStatic::paintEvent(QPaintEvent*) {
    QPainter(this).drawPixmap(0, 0, picture_);
}

}  // namespace kova
