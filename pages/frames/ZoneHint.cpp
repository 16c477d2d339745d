// Zone numbers in the data against the panel's central meridian.
#include "pages/frames/ZoneHint.hpp"

#include "geodesy/AngleNotation.hpp"
#include "pages/frames/DatumSide.hpp"
#include "pages/frames/EllipsoidPage.hpp"
#include "platform/NumberText.hpp"

#include <cmath>

namespace carvento::pages {
namespace {

// Degrees as short as they print exactly ("114°", "112.5°"), whatever the process locale.
std::string Degrees(double degrees)
{
    std::string text = platform::FormatFixed(degrees, 6);
    if (text.find('.') != std::string::npos) {
        text.erase(text.find_last_not_of('0') + 1);
        if (text.back() == '.')
            text.pop_back();
    }
    return text + "°";
}

// A cell that is a decimal number as a whole (blanks around allowed), read in the C locale.
bool NumberCell(const std::string& cell, double& value)
{
    if (!platform::IsNumberText(cell))
        return false;
    value = platform::ParseDouble(cell);
    return true;
}

} // namespace

std::optional<ZoneMeridian> MeridianOfZone(int zone)
{
    if (zone >= 13 && zone <= 23)
        return ZoneMeridian{zone, 6, 6.0 * zone - 3, (6 * zone - 3) * 10000};
    if (zone >= 24 && zone <= 60)
        return ZoneMeridian{zone, 3, 3.0 * zone, 3 * zone * 10000};
    return std::nullopt;
}

bool ZoneAgrees(int zone, double meridianDegrees)
{
    return std::fabs(meridianDegrees - 3.0 * zone) < 1e-9 ||
           std::fabs(meridianDegrees - (6.0 * zone - 3)) < 1e-9;
}

std::optional<int> ZoneOfEastings(const std::vector<std::string>& cells)
{
    std::optional<int> zone;
    for (const std::string& cell : cells) {
        double y = 0.0;
        if (!NumberCell(cell, y))
            continue;
        if (!(y >= 1e6) || !(y < 1e9))
            return std::nullopt;
        const int millions = static_cast<int>(std::floor(y * 1e-6));
        if (zone && *zone != millions)
            return std::nullopt;
        zone = millions;
    }
    return zone;
}

namespace {

// The zone number typed into the add constant (38500000 instead of 500000) while the y values
// carry none: every y then lies tens of thousands of kilometres from the add constant, and the
// inverse projection gives latitudes of a billion degrees.
std::optional<ZoneHint> CheckAddConstant(const ToolPage& page, const ZoneCheckTarget& target,
                                         const std::vector<std::string>& yCells)
{
    const std::string& yAddId = target.yAddField;
    const PageField* field = page.FindField(yAddId);
    double yAdd = 0.0;
    if (!field || !NumberCell(field->text, yAdd) || yAdd < 1e6 || yAdd >= 1e9)
        return std::nullopt;
    const double millions = (yAdd - kDefaultYAdd) / 1e6;
    if (millions != std::floor(millions))
        return std::nullopt;
    const std::optional<ZoneMeridian> meridian = MeridianOfZone(static_cast<int>(millions));
    if (!meridian)
        return std::nullopt;
    bool farAway = false;
    for (const std::string& cell : yCells) {
        double y = 0.0;
        if (NumberCell(cell, y))
            farAway = farAway || std::fabs(y - yAdd) > 1e6;
    }
    if (!farAway)
        return std::nullopt;
    ZoneHint hint;
    hint.fieldId = target.meridianField;
    hint.suggested = *meridian;
    hint.yAddFieldId = yAddId;
    hint.message = "Y加常数应为500000，带号" + std::to_string(meridian->zone) + "已移入中央子午线?";
    return hint;
}

} // namespace

void ApplyZoneHint(ToolPage& page, const ZoneHint& hint)
{
    page.EditText(hint.fieldId, std::to_string(hint.suggested.packed));
    if (!hint.yAddFieldId.empty())
        page.EditText(hint.yAddFieldId, std::to_string(kDefaultYAdd));
}

std::string ZoneFixCaption(const ZoneHint& hint)
{
    return hint.yAddFieldId.empty() ? "改为 " + std::to_string(hint.suggested.packed) : "改正";
}

std::optional<ZoneHint> CheckZoneNumbers(const ToolPage& page,
                                         const tables::CoordinateTable& source)
{
    const std::optional<ZoneCheckTarget> target = page.ZoneCheck();
    if (!target)
        return std::nullopt;
    const PageField* field = page.FindField(target->meridianField);
    if (!field)
        return std::nullopt;
    std::vector<std::string> cells;
    for (int r = 1; r <= source.DataRowCount(); ++r)
        cells.push_back(source.GetCell(r, target->yColumn));
    if (std::optional<ZoneHint> hint = CheckAddConstant(page, *target, cells))
        return hint;
    const std::optional<int> zone = ZoneOfEastings(cells);
    if (!zone)
        return std::nullopt;
    const std::optional<ZoneMeridian> meridian = MeridianOfZone(*zone);
    double packed = 0.0;
    if (!meridian || !NumberCell(field->text, packed))
        return std::nullopt;
    const double panel = geodesy::PackedToDegrees(packed);
    if (ZoneAgrees(*zone, panel))
        return std::nullopt;
    ZoneHint hint;
    hint.fieldId = target->meridianField;
    hint.suggested = *meridian;
    hint.panelDegrees = panel;
    hint.message = "y 带号 " + std::to_string(*zone) + " (" + std::to_string(meridian->width) +
                   "°带, 中央子午线 " + Degrees(meridian->degrees) + ") 与中央子午线 " +
                   Degrees(panel) + " 不符";
    return hint;
}

std::string ZoneTakenText(const ZoneMeridian& zone)
{
    return "中央子午线取自 y 带号 " + std::to_string(zone.zone) + ": " +
           std::to_string(zone.packed) + " (" + std::to_string(zone.width) + "°带, " +
           Degrees(zone.degrees) + ")";
}

} // namespace carvento::pages
