#pragma once
// Acting on modal dialogs from a test: the action runs once the dialog's own
// event loop has started.

#include <QApplication>
#include <QTimer>

namespace kova::test {

template <typename Dialog, typename F>
void whenShown(F act) {
    QTimer::singleShot(0, [act] {
        auto* dlg = qobject_cast<Dialog*>(QApplication::activeModalWidget());
        if (dlg != nullptr) {
            act(dlg);
        }
    });
}

}  // namespace kova::test
