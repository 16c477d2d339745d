// Import column mapping, copy text and paste parsing.
#include "support/FakePlatform.hpp"
#include "tables/ClipboardText.hpp"
#include "tables/ImportTable.hpp"

#include <gtest/gtest.h>

using namespace carvento::tables;
using carvento::testing::FakePrompter;
using Cells = std::vector<std::string>;

namespace {

CoordinateTable BLTable()
{
    CoordinateTable table;
    table.SetupColumns({"序号", "纬度B", "经度L"}, {35, 85, 90});
    return table;
}

Cells Collect(const CoordinateTable& table)
{
    Cells cells;
    table.CollectCells(cells);
    return cells;
}

} // namespace

TEST(ImportMapping, TitlesMatchSampleFieldsBySubstring)
{
    Cells sample{"点号", "纬度", "经度"};
    EXPECT_EQ(std::vector<int>({0, 1, 2}), InitialColumnChoice({"序号", "纬度B", "经度L"}, sample));
    EXPECT_TRUE(LooksLikeTitleRow(sample));
    // Upper-cased comparison, and the last matching field wins.
    EXPECT_EQ(std::vector<int>({2, 2}), InitialColumnChoice({"坐标X(m)", "X"}, {"p", "x", "X"}));
    // A fourth table column over a three-column file gets nothing.
    EXPECT_EQ(std::vector<int>({0, 1, 2, -1}),
              InitialColumnChoice({"序号", "a", "b", "c"}, {"1", "2", "3"}));
}

TEST(ImportMapping, TitleRowGuessLooksPastTheFirstField)
{
    EXPECT_TRUE(LooksLikeTitleRow({"P1", "-30.5", "114.2"}));
    EXPECT_TRUE(LooksLikeTitleRow({"P1", "1e5"}));
    EXPECT_TRUE(LooksLikeTitleRow({"P1", "1.2.3"}));
    EXPECT_FALSE(LooksLikeTitleRow({"点号", "30.5", "", "114"}));
}

TEST(ImportIntoTable, AppendsMappedRowsAndSkipsTheTitleRowWhenTicked)
{
    CoordinateTable table = BLTable();
    FakePrompter prompter;
    Cells cells{"点号", "纬度", "经度", "P1", "30.1", "114.2", "P2", "30.2", "114.3"};
    EXPECT_EQ(2, ImportIntoTable(table, cells, 3, 3, prompter));
    ASSERT_EQ(1u, prompter.mappingsShown.size());
    EXPECT_TRUE(prompter.mappingsShown[0].removeTitleRow);
    EXPECT_EQ(Cells({"P1", "30.1", "114.2", "P2", "30.2", "114.3"}), Collect(table));

    // A second import appends; the user maps file column 2 to both coordinate columns.
    carvento::platform::ColumnMapping answer;
    answer.columnMap = {0, 2, 2}; // one file column into two table columns
    answer.removeTitleRow = false;
    prompter.mappingAnswers.push_back(answer);
    Cells more{"P3", "1", "2"};
    EXPECT_EQ(1, ImportIntoTable(table, more, 1, 3, prompter));
    EXPECT_EQ(Cells({"P1", "30.1", "114.2", "P2", "30.2", "114.3", "P3", "2", "2"}),
              Collect(table));
}

TEST(ImportIntoTable, CancelOrInconsistentInputChangesNothing)
{
    CoordinateTable table = BLTable();
    FakePrompter prompter;
    prompter.mappingAnswers.push_back(std::nullopt);
    Cells row{"P1", "1", "2"};
    Cells shortRow{"P1", "1"};
    EXPECT_EQ(0, ImportIntoTable(table, row, 1, 3, prompter));
    EXPECT_EQ(0, ImportIntoTable(table, shortRow, 1, 3, prompter));
    EXPECT_EQ(1, table.RowCount());
    EXPECT_EQ(1u, prompter.mappingsShown.size());
}

