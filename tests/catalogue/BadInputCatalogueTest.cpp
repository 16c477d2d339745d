// A catalogue of bad inputs, each with what the user sees (the message shown, the result
// reported) and a check that nothing the user had is lost: the table keeps its rows when a
// file is refused, and an existing output file keeps its content when a conversion fails.
#include "fileconv/BlnReader.hpp"
#include "fileconv/GpxDocument.hpp"
#include "fileconv/KmlDocument.hpp"
#include "fileconv/XmlDocument.hpp"
#include "pages/frames/EditableTable.hpp"
#include "pages/frames/GisExport.hpp"
#include "pages/frames/Messages.hpp"
#include "pages/frames/ToolPage.hpp"
#include "platform/NumberText.hpp"
#include "support/FakePlatform.hpp"
#include "support/ScratchFolder.hpp"
#include "tables/CodePage.hpp"
#include "tables/TextTableFile.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace carvento {
namespace {

using testing::FakeClipboard;
using testing::FakePrompter;
using testing::ScratchFolder;

const std::string kKeep = "earlier content\r\n";

// A table page's editable table, field by field, holding one row the user typed.
struct TablePage {
    tables::CoordinateTable table;
    FakePrompter prompter;
    FakeClipboard clipboard;
    pages::EditableTable editor;

