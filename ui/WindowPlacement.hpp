// Where a new window opens: inside the screen's available area, title bar included, so a large
// page on a small or highly scaled screen can still be moved and closed.
#pragma once

#include <QMargins>
#include <QRect>
#include <QSize>

class QWidget;

namespace carvento::ui {

// Client geometry of a window that would like `wanted` (client size) and cannot be smaller
// than `minimum`, with `frame` (title bar and borders) around it, inside `available`: the size
// shrinks to what fits, and the frame is centred in the area. A window still larger than the
// area is pinned to the area's top-left corner, so its title bar stays reachable.
QRect FitWindow(QSize wanted, QSize minimum, QMargins frame, const QRect& available);

// The `index`-th of several windows placed alike, moved down and right by `step` per window
// before it so that each title bar shows; a window the steps would push out of `available`
// starts the cascade over at its place.
QRect CascadeWindow(const QRect& placed, int index, int step, QMargins frame,
                    const QRect& available);

// Resizes and moves a top-level window by FitWindow within `available`, one cascade step
// below and right of the windows placed before that are still shown; the frame is the
// window's own once it is shown, an estimate of the title bar and borders before.
void PlaceWindow(QWidget& window, const QRect& available);
// The same within the available area of the screen under the mouse pointer.
void PlaceWindow(QWidget& window);

} // namespace carvento::ui
