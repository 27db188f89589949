#include "ui/SkinPalette.h"

#include <QApplication>

namespace kova {

QPalette skinPalette() {
    const QColor window(0xDB, 0xE8, 0xF5);
    const QColor text(0x1B, 0x2B, 0x3C);
    const QColor muted(0x8A, 0x9B, 0xB0);
    QPalette p(window);
    for (QPalette::ColorGroup g : {QPalette::Active, QPalette::Inactive}) {
        p.setColor(g, QPalette::Window, window);
        p.setColor(g, QPalette::WindowText, text);
        p.setColor(g, QPalette::Base, Qt::white);
        p.setColor(g, QPalette::AlternateBase, QColor(0xEE, 0xF4, 0xFB));
        p.setColor(g, QPalette::Text, text);
        p.setColor(g, QPalette::Button, QColor(0xEC, 0xF3, 0xFA));
        p.setColor(g, QPalette::ButtonText, text);
        p.setColor(g, QPalette::Highlight, QColor(0x2D, 0x68, 0xAD));
        p.setColor(g, QPalette::HighlightedText, Qt::white);
        p.setColor(g, QPalette::ToolTipBase, QColor(0xFF, 0xFB, 0xE6));
        p.setColor(g, QPalette::ToolTipText, text);
        p.setColor(g, QPalette::PlaceholderText, muted);
    }
    p.setColor(QPalette::Disabled, QPalette::WindowText, muted);
    p.setColor(QPalette::Disabled, QPalette::Text, muted);
    p.setColor(QPalette::Disabled, QPalette::ButtonText, muted);
    p.setColor(QPalette::Disabled, QPalette::Base, window);
    return p;
}

void applySkinPalette() {
    QApplication::setPalette(skinPalette());
}

}  // namespace kova
