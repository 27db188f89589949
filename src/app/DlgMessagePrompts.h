#pragma once
// The control channel's questions and notices as the program's message dialog,
// opened without a nested loop over the main window.

#include <QPointer>
#include <QWidget>

#include "signalling/ControlPrompts.h"

namespace kova {

class DlgMessagePrompts : public IControlPrompts {
public:
    // questionMs and noticeMs replace the dialog's own close times (35 s and
    // 2 s) when not 0; tests use short ones.
    explicit DlgMessagePrompts(QWidget* mainWindow, int questionMs = 0, int noticeMs = 0);

    void ask(const QString& text, const QString& sender,
             std::function<void(bool accepted)> done) override;
    void notice(const QString& text, const QString& caption, std::function<void()> closed) override;
    void showMainWindow() override;

private:
    QPointer<QWidget> mainWindow_;
    int questionMs_;
    int noticeMs_;
};

}  // namespace kova
