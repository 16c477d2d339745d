// Bad inputs of the globe verbs (elevation, dem), run through a real shell against a globe the
// test scripts or an elevation model it writes: what the user sees (exit status, standard error,
// the table) and that every file that was there before a failed run is byte-for-byte as it was.
#include "earth/EarthProtocol.hpp"
#include "earth/ScriptedServer.hpp"
#include "platform/NumberText.hpp"
#include "support/ScratchFolder.hpp"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <vector>

namespace carvento {
namespace {

using testing::ScratchFolder;
using testing::ScriptedServer;

const std::string kKeep = "earlier content\r\n";

struct CliRun {
    int status = -1;
    std::string out;
    std::string err;
};

// The height the scripted globe gives the ground at a position.
double Height(double latitude, double longitude)
{
    return 1000 + 10 * latitude + longitude;
}

std::string Fixed(double value)
{
    return platform::FormatFixed(value, 6);
}

// A globe that answers what carvento-cli asks: ready, windows, camera moves (refusing a latitude
// beyond ±90° or a position that is no number) and the ground under a screen position. From
// move `troubleAtMove` (or terrain query `troubleAtQuery`) on it answers with `trouble`:
// ScriptedServer::kGoAway (it quits) or kNoAnswer (it hangs).
class Globe {
public:
    Globe(const std::string& path, int troubleAtMove, int troubleAtQuery, std::string trouble)
        : m_troubleAtMove(troubleAtMove), m_troubleAtQuery(troubleAtQuery),
          m_trouble(std::move(trouble)),
          m_server(path, [this](const std::string& line) { return Answer(line); })
    {
    }
    int Moves() const { return m_moves; }

private:
    std::optional<std::string> Answer(const std::string& line)
    {
        const std::vector<std::string_view> fields = earth::protocol::SplitFields(line);
        const std::string_view name = fields.empty() ? std::string_view() : fields[0];
        if (name == "INITIALIZED" || name == "ONLINE")
            return "OK 1";
        if (name == "MAINWINDOW" || name == "RENDERWINDOW")
            return "OK 0 0 800 600";
        if (name == "SETCAMERA" && fields.size() == 9) {
            const int move = ++m_moves;
            if (m_troubleAtMove > 0 && move >= m_troubleAtMove)
                return m_trouble;
            const auto latitude = earth::protocol::ParseNumber(fields[1]);
            const auto longitude = earth::protocol::ParseNumber(fields[2]);
            if (!latitude || !longitude || *latitude < -90 || *latitude > 90)
                return "ERR SETCAMERA: the latitude lies outside -90 … 90";
            m_latitude = *latitude;
            m_longitude = *longitude;
            return "OK";
        }
        if (name == "TERRAIN" && fields.size() == 3) {
            const int query = ++m_queries;
            if (m_troubleAtQuery > 0 && query >= m_troubleAtQuery)
                return m_trouble;
            const double latitude = m_latitude + *earth::protocol::ParseNumber(fields[2]);
            const double longitude = m_longitude + *earth::protocol::ParseNumber(fields[1]);
            std::string answer = "OK";
            earth::protocol::AppendNumber(answer, latitude);
            earth::protocol::AppendNumber(answer, longitude);
            earth::protocol::AppendNumber(answer, Height(latitude, longitude));
            return answer + " 1";
        }
        return "ERR unknown request";
    }

    int m_troubleAtMove;
    int m_troubleAtQuery;
    std::string m_trouble;
    std::atomic<int> m_moves{0};
    int m_queries = 0;
    double m_latitude = 0;
    double m_longitude = 0;
    ScriptedServer m_server;
};

class GlobeCatalogue : public ::testing::Test {
protected:
    void SetUp() override
    {
        ::setenv("CARVENTO_EARTH_SOCKET", (folder / "g.sock").c_str(), 1);
        ::setenv("CARVENTO_EARTH_TIMEOUT_MS", "200", 1);
        ::setenv("CARVENTO_PROFILE", (folder / "profile.ini").c_str(), 1);
        points = folder.Write("点.txt", "经度,纬度\n101,31\n102,32\n103,33\n104,34\n105,35\n");
        output = folder.Write("高程.txt", kKeep);
    }
    void TearDown() override { ::unsetenv("CARVENTO_EARTH_TIMEOUT_MS"); }

