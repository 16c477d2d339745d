// The built-in terrain of carvento-earth when no elevation model is given: a smooth closed-form
// surface with a height everywhere, so tests know the exact elevation of any point.
//
// With λ and φ the longitude and latitude in radians (degrees × π / 180):
//
//   elevation = 500
//             + 300 · sin(40 λ) · cos(30 φ)      broad ranges, about 9° by 12° across
//             +  60 · sin(900 λ) · sin(700 φ)    hills of some 40 km
//             +  15 · cos(9000 (λ + φ))          ridges of some 4 km, running north-west
//
// in metres. At (0°, 0°) it is 515 m; it stays within 125 m … 875 m.
#pragma once

#include <cmath>
#include <numbers>

namespace carvento::earth::simulator {

inline double SyntheticElevation(double longitude, double latitude)
{
    const double lambda = longitude * (std::numbers::pi / 180.0);
    const double phi = latitude * (std::numbers::pi / 180.0);
    return 500.0 + 300.0 * std::sin(40.0 * lambda) * std::cos(30.0 * phi) +
           60.0 * std::sin(900.0 * lambda) * std::sin(700.0 * phi) +
           15.0 * std::cos(9000.0 * (lambda + phi));
}

} // namespace carvento::earth::simulator
