// KML to TXT and GPX to TXT read in place (OpenKml / OpenGpx, CountTexts, WriteExtractedTexts)
// against the same extraction through a loaded document (LoadKml + KmlToText, LoadGpx +
// ExtractTexts + WriteTexts): the same verdict, counts, partial-file choices and bytes, for
// files covering what the cursor reads itself and what it leaves to the document, and for
// thousands of damaged variants of them. Also BLN written block by block.
#include "fileconv/BlnReader.hpp"
#include "fileconv/GpxDocument.hpp"
#include "fileconv/KmlDocument.hpp"
#include "fileconv/TextFiles.hpp"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <random>
#include <unistd.h>

using namespace carvento::fileconv;
namespace fs = std::filesystem;

namespace {

class TempDir {
public:
    TempDir()
    {
        m_path = fs::temp_directory_path() / ("carvento-inplace-" + std::to_string(::getpid()) +
                                              "-" + std::to_string(s_next++));
        fs::create_directories(m_path);
    }
    ~TempDir() { fs::remove_all(m_path); }
    std::string File(const std::string& name) const { return (m_path / name).string(); }
    // Every file's bytes by name, the input left out.
    std::map<std::string, std::string> Files(const std::string& except) const
    {
        std::map<std::string, std::string> files;
        for (const auto& entry : fs::directory_iterator(m_path)) {
            const std::string name = entry.path().filename().string();
            if (name == except)
                continue;
            std::ifstream in(entry.path(), std::ios::binary);
            files[name] = std::string((std::istreambuf_iterator<char>(in)),
                                      std::istreambuf_iterator<char>());
        }
        return files;
    }

private:
    fs::path m_path;
    static inline int s_next = 0;
};

void Spit(const std::string& path, std::string_view bytes)
{
    std::ofstream out(path, std::ios::binary);
    out << bytes;
}

// What one way of extracting gave.
struct Outcome {
    bool loaded = false;
    bool inPlace = false;
    std::string loadError;
    std::vector<std::string> skipped;
    std::vector<int> counts;
    std::vector<std::string> targets; // names handed to the partial-target function
    std::vector<std::string> written, failed;
    std::map<std::string, std::string> files;
};

bool operator==(const Outcome& a, const Outcome& b)
{
    return a.loaded == b.loaded && a.loadError == b.loadError && a.skipped == b.skipped &&
           a.counts == b.counts && a.targets == b.targets && a.written == b.written &&
           a.failed == b.failed && a.files == b.files;
}

std::ostream& operator<<(std::ostream& out, const Outcome& o)
{
    out << "loaded " << o.loaded << " in place " << o.inPlace << " error '" << o.loadError
        << "' counts";
    for (int c : o.counts)
        out << ' ' << c;
    for (const std::string& s : o.skipped)
        out << "\n  skipped " << s;
    for (const auto& [name, bytes] : o.files)
        out << "\n  " << name << ":\n" << bytes;
    return out;
}

// Existing output to append to, in GBK: 地标 and 航点 files hold a line already.
void SeedOutputs(const TempDir& dir)
{
    Spit(dir.File("x_地标.txt"), "\xC3\xFB\xB3\xC6,a\r\n");
    Spit(dir.File("x_航点.txt"), "old\r\n");
}

std::string FileName(const std::string& path)
{
    return fs::path(path).filename().string();
}

std::function<std::string(const std::string&)> Recorder(Outcome& o)
{
    return [&o](const std::string& name) {
        o.targets.push_back(FileName(name));
        return name + ".partial";
    };
}

Outcome KmlLoaded(const std::string& bytes, const KmlExportOptions& options)
{
    TempDir dir;
    if (options.append)
        SeedOutputs(dir);
    Spit(dir.File("in.kml"), bytes);
    Outcome o;
    KmlDocument document;
    o.loaded = document.LoadKml(dir.File("in.kml"));
    o.loadError = document.LoadError();
    if (o.loaded) {
        const TextOutput out = document.KmlToText(dir.File("x.txt"), options, Recorder(o));
        const KmlCounts& c = document.Counts();
        o.counts = {c.points, c.lines, c.tracks, c.polygons, c.holes};
        o.skipped = c.skipped;
        for (const std::string& w : out.written)
            o.written.push_back(FileName(w));
        for (const std::string& f : out.failed)
            o.failed.push_back(FileName(f));
    }
    o.files = dir.Files("in.kml");
    return o;
}

Outcome KmlInPlace(const std::string& bytes, const KmlExportOptions& options)
{
    TempDir dir;
    if (options.append)
        SeedOutputs(dir);
    Spit(dir.File("in.kml"), bytes);
    Outcome o;
    KmlDocument document;
    o.loaded = document.OpenKml(dir.File("in.kml"));
    o.inPlace = document.ReadInPlace();
    o.loadError = document.LoadError();
    if (o.loaded) {
        const KmlCounts& c = document.CountTexts(options);
        const TextOutput out = document.WriteExtractedTexts(dir.File("x.txt"), options,
                                                            Recorder(o));
        o.counts = {c.points, c.lines, c.tracks, c.polygons, c.holes};
        o.skipped = c.skipped;
        for (const std::string& w : out.written)
            o.written.push_back(FileName(w));
        for (const std::string& f : out.failed)
            o.failed.push_back(FileName(f));
    }
    o.files = dir.Files("in.kml");
    return o;
}

Outcome GpxLoaded(const std::string& bytes, const GpxExportOptions& options)
{
    TempDir dir;
    if (options.append)
        SeedOutputs(dir);
    Spit(dir.File("in.gpx"), bytes);
    Outcome o;
    GpxDocument document;
    o.loaded = document.LoadGpx(dir.File("in.gpx"));
    if (o.loaded) {
        const GpxTexts texts = document.ExtractTexts(options);
        const GpxCounts& c = texts.counts;
        o.counts = {c.waypoints, c.routes, c.routePoints, c.tracks, c.trackSegments, c.trackPoints};
        o.skipped = c.skipped;
        if (c.Points() > 0) {
            const TextOutput out = GpxDocument::WriteTexts(texts, dir.File("x.txt"), options,
                                                           Recorder(o));
            for (const std::string& w : out.written)
                o.written.push_back(FileName(w));
            for (const std::string& f : out.failed)
                o.failed.push_back(FileName(f));
        }
    }
    o.files = dir.Files("in.gpx");
    return o;
}

Outcome GpxInPlace(const std::string& bytes, const GpxExportOptions& options)
{
    TempDir dir;
    if (options.append)
        SeedOutputs(dir);
    Spit(dir.File("in.gpx"), bytes);
    Outcome o;
    GpxDocument document;
    o.loaded = document.OpenGpx(dir.File("in.gpx"));
    o.inPlace = document.ReadInPlace();
    if (o.loaded) {
        const GpxCounts& c = document.CountTexts(options);
        o.counts = {c.waypoints, c.routes, c.routePoints, c.tracks, c.trackSegments, c.trackPoints};
        o.skipped = c.skipped;
        if (c.Points() > 0) {
            const TextOutput out = document.WriteExtractedTexts(dir.File("x.txt"), options,
                                                                Recorder(o));
            for (const std::string& w : out.written)
                o.written.push_back(FileName(w));
            for (const std::string& f : out.failed)
                o.failed.push_back(FileName(f));
        }
    }
    o.files = dir.Files("in.gpx");
    return o;
}

const std::vector<std::string> kGpxFiles = {
    // Names with references, CDATA, comments, pieces of white space and line ends; attributes
    // with tabs and line breaks; the name of a track after its segments; several segments.
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<gpx version=\"1.1\">\r\n"
    "<wpt lat=\"30.5\" lon='104.25'><ele>12</ele><name> A &amp; B&#20013;&#x4E2D; </name>"
    "<desc>line1\r\nline2\rline3</desc></wpt>\r\n"
    "<wpt lat=\"\t31\r\n\" lon=\"105\"><name>x<!-- note -->y<![CDATA[<z>]]>  </name></wpt>\n"
    "<wpt lat=\"1e\" lon=\"2\"><name>bad</name></wpt><wpt lon=\"2\"/>\n"
    "<rte><name>R1</name><rtept lat=\"1\" lon=\"2\"><name>p1</name></rtept>"
    "<rtept lat=\"3\" lon=\"4\"/><rtept lat=\"x\" lon=\"4\"/></rte><rte><rtept lat=\"5\" lon=\"6\">"
    "<name>  </name></rtept></rte><rte><name>empty</name></rte>\n"
    "<trk><trkseg><trkpt lat=\"1\" lon=\"2\"><ele>3</ele></trkpt></trkseg><trkseg/>"
    "<trkseg><trkpt lat=\"4\" lon=\"5\"><extensions><ele>9</ele></extensions></trkpt></trkseg>"
    "<name>late &quot;name&quot;</name></trk>"
    "<trk><name>T2</name><trkseg><trkpt lat=\"a\" lon=\"b\"/></trkseg></trk>\r\n</gpx>\r\n",
    // Without a declaration, nested names, a quote and '>' inside attribute values.
    "<gpx><wpt lat=\"30\" lon=\"104\" note='a>b\"c'><extensions><name>inner</name></extensions>"
    "<name>outer, with comma</name><desc>\"quoted</desc></wpt>"
    "<trk><name>T</name><trkseg><trkpt lat=\"1.5\" lon=\"2.5\"/><trkpt lat=\"-1\" lon=\"+2\"/>"
    "</trkseg></trk></gpx>",
    // GBK, as declared.
    "<?xml version=\"1.0\" encoding=\"GB2312\"?><gpx><wpt lat=\"1\" lon=\"2\"><name>\xB5\xE3"
    "</name></wpt></gpx>",
    // Left to the document: a document type, a processing instruction, an unknown entity.
    "<?xml version=\"1.0\"?><!DOCTYPE gpx><gpx><wpt lat=\"1\" lon=\"2\"/></gpx>",
    "<gpx><?pi x?><wpt lat=\"1\" lon=\"2\"><name>a</name></wpt></gpx>",
    "<gpx><wpt lat=\"1\" lon=\"2\"><name>a&nbsp;b</name></wpt></gpx>",
    // Refused by both: not GPX, not well-formed, a forbidden reference in a comment.
    "<kml><wpt lat=\"1\" lon=\"2\"/></kml>",
    "<gpx><wpt lat=\"1\" lon=\"2\"></gpx>",
    "<gpx><!-- &#1; --><wpt lat=\"1\" lon=\"2\"/></gpx>",
};

const std::vector<std::string> kKmlFiles = {
    // Placemarks before and after folders and documents: the extraction's order is documents,
    // then folders, then placemarks, at every level.
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<kml xmlns=\"http://www.opengis.net/kml/2.2\">"
    "<Document><Placemark><name>P1</name><description>d &lt;1&gt;\r\nx</description>"
    "<Point><coordinates>104.1,30.2,0</coordinates></Point></Placemark>"
    "<Folder><name>F</name><Placemark><name>P2</name><Point><coordinates> 104.3 , 30.4 "
    "</coordinates></Point></Placemark><Document><Placemark><name>P3</name><Point>"
    "<coordinates>1,2</coordinates></Point></Placemark></Document></Folder>"
    "<Placemark><name>L1</name><LineString><coordinates>1,2,3 4,5,6\n7,8 bad 9,10,11,12"
    "</coordinates></LineString><MultiGeometry><LineString><coordinates>5,6</coordinates>"
    "</LineString><Point><coordinates>7,8</coordinates></Point><Polygon><outerBoundaryIs>"
    "<LinearRing><coordinates>1,1 2,2 3,3 1,1</coordinates></LinearRing></outerBoundaryIs>"
    "<innerBoundaryIs><LinearRing><coordinates>1.5,1.5</coordinates></LinearRing>"
    "</innerBoundaryIs><innerBoundaryIs><LinearRing><coordinates/></LinearRing>"
    "</innerBoundaryIs></Polygon></MultiGeometry></Placemark></Document>"
    "<Placemark><name>T</name><gx:Track><gx:coord>1 2 3</gx:coord><gx:coord>bad</gx:coord>"
    "</gx:Track><gx:MultiTrack><gx:Track><gx:coord>4 5</gx:coord></gx:Track></gx:MultiTrack>"
    "<Point><coordinates>1,2 3,4</coordinates></Point></Placemark></kml>",
    // A prefixed root; CDATA coordinates; comments.
    "<kml:kml xmlns:kml=\"http://www.opengis.net/kml/2.2\"><!-- c --><kml:Document>"
    "<kml:Placemark><kml:name><![CDATA[N,1]]></kml:name><kml:Point><kml:coordinates>"
    "<![CDATA[10,20]]></kml:coordinates></kml:Point></kml:Placemark></kml:Document></kml:kml>",
    // Another root, a root named like KML in the wrong way, a document type, not well-formed.
    "<gpx><Placemark/></gpx>",
    "<kml:foo xmlns:kml=\"x\"/>",
    "<!DOCTYPE kml><kml><Placemark><Point><coordinates>1,2</coordinates></Point></Placemark></kml>",
    "<kml><Placemark></kml>",
};

// Damages `text` with a few edits of the kinds that change how XML reads.
std::string Damage(std::string text, std::mt19937& random)
{
    static const std::vector<std::string> kPieces = {"<",         ">",     "/",
                                                     "&",         ";",     "\"",
                                                     "'",         "=",     " ",
                                                     "\r",        "\n",    "\t",
                                                     "!",         "-",     "[",
                                                     "]",         "?",     "#",
                                                     "x",         "<!--",  "-->",
                                                     "<![CDATA[", "]]>",   "&amp;",
                                                     "&#13;",     "&#x9;", "&lt;",
                                                     "</a>",      "<a>",   "<name>",
                                                     "</name>",   "\x01",  "\xE4\xB8\xAD",
                                                     "&#0;",      "<?x?>"};
    const int edits = 1 + static_cast<int>(random() % 3);
    for (int e = 0; e < edits && !text.empty(); ++e) {
        const std::size_t at = random() % text.size();
        switch (random() % 3) {
        case 0:
            text.erase(at, 1 + random() % 3);
            break;
        case 1:
            text.insert(at, kPieces[random() % kPieces.size()]);
            break;
        default: {
            const std::size_t from = random() % text.size();
            text.insert(at, text.substr(from, random() % 24));
        }
        }
    }
    return text;
}

} // namespace

