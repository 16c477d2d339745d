// Where the launcher panel pops up when the tray icon is clicked: next to the cursor, inside
// the desktop's work area where the rule allows. A pure function on screen pixels.
#pragma once

namespace carvento::shell {

struct ScreenPoint {
    int x = 0;
    int y = 0;
};

struct PanelSize {
    int width = 0;
    int height = 0;
};

// The work area (the desktop without taskbars and docks). `right` and `bottom` are exclusive:
// right = left + width and bottom = top + height (from a QRect r: r.x() + r.width(), not
// r.right()).
struct WorkArea {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
};

// The panel's top-left corner for a click at `cursor`.
// Horizontally the panel is centred on the cursor (half the width by integer division) while
// more than half its width remains right of the cursor, starting at the work area's left edge
// when the cursor is left of it; otherwise it is right-aligned with the work area. Vertically,
// a cursor at or below the bottom edge (a taskbar at the bottom) puts the panel's bottom on the
// work area's bottom; otherwise the panel opens below the cursor (not above the work area's
// top) when more than its height remains below, and above the cursor when not.
// A cursor just right of the left edge may place the panel partly left of the work area.
ScreenPoint PlacePanel(ScreenPoint cursor, PanelSize panel, WorkArea workArea);

} // namespace carvento::shell
