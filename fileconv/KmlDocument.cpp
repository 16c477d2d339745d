// KML documents. Writing follows Google Earth's own layout: a Folder per converted file, a
// Placemark per point with a LookAt from 1000 m, and lines and polygons named after their
// points. Reading takes the coordinates as KML defines them (tuples "lon,lat[,alt]" separated by
// any white space), keeping the texts of the numbers as they stand.
#include "fileconv/KmlDocument.hpp"

#include "fileconv/CoordinateText.hpp"
#include "fileconv/FileNames.hpp"
#include "fileconv/KmzArchive.hpp"
#include "fileconv/StreamedFile.hpp"
#include "fileconv/TextFiles.hpp"
#include "platform/WholeFile.hpp"
#include "tables/CodePage.hpp"
#include "tables/FieldSplit.hpp"
#include "tables/TextTableFile.hpp"

#include <algorithm>
#include <fstream>
#include <iterator>
#include <memory>
#include <optional>
#include <vector>

namespace carvento::fileconv {
namespace {

constexpr const char* kDeclaration = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n";
constexpr const char* kPointsHeader = "名称,纬度,经度,说明";
constexpr const char* kLinesHeader = "名称,纬度,经度";
constexpr const char* kPolygonsHeader = "名称,纬度,经度";
// How a converted document ends: its folder, then its root.
constexpr std::string_view kStreamTail = "</Folder>\r\n</kml>\r\n";

bool IsTupleSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

struct Tuple {
    std::string_view longitude;
    std::string_view latitude;
};

// The tuples of a coordinates text: numbers joined by commas, with blanks allowed around a
// comma ("106.3, 30.5, 0" is one tuple), and white space between tuples. A tuple that is not
// "lon,lat" or "lon,lat,alt" with both numbers present is left out.
std::vector<Tuple> Tuples(std::string_view text, int* dropped = nullptr)
{
    std::vector<Tuple> tuples;
    std::size_t pos = 0;
    const auto skipSpace = [&] {
        while (pos < text.size() && IsTupleSpace(text[pos]))
            ++pos;
    };
    for (;;) {
        skipSpace();
        if (pos >= text.size())
            break;
        std::string_view fields[3];
        int count = 0;
        for (;;) {
            const std::size_t start = pos;
            while (pos < text.size() && text[pos] != ',' && !IsTupleSpace(text[pos]))
                ++pos;
            if (count < 3)
                fields[count] = text.substr(start, pos - start);
            ++count;
            const std::size_t afterField = pos;
            skipSpace();
            if (pos < text.size() && text[pos] == ',') {
                ++pos;
                skipSpace();
                continue;
            }
            pos = std::max(pos, afterField);
            break;
        }
        if ((count == 2 || count == 3) && !fields[0].empty() && !fields[1].empty())
            tuples.push_back({fields[0], fields[1]});
        else if (dropped)
            ++*dropped;
    }
    return tuples;
}

// The positions of a gx:coord: "lon lat [alt]" separated by white space.
bool TrackCoord(std::string_view text, Tuple& tuple)
{
    std::string_view fields[3];
    int count = 0;
    std::size_t pos = 0;
    while (pos < text.size()) {
        while (pos < text.size() && IsTupleSpace(text[pos]))
            ++pos;
        const std::size_t start = pos;
        while (pos < text.size() && !IsTupleSpace(text[pos]))
            ++pos;
        if (pos == start)
            break;
        if (count == 3)
            return false;
        fields[count++] = text.substr(start, pos - start);
    }
    if (count < 2)
        return false;
    tuple = {fields[0], fields[1]};
    return true;
}

// The name of a line or polygon: its last point's name up to the last "-".
std::string SegmentName(const std::string& lastPointName)
{
    const std::size_t dash = lastPointName.rfind('-');
    return dash == std::string::npos ? std::string("NONAME") : lastPointName.substr(0, dash);
}

// The name of the root element as the document text starts it (after the declaration,
// comments, processing instructions and a document type).
std::string RootName(const std::string& text)
{
    std::size_t at = 0;
    while ((at = text.find('<', at)) != std::string::npos) {
        if (text.compare(at, 4, "<!--") == 0) {
            at = text.find("-->", at);
        } else if (text.compare(at, 2, "<?") == 0 || text.compare(at, 2, "<!") == 0) {
            at = text.find('>', at);
        } else {
            const std::size_t end = text.find_first_of(" \t\r\n/>", at + 1);
            return text.substr(at + 1, end == std::string::npos ? end : end - at - 1);
        }
        if (at == std::string::npos)
            break;
    }
    return {};
}

// What KmlToText collects, one text per output file.
struct Extraction {
    const KmlExportOptions& options;
    std::string points;
    std::string lines;
    std::string polygons;
    KmlCounts counts;
};

// Reads through an XmlDocument or an XmlScan cursor; `drain` is called after each placemark
// and may take the lines made so far.
template <typename Cursor, typename Drain>
class KmlReader {
public:
    KmlReader(Cursor& xml, Extraction& out, std::string prefix, Drain drain)
        : m_xml(xml), m_out(out), m_prefix(std::move(prefix)), m_drain(drain)
    {
    }

