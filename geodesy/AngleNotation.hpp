// Angle notations: decimal degrees, packed DDDMMSS.SS, dotted DDD.MMSSSS, D°M′S″ text, radians.
// Free functions on doubles and UTF-8 strings, without state. Their rounding rules are fixed: a
// guard of 1e-8 degree before splitting, floor for the numeric notations, truncation toward zero
// (on the magnitude) for the text notation.
#pragma once

#include <string>
#include <string_view>

namespace carvento::geodesy {

// Glossary: D degrees, M minutes, S seconds; "packed" is D·10000 + M·100 + S (1171234.56 for
// 117°12′34.56″), "dotted" is D + M/100 + S/10000 (117.123456).
//
// Sign conventions — the two families differ for negative angles, on purpose:
//  - The numeric packed and dotted forms split with floor: −117.5° is −118° + 30′, packed
//    −1177000, dotted −117.70. They round-trip through each other.
//  - The text forms are sign and magnitude: −117.5° is "-117°30′00.00″", and the text
//    formatters and parsers treat a negative packed or dotted number as the negative of its
//    magnitude (−1173000 packed is "-117°30′00.00″").

inline constexpr double kRadiansPerDegree = 0.017453292519943295;
inline constexpr double kDegreesPerRadian = 57.29577951308232;

// x (degrees) · 0.017453292519943295.
inline double DegreesToRadians(double x)
{
    return x * kRadiansPerDegree;
}
// x (radians) · 57.29577951308232.
inline double RadiansToDegrees(double x)
{
    return x * kDegreesPerRadian;
}

// Decimal degrees to dotted DDD.MMSSSS, with a 1e-8 degree guard against values a hair below a
// whole minute. Negative angles: floor split (see above).
double DegreesToDotted(double x);
// Decimal degrees to packed DDDMMSS.SS, guard and floor as DegreesToDotted.
double DegreesToPacked(double x);
// Dotted DDD.MMSSSS to decimal degrees, with the 1e-8 guard before splitting.
double DottedToDegrees(double x);
// Packed DDDMMSS.SS to decimal degrees; no guard (1171259.99999999 keeps 59.99999999″).
double PackedToDegrees(double x);
// Packed to dotted: x · 0.0001.
double PackedToDotted(double x);
// Dotted to packed: x · 10000.
double DottedToPacked(double x);

// Text "D°MM′SS.SS″" of a packed angle (minutes two digits, seconds "%05.2f"). A negative value
// gives "-" and the text of its magnitude. Non-finite input gives "nan"/"inf" pieces.
std::string FormatPackedAsText(double x);
// Text of a dotted angle, as FormatPackedAsText.
std::string FormatDottedAsText(double x);
// Text of an angle in decimal degrees, with the 1e-8 guard (30.999999999 gives 31°00′00.00″;
// 117.9999999 gives 117°59′60.00″ because the seconds round only when printed).
std::string FormatDegreesAsText(double x);

// Readers of D°M′S″ texts. Pieces: degrees before the first "°" (read as atoi), minutes after it
// up to the first minute sign, seconds after the minute sign up to the first second sign (read
// as atof). ′ or ASCII ' mark minutes and ″ or ASCII " seconds, whichever comes first. A text
// without signs reads as 0; "117°30′" reads as 117.5°. A text whose first non-blank character is
// "-" followed by a digit or "." is the negative of the rest. Never fails.

// Packed DDDMMSS.SS: atoi(deg)·10000 + atoi(min)·100 (in integers) + atof(sec).
double ParseTextAsPacked(std::string_view text);
// Decimal degrees: atoi(deg) + (atof(min)/60 + atof(sec)/3600).
double ParseTextAsDegrees(std::string_view text);
// Dotted DDD.MMSSSS: atoi(deg) + (atof(min)·0.01 + atof(sec)·0.0001).
double ParseTextAsDotted(std::string_view text);

} // namespace carvento::geodesy