    // carvento-cli with `arguments` after the shell text `prefix`; standard output to a file of
    // its own unless `redirect` says where (" >>log.txt").
    CliRun Cli(const std::string& arguments, const std::string& prefix = "",
               const std::string& redirect = "") const
    {
        const std::string out = folder / "stdout.txt";
        const std::string err = folder / "stderr.txt";
        std::filesystem::remove(out);
        const std::string command = prefix + std::string(CARVENTO_CLI) + " " + arguments +
                                    (redirect.empty() ? " >'" + out + "'" : redirect) + " 2>'" +
                                    err + "' </dev/null";
        const int raw = std::system(command.c_str());
        CliRun run{WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, ScratchFolder::Read(out),
                   ScratchFolder::Read(err)};
        std::filesystem::remove(out);
        std::filesystem::remove(err);
        return run;
    }

    // Every file in the folder and its bytes.
    std::map<std::string, std::string> Files() const
    {
        std::map<std::string, std::string> files;
        for (const auto& entry : std::filesystem::recursive_directory_iterator(folder.Path()))
            if (entry.is_regular_file())
                files[entry.path().string()] = ScratchFolder::Read(entry.path().string());
        return files;
    }
    void ExpectUnchanged(const std::map<std::string, std::string>& before) const
    {
        const std::map<std::string, std::string> after = Files();
        for (const auto& [path, bytes] : before) {
            ASSERT_TRUE(after.count(path)) << path << " is gone";
            EXPECT_EQ(bytes, after.at(path)) << path << " changed";
        }
    }

    // The 高程 column of a table.
    static std::vector<std::string> Heights(const std::string& table)
    {
        std::vector<std::string> heights;
        std::size_t start = table.find("\r\n");
        while (start != std::string::npos && start + 2 < table.size()) {
            const std::size_t end = table.find("\r\n", start + 2);
            const std::string line = table.substr(start + 2, end - start - 2);
            heights.push_back(line.substr(line.rfind(',') + 1));
            start = end;
        }
        return heights;
    }

