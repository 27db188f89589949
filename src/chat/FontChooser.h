#pragma once
// The chat window's font choice: the face, size and effects of a font dialog
// and the text colour next to them, since rich text carries colours and a
// font dialog alone offers none.

#include <QColor>
#include <QFont>
#include <optional>

class QWidget;

namespace kova {

struct FontChoice {
    QFont font;
    QColor colour;
};

// nullopt when cancelled.
std::optional<FontChoice> chooseFontAndColour(const FontChoice& initial, QWidget* parent);

}  // namespace kova
