// carvento-cli solve4 and solve7 end to end: the common-point table and the parameter line are
// what the page's 保存公共点 and 保存参数 write, the parameters reach standard error, and too few
// points or a point set that determines nothing is refused with the page's message.
#include "geodesy/Datum.hpp"
#include "geodesy/GaussProjector.hpp"
#include "pages/transform/ParameterPages.hpp"
#include "platform/NumberText.hpp"
#include "platform/Profile.hpp"
#include "support/FakePlatform.hpp"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <sys/wait.h>
#include <unistd.h>

using namespace carvento;

namespace {

struct CliRun {
    int status = -1;
    std::string out;
    std::string err;
};

class SolveCliTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_dir = std::filesystem::temp_directory_path() /
                ("carvento-solve-" + std::to_string(::getpid()) + "-" +
                 ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::create_directories(m_dir);
        ::setenv("CARVENTO_PROFILE", Path("profile.ini").c_str(), 1);
    }
    void TearDown() override { std::filesystem::remove_all(m_dir); }

    std::string Path(const std::string& name) const { return (m_dir / name).string(); }
    std::string Write(const std::string& name, const std::string& bytes) const
    {
        std::ofstream(Path(name), std::ios::binary) << bytes;
        return Path(name);
    }
    static std::string Slurp(const std::string& path)
    {
        std::ifstream in(path, std::ios::binary);
        return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    }
    CliRun Cli(const std::string& arguments) const
    {
        const std::string command = std::string(CARVENTO_CLI) + " " + arguments + " </dev/null >" +
                                    Path("stdout.txt") + " 2>" + Path("stderr.txt");
        CliRun run;
        const int raw = std::system(command.c_str());
        run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
        run.out = Slurp(Path("stdout.txt"));
        run.err = Slurp(Path("stderr.txt"));
        return run;
    }

    std::filesystem::path m_dir;
};

// A pure shift at survey magnitudes: the table with zero residuals, the parameter line in file
// order (DX, DY, K, T), and the same bytes the page writes.
TEST_F(SolveCliTest, Solve4WritesThePointsAndParametersThePageWrites)
{
    const std::string input = Write("points.txt",
                                    "P1,3000000.0000,500000.0000,3000100.0000,499950.0000\r\n"
                                    "P2,3000060.0000,500080.0000,3000160.0000,500030.0000\r\n");
    const CliRun run =
        Cli("solve4 " + input + " -o " + Path("out.txt") + " --save-params " + Path("params.txt"));
    ASSERT_EQ(0, run.status) << run.err;
    EXPECT_EQ("P1,3000000.0000,500000.0000,3000100.0000,499950.0000,0.0000\r\n"
              "P2,3000060.0000,500080.0000,3000160.0000,500030.0000,0.0000\r\n",
              Slurp(Path("out.txt")));
    EXPECT_EQ("100.000000,-50.000000,1.000000000000,0.0000000000\r\n", Slurp(Path("params.txt")));
    EXPECT_EQ("DX=100.000000\nDY=-50.000000\nT=0.0000000000\nK=1.000000000000\n", run.err);

    // The page on the same file.
    carvento::testing::FakePrompter prompter;
    carvento::testing::FakeClipboard clipboard;
    platform::MemoryProfile profile;
    pages::CParams4 page({prompter, clipboard, profile});
    ASSERT_EQ(2, page.Editor().ImportFile(input));
    ASSERT_TRUE(page.SolveCommand());
    ASSERT_TRUE(page.SavePointsToFile(Path("page.txt"), tables::TextEncoding::Gbk));
    ASSERT_TRUE(page.SaveParametersToFile(Path("page-params.txt"), tables::TextEncoding::Gbk));
    EXPECT_EQ(Slurp(Path("page.txt")), Slurp(Path("out.txt")));
    EXPECT_EQ(Slurp(Path("page-params.txt")), Slurp(Path("params.txt")));

    // Without -o the table goes to standard output.
    const CliRun toStdout = Cli("solve4 " + input);
    ASSERT_EQ(0, toStdout.status) << toStdout.err;
    EXPECT_EQ(Slurp(Path("out.txt")), toStdout.out);
}

