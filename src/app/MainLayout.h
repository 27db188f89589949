#pragma once
// Where the main window's controls go for a given local video size: the video
// area keeps its corner and takes the capture size, the list, sliders, status
// panel and window follow it.

#include <QRect>
#include <QSize>

namespace kova {

struct MainLayoutInput {
    int bandHeight = 0;   // the draggable top band
    QRect videoArea;      // current local video area (its corner is kept)
    QSize captureSize;    // 320 x 240 without a running capture
    QSize screenSize;     // the full-screen client size
    QRect list;           // current contact list
    int helpRight = 0;    // right edge of the Help button
    QSize slider;         // one volume slider (s_w x s_h)
    int panelHeight = 0;  // the status panel's height
    QSize closeButton;    // the "X" button
};

struct MainLayout {
    QRect videoArea;
    QRect list;
    QSize client;  // the window's client size
    QRect speakerSlider;
    QRect micSlider;
    QRect statusPanel;
    QRect closeButton;
};

MainLayout computeMainLayout(const MainLayoutInput& in);

}  // namespace kova
