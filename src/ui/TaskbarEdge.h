#pragma once
// Where the desktop keeps its panel ("taskbar"): the screen edge at which the
// available area is smaller than the screen. None: the bottom edge.

#include <QPoint>
#include <QRect>
#include <QSize>

class QScreen;

namespace kova {

enum class TaskbarEdge { Bottom, Right, Top, Left };

TaskbarEdge taskbarEdge(const QRect& screen, const QRect& available);

// The panel's rectangle: the strip between the available area and the screen
// edge; with no panel, an empty strip along the bottom edge.
QRect taskbarRect(const QRect& screen, const QRect& available);

// Where a popup of the given size goes beside the panel at that edge, kept at
// least 1 pixel inside the screen's top-left and 2 pixels inside its bottom-right.
QPoint popupNextToTaskbar(TaskbarEdge edge, const QRect& taskbar, const QSize& screen,
                          const QSize& popup);

// The top-left corner that puts a window of the given size into the screen
// corner next to the taskbar: just above a bottom panel, just left of a right
// panel, else the screen's bottom-right corner.
QPoint cornerNextToTaskbar(const QRect& screen, const QRect& available, const QSize& window);

// The same for the primary screen, or the origin when there is no screen.
QPoint cornerNextToTaskbar(const QSize& window);

}  // namespace kova
