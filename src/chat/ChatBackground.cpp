#include "chat/ChatBackground.h"

#include <QImageReader>

#include "chat/RichTextDocument.h"
#include "config/AvSettings.h"

namespace kova {

QColor colourOfRef(std::uint32_t ref) {
    return QColor(ref & 0xFF, (ref >> 8) & 0xFF, (ref >> 16) & 0xFF);
}

std::uint32_t refOfColour(const QColor& c) {
    return static_cast<std::uint32_t>(c.red()) | (static_cast<std::uint32_t>(c.green()) << 8) |
           (static_cast<std::uint32_t>(c.blue()) << 16);
}

QSize ChatBackground::renderSize(QSize picture, QSize area) {
    qint64 w = picture.width();
    qint64 h = picture.height();
    if (w <= 0 || h <= 0 || area.isEmpty()) {
        return {};
    }
    if (w > area.width() || h > area.height()) {
        if (h > area.height()) {
            const qint64 w2 = area.height() * w / h;
            h = area.height();
            w = w2;
        } else {
            const qint64 h2 = area.width() * h / w;
            w = area.width();
            h = h2;
        }
        // A very wide picture is still wider than the area after fitting its
        // height: it would only cost memory, the window stretches it anyway.
        if (w > area.width()) {
            h = area.width() * h / w;
            w = area.width();
        }
    }
    return QSize(static_cast<int>(std::max<qint64>(w, 1)),
                 static_cast<int>(std::max<qint64>(h, 1)));
}

ChatBackground ChatBackground::fromSettings(AvSettings& settings, QSize screenArea) {
    ChatBackground b;
    switch (settings.backgroundMode) {
        case static_cast<std::uint16_t>(BackgroundMode::UserColour):
            b.mode = BackgroundMode::UserColour;
            b.colour = colourOfRef(settings.backgroundColour);
            return b;
        case static_cast<std::uint16_t>(BackgroundMode::ImageFile): {
            QImageReader reader(toQString(settings.backgroundImagePath.text()));
            const QSize size = renderSize(reader.size(), screenArea);
            if (size.isValid()) {
                // Decoding at the final size spares the full picture's memory.
                reader.setScaledSize(size);
                b.picture = reader.read();
            }
            if (!b.picture.isNull()) {
                b.mode = BackgroundMode::ImageFile;
                return b;
            }
            settings.backgroundMode = static_cast<std::uint16_t>(BackgroundMode::Default);
            return b;
        }
        default:
            return b;
    }
}

}  // namespace kova
