// Block paste into a grid at a cell, range copy and range clearing.
#include "tables/GridPaste.hpp"

#include <gtest/gtest.h>

using namespace carvento::tables;
using Cells = std::vector<std::string>;

namespace {

// Three columns, `rows` data rows filled with "r<row>c<column>".
CoordinateTable Filled(int rows)
{
    CoordinateTable table;
    table.SetupColumns({"序号", "纬度B", "经度L"}, {35, 85, 90});
    for (int r = 1; r <= rows; ++r) {
        table.AppendRow();
        for (int c = 0; c < 3; ++c)
            table.SetCell(r, c, "r" + std::to_string(r) + "c" + std::to_string(c));
    }
    return table;
}

Cells Collect(const CoordinateTable& table)
{
    Cells cells;
    table.CollectCells(cells);
    return cells;
}

} // namespace

TEST(SplitCellBlock, SplitsLinesAndCellsLikePasteAndPadsShortLines)
{
    CellBlock block = SplitCellBlock("P1\t30.1\t114.2\r\nP2,30.2\r\n\r\nP3 ;x\n");
    EXPECT_EQ(4, block.rows);
    EXPECT_EQ(3, block.columns);
    EXPECT_EQ(Cells({"P1", "30.1", "114.2", "P2", "30.2", "", "", "", "", "P3", "", "x"}),
              block.cells);

    // A space before a TAB is absorbed; a lone CR ends a line; a final line end adds nothing.
    block = SplitCellBlock("a \tb\rc");
    EXPECT_EQ(2, block.rows);
    EXPECT_EQ(Cells({"a", "b", "c", ""}), block.cells);

    EXPECT_TRUE(SplitCellBlock("30.5\r\n").IsSingleCell());
    EXPECT_FALSE(SplitCellBlock("30.5\r\n31\r\n").IsSingleCell());
    EXPECT_EQ(0, SplitCellBlock("").rows);
    EXPECT_EQ(0, SplitCellBlock("\r\n\r\n").rows);
}

TEST(PasteBlock, FillsAcrossAndDownAppendingRowsAndDroppingSurplusColumns)
{
    CoordinateTable table = Filled(2);
    // Two cells wide at column 2 of row 2: the second column falls off the table, the second
    // and third lines need two new rows.
    CellBlock block = SplitCellBlock("a\tx\nb\ty\nc\tz\n");
    EXPECT_EQ(2, PasteBlock(table, 2, 2, block));
    EXPECT_EQ(Cells({"r1c0", "r1c1", "r1c2", "r2c0", "r2c1", "a", "", "", "b", "", "", "c"}),
              Collect(table));

    // Into an empty table at the append position.
    CoordinateTable empty = Filled(0);
    EXPECT_EQ(2, PasteBlock(empty, 1, 0, SplitCellBlock("P1,30.1,114.2\r\nP2,30.2,114.3\r\n")));
    EXPECT_EQ(Cells({"P1", "30.1", "114.2", "P2", "30.2", "114.3"}), Collect(empty));

    // A single cell replaces just that cell.
    EXPECT_EQ(0, PasteBlock(table, 1, 1, SplitCellBlock("30.5")));
    EXPECT_EQ("30.5", table.GetCell(1, 1));
    EXPECT_EQ("r1c2", table.GetCell(1, 2));
}

TEST(PasteBlock, RefusesPositionsOutsideTheDataCells)
{
    CoordinateTable table = Filled(1);
    const Cells before = Collect(table);
    CellBlock block = SplitCellBlock("a\tb");
    EXPECT_EQ(0, PasteBlock(table, 0, 0, block)); // the title row
    EXPECT_EQ(0, PasteBlock(table, 3, 0, block)); // past the append position
    EXPECT_EQ(0, PasteBlock(table, 1, 3, block));
    EXPECT_EQ(0, PasteBlock(table, 1, -1, block));
    EXPECT_EQ(0, PasteBlock(table, 1, 0, CellBlock{}));
    EXPECT_EQ(before, Collect(table));
    EXPECT_EQ("纬度B", table.GetCell(0, 1));
}

TEST(CellRange, CopiesInTheCopyFormatAndClearsOnlyDataCells)
{
    CoordinateTable table = Filled(3);
    EXPECT_EQ("r2c1\tr2c2\r\nr3c1\tr3c2\r\n", FormatRangeText(table, {2, 1, 3, 2}));
    EXPECT_EQ("r1c0\r\n", FormatRangeText(table, {1, 0, 1, 0}));
    // Clipped to the data: the title row and columns past the end are never part of it.
    EXPECT_EQ("r3c2\r\n", FormatRangeText(table, {3, 2, 9, 9}));
    EXPECT_EQ("", FormatRangeText(table, {0, 0, 0, 2}));
    EXPECT_EQ("", FormatRangeText(table, {2, 2, 1, 2}));

    EXPECT_EQ(4, ClearRange(table, {0, 1, 2, 2}));
    EXPECT_EQ(Cells({"r1c0", "", "", "r2c0", "", "", "r3c0", "r3c1", "r3c2"}), Collect(table));
    EXPECT_EQ("纬度B", table.GetCell(0, 1));
    EXPECT_EQ(0, ClearRange(table, {1, 1, 2, 2}));
}
