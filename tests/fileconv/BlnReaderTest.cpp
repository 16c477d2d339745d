// BLN files to numbered text: Surfer's own variants (named headers, z values), counts that
// cannot be trusted, polygons cut short by the end of a file, and the two output modes.
#include "fileconv/BlnReader.hpp"
#include "support/ScratchFolder.hpp"

#include <gtest/gtest.h>

namespace carvento::fileconv {
namespace {

using testing::ScratchFolder;

// The header line as the file holds it: GBK, CR LF.
std::string Header()
{
    return tables::EncodeText("序号,纬度,经度\r\n", tables::TextEncoding::Gbk).bytes;
}

constexpr const char* kTriangle = "1,30.1,114.1\r\n2,30.2,114.2\r\n3,30.1,114.3\r\n\r\n";

TEST(BlnReader, TheExampleAndSurfersNamedHeadersAndZValuesGiveTheSameText)
{
    ScratchFolder folder;
    const std::string plain = folder.Write("plain.bln",
                                           "3,1\n114.1,30.1\n114.2,30.2\n114.3,30.1\n");
    const std::string surfer = folder.Write("surfer.bln",
                                            "3,1,\"Lake 1\"\r\n114.1,30.1,12.5\r\n114.2,30.2,13\r\n"
                                            "114.3,30.1,12\r\n\r\n");
    for (const std::string& path : {plain, surfer}) {
        BlnReport report = BlnToText({path}, std::nullopt);
        EXPECT_TRUE(report.findings.empty()) << path;
        EXPECT_EQ(1, report.polygons);
        const std::string output = path.substr(0, path.size() - 4) + ".txt";
        ASSERT_EQ(std::vector<std::string>{output}, report.output.written);
        EXPECT_EQ(Header() + kTriangle, ScratchFolder::Read(output));
    }
}

TEST(BlnReader, CountsThatAreNotPositiveNumbersAreReportedAndTheirHeaderSkipped)
{
    ScratchFolder folder;
    const std::string path =
        folder.Write("counts.bln", "0,1\n-2,1\nabc,1\n3,1\n114.1,30.1\n114.2,30.2\n114.3,30.1\n");
    BlnFileText file = ReadBlnFile(path);
    ASSERT_EQ(3u, file.findings.size());
    EXPECT_EQ(1, file.findings[0].line);
    EXPECT_EQ(2, file.findings[1].line);
    EXPECT_EQ(3, file.findings[2].line);
    EXPECT_EQ(path + " 第1行: 顶点数不是正整数，该多边形已跳过", Describe(file.findings[0]));
    EXPECT_EQ("1,30.1,114.1\n2,30.2,114.2\n3,30.1,114.3\n\n", file.text);
}

TEST(BlnReader, CountsWrittenWithDecimalsAreReadAsCIntegers)
{
    // Some programs write the count as a decimal number: "3.0" is 3, and what follows the
    // digits is no part of the count, as a C integer read takes it.
    ScratchFolder folder;
    const std::string path =
        folder.Write("decimal.bln",
                     "3.0,1\n114.1,30.1\n114.2,30.2\n114.3,30.1\n 2.00 ,0,\"Pond\"\n1,2\n3,4\n"
                     "+1e5,1\n5,6\n-0.0,1\n.5,1\n");
    BlnFileText file = ReadBlnFile(path);
    EXPECT_EQ("1,30.1,114.1\n2,30.2,114.2\n3,30.1,114.3\n\n1,2,1\n2,4,3\n\n1,6,5\n\n", file.text);
    EXPECT_EQ(3, file.polygons);
    EXPECT_EQ(6, file.vertices);
    // A count without digits before the point, and a zero one, are still no counts.
    ASSERT_EQ(2u, file.findings.size());
    EXPECT_EQ(10, file.findings[0].line);
    EXPECT_EQ(11, file.findings[1].line);
    EXPECT_EQ(file.findings[0].message, file.findings[1].message);
}

TEST(BlnReader, APolygonCutShortEndsWithItsFileAndIsReported)
{
    ScratchFolder folder;
    const std::string first = folder.Write("a.bln", "4,1\n114.1,30.1\n114.2,30.2\n");
    const std::string second = folder.Write("b.bln", "3,1\n114.1,30.1\n114.2,30.2\n114.3,30.1\n");
    const std::string merged = folder / "all.txt";
    BlnReport report = BlnToText({first, second}, merged);
    ASSERT_EQ(1u, report.findings.size());
    EXPECT_EQ(first, report.findings[0].path);
    EXPECT_EQ(1, report.findings[0].line);
    EXPECT_EQ("多边形应有4个顶点，文件结束时只有2个", report.findings[0].message);
    EXPECT_EQ(Header() + std::string("1,30.1,114.1\r\n2,30.2,114.2\r\n\r\n") + kTriangle,
              ScratchFolder::Read(merged));
}

TEST(BlnReader, AHugeCountCostsNothingAndIsReportedAtTheEnd)
{
    ScratchFolder folder;
    const std::string path = folder.Write("huge.bln",
                                          "99999999999999999999999,1\n114.1,30.1\n2147483647,1\n");
    BlnFileText file = ReadBlnFile(path);
    EXPECT_EQ("1,30.1,114.1\n2,1,2147483647\n\n", file.text);
    ASSERT_EQ(1u, file.findings.size());
    EXPECT_NE(std::string::npos, file.findings[0].message.find("只有2个"));
}

TEST(BlnReader, UnreadableInputsAndOddLinesAreReportedWithoutTouchingOtherFiles)
{
    ScratchFolder folder;
    const std::string dotted = folder.Write("v1.2/border", "2,1\n1,2\n3,4,5,6\n5,6\n");
    const std::string missing = folder / "missing.bln";
    BlnReport report = BlnToText({dotted, missing}, std::nullopt);
    EXPECT_EQ(std::vector<std::string>{missing}, report.unreadable);
    ASSERT_EQ(1u, report.findings.size());
    EXPECT_EQ(3, report.findings[0].line);
    // A folder with a dot and a name without one: the output goes beside the input.
    EXPECT_EQ(Header() + "1,2,1\r\n2,6,5\r\n\r\n", ScratchFolder::Read(folder / "v1.2/border.txt"));
    EXPECT_FALSE(std::filesystem::exists(folder / "missing.txt"));
}

} // namespace
} // namespace carvento::fileconv
