// The angle notations a page's unit drop-down offers for B and L, and the reading and writing
// of a cell in each: one table for every page that shows geodetic coordinates.
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace carvento::pages {

// Unit drop-down of the projection pages.
enum AngleUnit : int { kUnitPacked = 0, kUnitDotted = 1, kUnitDegrees = 2 };
inline const std::vector<std::string> kAngleUnitChoices = {"DDDMMSS.SS", "DDD.MMSSSS", "度"};
// The command line's names of the angle units, by index of either unit list.
inline const std::vector<std::pair<std::string, int>> kAngleUnitOptionNames = {{"dms", 0},
                                                                               {"packed", 0},
                                                                               {"dotted", 1},
                                                                               {"deg", 2}};

// A value in `unit` as decimal degrees. A unit outside the list (-1: no choice) reads decimal
// degrees.
double AngleToDegrees(double value, int unit);
// Decimal degrees as a cell in `unit`: packed with 4 decimals, dotted and degrees with 8.
std::string AngleText(double degrees, int unit);

} // namespace carvento::pages
