#pragma once
// What a screen reader finds in a window: each shown control a user acts on,
// walked through Qt's accessibility interfaces, with no name to read.

#include <QAbstractButton>
#include <QAccessible>
#include <QStringList>
#include <QWidget>

namespace kova::test {

inline bool interactive(QAccessible::Role role) {
    switch (role) {
        case QAccessible::PushButton:
        case QAccessible::CheckBox:
        case QAccessible::RadioButton:
        case QAccessible::ComboBox:
        case QAccessible::List:
        case QAccessible::Tree:
        case QAccessible::EditableText:
        case QAccessible::Slider:
        case QAccessible::SpinBox:
        case QAccessible::Link:
            return true;
        default:
            return false;
    }
}

// "class role" of each unnamed control, and of each picture button without a tooltip.
inline QStringList unnamedControls(QWidget* window) {
    QStringList out;
    const auto walk = [&out](const auto& self, QAccessibleInterface* iface) -> void {
        if (iface == nullptr || iface->state().invisible) {
            return;
        }
        auto* w = qobject_cast<QWidget*>(iface->object());
        if (w != nullptr && interactive(iface->role())) {
            const auto* button = qobject_cast<QAbstractButton*>(w);
            const QString what = QString::fromLatin1(w->metaObject()->className()) + ' ' +
                                 QString::number(iface->role(), 16);
            if (iface->text(QAccessible::Name).trimmed().isEmpty()) {
                out << what;
            } else if (button != nullptr && button->text().isEmpty() && w->toolTip().isEmpty()) {
                out << what + " without a tooltip";
            }
        }
        for (int i = 0; i < iface->childCount(); ++i) {
            self(self, iface->child(i));
        }
    };
    walk(walk, QAccessible::queryAccessibleInterface(window));
    return out;
}

}  // namespace kova::test
