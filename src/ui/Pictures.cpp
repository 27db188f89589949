#include "ui/Pictures.h"

#include <QPixmapCache>

#include "config/ProgramPaths.h"

namespace kova {

QPixmap picture(int id) {
    const QString key = QStringLiteral("kova-picture-%1").arg(id);
    QPixmap pixmap;
    if (!QPixmapCache::find(key, &pixmap)) {
        const QString path = findAsset(programFolder(), QStringLiteral("Pictures/%1.png").arg(id));
        if (!path.isEmpty() && pixmap.load(path)) {
            QPixmapCache::insert(key, pixmap);
        }
    }
    return pixmap;
}

}  // namespace kova
