// KML documents: the layout Google Earth expects from TXT to KML (folders, placemarks, lines,
// closed lines and polygons, their names), and the extraction of points, lines and polygons from
// the KML other programs write (any white space between tuples, 2-D points, MultiGeometry,
// nested Documents and Folders, byte-order marks and GBK files).
#include "fileconv/KmlDocument.hpp"

#include "tables/CodePage.hpp"

#include <gtest/gtest.h>

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
                 ("carvento-kml-" + std::to_string(::getpid()) + "-" + std::to_string(s_next++));
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

// The text of the first <tag> element after `from` in the document text.
std::string TextAfter(const std::string& text, std::string_view from, const std::string& tag)
{
    const std::size_t at = text.find(from);
    if (at == std::string::npos)
        return "<no " + std::string(from) + ">";
    const std::string open = "<" + tag + ">";
    const std::size_t begin = text.find(open, at);
    const std::size_t end = text.find("</" + tag + ">", begin);
    if (begin == std::string::npos || end == std::string::npos)
        return "<no " + tag + ">";
    return text.substr(begin + open.size(), end - begin - open.size());
}

constexpr const char* kTwoSegments = "名称,纬度,经度\n"
                                     "A-1,30.1,114.1\n"
                                     "A-2,30.2,114.2\n"
                                     "\n"
                                     "B-1,31,115\n";

const KmlExportOptions kUtf8All{.points = true,
                                .lines = true,
                                .polygons = true,
                                .append = false,
                                .format = {carvento::tables::TextEncoding::Utf8}};

struct Made {
    TextInput input;
    std::string text;
};

Made Make(std::string_view fileText, const KmlMakeOptions& options,
          const std::string& name = "路线.txt")
{
    TempDir dir;
    Spit(dir.File(name), fileText);
    KmlDocument kml;
    Made made;
    made.input = kml.TextToKml(dir.File(name), options);
    made.text = kml.DocumentText();
    return made;
}

struct Extracted {
    bool loaded = false;
    TextOutput output;
    std::string points, lines, polygons;
};

Extracted Extract(std::string_view kmlBytes, const KmlExportOptions& options = kUtf8All)
{
    TempDir dir;
    Spit(dir.File("in.kml"), kmlBytes);
    KmlDocument kml;
    Extracted e;
    e.loaded = kml.LoadKml(dir.File("in.kml"));
    e.output = kml.KmlToText(dir.File("out.txt"), options);
    e.points = Slurp(dir.File(std::string("out") + kKmlPointsSuffix));
    e.lines = Slurp(dir.File(std::string("out") + kKmlLinesSuffix));
    e.polygons = Slurp(dir.File(std::string("out") + kKmlPolygonsSuffix));
    return e;
}

std::string Kml(std::string_view body)
{
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
           "<kml xmlns=\"http://www.opengis.net/kml/2.2\">" +
           std::string(body) + "</kml>\n";
}

} // namespace

TEST(KmlWriting, SmallDocumentExactly)
{
    KmlDocument kml;
    kml.BeginFolder("F");
    kml.BeginPlacemark("P", "");
    kml.AddLookAt("1", "2", "0", "0", "0", "1000");
    kml.AddPolygon("1,2,0 3,4,0 1,2,0 ");
    kml.EndElement();
    kml.BeginPlacemark("Q", "说明");
    kml.AddPoint(KmlTuple("1", "2"));
    kml.EndElement();
    kml.EndElement();
    kml.BeginFolder("G");
    EXPECT_EQ(Crlf("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                   "<kml xmlns=\"http://www.opengis.net/kml/2.2\" "
                   "xmlns:gx=\"http://www.google.com/kml/ext/2.2\" "
                   "xmlns:kml=\"http://www.opengis.net/kml/2.2\" "
                   "xmlns:atom=\"http://www.w3.org/2005/Atom\">\n"
                   "<Folder>\n<name>F</name>\n"
                   "<Placemark>\n<name>P</name>\n"
                   "<LookAt>\n<longitude>1</longitude>\n<latitude>2</latitude>\n"
                   "<altitude>0</altitude>\n<heading>0</heading>\n<tilt>0</tilt>\n"
                   "<range>1000</range>\n</LookAt>\n"
                   "<Polygon>\n<tessellate>1</tessellate>\n<outerBoundaryIs>\n<LinearRing>\n"
                   "<coordinates>1,2,0 3,4,0 1,2,0 </coordinates>\n"
                   "</LinearRing>\n</outerBoundaryIs>\n</Polygon>\n</Placemark>\n"
                   "<Placemark>\n<name>Q</name>\n<description>说明</description>\n"
                   "<Point>\n<gx:drawOrder>1</gx:drawOrder>\n<coordinates>1,2,0 </coordinates>\n"
                   "</Point>\n</Placemark>\n</Folder>\n"
                   "<Folder>\n<name>G</name>\n</Folder>\n</kml>\n"),
              kml.DocumentText());
}

