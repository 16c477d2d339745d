// The KML and GPX files we write, opened by programs that are not ours: GDAL's ogrinfo must see
// every feature in its layer, gpsbabel every point. Skipped only when a program is not on PATH.
#include "fileconv/GpxDocument.hpp"
#include "fileconv/KmlDocument.hpp"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <sys/wait.h>
#include <unistd.h>

using namespace carvento::fileconv;

namespace {

class TempDir {
public:
    TempDir()
    {
        m_path =
            std::filesystem::temp_directory_path() /
            ("carvento-consumers-" + std::to_string(::getpid()) + "-" + std::to_string(s_next++));
        std::filesystem::create_directories(m_path);
    }
    ~TempDir() { std::filesystem::remove_all(m_path); }
    std::string File(const std::string& name) const { return (m_path / name).string(); }

private:
    std::filesystem::path m_path;
    static inline int s_next = 0;
};

void Spit(const std::string& path, std::string_view bytes)
{
    std::ofstream out(path, std::ios::binary);
    out << bytes;
}

bool OnPath(const std::string& program)
{
    const char* path = std::getenv("PATH");
    std::stringstream folders(path ? path : "");
    std::string folder;
    while (std::getline(folders, folder, ':')) {
        const std::filesystem::path candidate = std::filesystem::path(folder) / program;
        if (!folder.empty() && ::access(candidate.c_str(), X_OK) == 0)
            return true;
    }
    return false;
}

std::string Quoted(const std::string& arg)
{
    std::string quoted = "'";
    for (char c : arg)
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

struct Run {
    int status = -1;
    std::string out;
};

// Runs a shell command; standard error is dropped.
Run RunCommand(const std::string& command)
{
    Run run;
    std::FILE* pipe = ::popen((command + " 2>/dev/null").c_str(), "r");
    if (!pipe)
        return run;
    char buffer[4096];
    std::size_t got = 0;
    while ((got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0)
        run.out.append(buffer, got);
    const int status = ::pclose(pipe);
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

// Feature counts per layer as `ogrinfo -ro -al -so` reports them.
std::map<std::string, int> OgrLayers(const std::string& path)
{
    const Run run = RunCommand("ogrinfo -ro -al -so " + Quoted(path));
    EXPECT_EQ(0, run.status) << run.out;
    std::map<std::string, int> layers;
    std::stringstream lines(run.out);
    std::string line;
    std::string layer;
    while (std::getline(lines, line)) {
        if (line.rfind("Layer name: ", 0) == 0)
            layer = line.substr(12);
        else if (line.rfind("Feature Count: ", 0) == 0)
            layers[layer] = std::stoi(line.substr(15));
    }
    return layers;
}

// Data lines of gpsbabel's unicsv output (the header line not counted); `kinds` selects
// waypoints (-w), routes (-r) or tracks (-t).
int BabelPoints(const std::string& format, const std::string& path, const std::string& kinds)
{
    const Run run = RunCommand("gpsbabel " + kinds + " -i " + format + " -f " + Quoted(path) +
                               " -o unicsv -F -");
    EXPECT_EQ(0, run.status) << run.out;
    int lines = 0;
    for (char c : run.out)
        lines += c == '\n';
    return lines > 0 ? lines - 1 : 0;
}

constexpr const char* kRoads = "名称,纬度,经度,说明\n"
                               "路-1,30.1,114.1,起点\n"
                               "路-2,30.2,114.2,\n"
                               "路-3,30.2,114.1,终点\n"
                               "\n"
                               "河-1,31,115,\n"
                               "河-2,31.5,115.5,\n"
                               "河-3,31.5,115,\n";

constexpr const char* kMore = "名称,纬度,经度\nQ-1,32,116\nQ-2,32.1,116.1\n";

} // namespace

TEST(Consumers, KmlFromTextOpensInGdalAndGpsbabel)
{
    TempDir dir;
    Spit(dir.File("roads.txt"), kRoads);
    Spit(dir.File("more.txt"), kMore);
    const KmlMakeOptions all{.points = true, .lines = true, .closeLines = true, .polygons = true};
    KmlDocument kml;
    ASSERT_TRUE(kml.TextToKml(dir.File("roads.txt"), all).converted);
    ASSERT_TRUE(kml.SaveKml(dir.File("roads.kml")));
    // Two files in one document as merging writes them: their Folders inside one Folder.
    KmlDocument merged;
    merged.BeginFolder("merged");
    ASSERT_TRUE(merged.TextToKml(dir.File("roads.txt"), all).converted);
    ASSERT_TRUE(merged.TextToKml(dir.File("more.txt"), all).converted);
    merged.EndElement();
    ASSERT_TRUE(merged.SaveKml(dir.File("merged.kml")));

    if (OnPath("ogrinfo")) {
        // The folder is the layer: 6 points, 2 lines and 2 polygons.
        const std::map<std::string, int> expected{{"roads", 10}};
        EXPECT_EQ(expected, OgrLayers(dir.File("roads.kml")));
        const std::map<std::string, int> both{{"roads", 10}, {"more", 4}};
        EXPECT_EQ(both, OgrLayers(dir.File("merged.kml")));
    }
    if (OnPath("gpsbabel")) {
        EXPECT_EQ(6, BabelPoints("kml", dir.File("roads.kml"), ""));
        // Lines and polygons are tracks: two closed lines and two rings of 4 vertices.
        EXPECT_EQ(16, BabelPoints("kml", dir.File("roads.kml"), "-t"));
        EXPECT_EQ(8, BabelPoints("kml", dir.File("merged.kml"), ""));
    }
    if (!OnPath("ogrinfo") || !OnPath("gpsbabel"))
        GTEST_SKIP() << "ogrinfo or gpsbabel is not on PATH";
}

TEST(Consumers, GpxFromTextOpensInGdalAndGpsbabel)
{
    TempDir dir;
    Spit(dir.File("roads.txt"), kRoads);
    Spit(dir.File("more.txt"), kMore);
    GpxDocument gpx;
    const GpxMakeOptions all{
        .waypoints = true, .routes = true, .closeRoutes = true, .tracks = true};
    ASSERT_TRUE(gpx.TextToGpx(dir.File("roads.txt"), all).converted);
    ASSERT_TRUE(gpx.TextToGpx(dir.File("more.txt"), all).converted);
    ASSERT_TRUE(gpx.SaveGpx(dir.File("out.gpx")));

    if (OnPath("ogrinfo")) {
        const std::map<std::string, int> layers = OgrLayers(dir.File("out.gpx"));
        const std::map<std::string, int> expected{{"waypoints", 8},
                                                  {"routes", 3},
                                                  {"tracks", 3},
                                                  {"route_points", 8},
                                                  {"track_points", 8}};
        EXPECT_EQ(expected, layers);
    }
    if (OnPath("gpsbabel")) {
        EXPECT_EQ(8, BabelPoints("gpx", dir.File("out.gpx"), "-w"));
        EXPECT_EQ(8, BabelPoints("gpx", dir.File("out.gpx"), "-r"));
        EXPECT_EQ(8, BabelPoints("gpx", dir.File("out.gpx"), "-t"));
    }
    if (!OnPath("ogrinfo") || !OnPath("gpsbabel"))
        GTEST_SKIP() << "ogrinfo or gpsbabel is not on PATH";
}

TEST(Consumers, GpsbabelFilesReadBack)
{
    if (!OnPath("gpsbabel"))
        GTEST_SKIP() << "gpsbabel is not on PATH";
    // gpsbabel writes its own layout (Documents, styles, MultiGeometry for tracks); every point
    // it wrote must come back.
    TempDir dir;
    Spit(dir.File("in.csv"), "No,Latitude,Longitude,Name\n1,30.1,114.1,A\n2,30.2,114.2,B\n"
                             "3,30.3,114.3,C\n");
    ASSERT_EQ(0, RunCommand("gpsbabel -i unicsv -f " + Quoted(dir.File("in.csv")) + " -o kml -F " +
                            Quoted(dir.File("babel.kml")))
                     .status);
    ASSERT_EQ(0, RunCommand("gpsbabel -i unicsv -f " + Quoted(dir.File("in.csv")) + " -o gpx -F " +
                            Quoted(dir.File("babel.gpx")))
                     .status);
    KmlDocument kml;
    ASSERT_TRUE(kml.LoadKml(dir.File("babel.kml")));
    KmlExportOptions utf8{};
    utf8.format.encoding = carvento::tables::TextEncoding::Utf8;
    ASSERT_FALSE(kml.KmlToText(dir.File("babel.kml"), utf8).written.empty());
    std::ifstream points(dir.File("babel_地标.txt"), std::ios::binary);
    std::string text((std::istreambuf_iterator<char>(points)), std::istreambuf_iterator<char>());
    EXPECT_NE(std::string::npos, text.find("\r\nA,30.1"));
    EXPECT_NE(std::string::npos, text.find("\r\nC,30.3"));

    GpxDocument gpx;
    ASSERT_TRUE(gpx.LoadGpx(dir.File("babel.gpx")));
    GpxExportOptions gpxUtf8{};
    gpxUtf8.format.encoding = carvento::tables::TextEncoding::Utf8;
    gpx.GpxToText(dir.File("babel.gpx"), gpxUtf8);
    std::ifstream waypoints(dir.File("babel_航点.txt"), std::ios::binary);
    text.assign((std::istreambuf_iterator<char>(waypoints)), std::istreambuf_iterator<char>());
    EXPECT_NE(std::string::npos, text.find("\r\nB,30.2"));
}
