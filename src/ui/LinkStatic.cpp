#include "ui/LinkStatic.h"

#include <QDesktopServices>
#include <QMouseEvent>
#include <QPainter>
#include <QUrl>

namespace kova {

CLinkStatic::CLinkStatic(const QString& text, QWidget* parent) : QLabel(text, parent) {
    open = [](const QString& address) { return QDesktopServices::openUrl(QUrl(address)); };
    setCursor(Qt::PointingHandCursor);
    setTextFormat(Qt::PlainText);
    applyLook();
}

void CLinkStatic::SetAddress(const QString& address) {
    address_ = address;
    setToolTip(address);
    applyLook();
}

void CLinkStatic::SetColours(const QColor& link, const QColor& visited, const QColor& hover) {
    link_ = link;
    visitedColour_ = visited;
    hover_ = hover;
    update();
}

void CLinkStatic::SetVisited(bool visited) {
    visited_ = visited;
    update();
}

void CLinkStatic::SetUnderline(bool underline) {
    underline_ = underline;
    applyLook();
}

void CLinkStatic::SetAutoSize(bool autoSize) {
    autoSize_ = autoSize;
    applyLook();
}

QColor CLinkStatic::currentColour() const {
    if (hovering_) {
        return hover_.isValid() ? hover_ : palette().color(QPalette::Highlight);
    }
    return visited_ ? visitedColour_ : link_;
}

void CLinkStatic::applyLook() {
    // A link without a text of its own shows where it goes.
    if (text().isEmpty() && !address_.isEmpty()) {
        setText(address_);
    }
    QFont f = font();
    f.setUnderline(underline_);
    setFont(f);
    if (!autoSize_) {
        return;
    }
    // The text's own size, kept at the edge the alignment names.
    const QRect old = geometry();
    const QSize size = QFontMetrics(f).size(Qt::TextSingleLine, text());
    QRect r(old.topLeft(), size);
    if (alignment() & Qt::AlignVCenter) {
        r.moveTop(old.center().y() - size.height() / 2);
    }
    if (alignment() & Qt::AlignHCenter) {
        r.moveLeft(old.center().x() - size.width() / 2);
    } else if (alignment() & Qt::AlignRight) {
        r.moveRight(old.right());
    }
    setGeometry(r);
}

void CLinkStatic::enterEvent(QEnterEvent* event) {
    hovering_ = true;
    update();
    QLabel::enterEvent(event);
}

void CLinkStatic::leaveEvent(QEvent* event) {
    hovering_ = false;
    update();
    QLabel::leaveEvent(event);
}

void CLinkStatic::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()) && open &&
        open(address_)) {
        visited_ = true;
        update();
    }
}

void CLinkStatic::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setFont(font());
    painter.setPen(currentColour());
    painter.drawText(rect(), int(alignment()) | Qt::TextSingleLine, text());
}

}  // namespace kova
