// What GDAL's own ogrinfo reads from a file the program wrote: its text, the points it lists
// and the EPSG code of the layer, as an independent reader of the GIS layers.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

namespace carvento::testing {

// Standard output of a shell command (standard error discarded).
inline std::string CommandOutput(const std::string& command)
{
    std::string text;
    if (std::FILE* pipe = ::popen((command + " 2>/dev/null").c_str(), "r")) {
        char buffer[4096];
        for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;)
            text.append(buffer, n);
        ::pclose(pipe);
    }
    return text;
}

// `ogrinfo -al` of the file ("-so" for the summary alone).
inline std::string OgrInfo(const std::string& path, bool summary = false)
{
    return CommandOutput(std::string("ogrinfo -ro -al ") + (summary ? "-so " : "") + "'" + path +
                         "'");
}

// The layer's EPSG code: the ID["EPSG",n] of its CRS itself (the one indented as the CRS's
// own member, not those of its datum, units or axes), 0 when the layer has none.
inline int LayerEpsg(const std::string& info)
{
    const std::size_t srs = info.find("Layer SRS WKT:");
    if (srs == std::string::npos)
        return 0;
    const std::size_t mapping = info.find("Data axis to CRS axis mapping", srs);
    const std::size_t end = mapping == std::string::npos ? info.size() : mapping;
    const std::string own = "\n    ID[\"EPSG\",";
    const std::size_t id = info.rfind(own, end);
    return id == std::string::npos || id < srs ? 0 : std::atoi(info.c_str() + id + own.size());
}

// The coordinates of every POINT ogrinfo lists, in its order: x, y and z (0 without one).
struct ListedPoint {
    double x = 0.0, y = 0.0, z = 0.0;
};
inline std::vector<ListedPoint> ListedPoints(const std::string& info)
{
    std::vector<ListedPoint> points;
    for (std::size_t at = info.find("POINT "); at != std::string::npos;
         at = info.find("POINT ", at + 6)) {
        const std::size_t open = info.find('(', at);
        ListedPoint point;
        if (open != std::string::npos &&
            std::sscanf(info.c_str() + open + 1, "%lf %lf %lf", &point.x, &point.y, &point.z) >= 2)
            points.push_back(point);
    }
    return points;
}

} // namespace carvento::testing
