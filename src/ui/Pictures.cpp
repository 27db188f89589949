#include "ui/Pictures.h"

#include <QImage>
#include <QPixmapCache>

#include "config/ProgramPaths.h"

namespace kova {

QImage pictureImage(int id) {
    QImage image;
    const QString path = findAsset(programFolder(), QStringLiteral("Pictures/%1.png").arg(id));
    if (!path.isEmpty()) {
        image.load(path);
    }
    return image;
}

QPixmap picture(int id) {
    const QString key = QStringLiteral("kova-picture-%1").arg(id);
    QPixmap pixmap;
    if (!QPixmapCache::find(key, &pixmap)) {
        const QImage image = pictureImage(id);
        if (!image.isNull()) {
            // Scaled drawing of 16-bit-per-channel images is unreliable; keep 8 bits.
            pixmap = QPixmap::fromImage(image.convertToFormat(QImage::Format_ARGB32_Premultiplied));
            QPixmapCache::insert(key, pixmap);
        }
    }
    return pixmap;
}

}  // namespace kova
