#include "video/StatsOverlay.h"

#include <QPainter>
#include <QPainterPath>

#include "ui/SkinPalette.h"

namespace kova {

namespace {

// Opaque enough to read over a busy picture, clear enough to see it through.
constexpr int kAlpha = 200;
constexpr int kPadding = 6;
constexpr qreal kRadius = 5;

}  // namespace

CStatsOverlay::CStatsOverlay(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setAttribute(Qt::WA_NoSystemBackground);
    QFont small = font();
    small.setPointSizeF(std::max<qreal>(small.pointSizeF() - 1, 6));
    setFont(small);
}

void CStatsOverlay::SetLines(const QStringList& lines) {
    lines_ = lines;
    const QFontMetrics fm(font());
    int width = 0;
    for (const QString& line : lines_) {
        width = std::max(width, fm.horizontalAdvance(line));
    }
    resize(width + 2 * kPadding, static_cast<int>(lines_.size()) * fm.lineSpacing() + 2 * kPadding);
    update();
}

void CStatsOverlay::paintEvent(QPaintEvent*) {
    const QPalette skin = skinPalette();
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    QColor fill = skin.color(QPalette::Window);
    fill.setAlpha(kAlpha);
    QPainterPath panel;
    panel.addRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), kRadius, kRadius);
    painter.fillPath(panel, fill);
    painter.setPen(QPen(skin.color(QPalette::Highlight), 1));
    painter.drawPath(panel);
    painter.setPen(skin.color(QPalette::WindowText));
    const QFontMetrics fm(font());
    int y = kPadding + fm.ascent();
    for (const QString& line : lines_) {
        painter.drawText(kPadding, y, line);
        y += fm.lineSpacing();
    }
}

}  // namespace kova