TEST(Copy, TabSeparatedLinesEachEndedByCrLf)
{
    EXPECT_EQ("P1\t30.1\t114.2\r\n", FormatClipboardText({"P1", "30.1", "114.2"}, 3));
    EXPECT_EQ("a\tb\r\n\t\r\n", FormatClipboardText({"a", "b", "", ""}, 2));
}

struct PasteCase {
    std::string text;
    Cells expected;
};

class PasteTest : public ::testing::TestWithParam<PasteCase> {};

TEST_P(PasteTest, AppendsTheExpectedRows)
{
    CoordinateTable table = BLTable();
    table.AppendRow();
    table.SetCell(1, 0, "old");
    PasteText(table, GetParam().text);
    Cells expected{"old", "", ""};
    expected.insert(expected.end(), GetParam().expected.begin(), GetParam().expected.end());
    EXPECT_EQ(expected, Collect(table));
}

INSTANTIATE_TEST_SUITE_P(
    ClipboardExamples, PasteTest,
    ::testing::Values(
        PasteCase{"P1 30.1 114.2", {"P1", "30.1", "114.2"}},
        PasteCase{"P1  30.1", {"P1", "", "30.1"}},      // adjacent separators: empty field
        PasteCase{"P1 \t30.1", {"P1", "30.1", ""}},     // the space before a TAB is absorbed
        PasteCase{"30.1,114.2", {"30.1", "114.2", ""}}, // the first field lands in 序号
        PasteCase{"\r\nA;1;2;3;4\r\n", {"", "", "", "A", "1", "2"}}, // leading empty line
        PasteCase{"A\r\n\r\n\r\nB\r\n", {"A", "", "", "", "", "", "B", "", ""}},
        PasteCase{"", {}}));

TEST(Paste, AppendsAllRowsWithOneRedraw)
{
    // A grid redraws on every reported change; a pasted sheet of thousands of rows must not
    // redraw once per cell.
    CoordinateTable table = BLTable();
    int changes = 0;
    table.SetChangedHandler([&] { ++changes; });
    EXPECT_EQ(4, PasteText(table, "A 1 2\r\nB 3 4\r\n\r\nC 5 6\r\n"));
    EXPECT_EQ(1, changes);
    EXPECT_EQ(5, table.RowCount());
}

TEST(ImportIntoTable, ReorderedAndNarrowerMappingsKeepEveryField)
{
    // Rows are rebuilt inside the read list: a reordering within a row, a skipped title row
    // and fewer table than file columns must not overwrite a field before it is read.
    CoordinateTable table = BLTable();
    Cells cells{"t0", "t1", "t2", "t3", "a0", "a1", "a2", "a3", "b0", "b1", "b2", "b3"};
    AppendMappedRows(table, cells, 3, 4, {3, 0, 2}, true);
    EXPECT_EQ(Cells({"a3", "a0", "a2", "b3", "b0", "b2"}), Collect(table));

    CoordinateTable wide;
    wide.SetupColumns({"序号", "x", "y", "h", "备注"}, {35, 80, 80, 80, 80});
    Cells narrow{"p", "1", "2", "q", "3", "4"};
    AppendMappedRows(wide, narrow, 2, 3, {0, 2, 1, -1, 0}, false);
    EXPECT_EQ(Cells({"p", "2", "1", "", "p", "q", "4", "3", "", "q"}), Collect(wide));
}

TEST(ImportMapping, EmptySampleFieldsMatchNoTitle)
{
    // A trailing comma, or a point without a name, must not capture every column.
    EXPECT_EQ(std::vector<int>({0, 1, 2}),
              InitialColumnChoice({"序号", "纬度B", "经度L"}, {"P1", "30.5", "106.3", ""}));
    EXPECT_EQ(std::vector<int>({0, 1, 2}),
              InitialColumnChoice({"序号", "纬度B", "经度L"}, {"", "30.5", "106.3"}));
}

