// GPX 1.1 documents: a fixed "gpx" root, the conversion of a coordinate text file into
// waypoints, routes and tracks (TXT to GPX), and their extraction into three text files
// (GPX to TXT).
#pragma once

#include "fileconv/ConversionResult.hpp"
#include "fileconv/XmlDocument.hpp"

#include <string>

namespace carvento::fileconv {

struct GpxMakeOptions {
    bool waypoints = true;
    bool routes = true;
    bool closeRoutes = false; // accepted; routes are written as they are
    bool tracks = false;
};

struct GpxExportOptions {
    bool waypoints = true;
    bool routes = true;
    bool tracks = true;
    bool append = false;
    TextFileFormat format{};
};

inline constexpr const char* kGpxWaypointsSuffix = "_航点.txt";
inline constexpr const char* kGpxRoutesSuffix = "_航线.txt";
inline constexpr const char* kGpxTracksSuffix = "_航迹.txt";

class GpxDocument {
public:
    // A new document: the "gpx" root with its five attributes, the cursor inside it.
    GpxDocument();

    XmlDocument& Xml() { return m_xml; }

    // Load: false when the file cannot be read, is not well-formed or its root is not "gpx";
    // the document is then a new, empty one.
    bool LoadGpx(const std::string& path);
    bool SaveGpx(const std::string& path);
    std::string DocumentText() const;

    TextInput TextToGpx(const std::string& textPath, const GpxMakeOptions& options);
    TextOutput GpxToText(const std::string& outputPath, const GpxExportOptions& options);

private:
    void Reset();
    // Moves the cursor to the root element (the current element at the document level).
    bool FindRoot();

    XmlDocument m_xml;
};

} // namespace carvento::fileconv