    TablePage() : editor(table, prompter, clipboard, Policy())
    {
        table.SetupColumns({"点号", "X", "Y"}, {60, 100, 100});
        table.AppendRows({"typed", "1", "2"});
    }
    static pages::ImportPolicy Policy()
    {
        pages::ImportPolicy policy;
        policy.mapColumns = false;
        return policy;
    }
    std::vector<std::string> Messages() const { return prompter.MessageTexts(); }
};

struct TextCase {
    const char* name;
    std::string bytes;
    std::optional<std::string> message; // what is shown, nothing when the file reads cleanly
    int rowsTaken;
};

std::string Repeat(const std::string& piece, std::size_t times)
{
    std::string text;
    text.reserve(piece.size() * times);
    for (std::size_t i = 0; i < times; ++i)
        text += piece;
    return text;
}

TEST(BadTextFiles, ShowTheirMessageAndKeepTheRowsTheUserHad)
{
    const std::string gbkPoint = "\xB5\xE3,1,2\n"; // 点 in GBK
    const std::string utf8Point = "点,1,2\n";
    const std::vector<TextCase> cases = {
        {"empty file", "", pages::messages::kNoDataInFirstLines, 0},
        {"only blank lines", "\n\r\n\n\n\r\n\n\n\n", pages::messages::kNoDataInFirstLines, 0},
        {"data only after eight blank lines", "\n\n\n\n\n\n\n\n1,2,3\n",
         pages::messages::kNoDataInFirstLines, 0},
        {"10 MB on a single line", Repeat("1234567890", 1'000'000) + ",5,6", std::nullopt, 1},
        {"NUL bytes inside a field", std::string("P\0Q,1,2\n", 8), std::nullopt, 1},
        {"invalid GBK on the third line", gbkPoint + gbkPoint + "\xB5\x20,5,6\n" + gbkPoint,
         pages::FormatMessage(pages::messages::kInvalidBytes, 3), 2},
        {"UTF-8 cut short at the end", utf8Point + utf8Point + utf8Point + "\xE7\x82",
         pages::FormatMessage(pages::messages::kInvalidBytes, 4), 3},
        {"a short line", "a,1,2\nb,3\n", pages::FormatMessage(pages::messages::kShortLine, 2), 1},
    };
    for (const TextCase& c : cases) {
        SCOPED_TRACE(c.name);
        ScratchFolder folder;
        TablePage page;
        const int taken = page.editor.ImportFile(folder.Write("in.txt", c.bytes), true);
        EXPECT_EQ(c.rowsTaken, taken);
        if (c.message)
            EXPECT_EQ(std::vector<std::string>{*c.message}, page.Messages());
        else
            EXPECT_TRUE(page.Messages().empty());
        // The row the user typed is still there, whatever the file held.
        EXPECT_EQ("typed", page.table.GetCell(1, 0));
        EXPECT_EQ(1 + taken, page.table.DataRowCount());
    }
}

TEST(BadTextFiles, ByteOrderMarkIsNotGluedToTheFirstField)
{
    for (const std::string& mark : {std::string("\xEF\xBB\xBF"), std::string("\xFF\xFE")}) {
        ScratchFolder folder;
        TablePage page;
        std::string bytes = "P1,30.5,104\r\n";
        if (mark.size() == 2) { // UTF-16 little-endian
            std::string wide;
            for (char c : bytes)
                wide += std::string{c, '\0'};
            bytes = wide;
        }
        ASSERT_EQ(1, page.editor.ImportFile(folder.Write("bom.txt", mark + bytes), true));
        EXPECT_EQ("P1", page.table.GetCell(2, 0));
        EXPECT_EQ("104", page.table.GetCell(2, 2));
    }
}

TEST(BadTextFiles, UnreadablePathIsReportedWithItsName)
{
    ScratchFolder folder;
    TablePage page;
    const std::string missing = folder / "没有 这个.txt";
    EXPECT_EQ(0, page.editor.ImportFile(missing, true));
    EXPECT_EQ(std::vector<std::string>{pages::FormatMessage(pages::messages::kCannotReadFile,
                                                            missing)},
              page.Messages());
    // A folder in place of a file is no more readable.
    EXPECT_EQ(0, page.editor.ImportFile(folder.Path().string(), true));
    EXPECT_EQ(2u, page.Messages().size());
    EXPECT_EQ(1, page.table.DataRowCount());
}

TEST(BadTextFiles, ChineseAndSpacesInThePathReadAndWrite)
{
    ScratchFolder folder;
    TablePage page;
    const std::string path = folder.Write("测量 数据/点 表 1.txt", "A,1,2\nB,3,4\n");
    EXPECT_EQ(2, page.editor.ImportFile(path, true));
    const std::string out = folder / "测量 数据/结果 表.txt";
    std::vector<std::string> cells{"甲", "1", "2"};
    ASSERT_TRUE(pages::WriteTableFile(page.prompter, out, cells, 1, 3, {"点号", "X", "Y"},
                                      tables::TextEncoding::Utf8));
    EXPECT_EQ("点号,X,Y\r\n甲,1,2\r\n", ScratchFolder::Read(out));
}

TEST(NumbersInCells, OnlyPlainDecimalsCountAsNumbers)
{
    // What a cell holds decides whether a first row is a title row and whether a page computes
    // with it: none of these is a number a surveyor typed.
    for (const char* text : {"nan", "0x1A", "30,5", "inf", "", "30.5m"})
        EXPECT_FALSE(platform::IsNumberText(text)) << text;
    // Where such a text is read all the same (atof semantics), it reads as the C library does.
    EXPECT_TRUE(std::isinf(platform::ParseDouble("1e999")));
    EXPECT_TRUE(std::isnan(platform::ParseDouble("nan")));
    EXPECT_EQ(26.0, platform::ParseDouble("0x1A"));
    EXPECT_EQ(30.0, platform::ParseDouble("30,5"));
    // A hexadecimal exponent with two signs is no exponent: strtod stops before the "p".
    EXPECT_EQ(1.0, platform::ParseDouble("0X1p+-3"));
    EXPECT_EQ(8.0, platform::ParseDouble("0x1p+3"));
}

TEST(BadOutputs, FailedWritesLeaveTheExistingFileAsItWas)
{
    ScratchFolder folder;
    FakePrompter prompter;
    const std::string existing = folder.Write("结果.txt", kKeep);
    // A character GBK lacks is written as GB18030 and reads back as it was.
    std::vector<std::string> cells{"A", "1", "2", "\xF0\x9F\x98\x80", "3", "4"};
    ASSERT_TRUE(pages::WriteTableFile(prompter, existing, cells, 2, 3, {"点号", "X", "Y"},
                                      tables::TextEncoding::Gbk));
    EXPECT_EQ("点号,X,Y\r\nA,1,2\r\n\xF0\x9F\x98\x80,3,4\r\n",
              tables::DecodeText(ScratchFolder::Read(existing)).text);
    EXPECT_TRUE(prompter.MessageTexts().empty());
    // A device is no file to replace: refused, and it is not touched.
    EXPECT_FALSE(pages::WriteTableFile(prompter, "/dev/null", cells, 2, 3, {},
                                       tables::TextEncoding::Utf8));
    EXPECT_EQ(std::vector<std::string>{pages::FormatMessage(pages::messages::kCannotCreateFile,
                                                            "/dev/null")},
              prompter.MessageTexts());
    // A folder that does not exist cannot be written, and says so.
    const std::string nowhere = folder / "不存在/out.txt";
    EXPECT_FALSE(pages::WriteTableFile(prompter, nowhere, cells, 1, 3, {},
                                       tables::TextEncoding::Utf8));
    EXPECT_FALSE(std::filesystem::exists(nowhere));
    EXPECT_EQ(2u, prompter.MessageTexts().size());
}

// 导出GIS refuses what it cannot place as points, and every refusal leaves the files that
// were there as they were, with no temporary left beside them.
TEST(BadGisOutputs, RefusedLayersLeaveTheEarlierFiles)
{
    ScratchFolder folder;
    FakePrompter prompter;
    folder.Write("pts.gpkg", kKeep);
    folder.Write("pts.dbf", kKeep);
    std::filesystem::create_directory(folder / "dir.gpkg");
    pages::GisPoints points{.coordinateColumns = {1, 2},
                            .read = [](std::span<const std::string> row) {
                                return pages::ReadPlanePoint(row, 1, -1);
                            }};
    const auto write = [&](const std::string& name, pages::GisFormat format,
                           std::vector<std::string> cells) {
        tables::CoordinateTable table;
        table.SetupColumns({"点号", "x", "y"}, {60, 100, 100});
        table.AppendRows(std::move(cells));
        pages::GisExportFile file(prompter);
        return file.Begin(folder / name, format, points, table.ColumnTitles()) &&
               file.AddRows(table) && file.Commit();
    };
    // The second row has no northing: no layer, not even its first point.
    EXPECT_FALSE(write("pts.gpkg", pages::GisFormat::GeoPackage, {"A", "1", "2", "B", "", "2"}));
    EXPECT_EQ(pages::FormatMessage(pages::messages::kGisRowWithoutPoint, 2),
              prompter.MessageTexts().back());
    // A number the page could not write (nan) is no coordinate either.
    EXPECT_FALSE(write("pts.gpkg", pages::GisFormat::GeoPackage, {"A", "nan", "2"}));
    // Blank rows alone are nothing to export.
    EXPECT_FALSE(write("pts.gpkg", pages::GisFormat::GeoPackage, {"", "", ""}));
    EXPECT_EQ(pages::messages::kNothingToExport, prompter.MessageTexts().back());
    // A shapefile is named by its .shp; a folder is no file to replace.
    EXPECT_FALSE(write("pts", pages::GisFormat::Shapefile, {"A", "1", "2"}));
    EXPECT_FALSE(write("dir.gpkg", pages::GisFormat::GeoPackage, {"A", "1", "2"}));
    EXPECT_EQ(5u, prompter.MessageTexts().size());
    EXPECT_EQ(kKeep, ScratchFolder::Read(folder / "pts.gpkg"));
    EXPECT_EQ(kKeep, ScratchFolder::Read(folder / "pts.dbf"));
    EXPECT_EQ(3, std::distance(std::filesystem::directory_iterator(folder.Path()),
                               std::filesystem::directory_iterator()));
}

struct XmlCase {
    const char* name;
    std::string bytes;
    const char* keyword; // in XmlDocument::Result()
};

TEST(BadXmlFiles, AreRefusedWithTheirReasonAndWriteNothing)
{
    const std::string kml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                            "<kml xmlns=\"http://www.opengis.net/kml/2.2\"><Placemark><name>P"
                            "</name><Point><coordinates>104,30,0</coordinates></Point>"
                            "</Placemark></kml>\n";
    const std::vector<XmlCase> cases = {
        {"empty file", "", "empty"},
        {"truncated KML", kml.substr(0, kml.size() / 2), "not_well_formed"},
        {"truncated GPX", "<gpx version=\"1.1\"><wpt lat=\"1\" lon=\"2\"><name>a</na",
         "not_well_formed"},
        {"junk after the root", kml + "junk", "text_outside_root"},
        {"a second root", kml + "<kml/>", "root_has_sibling"},
        {"100 000-deep nesting",
         "<kml>" + Repeat("<a>", 100'000) + Repeat("</a>", 100'000) + "</kml>", "too_deep"},
        {"unknown encoding", "<?xml version=\"1.0\" encoding=\"x-klingon\"?><kml/>",
         "unknown_encoding"},
        {"declared in an encoding that does not keep ASCII",
         "<?xml version=\"1.0\" encoding=\"UTF-7\"?><kml/>", "unknown_encoding"},
        {"entity expansion",
         "<!DOCTYPE k [<!ENTITY a \"aaaa\"><!ENTITY b \"&a;&a;\">]><kml>&b;</kml>",
         "entity_declaration"},
        {"invalid bytes for the declared UTF-8",
         "<?xml version=\"1.0\" encoding=\"UTF-8\"?><kml><name>\xB5\xE3</name></kml>",
         "invalid_bytes"},
    };
    for (const XmlCase& c : cases) {
        SCOPED_TRACE(c.name);
        fileconv::XmlDocument document;
        EXPECT_FALSE(document.LoadFromBytes(c.bytes));
        EXPECT_NE(std::string::npos, document.Result().find(c.keyword)) << document.Result();
        EXPECT_EQ("", document.DocumentText());

        // The page says "加载失败" and extracts nothing: earlier text files stay as they were.
        ScratchFolder folder;
        const std::string input = folder.Write("地图 1.kml", c.bytes);
        const std::string points = folder.Write(std::string("地图 1") + fileconv::kKmlPointsSuffix,
                                                kKeep);
        fileconv::KmlDocument kmlDocument;
        EXPECT_FALSE(kmlDocument.LoadKml(input));
        fileconv::GpxDocument gpxDocument;
        EXPECT_FALSE(gpxDocument.LoadGpx(input));
        EXPECT_EQ(kKeep, ScratchFolder::Read(points));
    }
}

TEST(BadXmlFiles, AFileThatWouldNotLoadAgainIsNotSaved)
{
    // The byte-order mark decides how the file reads; its declaration would make Save write
    // UTF-7, which no reader (this one included) could load. The earlier file stays.
    ScratchFolder folder;
    fileconv::XmlDocument document;
    ASSERT_TRUE(document.LoadFromBytes("\xEF\xBB\xBF<?xml version=\"1.0\" "
                                       "encoding=\"UTF-7\"?><kml><name>\xE8\xB7\xAF</name></kml>"));
    bool ok = true;
    EXPECT_EQ("", document.SavedBytes(&ok));
    EXPECT_FALSE(ok);
    const std::string existing = folder.Write("路.kml", kKeep);
    EXPECT_FALSE(document.Save(existing));
    EXPECT_EQ(kKeep, ScratchFolder::Read(existing));
}

TEST(BadXmlFiles, GbkDeclaredFileLoadsAndAnUnholdableNameKeepsTheEarlierOutput)
{
    ScratchFolder folder;
    // Declared GBK and written in GBK: the names come out as Chinese.
    const std::string input =
        folder.Write("路线.kml",
                     "<?xml version=\"1.0\" encoding=\"GBK\"?><kml><Placemark><name>\xB5\xE3"
                     "</name><Point><coordinates>104,30</coordinates></Point></Placemark></kml>");
    fileconv::KmlDocument kml;
    ASSERT_TRUE(kml.LoadKml(input));
    fileconv::KmlExportOptions utf8;
    utf8.format.encoding = tables::TextEncoding::Utf8;
    const fileconv::TextOutput written = kml.KmlToText(folder / "路线.kml", utf8);
    ASSERT_EQ(1u, written.written.size());
    EXPECT_NE(std::string::npos, ScratchFolder::Read(written.written[0]).find("点,30,104"));

    // A name GBK cannot hold is written as GB18030 instead of failing the extraction.
    const std::string emoji =
        folder.Write("表情.kml",
                     "<kml><Placemark><name>\xF0\x9F\x98\x80</name><Point><coordinates>1,2"
                     "</coordinates></Point></Placemark></kml>");
    const std::string points = folder.Write(std::string("表情") + fileconv::kKmlPointsSuffix,
                                            kKeep);
    fileconv::KmlDocument other;
    ASSERT_TRUE(other.LoadKml(emoji));
    const fileconv::TextOutput done = other.KmlToText(emoji, fileconv::KmlExportOptions{});
    ASSERT_TRUE(done.Ok());
    EXPECT_NE(std::string::npos,
              tables::DecodeText(ScratchFolder::Read(points)).text.find("\xF0\x9F\x98\x80,2,1"));
}

TEST(BadBlnFiles, CountsThatAreNotPositiveAreReportedAndSkipped)
{
    ScratchFolder folder;
    // After a header that cannot be a count, the next line is a header again.
    const std::string path = folder.Write("湖 泊.bln", "0,1\n-5,1\n2147483648,1\n5,6\n7,8\n");
    const fileconv::BlnFileText read = fileconv::ReadBlnFile(path);
    ASSERT_TRUE(read.opened);
    ASSERT_EQ(3u, read.findings.size());
    EXPECT_EQ(1, read.findings[0].line);
    EXPECT_EQ(2, read.findings[1].line);
    EXPECT_EQ(read.findings[0].message, read.findings[1].message);
    EXPECT_NE(std::string::npos, fileconv::Describe(read.findings[0]).find(path));
    // The huge count is a count all the same: its polygon is cut short by the end of the file,
    // and that is reported with the count it announced.
    EXPECT_EQ(3, read.findings[2].line);
    EXPECT_NE(std::string::npos, read.findings[2].message.find("2147483648"));
    EXPECT_EQ(1, read.polygons);
    EXPECT_EQ("1,6,5\n2,8,7\n\n", read.text);

    // Converting with an unreadable input beside it names that input and keeps the findings.
    const std::string merged = folder / "全部.txt";
    const std::string unreadable = folder / "没有.bln";
    const fileconv::BlnReport report = fileconv::BlnToText({path, unreadable}, merged);
    EXPECT_EQ(std::vector<std::string>{unreadable}, report.unreadable);
    EXPECT_EQ(read.findings.size(), report.findings.size());
    EXPECT_EQ(1, report.polygons);
}

TEST(BadBlnFiles, UnwritableOutputLeavesTheEarlierFile)
{
    ScratchFolder folder;
    const std::string path = folder.Write("湖.bln", "2,1\n1,2\n3,4\n");
    // The merged output is a folder: nothing can replace it, and the report says so.
    const std::string blocked = folder / "输出";
    std::filesystem::create_directories(blocked);
    const fileconv::BlnReport report = fileconv::BlnToText({path}, blocked);
    EXPECT_FALSE(report.output.Ok());
    EXPECT_TRUE(std::filesystem::is_directory(blocked));
    // Beside the input, an existing text file is replaced only by the complete conversion.
    const std::string beside = folder.Write("湖.txt", kKeep);
    const fileconv::BlnReport again = fileconv::BlnToText({path}, std::nullopt);
    ASSERT_TRUE(again.output.Ok());
    EXPECT_NE(kKeep, ScratchFolder::Read(beside));
    EXPECT_NE(std::string::npos, ScratchFolder::Read(beside).find("1,2,1"));
}

} // namespace
} // namespace carvento
