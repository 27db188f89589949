#pragma once
// The splash shown in the middle of the screen while the main window starts.

#include "ui/SplashWnd.h"

namespace kova {

class CStartSplash : public CSplashWnd {
    Q_OBJECT
public:
    static constexpr int kPicture = 160;
    static constexpr quint32 kColourKey = 0xFF0000;  // pure blue, as 0x00BBGGRR

    CStartSplash();
    // Shows the splash centred in the screen's work area.
    void Create();
};

}  // namespace kova
