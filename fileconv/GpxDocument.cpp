// GPX 1.1 documents as MapSource writes them. A coordinate text file becomes waypoints, routes
// and tracks appended to the root, so several files can be merged into one document; reading
// copies names, coordinates and elevations as the text they are.
#include "fileconv/GpxDocument.hpp"

#include "fileconv/CoordinateText.hpp"
#include "fileconv/FileNames.hpp"
#include "fileconv/StreamedFile.hpp"
#include "fileconv/TextFiles.hpp"
#include "platform/NumberText.hpp"
#include "platform/WholeFile.hpp"
#include "tables/CodePage.hpp"
#include "tables/FieldSplit.hpp"
#include "tables/TextTableFile.hpp"

#include <algorithm>
#include <fstream>
#include <iterator>
#include <vector>

namespace carvento::fileconv {
namespace {

constexpr const char* kWaypointsHeader = "名称,纬度,经度,高程,注释";
constexpr const char* kRoutesHeader = "名称,纬度,经度";
constexpr const char* kTracksHeader = "名称,纬度,经度,高程";

void WriteOne(TextOutput& output, const std::string& path, const char* header,
              const std::string& text, const GpxExportOptions& options)
{
    if (WriteTextFile(path, header, text, options.append, options.format))
        output.written.push_back(path);
    else
        output.failed.push_back(path);
}

} // namespace

GpxDocument::GpxDocument()
{
    Reset();
}

void GpxDocument::Reset()
{
    m_scan.reset();
    m_xml.SetDocumentText({});
    m_xml.AddElement("gpx");
    m_xml.SetAttribute("xmlns", "http://www.topografix.com/GPX/1/1");
    m_xml.SetAttribute("creator", "MapSource 6.16.3");
    m_xml.SetAttribute("version", "1.1");
    m_xml.SetAttribute("xmlns:xsi", "http://www.w3.org/2001/XMLSchema-instance");
    m_xml.SetAttribute("xsi:schemaLocation", "http://www.topografix.com/GPX/1/1 "
                                             "http://www.topografix.com/GPX/1/1/gpx.xsd");
    m_xml.EnterElement();
}

bool GpxDocument::FindRoot()
{
    while (m_xml.LeaveElement()) {
    }
    m_xml.ResetPosition();
    return m_xml.FindElement("gpx");
}

bool GpxDocument::LoadGpx(const std::string& path)
{
    // Another kind of XML file (a KML chosen by mistake) is refused rather than read as a GPX
    // without waypoints.
    m_scan.reset();
    const bool loaded = m_xml.Load(path) && FindRoot() && m_xml.EnterElement();
    if (!loaded)
        Reset(); // a failed load leaves a new, empty document
    return loaded;
}

bool GpxDocument::SaveGpx(const std::string& path)
{
    return m_xml.Save(path);
}

std::string GpxDocument::DocumentText() const
{
    return m_xml.DocumentText();
}

void GpxDocument::PositionAfterKind(int kind)
{
    static constexpr const char* kKinds[] = {"wpt", "rte", "trk"};
    for (int k = kind; k >= 0; --k) {
        m_xml.ResetPosition();
        bool found = false;
        while (m_xml.FindElement(kKinds[k]))
            found = true;
        if (found)
            return;
    }
    m_xml.ResetPosition();
}

TextInput GpxDocument::TextToGpx(const std::string& textPath, const GpxMakeOptions& options)
{
    TextInput input;
    m_counts = {};
    if (!options.waypoints && !options.routes && !options.tracks)
        return input;
    std::vector<std::string> cells;
    if (!ReadCoordinateText(textPath, cells, input))
        return input;
    const int rows = input.rows;
    const int columns = input.columns;

    const auto width = static_cast<std::size_t>(columns);
    const auto rowCount = static_cast<std::size_t>(rows);
    auto cell = [&](std::size_t row, std::size_t column) -> const std::string& {
        return cells[row * width + column];
    };
    auto addPosition = [&](std::size_t row) {
        m_xml.SetChildAttribute("lat", cell(row, 1));
        m_xml.SetChildAttribute("lon", cell(row, 2));
    };

    if (options.waypoints) {
        PositionAfterKind(0);
        for (std::size_t row = 0; row < rowCount; ++row) {
            if (cell(row, 1).empty())
                continue;
            Flush();
            m_xml.AddElement("wpt");
            m_xml.SetAttribute("lat", cell(row, 1));
            m_xml.SetAttribute("lon", cell(row, 2));
            m_xml.AddChildElement("name", cell(row, 0));
            if (columns > 3)
                m_xml.AddChildElement("desc", cell(row, 3));
            ++m_counts.waypoints;
        }
        Flush();
    }
    // Written as they grow, a route's or track's points go out one by one: a route of a million
    // points is never one element in memory. Each piece is the text the element has inside
    // the whole document (the layout has no indentation), its start written once and its end
    // tags last.
    const auto startOf = [this](std::string_view end) {
        std::string text = m_xml.TakeCurrentElementText();
        if (text.ends_with(end))
            text.resize(text.size() - end.size());
        return text;
    };
    constexpr std::string_view kRouteEnd = "</rte>\r\n";
    constexpr std::string_view kTrackEnd = "</trk>\r\n";
    constexpr std::string_view kSegmentStart = "<trkseg>\r\n";
    constexpr std::string_view kSegmentEnd = "</trkseg>\r\n";
    if (options.routes) {
        PositionAfterKind(1);
        bool newRoute = true;
        bool routeOpen = false; // written as it grows: the route's start went out already
        for (std::size_t row = 0; row < rowCount; ++row) {
            if (cell(row, 1).empty()) {
                newRoute = true;
                continue;
            }
            if (newRoute) {
                if (routeOpen)
                    m_sink(kRouteEnd);
                Flush();
                m_xml.AddElement("rte");
                m_xml.AddChildElement("name", cell(row, 0));
                if (m_sink)
                    routeOpen = m_sink(startOf(kRouteEnd));
                newRoute = false;
                ++m_counts.routes;
            }
            if (routeOpen) {
                m_xml.AddElement("rtept");
                m_xml.SetAttribute("lat", cell(row, 1));
                m_xml.SetAttribute("lon", cell(row, 2));
                m_xml.AddChildElement("name", cell(row, 0));
                m_sink(m_xml.TakeCurrentElementText());
            } else {
                m_xml.AddChildElement("rtept");
                addPosition(row);
                if (m_xml.EnterElement()) {
                    m_xml.AddChildElement("name", cell(row, 0));
                    m_xml.LeaveElement();
                }
            }
            ++m_counts.routePoints;
        }
        if (routeOpen)
            m_sink(kRouteEnd);
        Flush();
    }
    if (options.tracks) {
        PositionAfterKind(2);
        // Inside a track the cursor stands in its trkseg, one level below the root.
        bool newTrack = true;
        bool inTrack = false;
        bool trackOpen = false; // written as it grows: the track's start went out already
        for (std::size_t row = 0; row < rowCount; ++row) {
            if (cell(row, 1).empty()) {
                newTrack = true;
                continue;
            }
            if (newTrack) {
                if (inTrack)
                    m_xml.LeaveElement();
                if (trackOpen)
                    m_sink(std::string(kSegmentEnd) + std::string(kTrackEnd));
                Flush();
                m_xml.AddElement("trk");
                m_xml.AddChildElement("name", cell(row, 0));
                if (m_sink) {
                    trackOpen = m_sink(startOf(kTrackEnd) + std::string(kSegmentStart));
                    inTrack = false;
                } else {
                    m_xml.AddChildElement("trkseg");
                    inTrack = m_xml.EnterElement();
                }
                newTrack = false;
                ++m_counts.tracks;
                ++m_counts.trackSegments;
            }
            if (trackOpen) {
                m_xml.AddElement("trkpt");
                m_xml.SetAttribute("lat", cell(row, 1));
                m_xml.SetAttribute("lon", cell(row, 2));
                m_sink(m_xml.TakeCurrentElementText());
            } else {
                m_xml.AddChildElement("trkpt");
                addPosition(row);
            }
            ++m_counts.trackPoints;
        }
        if (inTrack)
            m_xml.LeaveElement();
        if (trackOpen)
            m_sink(std::string(kSegmentEnd) + std::string(kTrackEnd));
        Flush();
    }
    input.converted = true;
    return input;
}

void GpxDocument::Flush()
{
    if (m_sink)
        m_sink(m_xml.TakeCurrentElementText());
}

bool GpxDocument::TextToGpxFile(const std::string& textPath, const GpxMakeOptions& options,
                                const std::string& outputPath, TextInput& input)
{
    Reset();
    // The root as it is written once it holds elements: its start tag on a line of its own.
    std::string head = m_xml.DocumentText();
    constexpr std::string_view kEmptyRootEnd = "/>\r\n";
    if (!head.ends_with(kEmptyRootEnd))
        return false;
    head.replace(head.size() - kEmptyRootEnd.size(), kEmptyRootEnd.size(), ">\r\n");
    StreamedFile file(outputPath, std::move(head));
    m_sink = [&file](std::string_view text) { return file.Write(text); };
    input = TextToGpx(textPath, options);
    m_sink = nullptr;
    if (!input.converted || m_counts.Points() == 0) {
        file.Abandon();
        return file.Ok();
    }
    return file.Finish("</gpx>\r\n");
}

namespace {

// An attribute value in a message: at most 40 bytes, cut before a character, not inside one.
std::string Shown(const std::string& value)
{
    if (value.size() <= 40)
        return "\"" + value + "\"";
    std::size_t end = 40;
    while (end > 0 && (static_cast<unsigned char>(value[end]) & 0xC0) == 0x80)
        --end;
    return "\"" + value.substr(0, end) + "…\"";
}

// Why a point cannot be written as a text line, or empty when it can: the text readers take a
// line with an empty latitude for the end of a line of points, and refuse a file with a
// coordinate that is not a number.
std::string PositionProblem(const std::string& lat, const std::string& lon)
{
    if (lat.empty())
        return "缺少纬度(lat)";
    if (lon.empty())
        return "缺少经度(lon)";
    if (!platform::IsNumberText(lat))
        return "纬度(lat)" + Shown(lat) + "不是数字";
    if (!platform::IsNumberText(lon))
        return "经度(lon)" + Shown(lon) + "不是数字";
    return {};
}

std::string NameShown(const std::string& name)
{
    return name.empty() ? std::string("(无名称)") : OneLine(name);
}

} // namespace

namespace {

// The lines of the kinds asked for into `out`, read through an XmlDocument or an XmlScan
// cursor; `drain` is called after each point and may take the lines made so far.
template <typename Cursor, typename Drain>
void Extract(Cursor& xml, const GpxExportOptions& options, GpxTexts& out, Drain drain)
{
    GpxCounts& counts = out.counts;
    // A child's text wherever it stands among the element's children: receivers and programs
    // write name, ele, time and desc in any order.
    auto childText = [&xml](std::string_view name, std::string fallback) {
        xml.ResetChildPosition();
        return xml.FindChildElement(name) ? xml.ChildText() : std::move(fallback);
    };
    while (xml.LeaveElement()) {
    }
    xml.ResetPosition();
    const bool root = xml.FindElement("gpx");
    if (root && options.waypoints) {
        xml.ResetChildPosition();
        int n = 0;
        while (xml.FindChildElement("wpt") && xml.EnterElement()) {
            ++n;
            const std::string lat = xml.Attribute("lat");
            const std::string lon = xml.Attribute("lon");
            const std::string ele = childText("ele", "");
            const std::string name = OneLine(childText("name", "NONAME"));
            const std::string desc = OneLine(childText("desc", ""));
            if (const std::string problem = PositionProblem(lat, lon); !problem.empty()) {
                counts.skipped.push_back("第" + std::to_string(n) + "个航点 " +
                                         NameShown(childText("name", "")) + ": " + problem);
            } else {
                AppendTextLine(out.waypoints, {name, lat, lon, ele, desc});
                ++counts.waypoints;
            }
            xml.LeaveElement();
            drain(out, false);
        }
    }
    if (root && options.routes) {
        xml.ResetChildPosition();
        while (xml.FindChildElement("rte") && xml.EnterElement()) {
            const std::string route = NameShown(childText("name", ""));
            int n = 0;
            int written = 0;
            xml.ResetChildPosition();
            while (xml.FindChildElement("rtept") && xml.EnterElement()) {
                ++n;
                const std::string lat = xml.Attribute("lat");
                const std::string lon = xml.Attribute("lon");
                if (const std::string problem = PositionProblem(lat, lon); !problem.empty()) {
                    counts.skipped.push_back("航线 " + route + " 的第" + std::to_string(n) +
                                             "个点: " + problem);
                } else {
                    AppendTextLine(out.routes, {childText("name", "NONAME"), lat, lon});
                    ++written;
                }
                xml.LeaveElement();
                drain(out, false);
            }
            if (written > 0) {
                out.routes.append("\n");
                ++counts.routes;
                counts.routePoints += written;
            }
            xml.LeaveElement();
        }
    }
    if (root && options.tracks) {
        xml.ResetChildPosition();
        while (xml.FindChildElement("trk") && xml.EnterElement()) {
            const std::string name = OneLine(childText("name", "NONAME"));
            const std::string track = NameShown(childText("name", ""));
            // k numbers the points written, n every point of the track.
            int k = 0;
            int n = 0;
            xml.ResetChildPosition();
            while (xml.FindChildElement("trkseg") && xml.EnterElement()) {
                const int before = k;
                xml.ResetChildPosition();
                while (xml.FindChildElement("trkpt") && xml.EnterElement()) {
                    ++n;
                    const std::string lat = xml.Attribute("lat");
                    const std::string lon = xml.Attribute("lon");
                    if (const std::string problem = PositionProblem(lat, lon); !problem.empty())
                        counts.skipped.push_back("航迹 " + track + " 的第" + std::to_string(n) +
                                                 "个点: " + problem);
                    else
                        AppendTextLine(out.tracks, {name + "-" + std::to_string(++k), lat, lon,
                                                    childText("ele", "")});
                    xml.LeaveElement();
                    drain(out, false);
                }
                if (k > before) {
                    out.tracks.append("\n");
                    ++counts.trackSegments;
                }
                xml.LeaveElement();
            }
            if (k > 0) {
                ++counts.tracks;
                counts.trackPoints += k;
            }
            xml.LeaveElement();
        }
    }
}

} // namespace

GpxTexts GpxDocument::ExtractTexts(const GpxExportOptions& options)
{
    GpxTexts out;
    Extract(m_xml, options, out, [](GpxTexts&, bool) {});
    if (FindRoot()) {
        m_xml.ResetChildPosition();
        m_xml.EnterElement(); // what is added next goes into the root again
    }
    m_counts = out.counts;
    return out;
}

bool GpxDocument::OpenGpx(const std::string& path)
{
    m_scan.reset();
    std::string bytes;
    if (!platform::ReadWholeFile(path, bytes)) {
        Reset();
        return false;
    }
    DecodedXml decoded = XmlDocument::Decode(std::move(bytes));
    if (decoded.ok) {
        const std::size_t body = XmlBodyStart(decoded.text);
        if (!HasForbiddenCharacter(std::string_view(decoded.text).substr(0, body))) {
            auto scan = std::make_unique<XmlScan>();
            if (scan->Open(decoded.text, body)) {
                if (scan->RootName() != "gpx") {
                    Reset();
                    return false;
                }
                m_scan = std::move(scan);
                return true;
            }
        }
    }
    // Not plain XML: the document decides, and keeps the tree.
    const bool loaded = m_xml.LoadDecoded(std::move(decoded)) && FindRoot() && m_xml.EnterElement();
    if (!loaded)
        Reset();
    return loaded;
}

template <typename Drain>
GpxCounts GpxDocument::ExtractOpened(const GpxExportOptions& options, Drain drain)
{
    GpxTexts out;
    if (m_scan) {
        Extract(*m_scan, options, out, drain);
    } else {
        Extract(m_xml, options, out, drain);
        if (FindRoot()) {
            m_xml.ResetChildPosition();
            m_xml.EnterElement();
        }
    }
    drain(out, true);
    return std::move(out.counts);
}

const GpxCounts& GpxDocument::CountTexts(const GpxExportOptions& options)
{
    m_madeText = {};
    m_counts = ExtractOpened(options, [this](GpxTexts& texts, bool) {
        std::string* kinds[] = {&texts.waypoints, &texts.routes, &texts.tracks};
        for (int kind = 0; kind < 3; ++kind) {
            m_madeText[kind] = m_madeText[kind] || !kinds[kind]->empty();
            kinds[kind]->clear();
        }
    });
    return m_counts;
}

TextOutput
GpxDocument::WriteExtractedTexts(const std::string& outputPath, const GpxExportOptions& options,
                                 const std::function<std::string(const std::string&)>& target)
{
    ExtractedTextFiles files({{{options.waypoints, kGpxWaypointsSuffix, kWaypointsHeader},
                               {options.routes, kGpxRoutesSuffix, kRoutesHeader},
                               {options.tracks, kGpxTracksSuffix, kTracksHeader}}});
    files.Open(std::string(OutputBase(outputPath)), m_madeText, target, options.append,
               options.format);
    ExtractOpened(options, [&files](GpxTexts& texts, bool last) {
        files.Take({&texts.waypoints, &texts.routes, &texts.tracks}, last);
    });
    return files.Finish();
}

TextOutput GpxDocument::WriteTexts(const GpxTexts& texts, const std::string& outputPath,
                                   const GpxExportOptions& options,
                                   const std::function<std::string(const std::string&)>& target)
{
    TextOutput output;
    const std::string base(OutputBase(outputPath));
    const auto write = [&](const char* suffix, const char* header, const std::string& text) {
        if (!text.empty())
            WriteOne(output, target ? target(base + suffix) : base + suffix, header, text, options);
    };
    if (options.waypoints)
        write(kGpxWaypointsSuffix, kWaypointsHeader, texts.waypoints);
    if (options.routes)
        write(kGpxRoutesSuffix, kRoutesHeader, texts.routes);
    if (options.tracks)
        write(kGpxTracksSuffix, kTracksHeader, texts.tracks);
    return output;
}

TextOutput GpxDocument::GpxToText(const std::string& outputPath, const GpxExportOptions& options)
{
    return WriteTexts(ExtractTexts(options), outputPath, options);
}

} // namespace carvento::fileconv
