#include "ui/Pictures.h"

#include <QGuiApplication>
#include <QImage>
#include <QImageReader>
#include <QLoggingCategory>
#include <QPixmapCache>

#include "config/ProgramPaths.h"

namespace kova {

Q_LOGGING_CATEGORY(lcPictures, "kova.ui.pictures", QtWarningMsg)

namespace {

constexpr qreal kLargeRatio = 2.0;

qreal applicationRatio() {
    return qGuiApp != nullptr ? qGuiApp->devicePixelRatio() : 1.0;
}

QString picturePath(int id, const char* suffix) {
    return findAsset(programFolder(), QStringLiteral("Pictures/%1%2.png").arg(id).arg(suffix));
}

}  // namespace

QImage pictureImage(int id) {
    return pictureImage(id, applicationRatio());
}

QImage pictureImage(int id, qreal deviceRatio) {
    QImage image;
    const QString path = picturePath(id, "");
    if (path.isEmpty()) {
        return image;
    }
    if (deviceRatio > 1.0) {
        const QString large = picturePath(id, "@2x");
        // A large picture of another size would move every control laid out from it.
        const QSize normal = QImageReader(path).size();
        if (!large.isEmpty() && normal.isValid() && image.load(large)) {
            if (image.size() == normal * kLargeRatio) {
                image.setDevicePixelRatio(kLargeRatio);
                return image;
            }
            qCWarning(lcPictures) << large << "is not twice the size of" << path << "- not used";
        }
    }
    image.load(path);
    return image;
}

QPixmap picture(int id) {
    const qreal ratio = applicationRatio();
    const QString key = QStringLiteral("kova-picture-%1-%2").arg(id).arg(ratio > 1.0 ? 2 : 1);
    QPixmap pixmap;
    if (!QPixmapCache::find(key, &pixmap)) {
        const QImage image = pictureImage(id, ratio);
        if (!image.isNull()) {
            // Scaled drawing of 16-bit-per-channel images is unreliable; keep 8 bits.
            pixmap = QPixmap::fromImage(image.convertToFormat(QImage::Format_ARGB32_Premultiplied));
            QPixmapCache::insert(key, pixmap);
        }
    }
    return pixmap;
}

QSize logicalSize(const QImage& image) {
    return image.deviceIndependentSize().toSize();
}

QSize logicalSize(const QPixmap& pixmap) {
    return pixmap.deviceIndependentSize().toSize();
}

QRectF sourceRect(const QRectF& logical, qreal deviceRatio) {
    return QRectF(logical.topLeft() * deviceRatio, logical.size() * deviceRatio);
}

}  // namespace kova
