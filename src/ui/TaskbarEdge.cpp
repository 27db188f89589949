#include "ui/TaskbarEdge.h"

#include <QGuiApplication>
#include <QScreen>
#include <algorithm>

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

QRect taskbarRect(const QRect& screen, const QRect& available) {
    // Exclusive right and bottom edges, as the panel's own rectangle is given.
    const int sl = screen.x(), st = screen.y();
    const int sr = sl + screen.width(), sb = st + screen.height();
    const int al = available.x(), at = available.y();
    const int ar = al + available.width(), ab = at + available.height();
    switch (taskbarEdge(screen, available)) {
        case TaskbarEdge::Bottom:
            return QRect(QPoint(sl, ab), QPoint(sr, sb));
        case TaskbarEdge::Right:
            return QRect(QPoint(ar, st), QPoint(sr, sb));
        case TaskbarEdge::Top:
            return QRect(QPoint(sl, st), QPoint(sr, at));
        case TaskbarEdge::Left:
            return QRect(QPoint(sl, st), QPoint(al, sb));
    }
    return {};
}

QPoint popupNextToTaskbar(TaskbarEdge edge, const QRect& r, const QSize& screen,
                          const QSize& popup) {
    // r's right() and bottom() are exclusive edges here (see taskbarRect).
    const int w = popup.width(), h = popup.height();
    int x = 0, y = 0;
    switch (edge) {
        case TaskbarEdge::Left:
            x = r.right(), y = r.bottom() - h;
            break;
        case TaskbarEdge::Top:
            x = r.right() - w, y = r.bottom();
            break;
        case TaskbarEdge::Right:
            x = r.left() - w, y = r.bottom() - h;
            break;
        case TaskbarEdge::Bottom:
            x = r.right() - w, y = r.top() - h;
            break;
    }
    x = std::min(std::max(x, 1), screen.width() - w - 2);
    y = std::min(std::max(y, 1), screen.height() - h - 2);
    return {x, y};
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
