#pragma once
// What the control channel shows the user: its Accept/Reject questions, its
// notices and the main window it brings up. They are raised from the socket's
// handler, so none may wait: each returns at once and reports back later.

#include <QString>
#include <functional>

namespace kova {

class IControlPrompts {
public:
    virtual ~IControlPrompts() = default;

    // A question about a request from sender; done(accepted) runs once, on the
    // channel's thread, when the user answered or the question gave up.
    virtual void ask(const QString& text, const QString& sender,
                     std::function<void(bool accepted)> done) = 0;
    // A notice under caption (null: the main window's title); closed runs once
    // when it has gone.
    virtual void notice(const QString& text, const QString& caption,
                        std::function<void()> closed) = 0;
    // The main window comes up when hidden, ahead of a conference or a chat.
    virtual void showMainWindow() = 0;
};

}  // namespace kova
