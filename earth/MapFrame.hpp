// The map frame: a graticule of meridians and parallels over a longitude and latitude range,
// labelled with their packed DDDMMSS values, as one KML document for the globe.
//
// Angles inside are in kilo-seconds (thousands of arc-seconds): 1° = 3.6, 1′ = 0.06,
// 1″ = 0.001.
#pragma once

#include <string>

namespace carvento::earth {

namespace messages {
inline constexpr const char* kLngStepNotPositive = "经度差必须大于0!";
inline constexpr const char* kLatStepNotPositive = "纬度差必须大于0!";
inline constexpr const char* kFrameNotANumber = "图框的经纬度或间距不是有效数字!";
inline constexpr const char* kTooManyFrameLines = "图框线条过多(每组最多100000条)，请加大间距!";
} // namespace messages

// The most meridians (and the most parallels) one frame may hold.
inline constexpr int kMaxFrameLines = 100000;

// Packed DDDMMSS(.ss) to kilo-seconds and back (the way back is for the line names).
double PackedToKiloSeconds(double packed);
double KiloSecondsToPacked(double kiloSeconds);

// The six fields as typed, each read from its leading number.
struct MapFrameFields {
    std::string lngStart{};
    std::string lngEnd{};
    std::string latStart{};
    std::string latEnd{};
    std::string lngStep{};
    std::string latStep{};
};

struct MapFrameKml {
    std::string kml{};   // the document; empty when refused
    std::string error{}; // why the fields were refused; empty on success
    int meridians = 0;
    int parallels = 0;
    // The frame's extent in decimal degrees, for a view that shows it whole.
    double west = 0, east = 0, south = 0, north = 0;
};

// A folder "TK" of placemarks, meridians first ("LNG=…", west to east), then parallels
// ("LAT=…", south to north), each a line string "lon,lat,0 lon,lat,0" in decimal degrees.
// Both families include their end value when a line reaches it within a thousandth of an
// arc-second. A start beyond its end gives no lines of that family. Refused: a spacing of
// zero or below, a value that is not a finite number, more than kMaxFrameLines lines in a
// family.
MapFrameKml GenerateMapFrameKml(const MapFrameFields& fields);

} // namespace carvento::earth
