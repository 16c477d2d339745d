// KML documents: a fixed "kml" root with the writing operations of placemarks, lines and
// polygons, the conversion of a coordinate text file into them (TXT to KML), and the extraction
// of points, lines and polygons into three text files (KML to TXT).
#pragma once

#include "fileconv/ConversionResult.hpp"
#include "fileconv/XmlDocument.hpp"
#include "fileconv/XmlScan.hpp"

#include <array>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace carvento::fileconv {

struct KmlMakeOptions {
    bool points = true;
    bool lines = true;
    bool closeLines = false;
    bool polygons = false;
};

struct KmlExportOptions {
    bool points = true;
    bool lines = true;
    bool polygons = true;
    bool append = false;
    TextFileFormat format{};
};

// Suffixes of the three text files, appended to the output base.
inline constexpr const char* kKmlPointsSuffix = "_地标.txt";
inline constexpr const char* kKmlLinesSuffix = "_路径.txt";
inline constexpr const char* kKmlPolygonsSuffix = "_多边形.txt";

// What the last KmlToText took from the document, by kind, and what it left out.
struct KmlCounts {
    int points = 0;                     // 地标
    int lines = 0;                      // 路径, gx:Track included
    int tracks = 0;                     // of the lines, recorded GPS tracks (gx:Track)
    int polygons = 0;                   // 多边形, inner rings included
    int holes = 0;                      // of the polygons, inner rings (innerBoundaryIs)
    std::vector<std::string> skipped{}; // each with what it was and why it was left out
    bool Empty() const { return points + lines + polygons == 0; }
};

class KmlDocument {
public:
    // A new document: the XML declaration and the "kml" root, the cursor inside the root.
    KmlDocument();

    XmlDocument& Xml() { return m_xml; }

    // Load: false when the file cannot be read, is not well-formed or its root is not "kml" (a
    // prefixed "p:kml" root is read with the prefix on every element); the document is then a
    // new, empty one. The caller shows "%s 加载失败!". Save: false when the file could not be
    // written completely (an existing file stays as it was); the caller shows "%s 保存失败!".
    // A KMZ archive (a zip holding the document) loads its KML document.
    bool LoadKml(const std::string& path);
    // Why the last load failed, when the reason is more than "not KML" (a damaged KMZ).
    const std::string& LoadError() const { return m_loadError; }
    bool SaveKml(const std::string& path);

    bool BeginFolder(std::string_view name);
    bool BeginPlacemark(std::string_view name, std::string_view description);
    bool AddLookAt(std::string_view longitude, std::string_view latitude, std::string_view altitude,
                   std::string_view heading, std::string_view tilt, std::string_view range);
    bool AddPoint(std::string_view coordinates);
    bool AddLineString(std::string_view coordinates);
    bool AddPolygon(std::string_view coordinates);
    bool EndElement();

    // The whole document as text, as Save writes it before the conversion to UTF-8.
    std::string DocumentText() const;

    // TXT to KML: the file's rows (title line skipped; name, latitude, longitude, description)
    // become a Folder named after the file, holding points, lines and polygons.
    TextInput TextToKml(const std::string& textPath, const KmlMakeOptions& options);
    // The same conversion into a new document written straight to `outputPath` as it grows:
    // each finished placemark goes to the file and leaves the tree, so memory does not grow
    // with the file. The bytes are those SaveKml writes after TextToKml. `input` tells how
    // reading went; false when the file could not be written (an existing one stays as it
    // was, and so it does when the input is refused).
    bool TextToKmlFile(const std::string& textPath, const KmlMakeOptions& options,
                       const std::string& outputPath, TextInput& input);
    // KML to TXT on the loaded document: base of `outputPath` + the three suffixes.
    // When something was left out (Counts().skipped), each file goes to the path
    // `partialTarget` makes of its name instead, when given.
    TextOutput KmlToText(const std::string& outputPath, const KmlExportOptions& options,
                         const std::function<std::string(const std::string&)>& partialTarget = {});
    const KmlCounts& Counts() const { return m_counts; }

    // KML to TXT on a file as LoadKml and KmlToText do it, in about the memory of the file's
    // text: a plain XML document is read in place without a document tree (see XmlScan),
    // another one loaded. OpenKml gives LoadKml's verdict and LoadError; CountTexts gives the
    // counts KmlToText would, keeping no text; WriteExtractedTexts (after CountTexts) writes
    // the files KmlToText would, each line as it is made.
    bool OpenKml(const std::string& path);
    // Whether the opened file is read in place (no document tree).
    bool ReadInPlace() const { return m_scan != nullptr; }
    const KmlCounts& CountTexts(const KmlExportOptions& options);
    TextOutput
    WriteExtractedTexts(const std::string& outputPath, const KmlExportOptions& options,
                        const std::function<std::string(const std::string&)>& partialTarget = {});

private:
    template <typename Drain>
    KmlCounts ExtractOpened(const KmlExportOptions& options, Drain drain);
    void Reset();
    // Moves the cursor into the root, after its last child.
    bool EnterRoot();

    XmlDocument m_xml;
    std::unique_ptr<XmlScan> m_scan;  // the opened file, when read in place
    std::array<bool, 3> m_madeText{}; // by CountTexts: which texts would not be empty
    std::string m_placemarkName;
    std::string m_prefix; // namespace prefix of the loaded root, with its ":"
    KmlCounts m_counts;
    std::string m_loadError;
    // While TextToKmlFile runs: takes the document's text as it is finished.
    std::function<bool(std::string_view)> m_sink;
    // Hands the placemark just ended to the sink.
    void Flush();
};

// One coordinate tuple as KML writes it: "lon,lat,0 ".
std::string KmlTuple(std::string_view longitude, std::string_view latitude);

} // namespace carvento::fileconv
