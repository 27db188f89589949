#pragma once
// The process: start-up in its fixed order, the main window's run, and the end.

namespace kova {

class CKovaApp {
public:
    // Runs the program inside an existing QApplication; returns the exit code.
    int run();
};

}  // namespace kova