    // The current element is a kml, Document or Folder element.
    void Container(int depth)
    {
        if (depth > XmlDocument::kMaxDepth)
            return;
        for (const char* child : {"Document", "Folder"}) {
            const std::string name = Name(child);
            m_xml.ResetChildPosition();
            while (m_xml.FindChildElement(name)) {
                if (!m_xml.EnterElement())
                    break;
                Container(depth + 1);
                m_xml.LeaveElement();
            }
        }
        m_xml.ResetChildPosition();
        while (m_xml.FindChildElement(Name("Placemark"))) {
            if (!m_xml.EnterElement())
                break;
            Placemark();
            m_xml.LeaveElement();
            m_drain(m_out, false);
        }
    }

private:
    // The current element is a Placemark.
    void Placemark()
    {
        const std::string name = OneLine(ChildText("name"));
        if (m_out.options.points) {
            const std::string description = OneLine(ChildText("description"));
            Points(name, description, 0);
        }
        if (m_out.options.lines)
            Lines(name, 0);
        if (m_out.options.polygons)
            Polygons(name, 0);
    }

    std::string ChildText(std::string_view child)
    {
        m_xml.ResetChildPosition();
        return m_xml.FindChildElement(Name(child)) ? m_xml.ChildText() : std::string();
    }

    // Calls `each` with the current element moved to each `child` of the current element, and
    // then does the same inside every MultiGeometry child.
    template <typename Each>
    void ForEachGeometry(std::string_view child, int depth, Each each)
    {
        if (depth > XmlDocument::kMaxDepth)
            return;
        m_xml.ResetChildPosition();
        const std::string name = Name(child);
        while (m_xml.FindChildElement(name)) {
            if (!m_xml.EnterElement())
                break;
            each();
            m_xml.LeaveElement();
        }
        m_xml.ResetChildPosition();
        while (m_xml.FindChildElement(Name("MultiGeometry"))) {
            if (!m_xml.EnterElement())
                break;
            ForEachGeometry(child, depth + 1, each);
            m_xml.LeaveElement();
        }
    }

    void Points(const std::string& name, const std::string& description, int depth)
    {
        ForEachGeometry("Point", depth, [&] {
            const std::string coordinates = ChildText("coordinates");
            const std::vector<Tuple> tuples = Tuples(coordinates);
            if (tuples.size() != 1) { // a point is one position
                Skip("地标", name, "坐标无效");
                return;
            }
            std::string& text = m_out.points;
            AppendTextLine(text, {name, tuples[0].latitude, tuples[0].longitude, description});
            ++m_out.counts.points;
        });
    }

    // Writes one line or polygon; false when it had no position at all.
    bool Vertices(std::string& text, const char* kind, const std::string& name,
                  std::string_view coordinates)
    {
        int k = 0;
        int dropped = 0;
        for (const Tuple& tuple : Tuples(coordinates, &dropped)) {
            AppendTextLine(text,
                           {name + "-" + std::to_string(++k), tuple.latitude, tuple.longitude});
        }
        text.append("\n");
        if (k == 0)
            Skip(kind, name, "没有有效坐标");
        else if (dropped > 0)
            Skip(kind, name, std::to_string(dropped) + "组坐标无效");
        return k > 0;
    }

    void Lines(const std::string& name, int depth)
    {
        ForEachGeometry("LineString", depth, [&] {
            if (Vertices(m_out.lines, "路径", name, ChildText("coordinates")))
                ++m_out.counts.lines;
        });
        ForEachTrack(depth, [&] { Track(name); });
    }

