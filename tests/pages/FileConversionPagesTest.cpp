// The five file conversion pages as a user drives them: options and their enabling, dropped
// files, separate and merged outputs, and what a refused or failing file reports while the
// others still convert.
#include "pages/files/FileConversionPages.hpp"
#include "support/FakePlatform.hpp"
#include "support/ScratchFolder.hpp"
#include "tables/CodePage.hpp"

#include "platform/Profile.hpp"

#include <gtest/gtest.h>

#include <filesystem>

namespace carvento::pages {
namespace {

using testing::ScratchFolder;

struct Fixture {
    testing::FakePrompter prompter;
    testing::FakeClipboard clipboard;
    platform::MemoryProfile profile;
    PageContext Context() { return {prompter, clipboard, profile}; }
};

std::string Gbk(const std::string& text)
{
    return tables::EncodeText(text, tables::TextEncoding::Gbk).bytes;
}

std::size_t Count(const std::string& text, const std::string& part)
{
    std::size_t count = 0;
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++count;
    return count;
}

constexpr const char* kRoad = "名称,纬度,经度\nRoad-1,30.1,114.1\nRoad-2,30.2,114.2\n";

TEST(FileConversionPages, OptionsStartAsTheDialogsShowThemAndCloseFollowsLines)
{
    Fixture fake;
    TxtToKmlPage kml(fake.Context());
    EXPECT_EQ("txt转kml", kml.Title());
    EXPECT_EQ(1, kml.Field("points").value);
    EXPECT_EQ(1, kml.Field("lines").value);
    EXPECT_EQ(0, kml.Field("close").value);
    EXPECT_EQ(0, kml.Field("polygons").value);
    EXPECT_EQ(BatchFilePage::kSeparate, kml.Field(BatchFilePage::kModeField).value);
    EXPECT_NE(std::string::npos, kml.Setup().note.find("3、文本文件必须有文件头（首行屏蔽）"));
    kml.Choose("lines", 0);
    EXPECT_FALSE(kml.Field("close").enabled);
    kml.Choose("lines", 1);
    EXPECT_TRUE(kml.Field("close").enabled);

    TxtToGpxPage gpx(fake.Context());
    gpx.Choose("routes", 0);
    EXPECT_FALSE(gpx.Field("close").enabled);
    EXPECT_EQ(0, gpx.Field("tracks").value);

    // Dropped files by extension, any letter case.
    EXPECT_EQ(1, gpx.DropFiles({"/d/A.TXT", "/d/b.kml", "/d/c.Csv.bak"}));
    EXPECT_EQ(std::vector<std::string>{"/d/A.TXT"}, gpx.Files());
    BlnToTxtPage bln(fake.Context());
    EXPECT_EQ(1, bln.DropFiles({"/d/lake.BLN", "/d/lake.txt"}));
    EXPECT_EQ("Sufer白化(*.bln)", bln.Setup().inputFilters.at(0).first);
}

TEST(FileConversionPages, SeparateFilesGoBesideEachInputAndARefusedOneKeepsItsOldOutput)
{
    ScratchFolder folder;
    Fixture fake;
    TxtToKmlPage page(fake.Context());
    const std::string good = folder.Write("v1.0/road.txt", kRoad);
    const std::string narrow = folder.Write("narrow.txt", "名称,纬度\nP1,30\nP2,31\n");
    const std::string old = folder.Write("narrow.kml", "kept");
    page.AddFilePaths({narrow, good});
    ASSERT_TRUE(page.RunCommand(BatchFilePage::kRunCommand));

    const std::string kml = ScratchFolder::Read(folder / "v1.0/road.kml");
    EXPECT_EQ(2u, Count(kml, "<Point>"));
    EXPECT_NE(std::string::npos, kml.find("<name>Road</name>"));
    EXPECT_EQ("kept", ScratchFolder::Read(old));
    ASSERT_EQ(1u, fake.prompter.messages.size());
    EXPECT_EQ(narrow + " 少于3列(标识,纬度,经度),未转换!", fake.prompter.messages[0].text);
}

TEST(FileConversionPages, AMergedKmlHoldsOneFolderPerInputInsideTheOutputsFolder)
{
    ScratchFolder folder;
    Fixture fake;
    TxtToKmlPage page(fake.Context());
    page.AddFilePaths({folder.Write("b.txt", kRoad), folder.Write("a.txt", kRoad),
                       folder / "missing.txt"});
    page.Choose(BatchFilePage::kModeField, BatchFilePage::kMerge);
    fake.prompter.saveAnswers.push_back(folder / "all.kml");
    ASSERT_TRUE(page.RunCommand(BatchFilePage::kRunCommand));
    EXPECT_EQ("kml", fake.prompter.saveDialogs.at(0).defaultExtension);
    const std::string kml = ScratchFolder::Read(folder / "all.kml");
    const std::size_t outer = kml.find("<name>all</name>");
    const std::size_t first = kml.find("<name>a</name>");
    const std::size_t second = kml.find("<name>b</name>");
    ASSERT_NE(std::string::npos, outer);
    EXPECT_LT(outer, first);
    EXPECT_LT(first, second);
    ASSERT_EQ(2u, fake.prompter.messages.size());
    EXPECT_EQ(folder / "missing.txt" + " 加载失败!", fake.prompter.messages[0].text);
    EXPECT_EQ("错误", fake.prompter.messages[0].caption);
    EXPECT_EQ(platform::MessageIcon::Error, fake.prompter.messages[0].icon);
    // Without one of its inputs the merged output is incomplete, and says so.
    EXPECT_EQ("结果不完整,已写入 " + folder / "all.kml", fake.prompter.messages[1].text);
    EXPECT_EQ(platform::MessageIcon::Warning, fake.prompter.messages[1].icon);

    // Run again, the complete earlier output stays and the incomplete one goes beside it.
    fake.prompter.saveAnswers.push_back(folder / "all.kml");
    ASSERT_TRUE(page.RunCommand(BatchFilePage::kRunCommand));
    EXPECT_EQ(kml, ScratchFolder::Read(folder / "all.kml"));
    EXPECT_EQ(kml, ScratchFolder::Read(folder / "all_不完整.kml"));
}

TEST(FileConversionPages, MergingTwoKmlFilesTwiceLeavesFourHeaderLines)
{
    ScratchFolder folder;
    Fixture fake;
    TxtToKmlPage make(fake.Context());
    make.AddFilePaths({folder.Write("one.txt", kRoad), folder.Write("two.txt", kRoad)});
    ASSERT_TRUE(make.RunCommand(BatchFilePage::kRunCommand));

    KmlToTxtPage page(fake.Context());
    page.AddFilePaths({folder / "one.kml", folder / "two.kml"});
    page.Choose(BatchFilePage::kModeField, BatchFilePage::kMerge);
    for (int run = 0; run < 2; ++run) {
        fake.prompter.saveAnswers.push_back(folder / "out.txt");
        ASSERT_TRUE(page.RunCommand(BatchFilePage::kRunCommand));
    }
    const std::string points = ScratchFolder::Read(folder / "out_地标.txt");
    EXPECT_EQ(4u, Count(points, Gbk("名称,纬度,经度,说明\r\n")));
    EXPECT_EQ(8u, Count(points, "Road-"));
    EXPECT_EQ(4u, Count(ScratchFolder::Read(folder / "out_路径.txt"), Gbk("名称,纬度,经度\r\n")));
    EXPECT_TRUE(fake.prompter.messages.empty());
}

TEST(FileConversionPages, GpxRoundTripAndBlnFindingsAsWarnings)
{
    ScratchFolder folder;
    Fixture fake;
    TxtToGpxPage make(fake.Context());
    make.Choose("tracks", 1);
    make.AddFilePaths({folder.Write("walk.txt", kRoad)});
    ASSERT_TRUE(make.RunCommand(BatchFilePage::kRunCommand));
    GpxToTxtPage page(fake.Context());
    page.AddFilePaths({folder / "walk.gpx"});
    ASSERT_TRUE(page.RunCommand(BatchFilePage::kRunCommand));
    EXPECT_EQ(Gbk("名称,纬度,经度,高程\r\nRoad-1-1,30.1,114.1,\r\nRoad-1-2,30.2,114.2,\r\n\r\n"),
              ScratchFolder::Read(folder / "walk_航迹.txt"));
    EXPECT_EQ(Gbk("名称,纬度,经度,高程,注释\r\nRoad-1,30.1,114.1,,\r\nRoad-2,30.2,114.2,,\r\n"),
              ScratchFolder::Read(folder / "walk_航点.txt"));

    BlnToTxtPage bln(fake.Context());
    bln.AddFilePaths({folder.Write("cut.bln", "3,1\n1,2\n")});
    ASSERT_TRUE(bln.RunCommand(BatchFilePage::kRunCommand));
    ASSERT_EQ(1u, fake.prompter.messages.size());
    EXPECT_EQ(platform::MessageIcon::Warning, fake.prompter.messages[0].icon);
    EXPECT_NE(std::string::npos, fake.prompter.messages[0].text.find("第1行"));
    EXPECT_EQ(Gbk("序号,纬度,经度\r\n1,2,1\r\n\r\n"), ScratchFolder::Read(folder / "cut.txt"));
}

} // namespace
} // namespace carvento::pages
