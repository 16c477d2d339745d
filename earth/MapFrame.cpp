// Map frame generation.
#include "earth/MapFrame.hpp"

#include "fileconv/KmlDocument.hpp"
#include "platform/NumberText.hpp"

#include <cmath>

namespace carvento::earth {
namespace {

// One thousandth of an arc-second: a line this close to the end value is still drawn.
constexpr double kTolerance = 0.000001;

double ToDegrees(double kiloSeconds)
{
    return kiloSeconds / 3.6;
}

std::string Coordinates(double lng1, double lat1, double lng2, double lat2)
{
    std::string text;
    platform::AppendFixed(text, ToDegrees(lng1), 6);
    text += ',';
    platform::AppendFixed(text, ToDegrees(lat1), 6);
    text += ",0 ";
    platform::AppendFixed(text, ToDegrees(lng2), 6);
    text += ',';
    platform::AppendFixed(text, ToDegrees(lat2), 6);
    text += ",0";
    return text;
}

// How many lines a family from `start` to `end` holds, by division.
double LineCount(double start, double end, double step)
{
    if (!(start < end + kTolerance))
        return 0;
    return std::floor((end + kTolerance - start) / step) + 1;
}

} // namespace

double PackedToKiloSeconds(double packed)
{
    // West and south (negative) values convert as their magnitude, with the sign kept.
    if (packed < 0)
        return -PackedToKiloSeconds(-packed);
    const double degrees = std::floor(packed / 10000);
    const double minutes = std::floor(packed / 100 - degrees * 100);
    const double seconds = packed - std::floor(packed / 100) * 100;
    return degrees * 3.6 + minutes * 0.06 + seconds * 0.001;
}

double KiloSecondsToPacked(double kiloSeconds)
{
    if (kiloSeconds < 0)
        return -KiloSecondsToPacked(-kiloSeconds);
    // In whole ten-thousandths of a second first: a value summed up from the spacing is a hair
    // below the minute it stands for (20′59.99999″ for 21′), which would name the wrong minute.
    const double arcSeconds = std::round(kiloSeconds * 1000 * 10000) / 10000;
    const double degrees = std::floor(arcSeconds / 3600);
    const double minutes = std::floor((arcSeconds - degrees * 3600) / 60);
    const double seconds = arcSeconds - degrees * 3600 - minutes * 60;
    return degrees * 10000 + minutes * 100 + seconds;
}

MapFrameKml GenerateMapFrameKml(const MapFrameFields& fields)
{
    MapFrameKml result;
    const double lngStart = PackedToKiloSeconds(platform::ParseDouble(fields.lngStart));
    const double lngEnd = PackedToKiloSeconds(platform::ParseDouble(fields.lngEnd));
    const double latStart = PackedToKiloSeconds(platform::ParseDouble(fields.latStart));
    const double latEnd = PackedToKiloSeconds(platform::ParseDouble(fields.latEnd));
    const double lngStep = PackedToKiloSeconds(platform::ParseDouble(fields.lngStep));
    const double latStep = PackedToKiloSeconds(platform::ParseDouble(fields.latStep));

    for (double value : {lngStart, lngEnd, latStart, latEnd, lngStep, latStep}) {
        if (!std::isfinite(value)) {
            result.error = messages::kFrameNotANumber;
            return result;
        }
    }
    // A spacing of zero or below would never reach the end.
    if (!(lngStep > 0)) {
        result.error = messages::kLngStepNotPositive;
        return result;
    }
    if (!(latStep > 0)) {
        result.error = messages::kLatStepNotPositive;
        return result;
    }
    if (LineCount(lngStart, lngEnd, lngStep) > kMaxFrameLines ||
        LineCount(latStart, latEnd, latStep) > kMaxFrameLines) {
        result.error = messages::kTooManyFrameLines;
        return result;
    }

    result.west = lngStart / 3.6;
    result.east = lngEnd / 3.6;
    result.south = latStart / 3.6;
    result.north = latEnd / 3.6;
    fileconv::KmlDocument document;
    document.BeginFolder("TK");
    // The value grows by repeated addition of the spacing; the count check above bounds the
    // loops, and a family that still outgrows it (rounding) is refused, never cut short.
    const auto tooMany = [&result] {
        result = MapFrameKml{};
        result.error = messages::kTooManyFrameLines;
        return result;
    };
    for (double v = lngStart; v < lngEnd + kTolerance; v += lngStep) {
        if (result.meridians == kMaxFrameLines)
            return tooMany();
        document.BeginPlacemark("LNG=" + platform::FormatFixed(KiloSecondsToPacked(v), 2), "");
        document.AddLineString(Coordinates(v, latStart, v, latEnd));
        document.EndElement();
        ++result.meridians;
    }
    for (double v = latStart; v < latEnd + kTolerance; v += latStep) {
        if (result.parallels == kMaxFrameLines)
            return tooMany();
        document.BeginPlacemark("LAT=" + platform::FormatFixed(KiloSecondsToPacked(v), 2), "");
        document.AddLineString(Coordinates(lngStart, v, lngEnd, v));
        document.EndElement();
        ++result.parallels;
    }
    document.EndElement();
    result.kml = document.DocumentText();
    return result;
}

} // namespace carvento::earth