TEST_F(SolveCliTest, RefusedInputsExitWithOneAndThePagesMessage)
{
    const CliRun one =
        Cli("solve4 " + Write("one.txt", "P1,1,2,3,4\r\n") + " -o " + Path("out.txt"));
    EXPECT_EQ(1, one.status);
    EXPECT_NE(std::string::npos, one.err.find("公共点个数不足2个!")) << one.err;
    EXPECT_FALSE(std::filesystem::exists(Path("out.txt")));

    const CliRun coincident =
        Cli("solve7 " + Write("same.txt", "1,3800000,500000,400,3800100,500000,400\r\n"
                                          "2,3800000,500000,400,3800100,500000,400\r\n"
                                          "3,3800000,500000,400,3800100,500000,400\r\n"));
    EXPECT_EQ(1, coincident.status);
    EXPECT_NE(std::string::npos, coincident.err.find(pages::messages::kNoSolution))
        << coincident.err;

    const CliRun shortLines = Cli("solve7 " + Write("six.txt", "1,2,3,4,5,6\r\n"));
    EXPECT_EQ(1, shortLines.status);
    EXPECT_NE(std::string::npos, shortLines.err.find("行参数不足7个,请检查!")) << shortLines.err;

    EXPECT_EQ(2, Cli("solve7 " + Path("six.txt") + " --from-coords sideways").status);
}

// A seven-column file (identifier, old x, y, z, new x, y, z) on solve4: without --columns it is
// refused with the page's warning naming the columns its fields would fill, and the run says
// how to choose them; with --columns the same points solve as the five-column file does.
TEST_F(SolveCliTest, Solve4TakesTheFileColumnsThatColumnsChooses)
{
    const std::string seven = Write("seven.txt", "P1,3000000,500000,12,3000100,499950,13\r\n"
                                                 "P2,3000060,500080,14,3000160,500030,15\r\n");
    const std::string five = Write("five.txt", "P1,3000000,500000,3000100,499950\r\n"
                                               "P2,3000060,500080,3000160,500030\r\n");
    const CliRun refused = Cli("solve4 " + seven + " -o " + Path("out.txt"));
    EXPECT_EQ(1, refused.status);
    EXPECT_NE(std::string::npos, refused.err.find(pages::FormatMessage(
                                     pages::messages::kPointFileWider, 7,
                                     "序号,老坐标x(m),老坐标y(m),新坐标x(m),新坐标y(m),中误差(m)")))
        << refused.err;
    EXPECT_NE(std::string::npos, refused.err.find("--columns")) << refused.err;
    EXPECT_FALSE(std::filesystem::exists(Path("out.txt")));

    const CliRun plain = Cli("solve4 " + five + " --save-params " + Path("five-params.txt"));
    ASSERT_EQ(0, plain.status) << plain.err;
    const CliRun chosen =
        Cli("solve4 --columns 1,2,3,5,6 " + seven + " --save-params " + Path("seven-params.txt"));
    ASSERT_EQ(0, chosen.status) << chosen.err;
    EXPECT_EQ(plain.err, chosen.err);
    EXPECT_EQ(plain.out, chosen.out);
    EXPECT_EQ(Slurp(Path("five-params.txt")), Slurp(Path("seven-params.txt")));

    // A column the solve reads left without a file column, or not a number: usage errors. A
    // file column the file does not have: refused.
    for (const char* columns : {"1,2,3,0,6", "1,2,3,5", "1,2,3,5,6,7,8", "1,2,x,5,6"})
        EXPECT_EQ(2, Cli(std::string("solve4 --columns ") + columns + " " + seven).status)
            << columns;
    const CliRun beyond = Cli("solve4 --columns 1,2,3,5,9 " + seven);
    EXPECT_EQ(1, beyond.status);
    EXPECT_NE(std::string::npos, beyond.err.find("the file has 7 columns")) << beyond.err;
}

// Side options: geodetic degrees on both sides of one ellipsoid, a shift straight up by 10 m at
// the first point; the seven parameters of three points so moved give zero residuals.
TEST_F(SolveCliTest, Solve3TakesTheSideOptions)
{
    const std::string input =
        Write("geo.txt", "A,34.2,108.9,400,34.2,108.9,410\r\nB,34.2,108.9,500,34.2,108.9,510\r\n");
    const CliRun run = Cli("solve3 " + input +
                           " --from-coords geodetic --to-coords geodetic --to-ellipsoid beijing54"
                           " --from-unit deg --to-unit deg -o " +
                           Path("out.txt"));
    ASSERT_EQ(0, run.status) << run.err;
    EXPECT_EQ(
        "A,34.2,108.9,400,34.2,108.9,410,0.0000\r\nB,34.2,108.9,500,34.2,108.9,510,0.0000\r\n",
        Slurp(Path("out.txt")));
    EXPECT_NE(std::string::npos, run.err.find("DZ=5.62")) << run.err; // 10·sin 34.2°
}

} // namespace

