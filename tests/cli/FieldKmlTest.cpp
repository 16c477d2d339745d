// KML and KMZ files as receivers, phones and GIS programs write them (tests/data/field):
// recorded tracks, polygons with holes, blanks inside tuples, an archive, a file with nothing
// to convert. kml2txt must give every position GDAL reads from the same file, in the same
// order, and say what it took.
#include "support/ScratchFolder.hpp"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <map>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <vector>

namespace {

using carvento::testing::ScratchFolder;

using Part = std::vector<std::pair<double, double>>;    // (longitude, latitude) per vertex
using Parts = std::map<std::string, std::vector<Part>>; // by kind: point, line, polygon

struct ShellRun {
    int status = -1;
    std::string err;
};

ShellRun Shell(const std::string& command, const std::string& errFile)
{
    const int raw = std::system((command + " 2>'" + errFile + "' </dev/null").c_str());
    return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, ScratchFolder::Read(errFile)};
}

std::string Data(const std::string& name)
{
    return std::string(CARVENTO_TEST_DATA) + "/field/" + name;
}

// The innermost coordinate lists of GDAL's WKT, each under the geometry kind it belongs to.
Parts PartsOfWkt(const std::string& csv)
{
    Parts parts;
    for (std::size_t open = csv.find('('); open != std::string::npos;
         open = csv.find('(', open + 1)) {
        const std::size_t close = csv.find_first_of("()", open + 1);
        if (close == std::string::npos || csv[close] != ')')
            continue; // not innermost
        const std::string before = csv.substr(0, open);
        std::string kind;
        std::size_t best = 0;
        for (const char* keyword : {"POINT", "LINESTRING", "POLYGON"}) {
            const std::size_t at = before.rfind(keyword);
            if (at != std::string::npos && (kind.empty() || at > best))
                kind = keyword, best = at;
        }
        Part part;
        std::stringstream list(csv.substr(open + 1, close - open - 1));
        std::string vertex;
        while (std::getline(list, vertex, ',')) {
            std::stringstream numbers(vertex);
            double x = 0, y = 0;
            numbers >> x >> y;
            part.emplace_back(x, y);
        }
        parts[kind == "POINT"        ? "point"
              : kind == "LINESTRING" ? "line"
                                     : "polygon"]
            .push_back(part);
    }
    return parts;
}

// The parts of kml2txt's text files (UTF-8): each point, each block of vertex rows.
void AddTextParts(const std::string& path, const std::string& kind, bool onePerRow, Parts& parts)
{
    std::stringstream text(ScratchFolder::Read(path));
    std::string line;
    std::getline(text, line); // header
    Part part;
    while (std::getline(text, line)) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line.empty()) {
            if (!part.empty())
                parts[kind].push_back(part);
            part.clear();
            continue;
        }
        std::stringstream fields(line);
        std::string name, latitude, longitude;
        std::getline(fields, name, ',');
        std::getline(fields, latitude, ',');
        std::getline(fields, longitude, ',');
        part.emplace_back(std::stod(longitude), std::stod(latitude));
        if (onePerRow) {
            parts[kind].push_back(part);
            part.clear();
        }
    }
}

TEST(FieldKml, EveryPositionGdalReadsComesOut)
{
    for (const char* file : {"track.kml", "holes.kml", "blanks.kml", "phone.kmz"}) {
        SCOPED_TRACE(file);
        ScratchFolder folder;
        const std::string input = folder / file;
        std::filesystem::copy_file(Data(file), input);
        const ShellRun gdal = Shell("ogr2ogr -f CSV /vsistdout/ '" + input +
                                        "' -lco GEOMETRY=AS_WKT > '" + (folder / "gdal.csv") + "'",
                                    folder / "gdal.err");
        ASSERT_EQ(0, gdal.status) << gdal.err;
        const ShellRun ours =
            Shell(std::string(CARVENTO_CLI) + " kml2txt --encoding utf-8 '" + input + "'",
                  folder / "ours.err");
        ASSERT_EQ(0, ours.status) << ours.err;
        const std::string base = input.substr(0, input.rfind('.'));
        Parts parts;
        AddTextParts(base + "_地标.txt", "point", true, parts);
        AddTextParts(base + "_路径.txt", "line", false, parts);
        AddTextParts(base + "_多边形.txt", "polygon", false, parts);
        EXPECT_EQ(PartsOfWkt(ScratchFolder::Read(folder / "gdal.csv")), parts);
        // One line per file on standard error says what was taken.
        EXPECT_NE(std::string::npos, ours.err.find("; 跳过 0")) << ours.err;
    }
}

TEST(FieldKml, SaysWhatItTookAndWhatWasNotThere)
{
    ScratchFolder folder;
    for (const char* file : {"track.kml", "holes.kml", "empty.kml"})
        std::filesystem::copy_file(Data(file), folder / file);
    const ShellRun tracks = Shell(
        std::string(CARVENTO_CLI) + " kml2txt '" + (folder / "track.kml") + "'", folder / "err");
    EXPECT_EQ(0, tracks.status);
    EXPECT_NE(std::string::npos, tracks.err.find("track.kml: 0 地标, 5 路径 (4 gx:Track)"))
        << tracks.err;
    const ShellRun holes = Shell(std::string(CARVENTO_CLI) + " kml2txt --encoding utf-8 '" +
                                     (folder / "holes.kml") + "'",
                                 folder / "err");
    EXPECT_NE(std::string::npos, holes.err.find("3 多边形 (2 内环)")) << holes.err;
    EXPECT_NE(std::string::npos,
              ScratchFolder::Read(folder / "holes_多边形.txt").find("湖心岛_内环2-1,"));
    // Nothing to convert is no success, and writes nothing.
    const ShellRun empty = Shell(
        std::string(CARVENTO_CLI) + " kml2txt '" + (folder / "empty.kml") + "'", folder / "err");
    EXPECT_EQ(1, empty.status);
    EXPECT_NE(std::string::npos, empty.err.find("未找到可转换的数据")) << empty.err;
    EXPECT_FALSE(std::filesystem::exists(folder / "empty_地标.txt"));
    // A placemark left out makes the run partial: named, exit 1, and a complete earlier
    // output stays while the partial one goes beside it.
    folder.Write("bad.kml", "<kml><Placemark><name>好</name><Point><coordinates>106,30,0"
                            "</coordinates></Point></Placemark><Placemark><name>坏</name><Point>"
                            "<coordinates>abc</coordinates></Point></Placemark></kml>");
    folder.Write("bad_地标.txt", "complete\r\n");
    const ShellRun bad = Shell(std::string(CARVENTO_CLI) + " kml2txt --encoding utf-8 '" +
                                   (folder / "bad.kml") + "'",
                               folder / "err");
    EXPECT_EQ(1, bad.status);
    EXPECT_NE(std::string::npos, bad.err.find("跳过 地标 坏: 坐标无效")) << bad.err;
    EXPECT_EQ("complete\r\n", ScratchFolder::Read(folder / "bad_地标.txt"));
    EXPECT_NE(std::string::npos,
              ScratchFolder::Read(folder / "bad_地标_不完整.txt").find("好,30,106"));
    // A damaged archive says why it could not be read.
    folder.Write("broken.kmz", std::string("PK\x03\x04", 4) + std::string(100, '\0'));
    const ShellRun broken = Shell(
        std::string(CARVENTO_CLI) + " kml2txt '" + (folder / "broken.kmz") + "'", folder / "err");
    EXPECT_EQ(1, broken.status);
    EXPECT_NE(std::string::npos, broken.err.find("KMZ")) << broken.err;
}

} // namespace
