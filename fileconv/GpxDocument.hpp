// GPX 1.1 documents: a fixed "gpx" root, the conversion of a coordinate text file into
// waypoints, routes and tracks (TXT to GPX), and their extraction into three text files
// (GPX to TXT).
#pragma once

#include "fileconv/ConversionResult.hpp"
#include "fileconv/XmlDocument.hpp"
#include "fileconv/XmlScan.hpp"

#include <array>
#include <functional>
#include <memory>
#include <string>
#include <vector>

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

// What the last TextToGpx added to the document, or what the last GpxToText wrote for the
// kinds asked for, and the points it left out.
struct GpxCounts {
    int waypoints = 0;
    int routes = 0; // routes and tracks with at least one point
    int routePoints = 0;
    int tracks = 0;
    int trackSegments = 0; // segments with at least one point
    int trackPoints = 0;
    std::vector<std::string> skipped{}; // each point left out, where it stood and why
    int Points() const { return waypoints + routePoints + trackPoints; }
};

// The texts of a GPX to TXT extraction before they are written: LF-separated lines, empty for
// a kind that was not asked for or has no point.
struct GpxTexts {
    std::string waypoints{};
    std::string routes{};
    std::string tracks{};
    GpxCounts counts{};
};

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

    // Adds the text file's points: its waypoints after the waypoints already in the document,
    // its routes after the routes and its tracks at the end, so that a document made from
    // several files (with the same options) holds all waypoints, then all routes, then all
    // tracks, as GPX 1.1 orders them.
    TextInput TextToGpx(const std::string& textPath, const GpxMakeOptions& options);
    // The same conversion into a new document written straight to `outputPath` as it grows:
    // each finished waypoint, route and track goes to the file and leaves the tree. The bytes
    // are those SaveGpx writes after TextToGpx; nothing is written when the input is refused or
    // holds no point. False when the file could not be written (an existing one stays).
    bool TextToGpxFile(const std::string& textPath, const GpxMakeOptions& options,
                       const std::string& outputPath, TextInput& input);
    // ExtractTexts, then WriteTexts into base of `outputPath` + the three suffixes.
    TextOutput GpxToText(const std::string& outputPath, const GpxExportOptions& options);
    // The lines of the kinds asked for. A point without a latitude and longitude that are
    // numbers is left out (see GpxCounts::skipped): no text reader could take it back.
    GpxTexts ExtractTexts(const GpxExportOptions& options);
    // Writes each text that holds points to base of `outputPath` + its suffix, or to the path
    // `target` makes of that name.
    static TextOutput WriteTexts(const GpxTexts& texts, const std::string& outputPath,
                                 const GpxExportOptions& options,
                                 const std::function<std::string(const std::string&)>& target = {});
    const GpxCounts& Counts() const { return m_counts; }

    // GPX to TXT on a file as LoadGpx, ExtractTexts and WriteTexts do it, in about the memory
    // of the file's text: a plain XML file is read in place without a document tree (see
    // XmlScan), another one loaded. OpenGpx gives LoadGpx's verdict; CountTexts gives the
    // counts ExtractTexts would, keeping no text; WriteExtractedTexts (after CountTexts)
    // writes what WriteTexts would write of those texts, each line as it is made.
    bool OpenGpx(const std::string& path);
    // Whether the opened file is read in place (no document tree).
    bool ReadInPlace() const { return m_scan != nullptr; }
    const GpxCounts& CountTexts(const GpxExportOptions& options);
    TextOutput
    WriteExtractedTexts(const std::string& outputPath, const GpxExportOptions& options,
                        const std::function<std::string(const std::string&)>& target = {});

private:
    template <typename Drain>
    GpxCounts ExtractOpened(const GpxExportOptions& options, Drain drain);
    void Reset();
    // Moves the cursor to the root element (the current element at the document level).
    bool FindRoot();
    // Puts the cursor, inside the root, on the last element of the kind (0 wpt, 1 rte, 2 trk)
    // or, without one, of the nearest kind before it; with none, the next element added goes
    // at the end.
    void PositionAfterKind(int kind);

    XmlDocument m_xml;
    std::unique_ptr<XmlScan> m_scan;  // the opened file, when read in place
    std::array<bool, 3> m_madeText{}; // by CountTexts: which texts would not be empty
    GpxCounts m_counts;
    // While TextToGpxFile runs: takes the document's text as it is finished.
    std::function<bool(std::string_view)> m_sink;
    // Hands the element just finished at the root's level to the sink.
    void Flush();
};

} // namespace carvento::fileconv
