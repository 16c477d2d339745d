// GPX 1.1 documents as MapSource writes them. A coordinate text file becomes waypoints, routes
// and tracks appended to the root, so several files can be merged into one document; reading
// copies names, coordinates and elevations as the text they are.
#include "fileconv/GpxDocument.hpp"

#include "fileconv/CoordinateText.hpp"
#include "fileconv/FileNames.hpp"
#include "fileconv/TextFiles.hpp"
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

TextInput GpxDocument::TextToGpx(const std::string& textPath, const GpxMakeOptions& options)
{
    TextInput input;
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
        for (std::size_t row = 0; row < rowCount; ++row) {
            if (cell(row, 1).empty())
                continue;
            m_xml.AddElement("wpt");
            m_xml.SetAttribute("lat", cell(row, 1));
            m_xml.SetAttribute("lon", cell(row, 2));
            m_xml.AddChildElement("name", cell(row, 0));
            if (columns > 3)
                m_xml.AddChildElement("desc", cell(row, 3));
        }
    }
    if (options.routes) {
        bool newRoute = true;
        for (std::size_t row = 0; row < rowCount; ++row) {
            if (cell(row, 1).empty()) {
                newRoute = true;
                continue;
            }
            if (newRoute) {
                m_xml.AddElement("rte");
                m_xml.AddChildElement("name", cell(row, 0));
                newRoute = false;
            }
            m_xml.AddChildElement("rtept");
            addPosition(row);
            if (m_xml.EnterElement()) {
                m_xml.AddChildElement("name", cell(row, 0));
                m_xml.LeaveElement();
            }
        }
    }
    if (options.tracks) {
        // Inside a track the cursor stands in its trkseg, one level below the root.
        bool newTrack = true;
        bool inTrack = false;
        for (std::size_t row = 0; row < rowCount; ++row) {
            if (cell(row, 1).empty()) {
                newTrack = true;
                continue;
            }
            if (newTrack) {
                if (inTrack)
                    m_xml.LeaveElement();
                m_xml.AddElement("trk");
                m_xml.AddChildElement("name", cell(row, 0));
                m_xml.AddChildElement("trkseg");
                inTrack = m_xml.EnterElement();
                newTrack = false;
            }
            m_xml.AddChildElement("trkpt");
            addPosition(row);
        }
        if (inTrack)
            m_xml.LeaveElement();
    }
    input.converted = true;
    return input;
}

TextOutput GpxDocument::GpxToText(const std::string& outputPath, const GpxExportOptions& options)
{
    std::string waypoints;
    std::string routes;
    std::string tracks;
    auto childText = [this](std::string_view name, std::string fallback) {
        return m_xml.FindChildElement(name) ? m_xml.ChildText() : std::move(fallback);
    };
    const bool root = FindRoot();
    if (root && options.waypoints) {
        m_xml.ResetChildPosition();
        while (m_xml.FindChildElement("wpt") && m_xml.EnterElement()) {
            const std::string lat = m_xml.Attribute("lat");
            const std::string lon = m_xml.Attribute("lon");
            // Each search continues after the child the previous one found.
            m_xml.ResetChildPosition();
            const std::string ele = childText("ele", "");
            const std::string name = OneLine(childText("name", "NONAME"));
            const std::string desc = OneLine(childText("desc", ""));
            AppendTextLine(waypoints, {name, lat, lon, ele, desc});
            m_xml.LeaveElement();
        }
    }
    if (root && options.routes) {
        m_xml.ResetChildPosition();
        while (m_xml.FindChildElement("rte") && m_xml.EnterElement()) {
            m_xml.ResetChildPosition();
            while (m_xml.FindChildElement("rtept") && m_xml.EnterElement()) {
                m_xml.ResetChildPosition();
                AppendTextLine(routes, {childText("name", "NONAME"), m_xml.Attribute("lat"),
                                        m_xml.Attribute("lon")});
                m_xml.LeaveElement();
            }
            routes.append("\n");
            m_xml.LeaveElement();
        }
    }
    if (root && options.tracks) {
        m_xml.ResetChildPosition();
        while (m_xml.FindChildElement("trk") && m_xml.EnterElement()) {
            m_xml.ResetChildPosition();
            const std::string name = OneLine(childText("name", "NONAME"));
            int k = 0;
            m_xml.ResetChildPosition();
            while (m_xml.FindChildElement("trkseg") && m_xml.EnterElement()) {
                m_xml.ResetChildPosition();
                while (m_xml.FindChildElement("trkpt") && m_xml.EnterElement()) {
                    const std::string lat = m_xml.Attribute("lat");
                    const std::string lon = m_xml.Attribute("lon");
                    m_xml.ResetChildPosition();
                    AppendTextLine(tracks, {name + "-" + std::to_string(++k), lat, lon,
                                            childText("ele", "")});
                    m_xml.LeaveElement();
                }
                tracks.append("\n");
                m_xml.LeaveElement();
            }
            m_xml.LeaveElement();
        }
    }
    if (root) {
        m_xml.ResetChildPosition();
        m_xml.EnterElement(); // what is added next goes into the root again
    }
    TextOutput output;
    const std::string base(OutputBase(outputPath));
    if (options.waypoints && !waypoints.empty())
        WriteOne(output, base + kGpxWaypointsSuffix, kWaypointsHeader, waypoints, options);
    if (options.routes && !routes.empty())
        WriteOne(output, base + kGpxRoutesSuffix, kRoutesHeader, routes, options);
    if (options.tracks && !tracks.empty())
        WriteOne(output, base + kGpxTracksSuffix, kTracksHeader, tracks, options);
    return output;
}

} // namespace carvento::fileconv
