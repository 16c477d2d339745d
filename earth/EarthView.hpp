// The globe's view kept in the user profile: the main and render window geometry (section
// "EARTH" and "VIEW" Width/Height) and the camera (section "VIEW": lng, lat, alt, range, tilt,
// azimuth, speed). The task pages save it with a task and restore it before resuming one, so
// that sampling by screen position sees the same picture again.
#pragma once

#include "earth/EarthConnection.hpp"
#include "platform/Profile.hpp"
#include "platform/Prompter.hpp"

#include <optional>

namespace carvento::earth {

struct EarthView {
    double lng = 0; // focus longitude, degrees
    double lat = 0; // focus latitude, degrees
    double alt = 0; // focus altitude, metres
    double range = 0;
    double tilt = 0;
    double azimuth = 0;
    double speed = 0; // auto-pilot speed
};

// The camera and auto-pilot speed; nothing when the globe is not ready (its message shown) or
// did not answer.
std::optional<EarthView> TryReadEarthView(EarthConnection& connection,
                                          platform::Prompter& prompter);
// The same, all zero when unavailable.
EarthView ReadEarthView(EarthConnection& connection, platform::Prompter& prompter);
// Flies to the view (absolute altitude) when the globe is ready.
bool ApplyEarthView(EarthConnection& connection, platform::Prompter& prompter,
                    const EarthView& view);

// Writes the window geometry, then the camera keys in the order alt, azimuth, lat, lng, range,
// speed, tilt ("%lf"). When the globe is not ready the camera keys keep what they held.
// true when the camera was read and saved.
bool SaveEarthView(EarthConnection& connection, platform::Prompter& prompter,
                   platform::Profile& profile);
// Moves the main window, sizes the render window, then flies to the saved camera. Missing keys
// take their defaults (window 0, 0, 800 × 600; camera at 0, 0, altitude 1000, speed 100). The
// windows move even when the globe then turns out not to be ready.
// true when the globe took the saved camera.
bool RestoreEarthView(EarthConnection& connection, platform::Prompter& prompter,
                      const platform::Profile& profile);

} // namespace carvento::earth
