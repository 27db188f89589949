#pragma once
// The channel for runtime errors and status notices: a tray balloon titled with
// the main window's caption (or the on-screen notice where there is no tray).
// Kept narrow so the parts that report are tested with fakes.

#include <QString>

namespace kova {

class IBalloonReporter {
public:
    virtual ~IBalloonReporter() = default;
    virtual void ShowBalloon(const QString& text) = 0;
};

}  // namespace kova
