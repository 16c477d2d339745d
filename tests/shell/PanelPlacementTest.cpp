// Where the panel pops up for a tray click, one row per desktop layout.
#include "shell/PanelPlacement.hpp"

#include <gtest/gtest.h>

using namespace carvento::shell;

namespace {

struct Placement {
    const char* name;
    ScreenPoint cursor;
    PanelSize panel;
    WorkArea workArea;
    ScreenPoint expected;
};

// A 1920×1080 screen; the work area depends on where the taskbar sits.
constexpr WorkArea kBottomTaskbar{0, 0, 1920, 1040};
constexpr WorkArea kTopTaskbar{0, 40, 1920, 1080};
constexpr WorkArea kLeftTaskbar{60, 0, 1920, 1080};
constexpr PanelSize kPanel{250, 370};
constexpr PanelSize kOddPanel{251, 370};

// Test listings show the case's name instead of its bytes.
void PrintTo(const Placement& p, std::ostream* os)
{
    *os << p.name;
}

class PanelPlacementTest : public ::testing::TestWithParam<Placement> {};

} // namespace

TEST_P(PanelPlacementTest, PanelSitsWhereTheRuleSays)
{
    const Placement& p = GetParam();
    const ScreenPoint at = PlacePanel(p.cursor, p.panel, p.workArea);
    EXPECT_EQ(p.expected.x, at.x);
    EXPECT_EQ(p.expected.y, at.y);
}

INSTANTIATE_TEST_SUITE_P(
    TrayClicks, PanelPlacementTest,
    ::testing::Values(
        // Bottom taskbar: the panel stands on the work area's bottom edge, centred on the cursor.
        Placement{"BottomTaskbarCentred", {1500, 1060}, kPanel, kBottomTaskbar, {1375, 670}},
        // A cursor exactly on the bottom edge counts as on the taskbar.
        Placement{"CursorOnBottomEdge", {1500, 1040}, kPanel, kBottomTaskbar, {1375, 670}},
        // Right of the cursor exactly half the width: not more, so right-aligned.
        Placement{"HalfWidthLeftIsRightAligned", {1795, 1060}, kPanel, kBottomTaskbar, {1670, 670}},
        Placement{"OneMoreThanHalfIsCentred", {1794, 1060}, kPanel, kBottomTaskbar, {1669, 670}},
        Placement{"IconAtTheRightEdge", {1900, 1060}, kPanel, kBottomTaskbar, {1670, 670}},
        // Half of an odd width rounds down: 251 / 2 = 125.
        Placement{"OddWidthHalvesDown", {1000, 1060}, kOddPanel, kBottomTaskbar, {875, 670}},
        // Taskbar at the left: the cursor lies left of the work area, the panel starts at its
        // left edge.
        Placement{"LeftTaskbar", {30, 1000}, kPanel, kLeftTaskbar, {60, 630}},
        // A cursor on the left edge itself is centred on, even though that reaches past it.
        Placement{"CursorOnLeftEdge", {60, 500}, kPanel, kLeftTaskbar, {-65, 500}},
        // Taskbar at the top: room below the cursor, so the panel opens downwards from the
        // work area's top.
        Placement{"TopTaskbar", {1500, 20}, kPanel, kTopTaskbar, {1375, 40}},
        // Cursor inside the work area with more than the panel's height below it.
        Placement{"RoomBelowTheCursor", {800, 669}, kPanel, kBottomTaskbar, {675, 669}},
        // Exactly the panel's height below: not more, so the panel opens above the cursor.
        Placement{"NoRoomBelowTheCursor", {800, 670}, kPanel, kBottomTaskbar, {675, 300}}),
    [](const ::testing::TestParamInfo<Placement>& info) { return std::string(info.param.name); });
