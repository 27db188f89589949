#include "contacts/HeaderLst.h"

#include <QPainter>

namespace kova {

CHeaderLst::CHeaderLst(QWidget* parent) : QHeaderView(Qt::Horizontal, parent) {}

void CHeaderLst::paintSection(QPainter* painter, const QRect& rect, int logicalIndex) const {
    painter->save();
    painter->fillRect(rect, kFill);
    const int margin = 2 * fontMetrics().horizontalAdvance(u' ');
    const QRect textRect = rect.adjusted(margin, 0, -margin, 0);
    if (textRect.width() > 0 && model() != nullptr) {
        const QString text = model()->headerData(logicalIndex, orientation()).toString();
        const auto align = Qt::Alignment(
            model()->headerData(logicalIndex, orientation(), Qt::TextAlignmentRole).toInt());
        Qt::Alignment horizontal = Qt::AlignLeft;
        if (align & Qt::AlignHCenter) {
            horizontal = Qt::AlignHCenter;
        } else if (align & Qt::AlignRight) {
            horizontal = Qt::AlignRight;
        }
        painter->setPen(kText);
        painter->drawText(textRect, int(horizontal | Qt::AlignVCenter | Qt::TextSingleLine),
                          fontMetrics().elidedText(text, Qt::ElideRight, textRect.width()));
    }
    painter->restore();
}

}  // namespace kova
