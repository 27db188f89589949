#include "ui/TaskbarEdge.h"

#include <QGuiApplication>
#include <QScreen>

namespace kova {

TaskbarEdge taskbarEdge(const QRect& screen, const QRect& available) {
    if (available.bottom() < screen.bottom()) {
        return TaskbarEdge::Bottom;
    }
    if (available.right() < screen.right()) {
        return TaskbarEdge::Right;
    }
    if (available.top() > screen.top()) {
        return TaskbarEdge::Top;
    }
    if (available.left() > screen.left()) {
        return TaskbarEdge::Left;
    }
    return TaskbarEdge::Bottom;
}

QPoint cornerNextToTaskbar(const QRect& screen, const QRect& available, const QSize& window) {
    const int screenRight = screen.x() + screen.width();
    const int screenBottom = screen.y() + screen.height();
    switch (taskbarEdge(screen, available)) {
        case TaskbarEdge::Bottom:
            return {screenRight - window.width(),
                    available.y() + available.height() - window.height()};
        case TaskbarEdge::Right:
            return {available.x() + available.width() - window.width(),
                    screenBottom - window.height()};
        case TaskbarEdge::Top:
        case TaskbarEdge::Left:
            break;
    }
    return {screenRight - window.width(), screenBottom - window.height()};
}

QPoint cornerNextToTaskbar(const QSize& window) {
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (screen == nullptr) {
        return {};
    }
    return cornerNextToTaskbar(screen->geometry(), screen->availableGeometry(), window);
}

}  // namespace kova