TEST(TextToKml, LinesPointsAndTheirNames)
{
    const Made lines = Make(
        kTwoSegments, {.points = false, .lines = true, .closeLines = false, .polygons = false});
    EXPECT_TRUE(lines.input.converted);
    EXPECT_EQ(3, lines.input.columns);
    EXPECT_EQ("路线", TextAfter(lines.text, "<Folder>", "name"));
    EXPECT_EQ(2, Count(lines.text, "<LineString>"));
    EXPECT_EQ(0, Count(lines.text, "<Point>"));
    EXPECT_EQ("114.1,30.1,0 114.2,30.2,0 ", TextAfter(lines.text, "<name>A</name>", "coordinates"));
    EXPECT_EQ("115,31,0 ", TextAfter(lines.text, "<name>B</name>", "coordinates"));

    const Made points = Make(
        kTwoSegments, {.points = true, .lines = false, .closeLines = false, .polygons = false});
    EXPECT_EQ(3, Count(points.text, "<Point>"));
    EXPECT_EQ(3, Count(points.text, "<range>1000</range>"));
    EXPECT_EQ("114.2,30.2,0 ", TextAfter(points.text, "<name>A-2</name>", "coordinates"));
    EXPECT_EQ("31", TextAfter(points.text, "<name>B-1</name>", "latitude"));
    EXPECT_EQ("115", TextAfter(points.text, "<name>B-1</name>", "longitude"));
    EXPECT_EQ(0, Count(points.text, "<description>"));

    const Made described =
        Make("名称,纬度,经度,说明\nA-1,30.1,114.1,井盖\nA-2,30.2,114.2,\n",
             {.points = true, .lines = false, .closeLines = false, .polygons = false});
    EXPECT_EQ("井盖", TextAfter(described.text, "<name>A-1</name>", "description"));
    EXPECT_EQ(1, Count(described.text, "<description>"));

    // No "-" in the last point's name: the line has no name of its own.
    const Made noname =
        Make("名称,纬度,经度\nK1,30,114\nK2,30.5,114.5\n",
             {.points = false, .lines = true, .closeLines = false, .polygons = true});
    EXPECT_EQ(2, Count(noname.text, "<name>NONAME</name>"));
    // Names are cut at the last "-" of the segment's last point.
    const Made dashes =
        Make("名称,纬度,经度\nX-Y-1,30,114\nRoad-Z-2,30.5,114.5\n",
             {.points = false, .lines = true, .closeLines = false, .polygons = false});
    EXPECT_EQ(1, Count(dashes.text, "<name>Road-Z</name>"));
}

TEST(TextToKml, ClosedLinesAndPolygonsRepeatTheFirstTupleOnce)
{
    const std::string three = "名称,纬度,经度\nA-1,30,114\nA-2,30,115\nA-3,31,115\n";
    const std::string ring = "114,30,0 115,30,0 115,31,0 114,30,0 ";
    const Made closed =
        Make(three, {.points = false, .lines = true, .closeLines = true, .polygons = true});
    EXPECT_EQ(ring, TextAfter(closed.text, "<LineString>", "coordinates"));
    EXPECT_EQ(ring, TextAfter(closed.text, "<Polygon>", "coordinates"));
    const Made open = Make(three,
                           {.points = false, .lines = true, .closeLines = false, .polygons = true});
    EXPECT_EQ("114,30,0 115,30,0 115,31,0 ", TextAfter(open.text, "<LineString>", "coordinates"));
    EXPECT_EQ(ring, TextAfter(open.text, "<Polygon>", "coordinates"));
    const Made polygonOnly =
        Make(three, {.points = false, .lines = false, .closeLines = true, .polygons = true});
    EXPECT_EQ(ring, TextAfter(polygonOnly.text, "<Polygon>", "coordinates"));
    EXPECT_EQ(0, Count(polygonOnly.text, "<LineString>"));
}

