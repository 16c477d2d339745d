// carvento-cli solve4 and solve7 end to end: the common-point table and the parameter line are
// what the page's 保存公共点 and 保存参数 write, the parameters reach standard error, and too few
// points or a point set that determines nothing is refused with the page's message.
#include "pages/ParameterPages.hpp"
#include "platform/Profile.hpp"
#include "support/FakePlatform.hpp"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
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
