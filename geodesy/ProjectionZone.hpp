// The zone parameters a page holds: central meridian and Y add constant.
#pragma once

#include "geodesy/AngleNotation.hpp"

namespace carvento::geodesy {

// Central meridian as an integer in packed DDDMMSS form (1050000 is 105°00′00″) and the Y add
// constant (false easting) in whole metres.
struct ProjectionZone {
    int centralMeridianPacked = 1050000;
    int yAdd = 500000;

    // Central meridian in decimal degrees (packed rule, no guard).
    double CentralMeridianDegrees() const { return PackedToDegrees(centralMeridianPacked); }
    // Y add constant in metres, as the projection takes it.
    double YAdd() const { return static_cast<double>(yAdd); }
};

} // namespace carvento::geodesy