// A survey's whole path on the command line: common points between Beijing 54 plane and
// CGCS2000 geodetic coordinates, generated with known seven parameters; solve7 saves the
// parameters, and transform7 with that file carries the old points onto the new ones.
TEST_F(SolveCliTest, Solve7ThenTransform7ReproducesTheTargets)
{
    geodesy::GaussProjector beijing;
    geodesy::GaussProjector cgcs;
    cgcs.SetEllipsoid(geodesy::kCgcs2000);
    geodesy::SevenParams truth{-15.415, 157.025, 94.74, 1.465, -0.112, -3.547, 2.8};
    geodesy::SevenParamsToInternal(truth);
    const double points[][3] = {{34.20, 104.60, 400.0},
                                {34.75, 105.40, 1210.0},
                                {33.90, 105.10, 655.0},
                                {34.40, 104.95, 820.0},
                                {34.05, 105.65, 300.0}};
    std::string common;
    std::string old;
    std::vector<std::pair<double, double>> targets;
    int id = 1;
    for (const auto& p : points) {
        double x = 0.0, y = 0.0, B = 0.0, L = 0.0, H = 0.0;
        beijing.GaussForward(p[0], p[1], 105.0, 500000.0, x, y);
        geodesy::TransformSevenParams(beijing, cgcs, p[0], p[1], p[2], truth, B, L, H);
        const std::string point = std::to_string(id++) + "," + platform::FormatFixed(x, 6) + "," +
                                  platform::FormatFixed(y, 6) + "," +
                                  platform::FormatFixed(p[2], 6);
        common += point + "," + platform::FormatFixed(B, 12) + "," + platform::FormatFixed(L, 12) +
                  "," + platform::FormatFixed(H, 6) + "\r\n";
        old += point + "\r\n";
        targets.emplace_back(B, L);
    }
    const std::string sides = " --to-ellipsoid cgcs2000 --to-coords geodetic --to-unit deg";
    const CliRun solve = Cli("solve7 " + Write("common.txt", common) + sides + " --save-params " +
                             Path("p7.txt") + " -o " + Path("points.txt"));
    ASSERT_EQ(0, solve.status) << solve.err;
    const CliRun transform = Cli("transform7 --params " + Path("p7.txt") + sides + " " +
                                 Write("old.txt", old) + " --encoding utf-8");
    ASSERT_EQ(0, transform.status) << transform.err;
    std::istringstream lines(transform.out);
    std::string line;
    std::getline(lines, line); // header
    for (const auto& [B, L] : targets) {
        ASSERT_TRUE(std::getline(lines, line));
        std::vector<std::string> fields;
        for (std::size_t start = 0, comma; start <= line.size(); start = comma + 1) {
            comma = line.find(',', start);
            if (comma == std::string::npos)
                comma = line.size();
            fields.push_back(line.substr(start, comma - start));
        }
        ASSERT_GE(fields.size(), 3u) << line;
        // 1e-8 degree is about a millimetre: the parameters are saved to ten decimals.
        EXPECT_NEAR(B, platform::ParseDouble(fields[1]), 2e-8) << line;
        EXPECT_NEAR(L, platform::ParseDouble(fields[2]), 2e-8) << line;
    }
}

