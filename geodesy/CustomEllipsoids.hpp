// User-defined ellipsoids in the profile: section "CoordinateSystem", key "Custom" listing the
// names (each followed by ";"), and one key per name holding "a,b" with six decimals.
#pragma once

#include "platform/Profile.hpp"

#include <string>
#include <string_view>
#include <vector>

namespace carvento::geodesy {

inline constexpr std::string_view kCustomSection = "CoordinateSystem";
inline constexpr std::string_view kCustomListKey = "Custom";

// The stored names in stored order: "Custom" split at every ";". A value ending in ";" (as the
// store always writes it) yields one further empty name at the end; an empty or missing value
// gives no names.
std::vector<std::string> ListCustomNames(const platform::Profile& profile);

// Axis `which` ("a" or "b", any case) of the ellipsoid stored under `name`, in metres, read
// with atof semantics. Returns `defaultValue` when the value is missing or empty, does not
// split at "," into exactly two parts, or `which` is neither "a" nor "b".
double ReadCustomAxis(const platform::Profile& profile, std::string_view name,
                      std::string_view which, double defaultValue);

// Whether `name` can be stored: not empty, and free of the list separator ";" and the axis
// separator ",". A ";" would split one name into several listed names without axes, and a ","
// makes the stored list unreadable.
bool IsUsableCustomName(std::string_view name);

// Adds `name` to "Custom" unless it is listed already (at the start of the value or right after
// a ";", followed by ";"), then writes a and b (metres) as "%lf,%lf" under `name`, replacing an
// earlier value, and returns true. Axes are not checked. A name IsUsableCustomName refuses is
// not stored: the profile is left as it was and the result is false.
bool SaveCustomEllipsoid(platform::Profile& profile, std::string_view name, double a, double b);

} // namespace carvento::geodesy