    // A recorded GPS track (gx:Track): one line of its gx:coord positions, in order.
    void Track(const std::string& name)
    {
        int k = 0;
        int dropped = 0;
        m_xml.ResetChildPosition();
        while (m_xml.FindChildElement("gx:coord")) {
            Tuple tuple;
            const std::string coord = m_xml.ChildText();
            if (TrackCoord(coord, tuple))
                AppendTextLine(m_out.lines,
                               {name + "-" + std::to_string(++k), tuple.latitude, tuple.longitude});
            else
                ++dropped;
        }
        m_out.lines.append("\n");
        if (k == 0) {
            Skip("gx:Track", name, "没有有效坐标");
            return;
        }
        if (dropped > 0)
            Skip("gx:Track", name, std::to_string(dropped) + "组坐标无效");
        ++m_out.counts.lines;
        ++m_out.counts.tracks;
    }

    // Calls `each` inside every gx:Track of the current element, of its gx:MultiTrack and of
    // its MultiGeometry children.
    template <typename Each>
    void ForEachTrack(int depth, Each each)
    {
        if (depth > XmlDocument::kMaxDepth)
            return;
        for (const char* holder : {"", "gx:MultiTrack"}) {
            m_xml.ResetChildPosition();
            const bool inside = *holder != '\0';
            while (!inside || m_xml.FindChildElement(holder)) {
                if (inside && !m_xml.EnterElement())
                    break;
                m_xml.ResetChildPosition();
                while (m_xml.FindChildElement("gx:Track")) {
                    if (!m_xml.EnterElement())
                        break;
                    each();
                    m_xml.LeaveElement();
                }
                if (!inside)
                    break;
                m_xml.LeaveElement();
            }
        }
        m_xml.ResetChildPosition();
        while (m_xml.FindChildElement(Name("MultiGeometry"))) {
            if (!m_xml.EnterElement())
                break;
            ForEachTrack(depth + 1, each);
            m_xml.LeaveElement();
        }
    }

    // The coordinates of the LinearRing of the current boundary element.
    std::string RingCoordinates()
    {
        std::string coordinates;
        m_xml.ResetChildPosition();
        if (m_xml.FindChildElement(Name("LinearRing")) && m_xml.EnterElement()) {
            coordinates = ChildText("coordinates");
            m_xml.LeaveElement();
        }
        return coordinates;
    }

    // The outer ring as the polygon itself; each inner ring (a hole) as a polygon of its own,
    // named after the placemark with "_内环" and its number, so no ring is lost.
    void Polygons(const std::string& name, int depth)
    {
        ForEachGeometry("Polygon", depth, [&] {
            std::string coordinates;
            m_xml.ResetChildPosition();
            if (m_xml.FindChildElement(Name("outerBoundaryIs")) && m_xml.EnterElement()) {
                coordinates = RingCoordinates();
                m_xml.LeaveElement();
            }
            if (Vertices(m_out.polygons, "多边形", name, coordinates))
                ++m_out.counts.polygons;
            std::vector<std::string> holes;
            m_xml.ResetChildPosition();
            while (m_xml.FindChildElement(Name("innerBoundaryIs"))) {
                if (!m_xml.EnterElement())
                    break;
                holes.push_back(RingCoordinates());
                m_xml.LeaveElement();
            }
            int number = 0;
            for (const std::string& hole : holes) {
                const std::string holeName = name + "_内环" + std::to_string(++number);
                if (Vertices(m_out.polygons, "多边形内环", holeName, hole)) {
                    ++m_out.counts.polygons;
                    ++m_out.counts.holes;
                }
            }
        });
    }

    void Skip(const char* kind, const std::string& name, const std::string& reason)
    {
        m_out.counts.skipped.push_back(std::string(kind) + " " +
                                       (name.empty() ? std::string("(无名称)") : name) + ": " +
                                       reason);
    }

    // Element names with the root's namespace prefix ("" for the default namespace).
    std::string Name(std::string_view local) const { return m_prefix + std::string(local); }

