// GPX and BLN files as they come from receivers and other programs (tests/data/field), through
// carvento-cli: what gpx2txt takes from a GPX is compared point by point with what gpsbabel and
// GDAL read from the same file, every GPX txt2gpx writes is checked against the GPX 1.1 schema
// with xmllint, and each file's summary line is held against what the peers count.
#include "support/ScratchFolder.hpp"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <vector>

namespace {

using carvento::testing::ScratchFolder;
namespace fs = std::filesystem;

const std::string kField = std::string(CARVENTO_TEST_DATA) + "/field/";
const std::string kSchema = std::string(CARVENTO_TEST_DATA) + "/gpx-1.1.xsd";

struct ShellRun {
    int status = -1;
    std::string out;
    std::string err;
};

std::string Q(const std::string& arg)
{
    std::string quoted = "'";
    for (char c : arg)
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

ShellRun Shell(const std::string& command, const ScratchFolder& folder)
{
    const std::string err = folder / "stderr.log";
    ShellRun run;
    std::FILE* pipe = ::popen((command + " 2>" + Q(err) + " </dev/null").c_str(), "r");
    if (!pipe)
        return run;
    char buffer[4096];
    for (std::size_t got = 0; (got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;)
        run.out.append(buffer, got);
    const int status = ::pclose(pipe);
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    run.err = ScratchFolder::Read(err);
    return run;
}

// The oracles are installed by scripts/bootstrap; without one the comparison cannot be made.
bool OnPath(const std::string& program)
{
    return std::system(("command -v " + program + " >/dev/null 2>&1").c_str()) == 0;
}

// RFC 4180 lines: quoted fields with doubled quotes; CR LF or LF.
std::vector<std::vector<std::string>> CsvLines(const std::string& text)
{
    std::vector<std::vector<std::string>> lines;
    std::stringstream in(text);
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        std::vector<std::string> fields(1);
        bool quoted = false;
        for (std::size_t i = 0; i < line.size(); ++i) {
            const char c = line[i];
            if (c == '"' && quoted && i + 1 < line.size() && line[i + 1] == '"')
                fields.back() += line[++i];
            else if (c == '"')
                quoted = !quoted;
            else if (c == ',' && !quoted)
                fields.emplace_back();
            else
                fields.back() += c;
        }
        lines.push_back(line.empty() ? std::vector<std::string>{} : fields);
    }
    return lines;
}

// A peer's table: rows by column name.
using Record = std::map<std::string, std::string>;

std::vector<Record> Records(const std::string& csv)
{
    std::vector<Record> records;
    const auto lines = CsvLines(csv);
    for (std::size_t i = 1; i < lines.size(); ++i) {
        Record record;
        for (std::size_t c = 0; c < lines[0].size() && c < lines[i].size(); ++c)
            record[lines[0][c]] = lines[i][c];
        if (!lines[i].empty())
            records.push_back(record);
    }
    return records;
}

std::vector<Record> Ogr(const std::string& gpx, const std::string& layer, const ScratchFolder& f)
{
    const ShellRun run =
        Shell("ogr2ogr -f CSV /vsistdout/ " + Q(gpx) + " " + layer + " -lco GEOMETRY=AS_XY", f);
    EXPECT_EQ(0, run.status) << run.err;
    return Records(run.out);
}

std::vector<Record> Babel(const std::string& gpx, const std::string& kind, const ScratchFolder& f)
{
    const ShellRun run = Shell("gpsbabel " + kind + " -i gpx -f " + Q(gpx) + " -o unicsv -F -", f);
    EXPECT_EQ(0, run.status) << run.err;
    return Records(run.out);
}

// One of our text files: its lines after the header, groups split at empty lines.
std::vector<std::vector<std::vector<std::string>>> Groups(const std::string& path)
{
    std::vector<std::vector<std::vector<std::string>>> groups(1);
    const auto lines = CsvLines(ScratchFolder::Read(path));
    for (std::size_t i = 1; i < lines.size(); ++i) {
        if (lines[i].empty() && !groups.back().empty())
            groups.emplace_back();
        else if (!lines[i].empty())
            groups.back().push_back(lines[i]);
    }
    if (groups.back().empty())
        groups.pop_back();
    return groups;
}

// The same number, or both empty (no elevation).
void ExpectSame(const std::string& ours, const std::string& theirs, double tolerance,
                const std::string& what)
{
    if (ours.empty() || theirs.empty()) {
        EXPECT_EQ(ours, theirs) << what;
        return;
    }
    EXPECT_NEAR(std::stod(ours), std::stod(theirs), tolerance) << what << ": " << ours;
}

std::size_t Distinct(const std::vector<Record>& records, std::initializer_list<const char*> keys)
{
    std::set<std::string> seen;
    for (const Record& record : records) {
        std::string key;
        for (const char* k : keys)
            key += record.at(k) + "/";
        seen.insert(key);
    }
    return seen.size();
}

// The summary line of a file as GDAL counts what it holds.
std::string PeerSummary(const std::string& name, const std::string& gpx, const ScratchFolder& f)
{
    const std::vector<Record> rtept = Ogr(gpx, "route_points", f);
    const std::vector<Record> trkpt = Ogr(gpx, "track_points", f);
    const std::size_t tracks = Ogr(gpx, "tracks", f).size();
    const std::size_t segments = Distinct(trkpt, {"track_fid", "track_seg_id"});
    std::string summary = name + ": " + std::to_string(Ogr(gpx, "waypoints", f).size()) +
                          " 航点, " + std::to_string(Distinct(rtept, {"route_fid"})) + " 航线 (" +
                          std::to_string(rtept.size()) + " 点), " + std::to_string(tracks) +
                          " 航迹 (";
    if (segments > tracks)
        summary += std::to_string(segments) + " 段, ";
    return summary + std::to_string(trkpt.size()) + " 点); 跳过 0";
}

class FieldGpxBln : public ::testing::Test {
protected:
    void SetUp() override
    {
        for (const char* program : {"gpsbabel", "ogr2ogr", "xmllint"})
            ASSERT_TRUE(OnPath(program)) << program << " is missing: run scripts/bootstrap";
    }
    ShellRun Cli(const std::string& arguments) const
    {
        return Shell(std::string(CARVENTO_CLI) + " " + arguments, folder);
    }
    ScratchFolder folder;
};

// The lines of all groups, one after the other.
std::vector<std::vector<std::string>>
Flat(const std::vector<std::vector<std::vector<std::string>>>& groups)
{
    std::vector<std::vector<std::string>> lines;
    for (const auto& group : groups)
        lines.insert(lines.end(), group.begin(), group.end());
    return lines;
}

TEST_F(FieldGpxBln, GpxPointsAreThoseGpsbabelAndGdalRead)
{
    for (const std::string name : {"out-of-order", "segments"}) {
        SCOPED_TRACE(name);
        const std::string gpx = kField + name + ".gpx";
        const ShellRun run =
            Cli("gpx2txt --encoding utf-8 -o " + Q(folder / (name + ".txt")) + " " + Q(gpx));
        ASSERT_EQ(0, run.status) << run.err;
        const std::string base = folder / name;

        // Waypoints: every child read wherever it stands; no name is NONAME.
        const std::vector<Record> wpt = Ogr(gpx, "waypoints", folder);
        const std::vector<Record> babelWpt = Babel(gpx, "-w", folder);
        const auto points = Flat(Groups(base + "_航点.txt"));
        ASSERT_EQ(wpt.size(), points.size());
        ASSERT_EQ(babelWpt.size(), points.size());
        for (std::size_t i = 0; i < points.size(); ++i) {
            const std::vector<std::string>& p = points[i];
            ASSERT_EQ(5u, p.size());
            EXPECT_EQ(wpt[i].at("name").empty() ? "NONAME" : wpt[i].at("name"), p[0]);
            ExpectSame(p[1], wpt[i].at("Y"), 1e-9, "latitude");
            ExpectSame(p[2], wpt[i].at("X"), 1e-9, "longitude");
            ExpectSame(p[1], babelWpt[i].at("Latitude"), 1e-6, "latitude");
            ExpectSame(p[2], babelWpt[i].at("Longitude"), 1e-6, "longitude");
            ExpectSame(p[3], wpt[i].at("ele"), 1e-9, "elevation");
            EXPECT_EQ(wpt[i].at("desc"), p[4]);
        }

        // Routes: one group per route, its points named as the GPX names them. Tracks: one
        // group per segment, the points numbered on through the segments of a track.
        const std::vector<Record> rtept = Ogr(gpx, "route_points", folder);
        const std::vector<Record> babelRte = Babel(gpx, "-r", folder);
        const std::vector<Record> trkpt = Ogr(gpx, "track_points", folder);
        const std::vector<Record> babelTrk = Babel(gpx, "-t", folder);
        const std::vector<Record> tracks = Ogr(gpx, "tracks", folder);
        ASSERT_EQ(babelRte.size(), rtept.size());
        ASSERT_EQ(babelTrk.size(), trkpt.size());
        for (const bool route : {true, false}) {
            const std::vector<Record>& theirs = route ? rtept : trkpt;
            const std::vector<Record>& babel = route ? babelRte : babelTrk;
            const auto groups = Groups(base + (route ? "_航线.txt" : "_航迹.txt"));
            std::size_t at = 0;
            std::string previous;
            for (const auto& group : groups) {
                for (const std::vector<std::string>& p : group) {
                    ASSERT_LT(at, theirs.size());
                    const Record& t = theirs[at];
                    const std::string part = route ? t.at("route_fid")
                                                   : t.at("track_fid") + "/" + t.at("track_seg_id");
                    if (&p == &group.front())
                        EXPECT_NE(previous, part) << "a group is a route or segment of its own";
                    else
                        EXPECT_EQ(previous, part) << "a route or segment is one group";
                    previous = part;
                    if (route) {
                        EXPECT_EQ(t.at("name"), p[0]);
                        EXPECT_EQ(babel[at].at("Name"), p[0]);
                    } else {
                        int k = 1;
                        for (std::size_t j = 0; j < at; ++j)
                            k += theirs[j].at("track_fid") == t.at("track_fid");
                        EXPECT_EQ(tracks.at(std::stoul(t.at("track_fid"))).at("name") + "-" +
                                      std::to_string(k),
                                  p[0]);
                        ExpectSame(p[3], t.at("ele"), 1e-9, "elevation");
                        ExpectSame(p[3], babel[at].at("Altitude"), 1e-9, "elevation");
                    }
                    ExpectSame(p[1], t.at("Y"), 1e-9, "latitude");
                    ExpectSame(p[2], t.at("X"), 1e-9, "longitude");
                    ExpectSame(p[1], babel[at].at("Latitude"), 1e-6, "latitude");
                    ExpectSame(p[2], babel[at].at("Longitude"), 1e-6, "longitude");
                    ++at;
                }
            }
            EXPECT_EQ(theirs.size(), at);
        }

        // The summary counts what the peers count.
        EXPECT_EQ(PeerSummary(name + ".gpx", gpx, folder) + "\n", run.err);
    }
}

TEST_F(FieldGpxBln, AGpxWithNothingToConvertIsReportedAndWritesNothing)
{
    // Metadata, a route without points and a track with an empty segment.
    const std::string gpx = kField + "nothing.gpx";
    for (const char* kind : {"-w", "-r", "-t"})
        EXPECT_TRUE(Babel(gpx, kind, folder).empty()) << kind;
    for (const char* layer : {"waypoints", "route_points", "track_points"})
        EXPECT_TRUE(Ogr(gpx, layer, folder).empty()) << layer;
    const ShellRun run = Cli("gpx2txt -o " + Q(folder / "n.txt") + " " + Q(gpx));
    EXPECT_EQ(1, run.status);
    EXPECT_NE(std::string::npos, run.err.find(gpx + " 未找到可转换的数据!")) << run.err;
    // Waypoints only, with waypoints turned off, is nothing either.
    const std::string points = kField + "segments.gpx";
    EXPECT_EQ(
        1,
        Cli("gpx2txt --no-routes --no-tracks -o " + Q(folder / "s.txt") + " " + Q(points)).status);
    for (const auto& entry : fs::directory_iterator(folder.Path()))
        EXPECT_EQ("stderr.log", entry.path().filename()) << "nothing is written";
    // A text file whose rows have no latitude makes no GPX either.
    const ShellRun text =
        Cli("txt2gpx " + Q(folder.Write("blank.txt", "名称,纬度,经度\n分隔,,\n,,114\n")));
    EXPECT_EQ(1, text.status);
    EXPECT_NE(std::string::npos, text.err.find("blank.txt 未找到可转换的数据!")) << text.err;
    EXPECT_FALSE(fs::exists(folder / "blank.gpx"));
}

TEST_F(FieldGpxBln, PointsWithoutAPositionAreNamedAndKeepTheEarlierOutput)
{
    // gpsbabel makes up 0 for what is missing and GDAL drops some of these points; the text
    // keeps the points gpsbabel read where the file says, names the others and exits 1.
    const std::string gpx = folder.Write(
        "bad.gpx", "<gpx xmlns=\"http://www.topografix.com/GPX/1/1\" version=\"1.1\" creator=\"x\">"
                   "<wpt lat=\"30.1\" lon=\"114.1\"><name>A</name></wpt>"
                   "<wpt lat=\"30.2\"><name>B</name></wpt>"
                   "<wpt lat=\"abc\" lon=\"114.3\"><name>C</name></wpt>"
                   "<wpt lat=\"30.4\" lon=\"114.4\"><name>D</name></wpt></gpx>");
    const std::string earlier = folder.Write("bad_航点.txt", "complete earlier output\r\n");
    const ShellRun run = Cli("gpx2txt --encoding utf-8 " + Q(gpx));
    EXPECT_EQ(1, run.status);
    EXPECT_NE(std::string::npos, run.err.find("跳过 第2个航点 B: 缺少经度(lon)")) << run.err;
    EXPECT_NE(std::string::npos, run.err.find("跳过 第3个航点 C: 纬度(lat)\"abc\"不是数字"));
    EXPECT_NE(std::string::npos,
              run.err.find("bad.gpx: 2 航点, 0 航线 (0 点), 0 航迹 (0 点); 跳过 2"));
    EXPECT_EQ("complete earlier output\r\n", ScratchFolder::Read(earlier));
    const auto points = Flat(Groups(folder / "bad_航点_不完整.txt"));
    const std::vector<Record> babel = Babel(gpx, "-w", folder);
    ASSERT_EQ(2u, points.size());
    for (const std::vector<std::string>& p : points) {
        int same = 0;
        for (const Record& b : babel)
            same += b.at("Name") == p[0] && std::stod(b.at("Latitude")) == std::stod(p[1]) &&
                    std::stod(b.at("Longitude")) == std::stod(p[2]);
        EXPECT_EQ(1, same) << p[0];
    }
}

// A coordinate text file with waypoints, routes and remarks, names with markup characters and
// Chinese, and one with three columns.
constexpr const char* kSurvey = "名称,纬度,经度,备注\n"
                                "J1 <井>,30.5612,114.3023,A&B \"桥\"\n"
                                "J2,30.5620,114.3031,\n"
                                "\n"
                                "R&D-1,-12.5,-77.25,利马\n"
                                "R&D-2,-12.6,-77.3,>\n";
constexpr const char* kMore = "点名,纬度,经度\nQ1,31.1,121.4\nQ2,31.2,121.5\n";

TEST_F(FieldGpxBln, EveryGpxWeWriteIsValidGpx11)
{
    folder.Write("survey.txt", kSurvey);
    folder.Write("more.txt", kMore);
    const std::string inputs = Q(folder / "more.txt") + " " + Q(folder / "survey.txt");
    const ShellRun separate = Cli("txt2gpx --tracks --close " + inputs);
    ASSERT_EQ(0, separate.status) << separate.err;
    const ShellRun merged =
        Cli("txt2gpx --tracks --close --merge " + Q(folder / "all.gpx") + " " + inputs);
    ASSERT_EQ(0, merged.status) << merged.err;
    ASSERT_EQ(0,
              Cli("txt2gpx --no-routes --merge " + Q(folder / "points.gpx") + " " + inputs).status);
    for (const char* name : {"survey.gpx", "more.gpx", "all.gpx", "points.gpx"}) {
        const ShellRun check = Shell(
            "xmllint --noout --nonet --schema " + Q(kSchema) + " " + Q(folder / name), folder);
        EXPECT_EQ(0, check.status) << name << "\n" << check.err;
    }

    // The merged file holds what the separate ones hold, and says so per input.
    for (const char* layer : {"waypoints", "route_points", "track_points"}) {
        const std::size_t both = Ogr(folder / "more.gpx", layer, folder).size() +
                                 Ogr(folder / "survey.gpx", layer, folder).size();
        EXPECT_EQ(both, Ogr(folder / "all.gpx", layer, folder).size()) << layer;
        EXPECT_GT(both, 0u) << layer;
    }
    const std::vector<Record> names = Ogr(folder / "all.gpx", "waypoints", folder);
    EXPECT_EQ("J1 <井>", names.at(2).at("name"));
    EXPECT_EQ("A&B \"桥\"", names.at(2).at("desc"));
    EXPECT_EQ(separate.err, merged.err);
    EXPECT_NE(std::string::npos,
              merged.err.find(PeerSummary("survey.txt", folder / "survey.gpx", folder)))
        << merged.err;

    // The check fails a file out of the order GPX 1.1 gives its kinds (a merge before).
    const std::string disordered = folder.Write(
        "disordered.gpx",
        "<gpx xmlns=\"http://www.topografix.com/GPX/1/1\" version=\"1.1\" creator=\"x\">"
        "<rte><rtept lat=\"1\" lon=\"2\"/></rte><wpt lat=\"1\" lon=\"2\"/></gpx>");
    EXPECT_NE(0,
              Shell("xmllint --noout --nonet --schema " + Q(kSchema) + " " + Q(disordered), folder)
                  .status);
}

TEST_F(FieldGpxBln, BlnCountsWrittenWithDecimals)
{
    const ShellRun run = Cli("bln2txt --encoding utf-8 -o " + Q(folder / "lake.txt") + " " +
                             Q(kField + "decimal-counts.bln"));
    ASSERT_EQ(0, run.status) << run.err;
    EXPECT_EQ("decimal-counts.bln: 3 多边形 (9 点); 跳过 0\n", run.err);
    EXPECT_EQ("序号,纬度,经度\r\n1,30.10,114.10\r\n2,30.20,114.20\r\n3,30.10,114.30\r\n\r\n"
              "1,30.40,114.40\r\n2,30.40,114.50\r\n3,30.50,114.50\r\n4,30.40,114.40\r\n\r\n"
              "1,31,115\r\n2,31.1,115.1\r\n\r\n",
              ScratchFolder::Read(folder / "lake.txt"));
    // A file without a polygon is nothing to convert.
    const ShellRun empty = Cli("bln2txt " + Q(folder.Write("empty.bln", "\r\n")));
    EXPECT_EQ(1, empty.status);
    EXPECT_NE(std::string::npos, empty.err.find("empty.bln 未找到可转换的数据!")) << empty.err;
    EXPECT_FALSE(fs::exists(folder / "empty.txt"));
}

} // namespace