TEST(TextToKml, RefusedInputsLeaveTheDocumentAsItWas)
{
    KmlDocument kml;
    const std::string empty = kml.DocumentText();
    TextInput missing = kml.TextToKml("/nonexistent/carvento/none.txt", {});
    EXPECT_TRUE(missing.unreadable);
    EXPECT_FALSE(missing.converted);

    TempDir dir;
    Spit(dir.File("short.txt"), "名称,纬度,经度\nA-1,30,114\nA-2,30\nA-3,31,115\n");
    TextInput shortLine = kml.TextToKml(dir.File("short.txt"), {});
    EXPECT_FALSE(shortLine.converted);
    EXPECT_EQ(carvento::tables::FileStatus::ShortLine, shortLine.read.status);

    // A control character cannot go into XML: the file is refused with its line.
    Spit(dir.File("control.txt"), "名称,纬度,经度\nA-1,30,114\n\n\nA\x01-2,30.2,114.2\n");
    TextInput control = kml.TextToKml(dir.File("control.txt"), {});
    EXPECT_FALSE(control.converted);
    EXPECT_EQ(carvento::tables::FileStatus::InvalidBytes, control.read.status);
    EXPECT_EQ(5, control.read.line);

    Spit(dir.File("two.txt"), "名称,纬度\nA,30\n");
    TextInput twoColumns = kml.TextToKml(dir.File("two.txt"), {});
    EXPECT_FALSE(twoColumns.converted);
    EXPECT_EQ(2, twoColumns.columns);

    Spit(dir.File("ok.txt"), kTwoSegments);
    EXPECT_FALSE(
        kml.TextToKml(dir.File("ok.txt"),
                      {.points = false, .lines = false, .closeLines = true, .polygons = false})
            .converted);
    EXPECT_EQ(empty, kml.DocumentText());
}

TEST(KmlToText, OldLayoutGivesTheSameBytes)
{
    // Google Earth's own layout: 3-D tuples separated by single spaces; default GBK with CR LF.
    const std::string kml =
        Kml("<Document><name>d</name><Placemark><name>井1</name><description>旧井</description>"
            "<Point><coordinates>114.123456789,30.5,0</coordinates></Point></Placemark>"
            "<Placemark><name>路</name><LineString><tessellate>1</tessellate>"
            "<coordinates>114.1,30.1,0 114.2,30.2,12.5 </coordinates></LineString></Placemark>"
            "<Placemark><name>面</name><Polygon><outerBoundaryIs><LinearRing><coordinates>"
            "1,2,0 3,4,0 1,2,0</coordinates></LinearRing></outerBoundaryIs>"
            "<innerBoundaryIs><LinearRing><coordinates>9,9,0 8,8,0 9,9,0</coordinates>"
            "</LinearRing></innerBoundaryIs></Polygon></Placemark></Document>");
    const Extracted e = Extract(kml, {});
    ASSERT_TRUE(e.loaded);
    EXPECT_TRUE(e.output.Ok());
    EXPECT_EQ(3u, e.output.written.size());
    auto gbk = [](std::string_view text) {
        return carvento::tables::EncodeText(Crlf(text), carvento::tables::TextEncoding::Gbk).bytes;
    };
    EXPECT_EQ(gbk("名称,纬度,经度,说明\n井1,30.5,114.123456789,旧井\n"), e.points);
    EXPECT_EQ(gbk("名称,纬度,经度\n路-1,30.1,114.1\n路-2,30.2,114.2\n\n"), e.lines);
    // The outer ring reads as before; the hole follows as a polygon of its own.
    EXPECT_EQ(gbk("名称,纬度,经度\n面-1,2,1\n面-2,4,3\n面-3,2,1\n\n"
                  "面_内环1-1,9,9\n面_内环1-2,8,8\n面_内环1-3,9,9\n\n"),
              e.polygons);
}