    ScratchFolder folder;
    std::string points;
    std::string output;
};

TEST_F(GlobeCatalogue, ARefusedMoveIsNoHeightAndTheOthersTheirOwn)
{
    Globe globe(folder / "g.sock", 0, 0, "");
    folder.Write("点.txt", "经度,纬度\n101,31\n102,95\n103,nan\n104,34\n");
    const CliRun run = Cli("elevation --interval 0 --encoding utf-8 '" + points + "'");
    EXPECT_EQ(0, run.status) << run.err;
    EXPECT_EQ(std::vector<std::string>({Fixed(Height(31, 101)), "无高程", "无高程",
                                        Fixed(Height(34, 104))}),
              Heights(run.out))
        << run.out;
    EXPECT_NE(std::string::npos, run.err.find("Google Earth拒绝飞往2个点(第2,3行)")) << run.err;
    EXPECT_NE(std::string::npos,
              run.err.find("2 point(s) without an elevation (无高程), 2 of them refused"))
        << run.err;
}

TEST_F(GlobeCatalogue, AGlobeThatQuitsListsWhatIsNotDone)
{
    struct Row {
        const char* name;
        std::string arguments;
        int troubleAtMove;
        int troubleAtQuery;
        const char* said;
        std::vector<std::string> partial; // the 高程 column written beside the output
    };
    const std::vector<Row> rows = {
        {"elevation, at the third point",
         "elevation --interval 0 --encoding utf-8 -o '" + output + "' '" + points + "'",
         3,
         0,
         "与Google Earth的连接已断开,任务中止:第3至5行未获取高程!",
         {Fixed(Height(31, 101)), Fixed(Height(32, 102)), "", "", ""}},
        {"dem, at the third grid point",
         "dem --x 1000 --y 1000 --encoding utf-8 -o '" + output + "'",
         0,
         3,
         "与Google Earth的连接已断开,任务中止:第3至4个网格点未采样!",
         {Fixed(Height(-1, -1)), Fixed(Height(1, -1))}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        std::filesystem::remove(folder / "高程_不完整.txt");
        const auto before = Files();
        CliRun run;
        {
            Globe globe(folder / "g.sock", row.troubleAtMove, row.troubleAtQuery,
                        ScriptedServer::kGoAway);
            run = Cli(row.arguments);
        }
        std::filesystem::remove(folder / "g.sock");
        EXPECT_EQ(1, run.status);
        EXPECT_NE(std::string::npos, run.err.find(row.said)) << run.err;
        EXPECT_NE(std::string::npos,
                  run.err.find("结果不完整,已写入 " + folder / "高程_不完整.txt" + ",原有的 " +
                               output + " 未改动"))
            << run.err;
        ExpectUnchanged(before);
        EXPECT_EQ(row.partial, Heights(ScratchFolder::Read(folder / "高程_不完整.txt")));
    }
}

TEST_F(GlobeCatalogue, AGlobeThatHangsStopsTheTaskAfterTwoTimeOuts)
{
    const auto before = Files();
    Globe globe(folder / "g.sock", 3, 0, ScriptedServer::kNoAnswer);
    const CliRun run = Cli("elevation --interval 0 -o '" + output + "' '" + points + "'");
    EXPECT_EQ(1, run.status);
    EXPECT_NE(std::string::npos,
              run.err.find("Google Earth没有响应,任务已停止:第3至5行未获取高程!"))
        << run.err;
    // The third point was asked twice, and nothing after it.
    EXPECT_EQ(4, globe.Moves());
    ExpectUnchanged(before);
}

#if defined(__SANITIZE_ADDRESS__)
constexpr bool kUnderAddressSanitizer = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool kUnderAddressSanitizer = true;
#else
constexpr bool kUnderAddressSanitizer = false;
#endif
#else
constexpr bool kUnderAddressSanitizer = false;
#endif

TEST_F(GlobeCatalogue, ElevationModelsThatCannotBeUsedAreRefused)
{
    const std::string grid = folder.Write("dem.asc", "ncols 3\nnrows 3\nxllcorner 100\n"
                                                     "yllcorner 30\ncellsize 2\n"
                                                     "1 2 3\n4 5 6\n7 8 9\n");
    const std::string cut = folder / "cut.tif";
    ASSERT_EQ(0, std::system(("gdal_translate -q -ot Float32 -a_srs EPSG:4326 '" + grid + "' '" +
                              cut + "' >/dev/null")
                                 .c_str()));
    std::filesystem::resize_file(cut, std::filesystem::file_size(cut) - 30);
    const std::string huge = folder / "strip.tif";
    ASSERT_EQ(0, std::system(("gdal_create -of GTiff -outsize 2147483647 1 -ot Float32 -a_srs "
                              "EPSG:4326 -a_ullr 100 40 110 30 -co SPARSE_OK=YES '" +
                              huge + "' >/dev/null")
                                 .c_str()));
    const std::string fifo = folder / "pipe.tif";
    ASSERT_EQ(0, ::mkfifo(fifo.c_str(), 0600));

    struct Row {
        const char* name;
        std::string model;
        std::string prefix;
        std::string said;
    };
    const std::vector<Row> rows = {
        {"cells beyond the end of the file", cut, "", "cannot read the elevation model " + cut},
        // Under a 1 GB address space: reading the 8 GiB strip could not even start. (The
        // address sanitizer reserves terabytes of shadow memory and cannot run under a limit.)
        {"one strip of 2^31 - 1 cells", huge, kUnderAddressSanitizer ? "" : "ulimit -v 1000000; ",
         "is stored in blocks of 2147483647 × 1 cells (8192 MiB each), more than the 64 MiB"},
        // Opened, it would block until something writes to it; `timeout` ends a hung run.
        {"a FIFO", fifo, "timeout 60 ", fifo + " is not a regular file"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const auto before = Files();
        const CliRun run = Cli(
            "elevation --dem '" + row.model + "' -o '" + output + "' '" + points + "'", row.prefix);
        EXPECT_EQ(1, run.status);
        EXPECT_NE(std::string::npos, run.err.find(row.said)) << run.err;
        EXPECT_EQ("", run.out);
        ExpectUnchanged(before);
    }
}

TEST_F(GlobeCatalogue, APointFileReadOnlyInPartFliesNothing)
{
    Globe globe(folder / "g.sock", 0, 0, "");
    folder.Write("点.txt", "101,31\n102,32\n103\n104,34\n");
    const auto before = Files();
    const CliRun run =
        Cli("elevation --interval 0 --columns 0,1,2 -o '" + output + "' '" + points + "'");
    EXPECT_EQ(1, run.status);
    EXPECT_NE(std::string::npos, run.err.find("第3行数据不足")) << run.err;
    EXPECT_EQ(0, globe.Moves());
    ExpectUnchanged(before);
}

// --columns that names no columns is a usage error (status 2), whether or not a globe is there
// to fly to: no point is flown, nothing is written and no exception reaches the user.
TEST_F(GlobeCatalogue, ColumnsThatAreNoColumnNumbersAreAUsageError)
{
    const struct {
        const char* name;
        const char* columns;
        const char* said;
    } rows[] = {
        {"a letter", "1,x", "expected 1-based column numbers such as 1,2,3"},
        {"an empty piece", "1,,2", "expected 1-based column numbers such as 1,2,3"},
        {"a negative number", "-1,1,2", "expected 1-based column numbers such as 1,2,3"},
        {"the lowest int", "-2147483648,1,2", "expected 1-based column numbers such as 1,2,3"},
        {"a sign", "+1,2", "expected 1-based column numbers such as 1,2,3"},
        {"beyond int", "2147483648,1", "column number 2147483648 is out of range"},
        {"beyond long long", "1,99999999999999999999",
         "column number 99999999999999999999 is out of range"},
    };
    for (const bool withGlobe : {true, false}) {
        std::optional<Globe> globe;
        if (withGlobe)
            globe.emplace(folder / "g.sock", 0, 0, "");
        for (const auto& row : rows) {
            SCOPED_TRACE(std::string(row.name) + (withGlobe ? ", a globe running" : ", no globe"));
            const auto before = Files();
            const CliRun run = Cli(std::string("elevation --interval 0 --columns ") + row.columns +
                                   " -o '" + output + "' '" + points + "'");
            EXPECT_EQ(2, run.status) << run.err;
            EXPECT_NE(std::string::npos, run.err.find(std::string("--columns: ") + row.said))
                << run.err;
            EXPECT_EQ("", run.out);
            ExpectUnchanged(before);
        }
        if (globe) {
            EXPECT_EQ(0, globe->Moves());
        }
    }
}

TEST_F(GlobeCatalogue, StandardOutputIsAppendedToNotReplaced)
{
    Globe globe(folder / "g.sock", 0, 0, "");
    const std::string log = folder.Write("log.txt", kKeep);
    for (const std::string& target : {std::string(), std::string("-o - ")}) {
        SCOPED_TRACE(target);
        const std::string earlier = ScratchFolder::Read(log);
        const CliRun run =
            Cli("elevation --interval 0 --encoding utf-8 " + target + "'" + points + "'", "",
                " >>'" + log + "'");
        EXPECT_EQ(0, run.status) << run.err;
        const std::string now = ScratchFolder::Read(log);
        ASSERT_TRUE(now.starts_with(earlier));
        const std::string table = now.substr(earlier.size());
        EXPECT_TRUE(table.starts_with("经度,纬度,高程\r\n101,31,")) << table;
        EXPECT_EQ(5u, Heights(table).size());
        EXPECT_EQ(Fixed(Height(35, 105)), Heights(table).back());
    }
    EXPECT_TRUE(ScratchFolder::Read(log).starts_with(kKeep));
}

TEST_F(GlobeCatalogue, AnOutputThatIsTheInputIsRefused)
{
    Globe globe(folder / "g.sock", 0, 0, "");
    const auto before = Files();
    const CliRun run = Cli("elevation --interval 0 -o '" + points + "' '" + points + "'");
    EXPECT_EQ(1, run.status);
    EXPECT_NE(std::string::npos, run.err.find(points)) << run.err;
    EXPECT_EQ(0, globe.Moves());
    ExpectUnchanged(before);
}

} // namespace
} // namespace carvento
