// GPX documents: waypoints, routes and tracks from coordinate text (merged across files), and
// their extraction: missing names and elevations, every track segment, append, and the extra
// elements (time, extensions) that GPS programs add.
#include "fileconv/GpxDocument.hpp"

#include "tables/CodePage.hpp"

#include <gtest/gtest.h>

#include <algorithm>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <unistd.h>

using namespace carvento::fileconv;

namespace {

class TempDir {
public:
    TempDir()
    {
        m_path = std::filesystem::temp_directory_path() /
                 ("carvento-gpx-" + std::to_string(::getpid()) + "-" + std::to_string(s_next++));
        std::filesystem::create_directories(m_path);
    }
    ~TempDir() { std::filesystem::remove_all(m_path); }
    std::string File(const std::string& name) const { return (m_path / name).string(); }

private:
    std::filesystem::path m_path;
    static inline int s_next = 0;
};

std::string Slurp(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

void Spit(const std::string& path, std::string_view bytes)
{
    std::ofstream out(path, std::ios::binary);
    out << bytes;
}

std::string Crlf(std::string_view text)
{
    std::string out;
    for (char c : text) {
        if (c == '\n')
            out += '\r';
        out += c;
    }
    return out;
}

int Count(std::string_view text, std::string_view needle)
{
    int n = 0;
    for (std::size_t at = text.find(needle); at != std::string_view::npos;
         at = text.find(needle, at + needle.size()))
        ++n;
    return n;
}

const GpxExportOptions kUtf8All{.waypoints = true,
                                .routes = true,
                                .tracks = true,
                                .append = false,
                                .format = {carvento::tables::TextEncoding::Utf8}};

struct Extracted {
    bool loaded = false;
    TextOutput output;
    std::string waypoints, routes, tracks;
};

Extracted Extract(std::string_view gpxBytes, const GpxExportOptions& options = kUtf8All)
{
    TempDir dir;
    Spit(dir.File("in.gpx"), gpxBytes);
    GpxDocument gpx;
    Extracted e;
    e.loaded = gpx.LoadGpx(dir.File("in.gpx"));
    e.output = gpx.GpxToText(dir.File("out.txt"), options);
    e.waypoints = Slurp(dir.File(std::string("out") + kGpxWaypointsSuffix));
    e.routes = Slurp(dir.File(std::string("out") + kGpxRoutesSuffix));
    e.tracks = Slurp(dir.File(std::string("out") + kGpxTracksSuffix));
    return e;
}

std::string Gpx(std::string_view body)
{
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
           "<gpx xmlns=\"http://www.topografix.com/GPX/1/1\" version=\"1.1\" creator=\"x\">" +
           std::string(body) + "</gpx>\n";
}

const GpxMakeOptions kAllKinds{.waypoints = true,
                               .routes = true,
                               .closeRoutes = false,
                               .tracks = true};

} // namespace

TEST(GpxWriting, NewDocumentIsTheRootWithItsFiveAttributes)
{
    EXPECT_EQ("<gpx xmlns=\"http://www.topografix.com/GPX/1/1\" creator=\"MapSource 6.16.3\" "
              "version=\"1.1\" xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\" "
              "xsi:schemaLocation=\"http://www.topografix.com/GPX/1/1 "
              "http://www.topografix.com/GPX/1/1/gpx.xsd\"/>\r\n",
              GpxDocument().DocumentText());
}

TEST(TextToGpx, WaypointsRoutesAndTracksInThatOrder)
{
    TempDir dir;
    Spit(dir.File("a.txt"), "名称,纬度,经度,注释\nA-1,30.1,114.1,井\nA-2,30.2,114.2,\n,,,\n"
                            "B-1,31,115,桥\n");
    GpxDocument gpx;
    const TextInput input = gpx.TextToGpx(dir.File("a.txt"), kAllKinds);
    EXPECT_TRUE(input.converted);
    EXPECT_EQ(4, input.columns);
    const std::string text = gpx.DocumentText();
    EXPECT_EQ(3, Count(text, "<wpt lat=\""));
    EXPECT_NE(std::string::npos, text.find("<wpt lat=\"30.1\" lon=\"114.1\""));
    EXPECT_NE(std::string::npos, text.find("<name>A-2</name>\r\n<desc/>"));
    EXPECT_EQ(2, Count(text, "<desc>"));
    EXPECT_EQ(2, Count(text, "<rte>"));
    EXPECT_EQ(3, Count(text, "<rtept lat="));
    EXPECT_EQ(2, Count(text, "<trk>"));
    EXPECT_EQ(2, Count(text, "<trkseg"));
    EXPECT_EQ(3, Count(text, "<trkpt lat="));
    EXPECT_LT(text.rfind("<wpt"), text.find("<rte>"));
    EXPECT_LT(text.rfind("</rte>"), text.find("<trk>"));
    EXPECT_EQ(1, Count(text, "<gpx "));
    EXPECT_EQ(1, Count(text, "</gpx>"));

    // Round trip: what was written reads back as the same points.
    ASSERT_TRUE(gpx.SaveGpx(dir.File("a.gpx")));
    GpxDocument read;
    ASSERT_TRUE(read.LoadGpx(dir.File("a.gpx")));
    read.GpxToText(dir.File("a.gpx"), kUtf8All);
    EXPECT_EQ(Crlf("名称,纬度,经度,高程,注释\nA-1,30.1,114.1,,井\nA-2,30.2,114.2,,\n"
                   "B-1,31,115,,桥\n"),
              Slurp(dir.File("a_航点.txt")));
    EXPECT_EQ(Crlf("名称,纬度,经度\nA-1,30.1,114.1\nA-2,30.2,114.2\n\nB-1,31,115\n\n"),
              Slurp(dir.File("a_航线.txt")));
    EXPECT_EQ(Crlf("名称,纬度,经度,高程\nA-1-1,30.1,114.1,\nA-1-2,30.2,114.2,\n\n"
                   "B-1-1,31,115,\n\n"),
              Slurp(dir.File("a_航迹.txt")));
}

TEST(TextToGpx, FilesMergeIntoOneRootOrderedByKind)
{
    TempDir dir;
    Spit(dir.File("1.txt"), "名称,纬度,经度\nP1,30,114\nP2,30.5,114.5\n");
    Spit(dir.File("2.txt"), "名称,纬度,经度\nQ1,31,115\n\nQ2,31.5,115.5\n");
    Spit(dir.File("3.txt"), "名称,纬度,经度\nS1,32,116\n");
    GpxDocument gpx;
    for (const char* name : {"1.txt", "2.txt", "3.txt"}) {
        ASSERT_TRUE(gpx.TextToGpx(dir.File(name), kAllKinds).converted) << name;
        // What each file added by itself.
        EXPECT_EQ(name[0] == '2' ? 2 : 1, gpx.Counts().routes) << name;
        EXPECT_EQ(gpx.Counts().waypoints, gpx.Counts().trackPoints) << name;
    }
    const std::string text = gpx.DocumentText();
    EXPECT_EQ(1, Count(text, "<gpx "));
    EXPECT_EQ(0, Count(text, "<desc")); // three columns: no remarks
    // GPX 1.1 wants every wpt, then every rte, then every trk; each kind keeps the files' order.
    std::vector<std::string> kinds;
    for (std::size_t at = text.find("\r\n<"); at != std::string::npos;
         at = text.find("\r\n<", at + 1)) {
        const std::string tag = text.substr(at + 3, 4);
        if (tag == "wpt " || tag == "rte>" || tag == "trk>")
            kinds.push_back(tag.substr(0, 3));
    }
    EXPECT_EQ((std::vector<std::string>{"wpt", "wpt", "wpt", "wpt", "wpt", "rte", "rte", "rte",
                                        "rte", "trk", "trk", "trk", "trk"}),
              kinds);
    // The first place of each name is its waypoint.
    std::vector<std::size_t> names;
    for (const char* name : {"P1", "P2", "Q1", "Q2", "S1"})
        names.push_back(text.find(std::string("<name>") + name + "</name>"));
    EXPECT_TRUE(std::is_sorted(names.begin(), names.end()));
    EXPECT_LT(text.find("<name>S1</name>"), text.find("<rte>"));
    EXPECT_LT(text.rfind("</trk>"), text.find("</gpx>"));

    // Read back, the kinds come out in the files' order.
    ASSERT_TRUE(gpx.SaveGpx(dir.File("all.gpx")));
    GpxDocument read;
    ASSERT_TRUE(read.LoadGpx(dir.File("all.gpx")));
    read.GpxToText(dir.File("all.txt"), kUtf8All);
    EXPECT_EQ(Crlf("名称,纬度,经度\nP1,30,114\nP2,30.5,114.5\n\nQ1,31,115\n\nQ2,31.5,115.5\n\n"
                   "S1,32,116\n\n"),
              Slurp(dir.File("all_航线.txt")));
    const GpxCounts& counts = read.Counts();
    EXPECT_EQ(5, counts.waypoints);
    EXPECT_EQ(4, counts.routes);
    EXPECT_EQ(5, counts.routePoints);
    EXPECT_EQ(4, counts.tracks);
    EXPECT_EQ(4, counts.trackSegments);
    EXPECT_EQ(5, counts.trackPoints);
}

TEST(TextToGpx, MergingKindsThatWereNotAskedForEveryTime)
{
    // Routes only, then everything: the later waypoints still go before the earlier routes.
    TempDir dir;
    Spit(dir.File("1.txt"), "名称,纬度,经度\nP1,30,114\n");
    Spit(dir.File("2.txt"), "名称,纬度,经度\nQ1,31,115\n");
    GpxDocument gpx;
    ASSERT_TRUE(
        gpx.TextToGpx(dir.File("1.txt"),
                      {.waypoints = true, .routes = false, .closeRoutes = false, .tracks = true})
            .converted);
    ASSERT_TRUE(gpx.TextToGpx(dir.File("2.txt"), kAllKinds).converted);
    const std::string text = gpx.DocumentText();
    EXPECT_LT(text.rfind("<wpt"), text.find("<rte>"));
    EXPECT_LT(text.find("</rte>"), text.find("<trk>"));
    EXPECT_LT(text.find("<name>P1</name>\r\n<trkseg>"), text.find("<name>Q1</name>\r\n<trkseg>"));
}

TEST(TextToGpx, RowsWithoutLongitudeAndRefusedFiles)
{
    TempDir dir;
    // A latitude makes a point row, and it needs a longitude: lon="" would be no valid GPX.
    Spit(dir.File("a.txt"), "名称,纬度,经度\nP1,30,\nP2,31,115\n");
    GpxDocument gpx;
    const GpxMakeOptions routes{
        .waypoints = false, .routes = true, .closeRoutes = false, .tracks = false};
    const TextInput empty = gpx.TextToGpx(dir.File("a.txt"), routes);
    EXPECT_FALSE(empty.converted);
    EXPECT_EQ(2, empty.badLine);
    EXPECT_EQ(0, Count(gpx.DocumentText(), "<rte>"));
    // Blanks around the numbers are no part of them.
    Spit(dir.File("a.txt"), "名称,纬度,经度\nP1, 30 ,\t114\nP2,31,115\n");
    ASSERT_TRUE(gpx.TextToGpx(dir.File("a.txt"), routes).converted);
    const std::string text = gpx.DocumentText();
    EXPECT_EQ(1, Count(text, "<rte>"));
    EXPECT_EQ(2, Count(text, "<rtept "));
    EXPECT_NE(std::string::npos, text.find("lat=\"30\" lon=\"114\""));

    GpxDocument refused;
    const std::string before = refused.DocumentText();
    Spit(dir.File("short.txt"), "名称,纬度,经度\nP1,30,114\nP2\n");
    EXPECT_FALSE(refused.TextToGpx(dir.File("short.txt"), kAllKinds).converted);
    EXPECT_TRUE(refused.TextToGpx(dir.File("none.txt"), kAllKinds).unreadable);
    EXPECT_FALSE(
        refused
            .TextToGpx(dir.File("a.txt"),
                       {.waypoints = false, .routes = false, .closeRoutes = true, .tracks = false})
            .converted);
    EXPECT_EQ(before, refused.DocumentText());
}

TEST(GpxToText, WaypointsWithMissingChildren)
{
    const Extracted e =
        Extract(Gpx("<wpt lat=\"30\" lon=\"114\"/>"
                    "<wpt lat=\"31\" lon=\"115\"><ele>12.5</ele><name>W</name><desc>d</desc></wpt>"
                    "<wpt lat=\"32\" lon=\"116\"><desc>x</desc></wpt>"));
    ASSERT_TRUE(e.loaded);
    EXPECT_EQ(Crlf("名称,纬度,经度,高程,注释\nNONAME,30,114,,\nW,31,115,12.5,d\n"
                   "NONAME,32,116,,x\n"),
              e.waypoints);
    EXPECT_EQ("", e.routes);
    EXPECT_EQ(std::vector<std::string>{}, e.output.failed);
    EXPECT_EQ(1u, e.output.written.size());
}

TEST(GpxToText, ChildrenAreReadWhereverTheyStand)
{
    // Receivers and programs write name, ele, time and desc in their own order, and put the
    // name of a route or track after its points.
    const Extracted e = Extract(
        Gpx("<wpt lat=\"32\" lon=\"116\"><name>late</name><ele>3</ele></wpt>"
            "<wpt lat=\"33\" lon=\"117\"><desc>塔</desc><time>t</time><name>T7</name><sym>s</sym>"
            "<ele>25.1</ele></wpt>"
            "<rte><rtept lat=\"1\" lon=\"2\"><time>t</time><ele>4</ele><name>R1</name></rtept>"
            "<name>route</name></rte>"
            "<trk><trkseg><trkpt lat=\"5\" lon=\"6\"><time>t</time><ele>7</ele></trkpt></trkseg>"
            "<trkseg><trkpt lat=\"8\" lon=\"9\"><extensions/><ele>10</ele></trkpt></trkseg>"
            "<name>上午</name></trk>"));
    ASSERT_TRUE(e.loaded);
    EXPECT_EQ(Crlf("名称,纬度,经度,高程,注释\nlate,32,116,3,\nT7,33,117,25.1,塔\n"), e.waypoints);
    EXPECT_EQ(Crlf("名称,纬度,经度\nR1,1,2\n\n"), e.routes);
    EXPECT_EQ(Crlf("名称,纬度,经度,高程\n上午-1,5,6,7\n\n上午-2,8,9,10\n\n"), e.tracks);
}

TEST(GpxToText, PointsWithoutAPositionAreLeftOutAndNamed)
{
    TempDir dir;
    Spit(dir.File("in.gpx"),
         Gpx("<wpt lat=\"30\" lon=\"114\"><name>A</name></wpt>"
             "<wpt lat=\"31\"><name>B</name></wpt>"
             "<wpt lat=\"abc\" lon=\"115\"/>"
             "<rte><name>R</name><rtept lat=\"1\" lon=\"\"/><rtept lat=\"2\" lon=\"3\"/></rte>"
             "<rte><name>empty</name><rtept lon=\"3\"/></rte>"
             "<trk><name>T</name><trkseg><trkpt lat=\"5\" lon=\"6\"/>"
             "<trkpt lat=\"7\" lon=\"0x1A\"/></trkseg><trkseg><trkpt lon=\"1\"/></trkseg>"
             "<trkseg><trkpt lat=\"8\" lon=\"9\"/></trkseg></trk>"));
    GpxDocument gpx;
    ASSERT_TRUE(gpx.LoadGpx(dir.File("in.gpx")));
    const GpxTexts texts = gpx.ExtractTexts(kUtf8All);
    EXPECT_EQ("A,30,114,,\n", texts.waypoints);
    // A route or segment left without points adds no empty line.
    EXPECT_EQ("NONAME,2,3\n\n", texts.routes);
    EXPECT_EQ("T-1,5,6,\n\nT-2,8,9,\n\n", texts.tracks);
    EXPECT_EQ((std::vector<std::string>{
                  "第2个航点 B: 缺少经度(lon)", "第3个航点 (无名称): 纬度(lat)\"abc\"不是数字",
                  "航线 R 的第1个点: 缺少经度(lon)", "航线 empty 的第1个点: 缺少纬度(lat)",
                  "航迹 T 的第2个点: 经度(lon)\"0x1A\"不是数字",
                  "航迹 T 的第3个点: 缺少纬度(lat)"}),
              texts.counts.skipped);
    EXPECT_EQ(1, texts.counts.waypoints);
    EXPECT_EQ(1, texts.counts.routes);
    EXPECT_EQ(1, texts.counts.tracks);
    EXPECT_EQ(2, texts.counts.trackSegments);
    EXPECT_EQ(2, texts.counts.trackPoints);

    // Written under names of the caller's choosing; kinds without points write no file.
    const TextOutput written =
        GpxDocument::WriteTexts(texts, dir.File("out.txt"), kUtf8All,
                                [](const std::string& path) { return path + ".partial"; });
    EXPECT_EQ((std::vector<std::string>{dir.File("out_航点.txt.partial"),
                                        dir.File("out_航线.txt.partial"),
                                        dir.File("out_航迹.txt.partial")}),
              written.written);

    // Nothing of the kinds asked for: nothing written.
    const Extracted none = Extract(Gpx("<metadata><name>m</name></metadata>"
                                       "<rte><name>r</name></rte><trk><trkseg/></trk>"
                                       "<wpt lat=\"1\" lon=\"2\"/>"),
                                   {.waypoints = false, .routes = true, .tracks = true});
    EXPECT_TRUE(none.loaded);
    EXPECT_TRUE(none.output.written.empty());
    EXPECT_EQ("", none.routes + none.tracks + none.waypoints);
}

TEST(GpxToText, EveryTrackSegmentWithContinuingNumbers)
{
    const Extracted e = Extract(
        Gpx("<metadata><time>2024-01-01T00:00:00Z</time></metadata>"
            "<trk><name>T</name><extensions><x>1</x></extensions>"
            "<trkseg><trkpt lat=\"30.000001\" lon=\"114\"><ele>5</ele><time>2024-01-01T00:00:00Z"
            "</time></trkpt><trkpt lat=\"30.1\" lon=\"114.1\"/></trkseg>"
            "<trkseg><trkpt lat=\"30.2\" lon=\"114.2\"><extensions><y/></extensions></trkpt>"
            "</trkseg></trk>"
            "<trk><trkseg><trkpt lat=\"1\" lon=\"2\"/></trkseg></trk>"
            "<trk><name>empty</name></trk>"
            "<rte><rtept lat=\"1\" lon=\"2\"><time>t</time></rtept>"
            "<rtept lat=\"3\" lon=\"4\"><name>R2</name></rtept></rte>"));
    ASSERT_TRUE(e.loaded);
    EXPECT_EQ(Crlf("名称,纬度,经度,高程\nT-1,30.000001,114,5\nT-2,30.1,114.1,\n\n"
                   "T-3,30.2,114.2,\n\nNONAME-1,1,2,\n\n"),
              e.tracks);
    EXPECT_EQ(Crlf("名称,纬度,经度\nNONAME,1,2\nR2,3,4\n\n"), e.routes);
    EXPECT_EQ("", e.waypoints);
}

TEST(GpxToText, AppendAndEncoding)
{
    const std::string gpx = Gpx("<wpt lat=\"30\" lon=\"114\"><name>航点</name></wpt>");
    TempDir dir;
    Spit(dir.File("in.gpx"), gpx);
    GpxDocument doc;
    ASSERT_TRUE(doc.LoadGpx(dir.File("in.gpx")));
    doc.GpxToText(dir.File("out"), {});
    GpxExportOptions append{};
    append.append = true;
    const TextOutput second = doc.GpxToText(dir.File("out"), append);
    ASSERT_EQ(std::vector<std::string>{dir.File("out_航点.txt")}, second.written);
    const std::string once = "名称,纬度,经度,高程,注释\n航点,30,114,,\n";
    EXPECT_EQ(
        carvento::tables::EncodeText(Crlf(once + once), carvento::tables::TextEncoding::Gbk).bytes,
        Slurp(dir.File("out_航点.txt")));
}

TEST(GpxLoading, OtherFilesDoNotLoad)
{
    EXPECT_FALSE(Extract("<kml xmlns=\"http://www.opengis.net/kml/2.2\"/>").loaded);
    EXPECT_FALSE(Extract(Gpx("<wpt lat=\"1\" lon=\"2\">")).loaded);
    const Extracted broken = Extract(Gpx("<wpt lat=\"1\" lon=\"2\">"));
    EXPECT_TRUE(broken.output.written.empty());
}

// Written as it grows, a separate document is byte for byte the one saved whole; nothing is
// written for a refused input or one without points.
TEST(TextToGpx, WrittenAsItGrowsIsTheDocumentSavedWhole)
{
    TempDir dir;
    Spit(dir.File("a.txt"), "名称,纬度,经度,备注\nA-1,30.1,114.1,<桥&涵>\nA-2,30.2,114.2,\n\n"
                            "B-1,31,115,x\nB-2,31.1,115.1,\n");
    for (const GpxMakeOptions options : {kAllKinds, GpxMakeOptions{.waypoints = false,
                                                    .routes = false,
                                                    .closeRoutes = false,
                                                    .tracks = true}}) {
        GpxDocument whole;
        ASSERT_TRUE(whole.TextToGpx(dir.File("a.txt"), options).converted);
        ASSERT_TRUE(whole.SaveGpx(dir.File("whole.gpx")));
        GpxDocument streamed;
        TextInput input;
        ASSERT_TRUE(streamed.TextToGpxFile(dir.File("a.txt"), options, dir.File("streamed.gpx"),
                                           input));
        EXPECT_EQ(Slurp(dir.File("whole.gpx")), Slurp(dir.File("streamed.gpx")));
    }
    Spit(dir.File("none.txt"), "名称,纬度,经度\nA,,\n");
    Spit(dir.File("out.gpx"), "earlier");
    GpxDocument empty;
    TextInput input;
    EXPECT_TRUE(empty.TextToGpxFile(dir.File("none.txt"), kAllKinds, dir.File("out.gpx"), input));
    EXPECT_EQ("earlier", Slurp(dir.File("out.gpx")));
}
