#pragma once
// The message prompt as the audio parts use it: a warning with OK, or a
// two-button question; 1 for the first button, 2 otherwise. Injected so that
// tests answer without a modal dialog.

#include <QPointer>
#include <QString>
#include <QWidget>

#include "signalling/DlgMessage.h"

namespace kova {

class IMessagePrompt {
public:
    virtual ~IMessagePrompt() = default;
    virtual int ask(const QString& text, const QString& caption, int type, QWidget* owner) = 0;
};

// The real prompt: the program's message dialog.
class CDlgMessagePrompt final : public IMessagePrompt {
public:
    int ask(const QString& text, const QString& caption, int type, QWidget* owner) override {
        return CDlgMessage::show(text, caption, type, owner);
    }
};

}  // namespace kova
