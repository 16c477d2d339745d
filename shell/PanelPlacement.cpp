// The tray-click placement of the launcher panel.
#include "shell/PanelPlacement.hpp"

#include <algorithm>

namespace carvento::shell {

ScreenPoint PlacePanel(ScreenPoint cursor, PanelSize panel, WorkArea workArea)
{
    ScreenPoint at;
    const int half = panel.width / 2;
    if (workArea.right - cursor.x > half)
        at.x = cursor.x >= workArea.left ? cursor.x - half : workArea.left;
    else
        at.x = workArea.right - panel.width;

    if (cursor.y >= workArea.bottom)
        at.y = workArea.bottom - panel.height;
    else if (workArea.bottom - cursor.y > panel.height)
        at.y = std::max(cursor.y, workArea.top);
    else
        at.y = cursor.y - panel.height;
    return at;
}

} // namespace carvento::shell