TEST(KmlToText, CoordinatesAsOtherProgramsWriteThem)
{
    const std::string kml =
        Kml("<Placemark><name>L</name><LineString>\n\t\t<coordinates>\n\t\t\t114.1,30.1,0\n"
            "\t\t\t114.2,30.2  114.3,30.3,7\r\n\t\t</coordinates>\n\t</LineString></Placemark>"
            "<Placemark><name>P</name><Point><coordinates> 114.5,30.5 </coordinates></Point>"
            "</Placemark>"
            "<Placemark><name>Bad</name><Point><coordinates>114.5</coordinates></Point></Placemark>"
            "<Placemark><name>M</name><MultiGeometry><Point><coordinates>1,2</coordinates></Point>"
            "<MultiGeometry><LineString><coordinates>5,6 7,8</coordinates></LineString>"
            "</MultiGeometry></MultiGeometry></Placemark>");
    const Extracted e = Extract(kml);
    ASSERT_TRUE(e.loaded);
    EXPECT_EQ(Crlf("名称,纬度,经度,说明\nP,30.5,114.5,\nM,2,1,\n"), e.points);
    EXPECT_EQ(Crlf("名称,纬度,经度\nL-1,30.1,114.1\nL-2,30.2,114.2\nL-3,30.3,114.3\n\n"
                   "M-1,6,5\nM-2,8,7\n\n"),
              e.lines);
    EXPECT_EQ("", e.polygons); // none: no file
    EXPECT_EQ(2u, e.output.written.size());
}

TEST(KmlToText, DocumentsThenFoldersThenPlacemarksAndUnnamedPlacemarks)
{
    const std::string kml =
        Kml("<Placemark><name>root</name><Point><coordinates>1,1,0</coordinates></Point>"
            "</Placemark>"
            "<Folder><name>f</name><Placemark><Point><coordinates>2,2,0</coordinates></Point>"
            "<LineString><coordinates>3,3,0 4,4,0</coordinates></LineString></Placemark></Folder>"
            "<Document><Style id=\"s\"><LineStyle><color>ff0000ff</color></LineStyle></Style>"
            "<Folder><Placemark><name>deep</name><ExtendedData><Data name=\"h\"><value>9</value>"
            "</Data></ExtendedData><styleUrl>#s</styleUrl>"
            "<Point><coordinates>5,5,0</coordinates></Point></Placemark></Folder>"
            "<Placemark><name>doc</name><Point><coordinates>6,6,0</coordinates></Point></Placemark>"
            "</Document>");
    const Extracted e = Extract(kml);
    ASSERT_TRUE(e.loaded);
    // In the Document its Folder comes before its own Placemark.
    EXPECT_EQ(Crlf("名称,纬度,经度,说明\ndeep,5,5,\ndoc,6,6,\n,2,2,\nroot,1,1,\n"), e.points);
    EXPECT_EQ(Crlf("名称,纬度,经度\n-1,3,3\n-2,4,4\n\n"), e.lines);
}

TEST(KmlToText, OnlyTheRequestedFilesAndAppend)
{
    const std::string kml =
        Kml("<Placemark><name>P</name><Point><coordinates>1,2,0</coordinates></Point>"
            "<LineString><coordinates>1,2,0 3,4,0</coordinates></LineString></Placemark>");
    TempDir dir;
    Spit(dir.File("in.kml"), kml);
    KmlDocument doc;
    ASSERT_TRUE(doc.LoadKml(dir.File("in.kml")));
    KmlExportOptions options = kUtf8All;
    options.lines = false;
    const TextOutput first = doc.KmlToText(dir.File("out.kml"), options);
    ASSERT_EQ(std::vector<std::string>{dir.File("out_地标.txt")}, first.written);
    EXPECT_FALSE(std::filesystem::exists(dir.File("out_路径.txt")));
    options.append = true;
    doc.KmlToText(dir.File("out.kml"), options);
    EXPECT_EQ(Crlf("名称,纬度,经度,说明\nP,2,1,\n名称,纬度,经度,说明\nP,2,1,\n"),
              Slurp(dir.File("out_地标.txt")));
}

