// How carvento-earth maps a position in its 3-D view to the ground, and back.
//
// The view looks straight down on a rectangle of ground centred on the camera's focus point:
//
//   half-width  = range × tan(30°)                       (a 60° field of view across)
//   half-height = half-width × renderHeight / renderWidth
//
// A screen position (x, y), each −1 … 1 with (0, 0) the centre, x to the right and y up, lies
// x × half-width to the right of and y × half-height above the focus. The view's up direction
// points to the camera's azimuth (degrees clockwise from north), so
//
//   east  =  x·hw·cos(az) + y·hh·sin(az)
//   north = −x·hw·sin(az) + y·hh·cos(az)
//
// and with azimuth 0, east = x·hw and north = y·hh. Metres become degrees on a sphere of radius
// 6378137 m: Δlatitude = north / R, Δlongitude = east / (R · cos(focus latitude)), both in
// radians; the longitude is brought into −180 … 180. The tilt is not modelled: a tilted camera
// maps like an untilted one. Positions beyond ±1 and ground beyond a pole show no ground, so
// TERRAIN 0 0 is exactly the focus point.
#pragma once

#include <optional>

namespace carvento::earth::simulator {

inline constexpr double kSphereRadius = 6378137.0;

// What the mapping needs of the camera and the render window.
struct ViewGeometry {
    double latitude = 0;
    double longitude = 0;
    double range = 0;
    double azimuth = 0;
    int width = 1; // render window, pixels
    int height = 1;
    bool operator==(const ViewGeometry&) const = default;
};

struct GroundPoint {
    double longitude = 0;
    double latitude = 0;
};

struct ScreenPoint {
    double x = 0;
    double y = 0;
};

// The ground under the screen position, or nothing where the view shows none.
std::optional<GroundPoint> ScreenToGround(const ViewGeometry& view, double x, double y);

// Where a ground point appears (possibly beyond ±1, off the view); nothing when the view has no
// extent (range 0) or the point lies on the far side of the globe.
std::optional<ScreenPoint> GroundToScreen(const ViewGeometry& view, double longitude,
                                          double latitude);

// A longitude brought into −180 … 180 (values already inside are returned unchanged).
double NormalizeLongitude(double longitude);

} // namespace carvento::earth::simulator
