// Coordinate text files from untrusted bytes, there and back: TXT to KML to TXT and TXT to GPX
// to TXT. Whenever both conversions report success, every row with a latitude comes back as a
// point with the same name (on one line), latitude and longitude, in the same order.
#include "fuzz/FuzzSupport.hpp"

#include "fileconv/CoordinateText.hpp"
#include "fileconv/GpxDocument.hpp"
#include "fileconv/KmlDocument.hpp"
#include "platform/TextSplit.hpp"
#include "tables/CodePage.hpp"
#include "tables/FieldSplit.hpp"
#include "tables/TextTableFile.hpp"

#include <string>
#include <vector>

using namespace carvento;

namespace {

const fileconv::TextFileFormat kUtf8{tables::TextEncoding::Utf8};

struct Point {
    std::string name, latitude, longitude;
    bool operator==(const Point&) const = default;
};

// The rows of a text file as the conversions read them: name, latitude, longitude.
std::vector<Point> PointsOf(const std::string& path, bool trimmedAsInput)
{
    std::vector<Point> points;
    std::vector<std::string> cells;
    if (trimmedAsInput) {
        fileconv::TextInput input;
        if (!fileconv::ReadCoordinateText(path, cells, input))
            return points;
        for (int row = 0; row < input.rows; ++row) {
            const std::string* cell = &cells[static_cast<std::size_t>(row * input.columns)];
            if (!cell[1].empty())
                points.push_back({fileconv::OneLine(cell[0]), cell[1], cell[2]});
        }
        return points;
    }
    // The extraction is written in UTF-8 and split here as the table reader splits lines, so
    // the check is about fields and not about guessing an encoding (table_reader covers that).
    std::string bytes;
    FUZZ_CHECK(fuzz::ReadWholeFile(path, bytes));
    FUZZ_CHECK(tables::FirstInvalidUtf8(bytes) == std::string::npos);
    const std::vector<std::string_view> lines = tables::SplitLines(bytes);
    std::vector<std::string_view> fields;
    std::string scratch;
    for (std::size_t i = 1; i < lines.size(); ++i) { // after the header line
        if (lines[i].empty())
            continue;
        FUZZ_CHECK(platform::SplitQuotedViews(lines[i], ",", fields, scratch) >= 3);
        points.push_back({std::string(fields[0]), std::string(fields[1]), std::string(fields[2])});
    }
    return points;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    fuzz::ClearScratch();
    const std::string input = fuzz::ScratchPath("点 表.txt");
    fuzz::WriteWholeFile(input, fuzz::AsText(data, size));
    const std::vector<Point> expected = PointsOf(input, true);

    fileconv::KmlDocument kml;
    const fileconv::TextInput toKml =
        kml.TextToKml(input, {.points = true, .lines = false, .polygons = false});
    if (toKml.converted && !expected.empty()) {
        const std::string saved = fuzz::ScratchPath("点 表.kml");
        FUZZ_CHECK(kml.SaveKml(saved));
        fileconv::KmlDocument back;
        FUZZ_CHECK(back.LoadKml(saved));
        const fileconv::TextOutput text = back.KmlToText(
            saved, {.points = true, .lines = false, .polygons = false, .format = kUtf8});
        if (text.Ok())
            FUZZ_CHECK(
                PointsOf(fuzz::ScratchPath(std::string("点 表") + fileconv::kKmlPointsSuffix),
                         false) == expected);
    }

    fileconv::GpxDocument gpx;
    const fileconv::TextInput toGpx =
        gpx.TextToGpx(input, {.waypoints = true, .routes = false, .tracks = false});
    if (toGpx.converted && !expected.empty()) {
        const std::string saved = fuzz::ScratchPath("点 表.gpx");
        FUZZ_CHECK(gpx.SaveGpx(saved));
        fileconv::GpxDocument back;
        FUZZ_CHECK(back.LoadGpx(saved));
        const fileconv::TextOutput text = back.GpxToText(
            saved, {.waypoints = true, .routes = false, .tracks = false, .format = kUtf8});
        if (text.Ok())
            FUZZ_CHECK(
                PointsOf(fuzz::ScratchPath(std::string("点 表") + fileconv::kGpxWaypointsSuffix),
                         false) == expected);
    }
    return 0;
}