TEST(ExtractionInPlace, GpxGivesWhatTheLoadedDocumentGives)
{
    const std::vector<bool> inPlace = {true, true, true, false, false, false, false, false, false};
    for (std::size_t i = 0; i < kGpxFiles.size(); ++i) {
        SCOPED_TRACE(i);
        for (bool append : {false, true}) {
            const GpxExportOptions options{.append = append};
            const Outcome loaded = GpxLoaded(kGpxFiles[i], options);
            const Outcome read = GpxInPlace(kGpxFiles[i], options);
            EXPECT_EQ(read, loaded);
            EXPECT_EQ(read.inPlace, inPlace[i]);
        }
    }
    // The first file has points of every kind and points left out, each file partial.
    const Outcome first = GpxInPlace(kGpxFiles[0], {});
    EXPECT_EQ(first.written.size(), 3u);
    EXPECT_EQ(first.targets.size(), 3u);
    EXPECT_FALSE(first.skipped.empty());
}

TEST(ExtractionInPlace, KmlGivesWhatTheLoadedDocumentGives)
{
    const std::vector<bool> inPlace = {true, true, false, false, false, false};
    for (std::size_t i = 0; i < kKmlFiles.size(); ++i) {
        SCOPED_TRACE(i);
        for (bool append : {false, true}) {
            const KmlExportOptions options{.append = append};
            const Outcome loaded = KmlLoaded(kKmlFiles[i], options);
            const Outcome read = KmlInPlace(kKmlFiles[i], options);
            EXPECT_EQ(read, loaded);
            EXPECT_EQ(read.inPlace, inPlace[i]);
        }
    }
    const Outcome first = KmlInPlace(kKmlFiles[0], {.lines = false});
    EXPECT_EQ(first.written.size(), 2u);
    EXPECT_FALSE(first.skipped.empty());
}

