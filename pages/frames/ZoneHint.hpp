// The zone number written before the eastings (38 in 38 500 000.0) against the central
// meridian a page's panel holds: 3° zone n lies at 3n°, 6° zone n at 6n − 3°. Zone numbers
// 13–23 are read as 6° zones and 24–60 as 3° zones, as in China; a panel meridian that fits
// either reading agrees.
#pragma once

#include "pages/frames/ToolPage.hpp"
#include "tables/CoordinateTable.hpp"

#include <optional>
#include <string>
#include <vector>

namespace carvento::pages {

struct ZoneMeridian {
    int zone = 0;
    int width = 0;        // 3 or 6 degrees
    double degrees = 0.0; // central meridian
    int packed = 0;       // the same as the panel's field takes it, DDDMMSS (1140000)
};

// The meridian zone `zone` stands for; nothing outside 13–60.
std::optional<ZoneMeridian> MeridianOfZone(int zone);
// Whether `meridianDegrees` is zone `zone`'s under either width.
bool ZoneAgrees(int zone, double meridianDegrees);

// The zone number every numeric cell carries (cells that are not numbers, such as a title,
// are passed over); nothing when there is no numeric cell, one below 1 000 000, or two
// disagree.
std::optional<int> ZoneOfEastings(const std::vector<std::string>& cells);

struct ZoneHint {
    std::string fieldId;     // the meridian field to change
    ZoneMeridian suggested;  // what the data's zone number stands for
    double panelDegrees = 0; // what the field holds now
    std::string message;     // the status line's text
    // The add constant field when the zone number was typed into it (38500000) while the y
    // values carry none: the fix sets it to 500000 and the meridian to the zone's.
    std::string yAddFieldId{};
};

// The hint for the page's source rows: a zone number in y that disagrees with the meridian the
// field shows now (its text). Nothing when they agree, when y carries no zone number, or on
// pages without the check.
std::optional<ZoneHint> CheckZoneNumbers(const ToolPage& page,
                                         const tables::CoordinateTable& source);

// The one-click fix: the meridian field (and the add constant, when the hint names it) set as
// the hint suggests.
void ApplyZoneHint(ToolPage& page, const ZoneHint& hint);
// The caption of the fix's button: "改为 1170000", or "改正" when the add constant changes too.
std::string ZoneFixCaption(const ZoneHint& hint);

// The status line's text for a zone taken from the data (--meridian auto).
std::string ZoneTakenText(const ZoneMeridian& zone);

} // namespace carvento::pages
