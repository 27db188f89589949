#pragma once
// The program's one small modal dialog for notices, warnings and Accept/Reject
// questions. Translucent; next to the taskbar when the main window is hidden, so
// an incoming call is noticed without it.

#include <QDialog>
#include <functional>

#include "audio/MessagePrompt.h"

class QLabel;
class QTimer;

namespace kova {

class CHoverButton;

class CDlgMessage : public QDialog {
    Q_OBJECT
public:
    enum Type { Notice = 0, Warning = 1, Question = 3 };
    enum Result { Ok = 1, Cancel = 2 };

    // A notice closes itself after this; a question rejects itself after that.
    static constexpr int kNoticeMs = 2000;
    static constexpr int kQuestionMs = 35000;
    static constexpr int kOpacityStart = 75;
    static constexpr int kOpacityHover = 95;
    static constexpr int kOkPicture = 159;
    static constexpr int kCancelPicture = 158;

    // Runs the dialog modally over mainWindow (none: a parentless dialog next to
    // the taskbar). The caption defaults to the main window's title. Returns
    // Ok for OK/Accept, Cancel for everything else.
    // closeAfterMs overrides the type's own close timer (tests use short ones);
    // 0 keeps the type's timer.
    static int show(const QString& text, const QString& caption, int type, QWidget* mainWindow,
                    int closeAfterMs = 0);
    // The same dialog without a nested loop, for questions raised from socket
    // handlers: done(Ok or Cancel) runs once when it closes, on the UI thread,
    // and the dialog deletes itself. Returned so callers may close it early.
    static CDlgMessage* open(const QString& text, const QString& caption, int type,
                             QWidget* mainWindow, std::function<void(int result)> done,
                             int closeAfterMs = 0);

    // Asks every open message dialog to close (the quit sequence's last step).
    static void closeAll();

    CDlgMessage(const QString& text, const QString& caption, int type, QWidget* mainWindow,
                int closeAfterMs = 0);

    // alpha = percent * 255 / 100, clamped to 0..255
    static int alphaForPercent(int percent);

protected:
    void reject() override;
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void raiseOpacity();

    QLabel* icon_ = nullptr;
    QLabel* text_ = nullptr;
    CHoverButton* ok_ = nullptr;
    CHoverButton* cancel_ = nullptr;
    QTimer* closeTimer_ = nullptr;
    int opacity_ = kOpacityStart;
};

// The audio parts' prompt on the message dialog.
class CDlgMessagePrompt final : public IMessagePrompt {
public:
    int ask(const QString& text, const QString& caption, int type, QWidget* owner) override {
        return CDlgMessage::show(text, caption, type, owner);
    }
};

}  // namespace kova