// solve4 --proj-pipeline writes the affine step of what it solved and leaves the table and the
// parameter line as they are without it; transform4 --print-proj puts the same step on standard
// error and converts as before; without --params there is nothing to print and it is refused.
TEST_F(SolveCliTest, ProjPipelineBesideTheUsualOutputs)
{
    const std::string input = Write("points.txt",
                                    "P1,3000000.0000,500000.0000,3000100.0000,499950.0000\r\n"
                                    "P2,3000060.0000,500080.0000,3000160.0000,500030.0000\r\n");
    const CliRun plain = Cli("solve4 " + input + " --save-params " + Path("params.txt"));
    ASSERT_EQ(0, plain.status) << plain.err;
    const CliRun run = Cli("solve4 " + input + " --save-params " + Path("params2.txt") +
                           " --proj-pipeline " + Path("pipeline.txt"));
    ASSERT_EQ(0, run.status) << run.err;
    EXPECT_EQ(plain.out, run.out);
    EXPECT_EQ(plain.err, run.err);
    EXPECT_EQ(Slurp(Path("params.txt")), Slurp(Path("params2.txt")));
    // The solved values at full precision: the shift to a nanometre, K 1 and T 0.
    const std::string pipeline = Slurp(Path("pipeline.txt"));
    const std::size_t line = pipeline.find("\n+proj=affine ");
    ASSERT_NE(std::string::npos, line) << pipeline;
    auto value = [&](const std::string& name) {
        const std::size_t at = pipeline.find(" +" + name + "=", line);
        return at == std::string::npos ? -999.0
                                       : std::atof(pipeline.c_str() + at + name.size() + 3);
    };
    const std::pair<const char*, double> expected[] = {{"xoff", 100.0}, {"yoff", -50.0},
                                                       {"s11", 1.0},    {"s12", 0.0},
                                                       {"s21", 0.0},    {"s22", 1.0}};
    for (const auto& [name, number] : expected)
        EXPECT_NEAR(number, value(name), 1e-9) << name;

    const std::string rows = Write("rows.txt", "A,3000000,500000,10\r\n");
    const CliRun converted = Cli("transform4 --params " + Path("params.txt") + " " + rows);
    ASSERT_EQ(0, converted.status) << converted.err;
    const CliRun printed =
        Cli("transform4 --print-proj --params " + Path("params.txt") + " " + rows);
    ASSERT_EQ(0, printed.status) << printed.err;
    EXPECT_EQ(converted.out, printed.out);
    // The parameter file's values.
    EXPECT_NE(std::string::npos, printed.err.find("\n+proj=affine +xoff=100 +yoff=-50 +s11=1 "))
        << printed.err;

    // Without --params there is nothing to convert with, nor to print: a usage error.
    const CliRun none = Cli("transform4 --print-proj " + rows);
    EXPECT_EQ(2, none.status);
    EXPECT_NE(std::string::npos, none.err.find("--params FILE is required")) << none.err;
    EXPECT_EQ("", none.out);
}

// solve4 --report: the quality report in the file and on standard error after the parameters;
// the common-point table is the same as without it.
TEST_F(SolveCliTest, ReportBesideTheUsualOutputs)
{
    const std::string input = Write("points.txt",
                                    "P1,3000000.0000,500000.0000,3000100.0000,499950.0000\r\n"
                                    "P2,3000060.0000,500080.0000,3000160.0000,500030.0000\r\n"
                                    "P3,3000200.0000,499900.0000,3000300.0500,499850.0000\r\n");
    const CliRun plain = Cli("solve4 " + input);
    ASSERT_EQ(0, plain.status) << plain.err;
    const CliRun run = Cli("solve4 --report " + Path("report.txt") + " " + input);
    ASSERT_EQ(0, run.status) << run.err;
    EXPECT_EQ(plain.out, run.out);
    const std::string report = Slurp(Path("report.txt"));
    EXPECT_EQ(0u, report.find("公共点数: 3  多余观测数: 2  单位权中误差σ0: ")) << report;
    EXPECT_NE(std::string::npos, report.find("\nP3\t")) << report;
    EXPECT_EQ(plain.err + report, run.err);

    const CliRun refused = Cli("solve4 --report /nonexistent-folder/r.txt " + input);
    EXPECT_EQ(1, refused.status);
}

// gauss-inverse --meridian auto: the meridian of the zone number in y, said on standard error,
// and the output of that meridian given outright; y without a zone number, or standard input,
// is refused.
TEST_F(SolveCliTest, MeridianAutoTakesTheZoneNumberOfTheData)
{
    const std::string input = Write("xy.txt", "1,3380000.123,38512345.678\r\n"
                                              "2,3381000.000,38500000.000\r\n");
    const CliRun given = Cli("gauss-inverse --meridian 1140000 --unit deg " + input);
    ASSERT_EQ(0, given.status) << given.err;
    const CliRun run = Cli("gauss-inverse --meridian auto --unit deg " + input);
    ASSERT_EQ(0, run.status) << run.err;
    EXPECT_EQ(given.out, run.out);
    EXPECT_NE(std::string::npos, run.err.find("y 带号 38: 1140000 (3°带, 114°)")) << run.err;

    const std::string plain = Write("plain.txt", "1,3380000.123,512345.678\r\n");
    const CliRun refused = Cli("gauss-inverse --meridian auto " + plain);
    EXPECT_EQ(1, refused.status);
    EXPECT_EQ("", refused.out);
    EXPECT_EQ(2, Cli("gauss-inverse --meridian auto -").status);
    // 坐标换带 reads its old zone the same way.
    const CliRun zone = Cli("zone-change --from-meridian auto --to-meridian 1170000 " + input);
    ASSERT_EQ(0, zone.status) << zone.err;
    EXPECT_EQ(Cli("zone-change --from-meridian 1140000 --to-meridian 1170000 " + input).out,
              zone.out);
}
