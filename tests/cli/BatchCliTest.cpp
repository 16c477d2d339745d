// carvento-cli txt2kml, kml2txt, txt2gpx, gpx2txt and bln2txt end to end: outputs beside the
// inputs with the page's names, -o and --merge, options that turn boxes off, and an exit
// status of 1 whenever a file was refused, unreadable or only partly used.
#include "support/ScratchFolder.hpp"
#include "tables/CodePage.hpp"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <sys/wait.h>

namespace {

using carvento::testing::ScratchFolder;

struct CliRun {
    int status = -1;
    std::string err;
};

class BatchCli : public ::testing::Test {
protected:
    CliRun Cli(const std::string& arguments) const
    {
        const std::string err = folder / "stderr.txt";
        const std::string command = std::string(CARVENTO_CLI) + " " + arguments + " >/dev/null 2>" +
                                    err + " </dev/null";
        const int raw = std::system(command.c_str());
        return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, ScratchFolder::Read(err)};
    }
    std::string Q(const std::string& path) const { return "'" + path + "'"; }
    bool Exists(const std::string& name) const { return std::filesystem::exists(folder / name); }

    ScratchFolder folder;
};

std::string Gbk(const std::string& text)
{
    return carvento::tables::EncodeText(text, carvento::tables::TextEncoding::Gbk).bytes;
}

constexpr const char* kRoad = "名称,纬度,经度\nRoad-1,30.1,114.1\nRoad-2,30.2,114.2\n";

TEST_F(BatchCli, OutputsGoBesideTheInputsAndBackAgain)
{
    folder.Write("pts.txt", kRoad);
    folder.Write("v2.1/lake", kRoad);
    ASSERT_EQ(0, Cli("txt2kml " + Q(folder / "pts.txt") + " " + Q(folder / "v2.1/lake")).status);
    ASSERT_TRUE(Exists("pts.kml"));
    ASSERT_TRUE(Exists("v2.1/lake.kml"));
    const CliRun back = Cli("kml2txt --no-lines " + Q(folder / "pts.kml"));
    ASSERT_EQ(0, back.status) << back.err;
    EXPECT_EQ(Gbk("名称,纬度,经度,说明\r\nRoad-1,30.1,114.1,\r\nRoad-2,30.2,114.2,\r\n"),
              ScratchFolder::Read(folder / "pts_地标.txt"));
    EXPECT_FALSE(Exists("pts_路径.txt"));

    ASSERT_EQ(0, Cli("txt2gpx --tracks --encoding utf-8 " + Q(folder / "pts.txt")).status);
    ASSERT_EQ(0, Cli("gpx2txt --encoding utf-8 " + Q(folder / "pts.gpx")).status);
    EXPECT_EQ("名称,纬度,经度,高程\r\nRoad-1-1,30.1,114.1,\r\nRoad-1-2,30.2,114.2,\r\n\r\n",
              ScratchFolder::Read(folder / "pts_航迹.txt"));
}

TEST_F(BatchCli, MergeAndOutputOptions)
{
    const std::string a = folder.Write("a.bln", "2,1\n114.1,30.1\n114.2,30.2\n");
    const std::string b = folder.Write("b.bln", "1,1,\"Pond\"\n115,31,7\n");
    ASSERT_EQ(0, Cli("bln2txt --merge " + Q(folder / "all.txt") + " " + Q(b) + " " + Q(a)).status);
    EXPECT_EQ(Gbk("序号,纬度,经度\r\n1,30.1,114.1\r\n2,30.2,114.2\r\n\r\n1,31,115\r\n\r\n"),
              ScratchFolder::Read(folder / "all.txt"));
    ASSERT_EQ(0, Cli("bln2txt -o " + Q(folder / "only.txt") + " " + Q(a)).status);
    EXPECT_TRUE(Exists("only.txt"));
    std::filesystem::create_directories(folder.Path() / "out");
    ASSERT_EQ(0, Cli("bln2txt -o " + Q(folder / "out") + " " + Q(a) + " " + Q(b)).status);
    EXPECT_TRUE(Exists("out/a.txt"));
    EXPECT_TRUE(Exists("out/b.txt"));
    // A file name for several inputs, and -o with --merge, are usage errors.
    EXPECT_EQ(2, Cli("bln2txt -o " + Q(folder / "x.txt") + " " + Q(a) + " " + Q(b)).status);
    EXPECT_EQ(2, Cli("bln2txt -o " + Q(folder / "x.txt") + " --merge " + Q(folder / "y.txt") + " " +
                     Q(a))
                     .status);
    EXPECT_FALSE(Exists("x.txt"));
}

TEST_F(BatchCli, RefusedOrPartlyUsedInputsExitWithOneAndSayWhy)
{
    folder.Write("good.txt", kRoad);
    const CliRun missing =
        Cli("txt2kml " + Q(folder / "good.txt") + " " + Q(folder / "missing.txt"));
    EXPECT_EQ(1, missing.status);
    EXPECT_NE(std::string::npos, missing.err.find("missing.txt 加载失败!")) << missing.err;
    EXPECT_TRUE(Exists("good.kml"));

    folder.Write("broken.kml", "<kml><Placemark><name>x</name></kml>");
    EXPECT_EQ(1, Cli("kml2txt " + Q(folder / "broken.kml")).status);

    folder.Write("short.bln", "3,1\n114.1,30.1\n");
    const CliRun cut = Cli("bln2txt " + Q(folder / "short.bln"));
    EXPECT_EQ(1, cut.status);
    EXPECT_NE(std::string::npos, cut.err.find("第1行")) << cut.err;
    EXPECT_TRUE(Exists("short.txt")); // what was read is kept

    EXPECT_EQ(2, Cli("txt2kml --lines --no-lines " + Q(folder / "good.txt")).status);
}

} // namespace