TEST(KmlLoading, ByteOrderMarkGbkAndOtherFiles)
{
    const std::string body = "<Placemark><name>点</name><Point><coordinates>1,2,0</coordinates>"
                             "</Point></Placemark>";
    const Extracted bom = Extract("\xEF\xBB\xBF" + Kml(body));
    ASSERT_TRUE(bom.loaded);
    EXPECT_EQ(Crlf("名称,纬度,经度,说明\n点,2,1,\n"), bom.points);

    // "点" in GBK is B5 E3.
    const std::string gbk = "<?xml version=\"1.0\" encoding=\"GBK\"?>\n"
                            "<kml xmlns=\"http://www.opengis.net/kml/2.2\"><Placemark><name>"
                            "\xB5\xE3</name><Point><coordinates>1,2,0</coordinates></Point>"
                            "</Placemark></kml>\n";
    const Extracted fromGbk = Extract(gbk);
    ASSERT_TRUE(fromGbk.loaded);
    EXPECT_EQ(Crlf("名称,纬度,经度,说明\n点,2,1,\n"), fromGbk.points);

    // A prefixed root: its elements carry the same prefix.
    const Extracted prefixed =
        Extract("<k:kml xmlns:k=\"http://www.opengis.net/kml/2.2\"><k:Folder><k:Placemark>"
                "<k:name>p</k:name><k:Point><k:coordinates>1,2</k:coordinates></k:Point>"
                "</k:Placemark></k:Folder></k:kml>");
    ASSERT_TRUE(prefixed.loaded);
    EXPECT_EQ(Crlf("名称,纬度,经度,说明\np,2,1,\n"), prefixed.points);

    // A GPX, a broken file and a missing one do not load and write nothing.
    for (const std::string& bad :
         {std::string("<gpx xmlns=\"http://www.topografix.com/GPX/1/1\"><wpt lat=\"1\" "
                      "lon=\"2\"/></gpx>"),
          Kml(body).substr(0, 100)}) {
        const Extracted e = Extract(bad);
        EXPECT_FALSE(e.loaded);
        EXPECT_TRUE(e.output.written.empty());
    }
    KmlDocument none;
    EXPECT_FALSE(none.LoadKml("/nonexistent/carvento/none.kml"));
}

TEST(KmlSaving, RoundTripThroughAFile)
{
    TempDir dir;
    Spit(dir.File("路线.txt"), kTwoSegments);
    KmlDocument made;
    ASSERT_TRUE(made.TextToKml(dir.File("路线.txt"), {}).converted);
    ASSERT_TRUE(made.SaveKml(dir.File("路线.kml")));
    EXPECT_FALSE(made.SaveKml(dir.File("no-such-folder/路线.kml")));
    KmlDocument read;
    ASSERT_TRUE(read.LoadKml(dir.File("路线.kml")));
    read.KmlToText(dir.File("路线.kml"), kUtf8All);
    EXPECT_EQ(Crlf("名称,纬度,经度\nA-1,30.1,114.1\nA-2,30.2,114.2\n\nB-1,31,115\n\n"),
              Slurp(dir.File("路线_路径.txt")));
}

// Written as it grows, the document is byte for byte the one saved whole: points, lines and
// polygons of several segments, names and remarks that need escaping; a refused input or an
// unwritable folder leaves an earlier file as it was.
TEST(TextToKml, WrittenAsItGrowsIsTheDocumentSavedWhole)
{
    TempDir dir;
    Spit(dir.File("路 线.txt"), "名称,纬度,经度,备注\nA-1,30.1,114.1,<桥&涵>\nA-2,30.2,114.2,\n\n"
                                "B-1,31,115,\"引号\"\nB-2,31.1,115.1,x\nB-3,31.2,115.3,\n");
    for (const KmlMakeOptions options :
         {KmlMakeOptions{},
          KmlMakeOptions{.points = true, .lines = true, .closeLines = true, .polygons = true},
          KmlMakeOptions{.points = false, .lines = false, .closeLines = false, .polygons = true}}) {
        KmlDocument whole;
        ASSERT_TRUE(whole.TextToKml(dir.File("路 线.txt"), options).converted);
        ASSERT_TRUE(whole.SaveKml(dir.File("whole.kml")));
        KmlDocument streamed;
        TextInput input;
        ASSERT_TRUE(streamed.TextToKmlFile(dir.File("路 线.txt"), options, dir.File("streamed.kml"),
                                           input));
        EXPECT_TRUE(input.converted);
        EXPECT_EQ(Slurp(dir.File("whole.kml")), Slurp(dir.File("streamed.kml")));
    }
    Spit(dir.File("bad.txt"), "名称,纬度,经度\nA,abc,1\n");
    Spit(dir.File("out.kml"), "earlier");
    KmlDocument refused;
    TextInput input;
    EXPECT_TRUE(refused.TextToKmlFile(dir.File("bad.txt"), {}, dir.File("out.kml"), input));
    EXPECT_FALSE(input.converted);
    EXPECT_EQ("earlier", Slurp(dir.File("out.kml")));
    EXPECT_FALSE(refused.TextToKmlFile(dir.File("路 线.txt"), {}, dir.File("no/such/out.kml"),
                                       input));
}
