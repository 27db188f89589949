#include "ui/Recolour.h"

namespace kova {

namespace {

template <typename Pixel>
void replaceAll(QImage& image, Pixel from, Pixel to) {
    for (int y = 0; y < image.height(); ++y) {
        auto* row = reinterpret_cast<Pixel*>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            if (row[x] == from) {
                row[x] = to;
            }
        }
    }
}

}  // namespace

bool recolourBackground(QImage& image, const QColor& key) {
    if (image.isNull() || image.width() <= 0 || image.height() <= 0) {
        return false;
    }
    switch (image.depth()) {
        case 16: {
            // The key's raw value in this format: written into the corner and read back.
            auto* corner = reinterpret_cast<quint16*>(image.scanLine(0));
            const quint16 background = corner[0];
            image.setPixelColor(0, 0, key);
            const quint16 keyValue = corner[0];
            corner[0] = background;
            replaceAll<quint16>(image, background, keyValue);
            return true;
        }
        case 24: {
            const uchar* corner = image.constScanLine(0);
            const uchar from[3] = {corner[0], corner[1], corner[2]};
            QImage probe(1, 1, image.format());
            probe.setPixelColor(0, 0, key);
            const uchar* to = probe.constScanLine(0);
            for (int y = 0; y < image.height(); ++y) {
                uchar* row = image.scanLine(y);
                for (int x = 0; x < image.width(); ++x) {
                    uchar* p = row + 3 * x;
                    if (p[0] == from[0] && p[1] == from[1] && p[2] == from[2]) {
                        p[0] = to[0];
                        p[1] = to[1];
                        p[2] = to[2];
                    }
                }
            }
            return true;
        }
        case 32: {
            const quint32 background = *reinterpret_cast<const quint32*>(image.constScanLine(0));
            if (image.hasAlphaChannel() && qAlpha(background) == 0) {
                return true;  // already see-through: a key colour would only cover that
            }
            QImage probe(1, 1, image.format());
            probe.setPixelColor(0, 0, key);
            replaceAll<quint32>(image, background,
                                *reinterpret_cast<const quint32*>(probe.constScanLine(0)));
            return true;
        }
        default:
            return false;
    }
}

}  // namespace kova
