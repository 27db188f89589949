#include "chat/BackImage.h"

#include <QFontMetrics>
#include <QPainter>

#include "ui/Pictures.h"

namespace kova {

bool CBackImage::LoadBitmaps(const QImage& band, const QImage& body) {
    if (band.isNull() || body.isNull()) {
        return false;
    }
    band_ = band;
    body_ = body;
    return true;
}

bool CBackImage::LoadBitmaps(int bandId, int bodyId) {
    return LoadBitmaps(pictureImage(bandId), pictureImage(bodyId));
}

void CBackImage::SetTitle(const QString& text, const QColor& colour,
                          const std::optional<QFont>& font) {
    title_ = text;
    titleColour_ = colour;
    font_ = font;
}

int CBackImage::BandHeight() const {
    return band_.isNull() ? kDefaultBandHeight : logicalSize(band_).height();
}

void CBackImage::Compose(int width, int height, bool split, qreal pixelRatio) {
    if (width <= 0 || height <= 0) {
        composed_ = QImage();
        return;
    }
    composed_ = QImage(QSize(width, height) * pixelRatio, QImage::Format_RGB32);
    composed_.setDevicePixelRatio(pixelRatio);
    composed_.fill(Qt::white);
    if (band_.isNull() || body_.isNull()) {
        return;
    }
    QPainter p(&composed_);
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    const QSize a = logicalSize(band_);
    const QSize b = logicalSize(body_);
    const int band = a.height();
    const int t = a.width() / 3;
    auto drawBand = [&](const QRect& to, const QRect& from) {
        p.drawImage(to, band_, sourceRect(from, band_.devicePixelRatio()));
    };
    drawBand(QRect(0, 0, t, band), QRect(0, 0, t, band));
    drawBand(QRect(t, 0, std::max(0, width - 2 * t), band), QRect(t, 0, t, band));
    drawBand(QRect(width - t - 2, 0, a.width() - 2 * t, band),
             QRect(2 * t, 0, a.width() - 2 * t, band));

    auto drawBody = [&](const QRect& to, const QRect& from) {
        p.drawImage(to, body_, sourceRect(from, body_.devicePixelRatio()));
    };
    const int bodyHeight = height - band;
    if (bodyHeight > 0) {
        if (split && b.height() > kSplitRows) {
            const int rest = bodyHeight - kSplitRows;
            drawBody(QRect(0, band, width, std::min(kSplitRows, bodyHeight)),
                     QRect(0, 0, b.width(), kSplitRows));
            if (rest > 0) {
                drawBody(QRect(0, band + kSplitRows, width, rest),
                         QRect(0, kSplitRows, b.width(), b.height() - kSplitRows));
            }
        } else {
            drawBody(QRect(0, band, width, bodyHeight), QRect(QPoint(0, 0), b));
        }
    }

    if (!title_.isEmpty()) {
        if (font_) {
            p.setFont(*font_);
        }
        p.setPen(titleColour_);
        const QFontMetrics metrics(p.font());
        const int textHeight = metrics.height();
        const int top = textHeight > band ? 0 : (band - textHeight) / 2;
        p.drawText(QRect(band + kTitleGap, top, std::max(0, width - band - kTitleGap), textHeight),
                   Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine, title_);
    }
}

}  // namespace kova
