#pragma once
// What a transfer asks of the user, on the window thread: the save question and
// chooser, warnings, the refusal box and opening a received file. Injected so
// tests answer without dialogs. They are raised from socket handlers, so none
// runs a nested loop: each returns at once and the answer comes later.

#include <QString>
#include <functional>

namespace kova {

struct TransferPrompts {
    using SavePathDone = std::function<void(const QString& path)>;
    // "Do you want to Save File: ..." and, on Accept, the save chooser
    // proposing fileName; done(the chosen path, or empty) runs once when they
    // have closed.
    std::function<void(const QString& fileName, SavePathDone done)> askSavePath;
    // The message dialog, type 1.
    std::function<void(const QString& text)> warn;
    // An offer from an address without a chat window was refused.
    std::function<void(const QString& address)> refused;
    // Opens a file with the system's handler; false when it cannot.
    std::function<bool(const QString& path)> openFile;

    // The program's own dialogs.
    static TransferPrompts standard();
    // The folder the save chooser starts in.
    static QString saveFolder();
};

}  // namespace kova
