#include "ui/LinkStatic.h"

#include <QAccessibleWidget>
#include <QDesktopServices>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QStyleOptionFocusRect>
#include <QUrl>

namespace kova {

namespace {

// A label is static text to a screen reader; this one is a link it can press.
class LinkAccessible : public QAccessibleWidget {
public:
    explicit LinkAccessible(CLinkStatic* link) : QAccessibleWidget(link, QAccessible::Link) {}

    QString text(QAccessible::Text t) const override {
        auto* link = static_cast<CLinkStatic*>(widget());
        if (t == QAccessible::Name && link->accessibleName().isEmpty()) {
            return link->text();
        }
        if (t == QAccessible::Description && link->accessibleDescription().isEmpty()) {
            return link->address();
        }
        return QAccessibleWidget::text(t);
    }
    QStringList actionNames() const override {
        return QStringList{pressAction()} + QAccessibleWidget::actionNames();
    }
    void doAction(const QString& action) override {
        if (action == pressAction()) {
            static_cast<CLinkStatic*>(widget())->activate();
        } else {
            QAccessibleWidget::doAction(action);
        }
    }
};

QAccessibleInterface* linkAccessible(const QString& className, QObject* object) {
    if (className == QLatin1String(CLinkStatic::staticMetaObject.className())) {
        return new LinkAccessible(static_cast<CLinkStatic*>(object));
    }
    return nullptr;
}

}  // namespace

CLinkStatic::CLinkStatic(const QString& text, QWidget* parent) : QLabel(text, parent) {
    static const bool installed = (QAccessible::installFactory(linkAccessible), true);
    (void)installed;
    open = [](const QString& address) { return QDesktopServices::openUrl(QUrl(address)); };
    setFocusPolicy(Qt::StrongFocus);
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

void CLinkStatic::activate() {
    if (open && open(address_)) {
        visited_ = true;
        update();
    }
}

void CLinkStatic::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint())) {
        activate();
    }
}

void CLinkStatic::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
        case Qt::Key_Return:
        case Qt::Key_Enter:
        case Qt::Key_Space:
            activate();
            break;
        default:
            QLabel::keyPressEvent(event);
    }
}

void CLinkStatic::focusInEvent(QFocusEvent* event) {
    update();
    QLabel::focusInEvent(event);
}

void CLinkStatic::focusOutEvent(QFocusEvent* event) {
    update();
    QLabel::focusOutEvent(event);
}

void CLinkStatic::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setFont(font());
    painter.setPen(currentColour());
    painter.drawText(rect(), int(alignment()) | Qt::TextSingleLine, text());
    if (hasFocus()) {
        QStyleOptionFocusRect focus;
        focus.initFrom(this);
        style()->drawPrimitive(QStyle::PE_FrameFocusRect, &focus, &painter, this);
    }
}

}  // namespace kova
