// Reading and writing coordinate text files: column detection, blank and short lines,
// code pages, and write failures.
#include "tables/TableStream.hpp"
#include "tables/TextTableFile.hpp"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

using namespace carvento::tables;
using Cells = std::vector<std::string>;

namespace {

struct Read {
    int count = 0;
    int rows = 0;
    int columns = 0;
    Cells cells;
    FileResult result;
};

// Reads bytes the way a page's import does: no title line, comma separated.
Read ReadBytes(std::string_view bytes, bool titleLine = false)
{
    TextTableFile file;
    file.OpenForReadFromBytes(std::string(bytes));
    file.SetTitleLine(titleLine);
    file.AddDelimiter(',');
    Read read;
    read.count = file.ReadAll(read.cells, read.rows, read.columns);
    read.result = file.LastResult();
    return read;
}

std::string Slurp(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

class TempDir {
public:
    TempDir()
    {
        m_path = std::filesystem::temp_directory_path() /
                 ("carvento-tables-" + std::to_string(::getpid()) + "-" + std::to_string(s_next++));
        std::filesystem::create_directories(m_path);
    }
    ~TempDir() { std::filesystem::remove_all(m_path); }
    std::string File(const std::string& name) const { return (m_path / name).string(); }

private:
    std::filesystem::path m_path;
    static inline int s_next = 0;
};

} // namespace

TEST(DetectColumns, WidestOfTheFirstEightLines)
{
    TextTableFile file;
    file.OpenForReadFromBytes("a,b\n1,2,3\n\n\n\n\n\n\n1,2,3,4,5\n");
    file.AddDelimiter(',');
    file.SetTitleLine(false);
    Cells names;
    EXPECT_EQ(3, file.DetectColumns(names));
    EXPECT_EQ(Cells({"列1", "列2", "列3"}), names);
}

TEST(DetectColumns, TitleLineGivesNamesAndIsSkipped)
{
    TextTableFile file;
    file.OpenForReadFromBytes("\r\n点号,纬度\r\nP1,30.1,114.2\r\n");
    file.AddDelimiter(',');
    Cells names;
    EXPECT_EQ(3, file.DetectColumns(names));
    EXPECT_EQ(Cells({"点号", "纬度", "列3"}), names);
}

TEST(DetectColumns, NothingInEightLinesIsNoData)
{
    Read read = ReadBytes("\n\n\n\n\n\n\n\n1,2\n");
    EXPECT_EQ(0, read.count);
    EXPECT_EQ(FileStatus::NoData, read.result.status);
    EXPECT_EQ(FileStatus::NoData, ReadBytes("").result.status);
}

TEST(ReadAll, RunsOfEmptyLinesBecomeOneBlankRow)
{
    Read read = ReadBytes("P1,30.1,114.2\n\n\nP2,30.2,114.3\n\n\n");
    EXPECT_EQ(12, read.count);
    EXPECT_EQ(4, read.rows);
    EXPECT_EQ(Cells({"P1", "30.1", "114.2", "", "", "", "P2", "30.2", "114.3", "", "", ""}),
              read.cells);
}

TEST(ReadAll, LeadingEmptyLinesAddNothingAndSurplusFieldsAreCut)
{
    Read read = ReadBytes("\r\n\r\nP1,1,2\r\nP2,3,4\r\n\r\n\r\n\r\n\r\nP3,5,6,7\r\n");
    EXPECT_EQ(3, read.columns);
    EXPECT_EQ(Cells({"P1", "1", "2", "P2", "3", "4", "", "", "", "P3", "5", "6"}), read.cells);
}

TEST(ReadAll, ShortLineStopsWithItsLineNumber)
{
    Read first = ReadBytes("P1,1,2\nP2,3,4\nP3,5,6,7\n");
    EXPECT_EQ(0, first.count);
    EXPECT_EQ(FileStatus::ShortLine, first.result.status);
    EXPECT_EQ(1, first.result.line);

    // Lines are counted from the top of the file, empty ones and CR LF ends included.
    Read later = ReadBytes("P1,1,2\r\n\r\nP2,3\r\nP3,5,6\r\n");
    EXPECT_EQ(0, later.count);
    EXPECT_EQ(3, later.result.line);
    EXPECT_EQ(2, later.rows);
    EXPECT_EQ(Cells({"P1", "1", "2", "", "", ""}), later.cells);
}

TEST(ReadAll, SpacesStayInFields)
{
    Read read = ReadBytes("1, 2\n");
    EXPECT_EQ(Cells({"1", " 2"}), read.cells);
}

TEST(CodePages, GbkFileWithChineseAndAngleSignsReadsAsText)
{
    // "点号,纬度" / "P1,30°12′" / "Q,30啊恪" in GBK with CR LF.
    std::string gbk = "\xB5\xE3\xBA\xC5,\xCE\xB3\xB6\xC8\r\n"
                      "P1,30\xA1\xE3"
                      "12\xA1\xE4\r\n"
                      "Q,30\xB0\xA1\xE3\xA1\r\n";
    Read read = ReadBytes(gbk);
    ASSERT_TRUE(read.result.Ok());
    EXPECT_EQ(Cells({"点号", "纬度", "P1", "30°12′", "Q", "30啊恪"}), read.cells);
}

TEST(CodePages, Utf8WithAndWithoutBomAndUtf16Read)
{
    Cells expected{"点1", "30°", "P2", "40″"};
    EXPECT_EQ(expected, ReadBytes("点1,30°\nP2,40″\n").cells);
    EXPECT_EQ(expected, ReadBytes("\xEF\xBB\xBF点1,30°\r\nP2,40″\r\n").cells);
    // UTF-16 LE with byte-order mark: "点1,30°\r\nP2,40″".
    std::u16string utf16 = u"点1,30°\r\nP2,40″";
    std::string bytes = "\xFF\xFE";
    for (char16_t c : utf16) {
        bytes += static_cast<char>(c & 0xFF);
        bytes += static_cast<char>(c >> 8);
    }
    EXPECT_EQ(expected, ReadBytes(bytes).cells);
}

TEST(CodePages, InvalidBytesAreReportedWithTheirLine)
{
    // \x81\x20 is not a GBK character (and not UTF-8): line 3.
    Read read = ReadBytes("P1,1,2\r\nP2,3,4\r\nP3,\x81\x20,6\r\nP4,7,8\r\n");
    EXPECT_EQ(0, read.count);
    EXPECT_EQ(FileStatus::InvalidBytes, read.result.status);
    EXPECT_EQ(3, read.result.line);
    EXPECT_EQ(2, read.rows);
}

TEST(WriteTable, BlankRunsBecomeOneEmptyLineWithCrLf)
{
    TempDir dir;
    TextTableFile file;
    ASSERT_TRUE(file.OpenForWrite(dir.File("out.txt")));
    Cells cells{"P1", "30.1", "114.2", "", "", "", "", "", "", "P2", "30.2", "114.3"};
    EXPECT_EQ(12, file.WriteTable(cells, 4, 3, {"序号", "纬度", "经度"}));
    EXPECT_TRUE(file.Close().Ok());
    EXPECT_EQ("\xD0\xF2\xBA\xC5,\xCE\xB3\xB6\xC8,\xBE\xAD\xB6\xC8\r\n"
              "P1,30.1,114.2\r\n\r\nP2,30.2,114.3\r\n",
              Slurp(dir.File("out.txt")));
}

TEST(WriteTable, LeadingBlankRowIsWrittenAndWrongCountWritesNothing)
{
    TempDir dir;
    TextTableFile file;
    ASSERT_TRUE(file.OpenForWrite(dir.File("out.txt"), TextEncoding::Utf8));
    EXPECT_EQ(4, file.WriteRows(Cells{"", "", "A", "1°"}, 2, 2, true));
    EXPECT_EQ(0, file.WriteRows(Cells{"x"}, 2, 2, false));
    EXPECT_EQ(FileStatus::BadCellCount, file.LastResult().status);
    file.Close();
    EXPECT_EQ("\r\nA,1°\r\n", Slurp(dir.File("out.txt")));
}

TEST(WriteTable, ExportThenImportGivesTheRowsBack)
{
    TempDir dir;
    Cells cells{"点1", "30°12′", "114.2", "", "", "", "", "", "", "P2", "-30.2", "114.3"};
    TextTableFile out;
    ASSERT_TRUE(out.OpenForWrite(dir.File("round.csv")));
    out.WriteTable(cells, 4, 3, {"序号", "纬度", "经度"});
    ASSERT_TRUE(out.Close().Ok());

    TextTableFile in;
    ASSERT_TRUE(in.OpenForRead(dir.File("round.csv")));
    EXPECT_EQ(TextEncoding::Gbk, in.DetectedEncoding());
    in.SetTitleLine(false);
    in.AddDelimiter(',');
    Cells read;
    int rows = 0, columns = 0;
    EXPECT_EQ(12, in.ReadAll(read, rows, columns));
    Cells expected{"序号", "纬度", "经度", "点1", "30°12′", "114.2",
                   "",     "",     "",     "P2",  "-30.2",  "114.3"};
    EXPECT_EQ(expected, read);
}

TEST(WriteTable, CharacterOutsideGbkIsWrittenAsGb18030)
{
    TempDir dir;
    TextTableFile file;
    ASSERT_TRUE(file.OpenForWrite(dir.File("out.txt")));
    EXPECT_EQ(4, file.WriteTable(Cells{"P1", "1", "P😀", "2"}, 2, 2, {"序号", "x"}));
    EXPECT_TRUE(file.Close().Ok());
    const std::string bytes = Slurp(dir.File("out.txt"));
    EXPECT_EQ("\xD0\xF2\xBA\xC5,x\r\nP1,1\r\nP\x94\x39\xFC\x36,2\r\n", bytes);
    EXPECT_EQ("序号,x\r\nP1,1\r\nP😀,2\r\n", DecodeText(bytes).text);
}

TEST(WriteTable, FailuresAreReportedNotTakenForSuccess)
{
    TextTableFile file;
    EXPECT_FALSE(file.OpenForWrite("/nonexistent-folder/out.txt"));
    // A device is no file to replace.
    EXPECT_FALSE(file.OpenForWrite("/dev/full"));
}

TEST(WriteTable, AFailedWriteLeavesTheExistingFileUntouched)
{
    TempDir dir;
    std::string target = dir.File("pts.txt");
    std::string before(130000, 'x');
    std::ofstream(target, std::ios::binary) << before;

    // A point name that is no valid text stops the export half-way.
    TextTableFile file;
    ASSERT_TRUE(file.OpenForWrite(target));
    EXPECT_EQ(0, file.WriteTable(Cells{"P1", "1", "2", "\xF0\x9F", "3", "4"}, 2, 3,
                                 {"序号", "x", "y"}));
    EXPECT_EQ(FileStatus::InvalidBytes, file.LastResult().status);
    file.Close();
    EXPECT_EQ(before, Slurp(target));
    // Nothing but the target is left in the folder.
    EXPECT_EQ(1, std::distance(std::filesystem::directory_iterator(
                                   std::filesystem::path(target).parent_path()),
                               std::filesystem::directory_iterator()));

    // A complete write replaces it, with the target's permissions and through a link.
    std::filesystem::permissions(target, std::filesystem::perms::owner_read |
                                             std::filesystem::perms::owner_write);
    std::filesystem::create_symlink(target, dir.File("link.txt"));
    ASSERT_TRUE(file.OpenForWrite(dir.File("link.txt")));
    EXPECT_EQ(3, file.WriteTable(Cells{"P1", "1", "2"}, 1, 3, {}));
    EXPECT_TRUE(file.Close().Ok());
    EXPECT_EQ("P1,1,2\r\n", Slurp(target));
    EXPECT_TRUE(std::filesystem::is_symlink(dir.File("link.txt")));
    EXPECT_EQ(std::filesystem::perms::owner_read | std::filesystem::perms::owner_write,
              std::filesystem::status(target).permissions() & std::filesystem::perms::all);
}

TEST(ReadAll, OneWideFirstLineNeedsNoMemoryBeyondTheFile)
{
    // 100 001 fields on line 1, then 200 000 ordinary lines: reserving lines x columns
    // cells would ask for hundreds of gigabytes.
    std::string bytes = "P";
    for (int i = 0; i < 100000; ++i)
        bytes += ",1";
    bytes += "\n";
    for (int i = 0; i < 200000; ++i)
        bytes += "P,1,2\n";
    Read read = ReadBytes(bytes);
    EXPECT_EQ(FileStatus::ShortLine, read.result.status);
    EXPECT_EQ(2, read.result.line);
    EXPECT_EQ(1, read.rows);
    EXPECT_LE(read.cells.capacity() * sizeof(std::string), 64 * bytes.size());
}

TEST(ReadAll, LineEndsConvertedTwiceAddNoBlankRows)
{
    Read read = ReadBytes("P1,1,2\r\r\nP2,3,4\r\r\n\r\r\nP3,5,6\r\r\n");
    EXPECT_EQ(FileStatus::Ok, read.result.status);
    EXPECT_EQ(Cells({"P1", "1", "2", "P2", "3", "4", "", "", "", "P3", "5", "6"}), read.cells);
}

// How files without a byte-order mark are decoded: real GBK stays GBK, Chinese UTF-8 stays
// UTF-8, and a UTF-8 file with a damaged line names that line instead of turning every name
// into mojibake.
TEST(DecodeText, JudgesTheEncodingByPlausibleLines)
{
    const std::string gbk1 = "\xB2\xE2\xD5\xBE\xD2\xBB"; // 测站一
    const std::string gbk2 = "\xB5\xBC\xCF\xDF\xB5\xE3"; // 导线点
    const std::string gbk3 = "\xCB\xAE\xD7\xBC\xB5\xE3"; // 水准点
    const std::string gbkLu = "\xC2\xAF";                // 炉, also the valid UTF-8 "¯"
    struct Case {
        const char* what;
        std::string bytes;
        TextEncoding encoding;
        CodePageStatus status;
        int line;
        std::string text;
    } cases[] = {
        {"GBK names", gbk1 + ",1,2\r\n" + gbk2 + ",3,4\r\n" + gbk3 + ",5,6\r\n", TextEncoding::Gbk,
         CodePageStatus::Ok, 0, "测站一,1,2\r\n导线点,3,4\r\n水准点,5,6\r\n"},
        {"GBK valid as UTF-8", gbkLu + ",30,114\r\n", TextEncoding::Gbk, CodePageStatus::Ok, 0,
         "炉,30,114\r\n"},
        {"UTF-8 names", "测站一,1,2\n导线点,3,4\n", TextEncoding::Utf8, CodePageStatus::Ok, 0,
         "测站一,1,2\n导线点,3,4\n"},
        {"UTF-8 with a truncated last character", "测站一,1,2\n导线点,3,4\n水准\xE7\x82",
         TextEncoding::Utf8, CodePageStatus::InvalidBytes, 3, "测站一,1,2\n导线点,3,4\n水准"},
        {"UTF-8 with one name saved as GBK", "测站一,1,2\r\n" + gbk2 + ",3,4\r\n水准点,5,6\r\n",
         TextEncoding::Utf8, CodePageStatus::InvalidBytes, 2, "测站一,1,2\r\n"},
        {"byte-order mark, code point above U+10FFFF",
         "\xEF\xBB\xBFP1,1,2\nP\xF4\x90\x80\x80,3,4\n", TextEncoding::Utf8,
         CodePageStatus::InvalidBytes, 2, "P1,1,2\nP"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        DecodedText decoded = DecodeText(std::string_view(c.bytes));
        EXPECT_EQ(c.encoding, decoded.encoding);
        EXPECT_EQ(c.status, decoded.status);
        EXPECT_EQ(c.line, decoded.line);
        EXPECT_EQ(c.text, decoded.text);
        DecodedText moved = DecodeText(std::string(c.bytes));
        EXPECT_EQ(c.encoding, moved.encoding);
        EXPECT_EQ(c.text, moved.text);
    }
}

// The block reader gives exactly the rows, results and line numbers of the whole-file reader,
// whatever the block size and wherever pieces of the file end.
TEST(TableStream, ReadsInBlocksWhatReadAllReads)
{
    const std::string gbk = "\xB5\xBC\xCF\xDF\xB5\xE3"; // 导线点
    std::string longFile;
    for (int i = 0; i < 60000; ++i)
        longFile += (i % 7000 == 6999 ? "\r\n\r\n" : "") + gbk + std::to_string(i) + ",1.5,2.5\r\n";
    const std::string inputs[] = {
        "P1,30.1,114.2\n\n\nP2,30.2,114.3\n\n\n",
        "\n\nP1,1,2,3\nP2,4,5\n", // short line 4
        "P1,1,2\r\r\nP2,3,4\r\r\n",
        "测站一,1,2\n导线点,3,4\n水准\xE7\x82,5,6", // damaged UTF-8 in line 3
        "\xEF\xBB\xBFP1,1,2\nP2,3,4\n",
        std::string("\xFF\xFEP\0,\0001\0\n\0", 10),
        "",
        longFile,
    };
    TempDir dir;
    for (const std::string& bytes : inputs) {
        SCOPED_TRACE(bytes.substr(0, 40));
        Read whole = ReadBytes(bytes);
        std::ofstream(dir.File("in.txt"), std::ios::binary | std::ios::trunc) << bytes;
        for (int block : {1, 3, 40000}) {
            TableStream stream;
            ASSERT_TRUE(stream.Open(dir.File("in.txt")));
            stream.AddDelimiter(',');
            int columns = stream.DetectColumns();
            EXPECT_EQ(whole.columns, columns);
            Cells cells;
            int rows = 0;
            for (int got; columns > 0 && (got = stream.ReadRows(cells, block)) > 0;)
                rows += got;
            EXPECT_EQ(whole.result.status, stream.LastResult().status);
            EXPECT_EQ(whole.result.line, stream.LastResult().line);
            if (whole.result.Ok()) {
                EXPECT_EQ(whole.rows, rows);
                EXPECT_TRUE(whole.cells == cells);
            }
        }
    }
}
