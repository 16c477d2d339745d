// carvento-cli end to end: its output bytes equal the page's 导出 of the same input, and its
// exit status and messages tell a refused input from a usage error.
#include "pages/EllipsoidPage.hpp"
#include "pages/GaussPages.hpp"
#include "pages/ZoneChangePage.hpp"
#include "support/FakePlatform.hpp"

#include <gtest/gtest.h>

#include <cstdio>
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

class CliTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_dir = std::filesystem::temp_directory_path() /
                ("carvento-cli-" + std::to_string(::getpid()) + "-" +
                 ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::create_directories(m_dir);
        // Keep the user's own profile out of the tests.
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

    CliRun Cli(const std::string& arguments, const std::string& stdinText = "") const
    {
        std::string in = Write("stdin.txt", stdinText);
        std::string command = std::string(CARVENTO_CLI) + " " + arguments + " <" + in + " >" +
                              Path("stdout.txt") + " 2>" + Path("stderr.txt");
        CliRun run;
        int raw = std::system(command.c_str());
        run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
        run.out = Slurp(Path("stdout.txt"));
        run.err = Slurp(Path("stderr.txt"));
        return run;
    }

    // What the page itself exports for the same file.
    std::string PageExport(pages::TablePage& page, const std::string& input) const
    {
        page.ImportFile(input);
        page.Convert();
        EXPECT_TRUE(page.ExportToFile(Path("page.txt")));
        return Slurp(Path("page.txt"));
    }

    std::filesystem::path m_dir;
    carvento::testing::FakePrompter prompter;
    carvento::testing::FakeClipboard clipboard;
    platform::MemoryProfile profile;
};

} // namespace

TEST_F(CliTest, ForwardOutputEqualsThePageExport)
{
    std::string input = std::string(CARVENTO_EXAMPLES) + "/bl-degrees.csv";
    pages::CGSZSDlg page({prompter, clipboard, profile});
    page.Field("unit").pendingIndex = pages::kUnitDegrees;
    std::string expected = PageExport(page, input);
    ASSERT_NE(std::string::npos, expected.find("P1,3376320.4035,624805.9342\r\n"));

    CliRun run = Cli("gauss-forward --unit deg " + input);
    EXPECT_EQ(0, run.status) << run.err;
    EXPECT_EQ(expected, run.out);

    CliRun toFile = Cli("gauss-forward --unit 2 -o " + Path("out.txt") + " -", Slurp(input));
    EXPECT_EQ(0, toFile.status) << toFile.err;
    EXPECT_EQ(expected, Slurp(Path("out.txt")));
}

TEST_F(CliTest, ZoneChangeWithOptionsEqualsThePageExport)
{
    std::string input = std::string(CARVENTO_EXAMPLES) + "/xy-zone105.csv";
    pages::CZBHDDlg page({prompter, clipboard, profile});
    page.Ellipsoid().Select(3);
    page.Field("to-meridian").text = "1080000";
    page.Field("to-y-add").text = "38500000";
    std::string expected = PageExport(page, input);

    CliRun run = Cli("zone-change --ellipsoid wgs84 --to-meridian 1080000 --to-y-add 38500000 " + input);
    EXPECT_EQ(0, run.status) << run.err;
    EXPECT_EQ(expected, run.out);
}

TEST_F(CliTest, ShortLineIsRefusedWithThePageMessage)
{
    CliRun run = Cli("gauss-forward -", "P1,30,106\r\nP2,31\r\n");
    EXPECT_EQ(1, run.status);
    EXPECT_EQ("", run.out);
    EXPECT_NE(std::string::npos, run.err.find("第2行数据不足,请检测数据完整性!"));
}

TEST_F(CliTest, UsageErrorsExitWithTwo)
{
    EXPECT_EQ(2, Cli("no-such-verb").status);
    EXPECT_EQ(2, Cli("gauss-forward --no-such-option 1 -").status);
    EXPECT_EQ(2, Cli("gauss-forward --unit minutes -").status);
    EXPECT_EQ(2, Cli("gauss-forward --ellipsoid nowhere -", "P,1,2\n").status);
    CliRun help = Cli("gauss-forward --help");
    EXPECT_EQ(0, help.status);
    EXPECT_NE(std::string::npos, help.out.find("中央子午线(dms)"));
}

TEST_F(CliTest, UnwritableOutputIsReported)
{
    CliRun run = Cli("gauss-forward -o " + Path("missing/out.txt") + " -", "P,303000,1061800\n");
    EXPECT_EQ(1, run.status);
    EXPECT_NE(std::string::npos, run.err.find("无法创建文件"));
}

TEST_F(CliTest, EllipsoidAddedOnTheCommandLineIsListedAndUsable)
{
    EXPECT_EQ(1, Cli("ellipsoid add Empty 6378137 ''").status);
    CliRun add = Cli("ellipsoid add WGS84/GRS80 6378137 6356752.3141");
    EXPECT_EQ(0, add.status) << add.err;
    CliRun list = Cli("ellipsoid list");
    EXPECT_NE(std::string::npos, list.out.find("4\tWGS84/GRS80\t6378137.0000000000\t6356752.3141000001\n"));

    CliRun named = Cli("gauss-forward --unit deg --ellipsoid WGS84/GRS80 -", "P,30.5,106.3\n");
    CliRun typed = Cli("gauss-forward --unit deg --a 6378137 --b 6356752.3141 -", "P,30.5,106.3\n");
    EXPECT_EQ(0, named.status) << named.err;
    EXPECT_EQ(typed.out, named.out);
}
