#include "ui/Pictures.h"

#include <QImage>
#include <QPixmapCache>

#include "config/ProgramPaths.h"

namespace kova {

QPixmap picture(int id) {
    const QString key = QStringLiteral("kova-picture-%1").arg(id);
    QPixmap pixmap;
    if (!QPixmapCache::find(key, &pixmap)) {
        const QString path = findAsset(programFolder(), QStringLiteral("Pictures/%1.png").arg(id));
        QImage image;
        if (!path.isEmpty() && image.load(path)) {
            // Scaled drawing of 16-bit-per-channel images is unreliable; keep 8 bits.
            pixmap = QPixmap::fromImage(image.convertToFormat(QImage::Format_ARGB32_Premultiplied));
            QPixmapCache::insert(key, pixmap);
        }
    }
    return pixmap;
}

}  // namespace kova
