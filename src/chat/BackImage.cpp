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
    return LoadBitmaps(kova::picture(bandId).toImage(), kova::picture(bodyId).toImage());
}

void CBackImage::SetTitle(const QString& text, const QColor& colour,
                          const std::optional<QFont>& font) {
    title_ = text;
    titleColour_ = colour;
    font_ = font;
}

int CBackImage::BandHeight() const {
    return band_.isNull() ? kDefaultBandHeight : band_.height();
}

void CBackImage::Compose(int width, int height, bool split) {
    if (width <= 0 || height <= 0) {
        composed_ = QImage();
        return;
    }
    composed_ = QImage(width, height, QImage::Format_RGB32);
    composed_.fill(Qt::white);
    if (band_.isNull() || body_.isNull()) {
        return;
    }
    QPainter p(&composed_);
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    const int band = band_.height();
    const int t = band_.width() / 3;
    p.drawImage(QPoint(0, 0), band_, QRect(0, 0, t, band));
    p.drawImage(QRect(t, 0, std::max(0, width - 2 * t), band), band_, QRect(t, 0, t, band));
    p.drawImage(QPoint(width - t - 2, 0), band_, QRect(2 * t, 0, band_.width() - 2 * t, band));

    const int bodyHeight = height - band;
    if (bodyHeight > 0) {
        if (split && body_.height() > kSplitRows) {
            const int rest = bodyHeight - kSplitRows;
            p.drawImage(QRect(0, band, width, std::min(kSplitRows, bodyHeight)), body_,
                        QRect(0, 0, body_.width(), kSplitRows));
            if (rest > 0) {
                p.drawImage(QRect(0, band + kSplitRows, width, rest), body_,
                            QRect(0, kSplitRows, body_.width(), body_.height() - kSplitRows));
            }
        } else {
            p.drawImage(QRect(0, band, width, bodyHeight), body_);
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