    Cursor& m_xml;
    Extraction& m_out;
    std::string m_prefix;
    Drain m_drain;
};

void WriteOne(TextOutput& output, const std::string& path, const char* header,
              const std::string& text, const KmlExportOptions& options)
{
    if (WriteTextFile(path, header, text, options.append, options.format))
        output.written.push_back(path);
    else
        output.failed.push_back(path);
}

} // namespace

std::string KmlTuple(std::string_view longitude, std::string_view latitude)
{
    std::string tuple;
    tuple.reserve(longitude.size() + latitude.size() + 4);
    tuple.append(longitude).append(",").append(latitude).append(",0 ");
    return tuple;
}

KmlDocument::KmlDocument()
{
    Reset();
}

void KmlDocument::Reset()
{
    m_scan.reset();
    m_prefix.clear();
    m_xml.SetDocumentText(kDeclaration);
    m_xml.AddElement("kml");
    m_xml.SetAttribute("xmlns", "http://www.opengis.net/kml/2.2");
    m_xml.SetAttribute("xmlns:gx", "http://www.google.com/kml/ext/2.2");
    m_xml.SetAttribute("xmlns:kml", "http://www.opengis.net/kml/2.2");
    m_xml.SetAttribute("xmlns:atom", "http://www.w3.org/2005/Atom");
    m_xml.EnterElement();
}

bool KmlDocument::EnterRoot()
{
    while (m_xml.LeaveElement()) {
    }
    m_xml.ResetPosition();
    return m_xml.FindElement(m_prefix + "kml") && m_xml.EnterElement();
}

bool KmlDocument::LoadKml(const std::string& path)
{
    // The root must be "kml", in the default namespace or with a prefix ("kml:kml", whose
    // elements then carry the same prefix). Another kind of XML file (a GPX chosen by mistake)
    // is refused rather than read as a KML without placemarks.
    bool loaded = false;
    m_loadError.clear();
    m_scan.reset();
    if (LooksLikeZip(path)) {
        const std::optional<std::string> document = ReadKmzDocument(path, m_loadError);
        loaded = document && m_xml.LoadFromBytes(*document);
    } else {
        loaded = m_xml.Load(path);
    }
    m_prefix.clear();
    if (loaded) {
        m_xml.ResetPosition();
        if (!m_xml.FindElement("kml")) {
            const std::string root = RootName(m_xml.DocumentText());
            const std::size_t colon = root.find(':');
            if (colon != std::string::npos && root.substr(colon + 1) == "kml")
                m_prefix = root.substr(0, colon + 1);
        }
        loaded = EnterRoot();
    }
    if (!loaded)
        Reset(); // a failed load leaves a new, empty document
    return loaded;
}

bool KmlDocument::SaveKml(const std::string& path)
{
    return m_xml.Save(path);
}

bool KmlDocument::BeginFolder(std::string_view name)
{
    return m_xml.AddElement("Folder") && m_xml.AddChildElement("name", name) &&
           m_xml.EnterElement();
}

bool KmlDocument::BeginPlacemark(std::string_view name, std::string_view description)
{
    m_placemarkName = name;
    if (!m_xml.AddElement("Placemark") || !m_xml.AddChildElement("name", name))
        return false;
    if (!description.empty() && !m_xml.AddChildElement("description", description))
        return false;
    return m_xml.EnterElement();
}

bool KmlDocument::AddLookAt(std::string_view longitude, std::string_view latitude,
                            std::string_view altitude, std::string_view heading,
                            std::string_view tilt, std::string_view range)
{
    return m_xml.AddElement("LookAt") && m_xml.AddChildElement("longitude", longitude) &&
           m_xml.AddChildElement("latitude", latitude) &&
           m_xml.AddChildElement("altitude", altitude) &&
           m_xml.AddChildElement("heading", heading) && m_xml.AddChildElement("tilt", tilt) &&
           m_xml.AddChildElement("range", range);
}

bool KmlDocument::AddPoint(std::string_view coordinates)
{
    return m_xml.AddElement("Point") && m_xml.AddChildElement("gx:drawOrder", "1") &&
           m_xml.AddChildElement("coordinates", coordinates);
}

bool KmlDocument::AddLineString(std::string_view coordinates)
{
    return m_xml.AddElement("LineString") && m_xml.AddChildElement("tessellate", "1") &&
           m_xml.AddChildElement("coordinates", coordinates);
}

bool KmlDocument::AddPolygon(std::string_view coordinates)
{
    if (!m_xml.AddElement("Polygon") || !m_xml.AddChildElement("tessellate", "1") ||
        !m_xml.AddChildElement("outerBoundaryIs") || !m_xml.EnterElement())
        return false;
    bool ok = m_xml.AddChildElement("LinearRing") && m_xml.EnterElement();
    if (ok) {
        ok = m_xml.AddChildElement("coordinates", coordinates);
        m_xml.LeaveElement();
    }
    m_xml.LeaveElement();
    return ok;
}

bool KmlDocument::EndElement()
{
    return m_xml.LeaveElement();
}

std::string KmlDocument::DocumentText() const
{
    return m_xml.DocumentText();
}

TextInput KmlDocument::TextToKml(const std::string& textPath, const KmlMakeOptions& options)
{
    TextInput input;
    if (!options.points && !options.lines && !options.polygons)
        return input;
    std::vector<std::string> cells;
    if (!ReadCoordinateText(textPath, cells, input))
        return input;
    const int rows = input.rows;
    const int columns = input.columns;

    BeginFolder(FolderName(textPath));
    if (m_sink) {
        // Everything before the first placemark: the whole document so far without the end
        // tags of the folder and the root, which come last.
        std::string head = DocumentText();
        if (!head.ends_with(kStreamTail) ||
            !m_sink(std::string_view(head).substr(0, head.size() - kStreamTail.size())))
            return input;
    }
    std::string list;
    std::string firstTuple;
    std::string lastPointName;
    auto closeSegment = [&] {
        const std::string name = SegmentName(lastPointName);
        bool closed = false;
        if (options.lines) {
            BeginPlacemark(name, "");
            if (options.closeLines) {
                list += firstTuple;
                closed = true;
            }
            AddLineString(list);
            EndElement();
            Flush();
        }
        if (options.polygons) {
            BeginPlacemark(name, "");
            if (!closed)
                list += firstTuple;
            AddPolygon(list);
            EndElement();
            Flush();
        }
    };
    const auto width = static_cast<std::size_t>(columns);
    for (std::size_t row = 0; row < static_cast<std::size_t>(rows); ++row) {
        const std::string* cell = &cells[row * width];
        const std::string& name = cell[0];
        const std::string& latitude = cell[1];
        const std::string& longitude = cell[2];
        if (!latitude.empty()) {
            lastPointName = name;
            const std::string tuple = KmlTuple(longitude, latitude);
            if (firstTuple.empty())
                firstTuple = tuple;
            list += tuple;
            if (options.points) {
                BeginPlacemark(name, columns >= 4 ? std::string_view(cell[3]) : "");
                AddLookAt(longitude, latitude, "0", "0", "0", "1000");
                AddPoint(tuple);
                EndElement();
                Flush();
            }
        } else {
            if (!list.empty())
                closeSegment();
            list.clear();
            firstTuple.clear();
        }
    }
    if (!list.empty())
        closeSegment();
    EndElement();
    input.converted = true;
    return input;
}

void KmlDocument::Flush()
{
    if (m_sink)
        m_sink(m_xml.TakeCurrentElementText());
}

bool KmlDocument::TextToKmlFile(const std::string& textPath, const KmlMakeOptions& options,
                                const std::string& outputPath, TextInput& input)
{
    Reset();
    StreamedFile file(outputPath);
    m_sink = [&file](std::string_view text) { return file.Write(text); };
    input = TextToKml(textPath, options);
    m_sink = nullptr;
    if (!input.converted) {
        file.Abandon();
        return file.Ok();
    }
    return file.Finish(kStreamTail);
}

TextOutput
KmlDocument::KmlToText(const std::string& outputPath, const KmlExportOptions& options,
                       const std::function<std::string(const std::string&)>& partialTarget)
{
    Extraction out{options, {}, {}, {}, {}};
    while (m_xml.LeaveElement()) {
    }
    m_xml.ResetPosition();
    if (m_xml.FindElement(m_prefix + "kml")) {
        const auto keep = [](Extraction&, bool) {};
        KmlReader<XmlDocument, decltype(keep)>(m_xml, out, m_prefix, keep).Container(0);
        EnterRoot(); // what is added next goes into the root again
    }
    m_counts = std::move(out.counts);
    TextOutput output;
    const std::string base(OutputBase(outputPath));
    const auto path = [&](const char* suffix) {
        const std::string name = base + suffix;
        return partialTarget && !m_counts.skipped.empty() ? partialTarget(name) : name;
    };
    if (options.points && !out.points.empty())
        WriteOne(output, path(kKmlPointsSuffix), kPointsHeader, out.points, options);
    if (options.lines && !out.lines.empty())
        WriteOne(output, path(kKmlLinesSuffix), kLinesHeader, out.lines, options);
    if (options.polygons && !out.polygons.empty())
        WriteOne(output, path(kKmlPolygonsSuffix), kPolygonsHeader, out.polygons, options);
    return output;
}

namespace {

// The namespace prefix of a root named "kml" or "p:kml" ("" or "p:"), nothing for another root.
std::optional<std::string> RootPrefix(std::string_view root)
{
    if (root == "kml")
        return std::string();
    const std::size_t colon = root.find(':');
    if (colon != std::string_view::npos && root.substr(colon + 1) == "kml")
        return std::string(root.substr(0, colon + 1));
    return std::nullopt;
}

} // namespace

bool KmlDocument::OpenKml(const std::string& path)
{
    m_scan.reset();
    m_loadError.clear();
    m_prefix.clear();
    std::string bytes;
    if (LooksLikeZip(path)) {
        std::optional<std::string> document = ReadKmzDocument(path, m_loadError);
        if (!document) {
            Reset();
            return false;
        }
        bytes = std::move(*document);
    } else if (!platform::ReadWholeFile(path, bytes)) {
        Reset();
        return false;
    }
    DecodedXml decoded = XmlDocument::Decode(std::move(bytes));
    if (decoded.ok) {
        const std::size_t body = XmlBodyStart(decoded.text);
        if (!HasForbiddenCharacter(std::string_view(decoded.text).substr(0, body))) {
            auto scan = std::make_unique<XmlScan>();
            if (scan->Open(decoded.text, body)) {
                const std::optional<std::string> prefix = RootPrefix(scan->RootName());
                if (!prefix) {
                    Reset();
                    return false;
                }
                m_prefix = *prefix;
                m_scan = std::move(scan);
                return true;
            }
        }
    }
    // Not plain XML: the document decides, and keeps the tree.
    bool loaded = m_xml.LoadDecoded(std::move(decoded));
    if (loaded) {
        m_xml.ResetPosition();
        if (!m_xml.FindElement("kml")) {
            const std::string root = RootName(m_xml.DocumentText());
            const std::size_t colon = root.find(':');
            if (colon != std::string::npos && root.substr(colon + 1) == "kml")
                m_prefix = root.substr(0, colon + 1);
        }
        loaded = EnterRoot();
    }
    if (!loaded)
        Reset();
    return loaded;
}

template <typename Drain>
KmlCounts KmlDocument::ExtractOpened(const KmlExportOptions& options, Drain drain)
{
    Extraction out{options, {}, {}, {}, {}};
    if (m_scan) {
        while (m_scan->LeaveElement()) {
        }
        m_scan->ResetPosition();
        if (m_scan->FindElement(m_prefix + "kml"))
            KmlReader<XmlScan, Drain>(*m_scan, out, m_prefix, drain).Container(0);
    } else {
        while (m_xml.LeaveElement()) {
        }
        m_xml.ResetPosition();
        if (m_xml.FindElement(m_prefix + "kml")) {
            KmlReader<XmlDocument, Drain>(m_xml, out, m_prefix, drain).Container(0);
            EnterRoot();
        }
    }
    drain(out, true);
    return std::move(out.counts);
}

const KmlCounts& KmlDocument::CountTexts(const KmlExportOptions& options)
{
    m_madeText = {};
    m_counts = ExtractOpened(options, [this](Extraction& out, bool) {
        std::string* kinds[] = {&out.points, &out.lines, &out.polygons};
        for (int kind = 0; kind < 3; ++kind) {
            m_madeText[kind] = m_madeText[kind] || !kinds[kind]->empty();
            kinds[kind]->clear();
        }
    });
    return m_counts;
}

TextOutput KmlDocument::WriteExtractedTexts(
    const std::string& outputPath, const KmlExportOptions& options,
    const std::function<std::string(const std::string&)>& partialTarget)
{
    ExtractedTextFiles files({{{options.points, kKmlPointsSuffix, kPointsHeader},
                               {options.lines, kKmlLinesSuffix, kLinesHeader},
                               {options.polygons, kKmlPolygonsSuffix, kPolygonsHeader}}});
    // Only a file that left something out goes under the partial name.
    const bool partial = partialTarget && !m_counts.skipped.empty();
    files.Open(std::string(OutputBase(outputPath)), m_madeText,
               partial ? partialTarget : std::function<std::string(const std::string&)>(),
               options.append, options.format);
    ExtractOpened(options, [&files](Extraction& out, bool last) {
        files.Take({&out.points, &out.lines, &out.polygons}, last);
    });
    return files.Finish();
}

} // namespace carvento::fileconv