TEST(ImportMapping, AWideFirstRowOffersItsFirstFieldsOnly)
{
    CoordinateTable table = BLTable();
    const int columns = 1000000;
    Cells cells(columns, "1");
    FakePrompter prompter;
    prompter.mappingAnswers.push_back(std::nullopt);
    EXPECT_EQ(0, ImportIntoTable(table, cells, 1, columns, prompter, {{1, 2}, 7}));
    ASSERT_EQ(1u, prompter.mappingsShown.size());
    const auto& shown = prompter.mappingsShown.front();
    EXPECT_EQ(static_cast<std::size_t>(carvento::platform::ColumnMapping::kMaxSampleFields),
              shown.sampleFields.size());
    EXPECT_EQ(columns, shown.fileColumns);
    EXPECT_EQ(std::vector<int>({1, 2}), shown.requiredColumns);
    EXPECT_EQ(7, shown.firstLine);
}

TEST(ImportIntoTable, RowsReadIntoATableMapAsTheListOfTheirCells)
{
    // 导入 keeps the rows it reads in a table of the file's width. Mapped as they are they
    // move whole; reordered, with a title row and more rows than one block of the mapping,
    // they must come out as the list import gives them, the title row dropped once only.
    constexpr int kRows = 70000;
    Cells fields{"点名", "x", "y", "备注"};
    for (int r = 1; r < kRows; ++r)
        fields.insert(fields.end(),
                      {"控制点第" + std::to_string(r) + "号", std::to_string(r), "2", "说明文字"});
    carvento::platform::ColumnMapping answer;
    answer.columnMap = {0, 2, 1};
    answer.removeTitleRow = true;

    for (bool asTheyAre : {false, true}) {
        SCOPED_TRACE(asTheyAre);
        CoordinateTable read;
        read.SetupColumns(Cells(4), {});
        read.AppendRows(Cells(fields));
        CoordinateTable fromTable = BLTable();
        CoordinateTable fromList = BLTable();
        fromTable.AppendRows({"P0", "1", "2"});
        fromList.AppendRows({"P0", "1", "2"});
        FakePrompter prompter;
        Cells cells = fields;
        int columns = 4;
        if (asTheyAre) {
            // Three columns in table order, no title row: nothing is rebuilt.
            read.SetupColumns(Cells(3), {});
            cells.clear();
            for (std::size_t i = 4; i < fields.size(); i += 4)
                cells.insert(cells.end(), fields.begin() + static_cast<std::ptrdiff_t>(i),
                             fields.begin() + static_cast<std::ptrdiff_t>(i) + 3);
            read.AppendRows(Cells(cells));
            columns = 3;
        } else {
            prompter.mappingAnswers = {answer, answer};
        }
        const int rows = static_cast<int>(cells.size()) / columns;
        const int expected = asTheyAre ? rows : rows - 1;
        EXPECT_EQ(expected, ImportIntoTable(fromTable, read, prompter));
        EXPECT_EQ(expected, ImportIntoTable(fromList, cells, rows, columns, prompter));
        EXPECT_EQ(Collect(fromList), Collect(fromTable));
        EXPECT_EQ(0, read.DataRowCount());
        ASSERT_EQ(2u, prompter.mappingsShown.size());
        EXPECT_EQ(prompter.mappingsShown[1].sampleFields, prompter.mappingsShown[0].sampleFields);
    }

    // Cancelled, the read rows stay where they are.
    CoordinateTable read;
    read.SetupColumns(Cells(3), {});
    read.AppendRows({"P1", "1", "2"});
    CoordinateTable table = BLTable();
    FakePrompter prompter;
    prompter.mappingAnswers.push_back(std::nullopt);
    EXPECT_EQ(0, ImportIntoTable(table, read, prompter));
    EXPECT_EQ(1, read.DataRowCount());
    EXPECT_EQ(0, table.DataRowCount());
}