// Damaged files: whatever the cursor reads itself must read as the document reads it, and
// what it leaves to the document is decided there.
TEST(ExtractionInPlace, DamagedFilesGiveWhatTheLoadedDocumentGives)
{
    std::mt19937 random(20240501);
    int readInPlace = 0;
    for (int round = 0; round < 400; ++round) {
        const bool gpx = round % 2 == 0;
        const std::vector<std::string>& files = gpx ? kGpxFiles : kKmlFiles;
        const std::string text = Damage(files[random() % 2], random);
        SCOPED_TRACE(testing::Message() << "round " << round << ": " << text);
        const Outcome read = gpx ? GpxInPlace(text, {}) : KmlInPlace(text, {});
        const Outcome loaded = gpx ? GpxLoaded(text, {}) : KmlLoaded(text, {});
        ASSERT_EQ(read, loaded);
        readInPlace += read.inPlace ? 1 : 0;
    }
    // Most damage leaves plain XML or XML that is not well-formed; both ways must be tried.
    EXPECT_GT(readInPlace, 20);
    EXPECT_LT(readInPlace, 380);
}

TEST(BlnInBlocks, StreamedTextIsTheTextReadWhole)
{
    TempDir dir;
    // More than a block of lines, with every kind of line end and a polygon cut short.
    std::string bln;
    for (int p = 0; p < 600; ++p) {
        bln += "150,1,\"P" + std::to_string(p) + "\"\r\n";
        for (int v = 0; v < 150; ++v)
            bln += "104." + std::to_string(p * 150 + v) + ",30." + std::to_string(v) +
                   (v % 3 == 0   ? "\r\n"
                    : v % 3 == 1 ? "\n"
                                 : "\r");
    }
    bln += "5,1\n1,2\n";
    Spit(dir.File("a.bln"), bln);
    const BlnFileText whole = ReadBlnFile(dir.File("a.bln"));
    ASSERT_GT(whole.text.size(), std::size_t{1} << 20);
    BlnFile file;
    ASSERT_TRUE(file.Open(dir.File("a.bln")));
    EXPECT_EQ(file.Summary().polygons, whole.polygons);
    EXPECT_EQ(file.Summary().vertices, 90001);
    ASSERT_EQ(file.Summary().findings.size(), 1u);
    std::string streamed;
    int pieces = 0;
    file.WriteText([&](std::string_view lines) {
        EXPECT_EQ(lines.back(), '\n');
        streamed.append(lines);
        ++pieces;
        return true;
    });
    EXPECT_EQ(streamed, whole.text);
    EXPECT_GT(pieces, 1);

    // Written in blocks, the file is what the whole text writes, appended to GBK text too.
    for (const auto encoding :
         {carvento::tables::TextEncoding::Gbk, carvento::tables::TextEncoding::Utf8}) {
        Spit(dir.File("whole.txt"), "\xB5\xE3\r\n");
        Spit(dir.File("blocks.txt"), "\xB5\xE3\r\n");
        ASSERT_TRUE(WriteTextFile(dir.File("whole.txt"), "序号", whole.text + "名,1,2\n", true,
                                  {encoding}));
        TextFileWriter writer;
        ASSERT_TRUE(writer.Open(dir.File("blocks.txt"), "序号", true, {encoding}));
        ASSERT_TRUE(file.WriteText([&](std::string_view lines) { return writer.Write(lines); }));
        ASSERT_TRUE(writer.Write("名,1,2\n"));
        ASSERT_TRUE(writer.Finish());
        const auto files = dir.Files("a.bln");
        EXPECT_EQ(files.at("blocks.txt"), files.at("whole.txt"));
    }
    // A writer that stops early leaves the target as it was.
    TextFileWriter stopped;
    ASSERT_TRUE(stopped.Open(dir.File("whole.txt"), "h", false, {}));
    stopped.Write(whole.text);
    stopped.Abandon();
    EXPECT_EQ(dir.Files("a.bln").at("whole.txt").substr(0, 4), "\xB5\xE3\r\n");
}
