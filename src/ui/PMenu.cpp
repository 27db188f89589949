#include "ui/PMenu.h"

#include <QPaintEvent>
#include <QPainter>
#include <QProxyStyle>
#include <QStyleOptionMenuItem>

namespace kova {

namespace {

constexpr int kPadding = 6;

// Sizes every row of a CPMenu as its largest one.
class PMenuStyle : public QProxyStyle {
public:
    explicit PMenuStyle(const CPMenu& menu) : menu_(menu) {}

    QSize sizeFromContents(ContentsType type, const QStyleOption* option, const QSize& size,
                           const QWidget* widget) const override {
        if (type == CT_MenuItem) {
            return menu_.itemSize();
        }
        return QProxyStyle::sizeFromContents(type, option, size, widget);
    }
    int pixelMetric(PixelMetric metric, const QStyleOption* option,
                    const QWidget* widget) const override {
        if (metric == PM_MenuPanelWidth || metric == PM_MenuHMargin || metric == PM_MenuVMargin) {
            return 0;
        }
        return QProxyStyle::pixelMetric(metric, option, widget);
    }

private:
    const CPMenu& menu_;
};

}  // namespace

CPMenu::CPMenu(QWidget* parent) : QMenu(parent) {
    auto* style = new PMenuStyle(*this);
    style->setParent(this);
    setStyle(style);
    setWindowOpacity(kOpacity / 255.0);
}

QAction* CPMenu::AppendItem(int command, const QString& text, bool enabled) {
    QAction* action = text.isEmpty() ? addSeparator() : addAction(text.left(63));
    action->setData(command);
    action->setEnabled(enabled);
    const QFontMetrics fm(font());
    const QSize measured =
        fm.size(Qt::TextSingleLine, rowText(action)) + QSize(2 * kPadding + fm.height(), kPadding);
    itemSize_ = itemSize_.expandedTo(measured);
    return action;
}

QString CPMenu::rowText(const QAction* action) {
    return action->isSeparator() ? kSeparatorText : action->text();
}

int CPMenu::run(const QPoint& globalPos) {
    const QAction* chosen = exec(globalPos);
    return chosen != nullptr ? chosen->data().toInt() : 0;
}

void CPMenu::paintEvent(QPaintEvent* event) {
    QPainter painter(this);
    painter.fillRect(event->rect(), kItem);
    for (QAction* action : actions()) {
        const QRect r = actionGeometry(action);
        if (!r.intersects(event->rect())) {
            continue;
        }
        const bool selected = action == activeAction() && action->isEnabled();
        painter.fillRect(r, selected ? kSelected : kItem);
        const QRect textRect = r.adjusted(itemSize_.height(), 0, 0, 0);
        const int flags = Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine;
        if (action->isSeparator()) {
            painter.setPen(palette().color(QPalette::Disabled, QPalette::Text));
            painter.drawText(textRect, flags, kSeparatorText);
        } else if (!action->isEnabled()) {
            painter.setPen(palette().color(QPalette::HighlightedText));
            painter.drawText(textRect.translated(1, 1), flags, action->text());
            painter.setPen(palette().color(QPalette::Disabled, QPalette::Text));
            painter.drawText(textRect, flags, action->text());
        } else {
            painter.setPen(palette().color(QPalette::Active, QPalette::Text));
            painter.drawText(textRect, flags, action->text());
        }
    }
}

}  // namespace kova
