#pragma once
// The message prompt as the audio parts use it: a warning with OK, or a
// two-button question; 1 for the first button, 2 otherwise. Injected so that
// tests answer without a modal dialog; the program's own is CDlgMessagePrompt.

#include <QString>

class QWidget;

namespace kova {

class IMessagePrompt {
public:
    virtual ~IMessagePrompt() = default;
    virtual int ask(const QString& text, const QString& caption, int type, QWidget* owner) = 0;
};

}  // namespace kova
