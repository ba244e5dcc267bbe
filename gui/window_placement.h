// Places top-level windows so that they open fully on the screen, and a
// helper window beside the window it helps rather than over it.
#pragma once

#include <QRect>

class QWidget;

namespace quillan {

// frame moved (never resized) into available as far as it fits; a frame
// larger than available keeps its top-left corner inside.
QRect fitInto(const QRect& frame, const QRect& available);
// Moves window so that its frame lies on the screen it is on.
void keepOnScreen(QWidget* window);
// Moves window next to anchor: to its right, left, below or above, the
// first where it fits on the screen; when the screen holds both but neither
// side has room, anchor moves up (or left) to make it; else window goes
// where it covers least of anchor.
void placeBeside(QWidget* window, QWidget* anchor);

} // namespace quillan
