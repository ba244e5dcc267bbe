#include "gui/window_placement.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>
#include <algorithm>

namespace quillan {

namespace {

QRect availableFor(const QWidget* window) {
    QScreen* screen = window->screen() ? window->screen() : QGuiApplication::primaryScreen();
    return screen ? screen->availableGeometry() : QRect();
}

// The window's outer size; before the first showing the frame is not known
// yet, so room for a title bar and borders is allowed.
QSize frameSize(const QWidget* window) {
    const QRect frame = window->frameGeometry();
    const QSize size = window->size();
    if (frame.size() != size)
        return frame.size();
    return size + QSize(8, 32);
}

void moveFrameTo(QWidget* window, QPoint topLeft) {
    window->move(topLeft);
}

} // namespace

QRect fitInto(const QRect& frame, const QRect& available) {
    if (available.isEmpty())
        return frame;
    QRect moved = frame;
    moved.moveLeft(
        std::max(available.left(), std::min(frame.left(), available.right() + 1 - frame.width())));
    moved.moveTop(
        std::max(available.top(), std::min(frame.top(), available.bottom() + 1 - frame.height())));
    return moved;
}

void keepOnScreen(QWidget* window) {
    const QRect frame(window->pos(), frameSize(window));
    moveFrameTo(window, fitInto(frame, availableFor(window)).topLeft());
}

void placeBeside(QWidget* window, QWidget* anchor) {
    const QRect available = availableFor(anchor);
    QRect around(anchor->pos(), frameSize(anchor));
    const QSize size = frameSize(window);
    // Where neither side has room but the screen holds both, the anchor
    // moves up (or to the left) to make it.
    if (around.height() + size.height() <= available.height() &&
        around.bottom() + size.height() >= available.bottom() &&
        around.top() - size.height() < available.top() &&
        around.width() + size.width() > available.width()) {
        around.moveTop(available.top());
        anchor->move(around.topLeft());
    } else if (around.width() + size.width() <= available.width() &&
               around.right() + size.width() >= available.right() &&
               around.left() - size.width() < available.left()) {
        around.moveLeft(available.left());
        anchor->move(around.topLeft());
    }
    // Right, left, below, above: the first place where it fits whole.
    const QRect places[] = {
        QRect(QPoint(around.right() + 1, around.top()), size),
        QRect(QPoint(around.left() - size.width(), around.top()), size),
        QRect(QPoint(around.left(), around.bottom() + 1), size),
        QRect(QPoint(around.left(), around.top() - size.height()), size),
    };
    // Where none fits whole: the place that covers least of the anchor.
    QRect best;
    qint64 leastCovered = -1;
    for (const QRect& place : places) {
        if (available.contains(place)) {
            moveFrameTo(window, place.topLeft());
            return;
        }
        const QRect fitted = fitInto(place, available);
        const QRect covered = fitted.intersected(around);
        const qint64 area = qint64(covered.width()) * covered.height();
        if (leastCovered < 0 || area < leastCovered) {
            leastCovered = area;
            best = fitted;
        }
    }
    moveFrameTo(window, best.topLeft());
}

} // namespace quillan
