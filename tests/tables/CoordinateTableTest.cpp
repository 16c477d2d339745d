// Row commands and the two bulk accessors of CoordinateTable.
#include "tables/CoordinateTable.hpp"

#include <gtest/gtest.h>

using namespace carvento::tables;
using Cells = std::vector<std::string>;

namespace {

CoordinateTable MakeTable(const Cells& dataCells)
{
    CoordinateTable table;
    table.SetupColumns({"序号", "纬度B", "经度L"}, {35, 85, 90});
    table.FillRows(dataCells, static_cast<int>(dataCells.size() / 3), 3);
    return table;
}

Cells Collect(const CoordinateTable& table)
{
    Cells cells;
    table.CollectCells(cells);
    return cells;
}

const RowSelection kNothingSelected{4, -1};

} // namespace

TEST(CoordinateTable, SetupGivesHeaderOnly)
{
    CoordinateTable table = MakeTable({});
    EXPECT_EQ(1, table.RowCount());
    EXPECT_EQ(Cells({"序号", "纬度B", "经度L"}), table.ColumnTitles());
    Cells cells;
    EXPECT_EQ(0, table.CollectCells(cells));
}

TEST(CoordinateTable, InsertAndDeleteWithoutSelectionChangeNothing)
{
    CoordinateTable table = MakeTable({"1", "a", "b", "2", "c", "d", "3", "e", "f"});
    table.InsertRowBeforeSelection(kNothingSelected);
    table.DeleteSelectedRow(kNothingSelected);
    EXPECT_EQ(4, table.RowCount());
    // The header is never deleted, even if the grid reports it as selected.
    table.DeleteSelectedRow({0, 0});
    EXPECT_EQ("序号", table.GetCell(0, 0));
}

TEST(CoordinateTable, DeleteRemovesOnlyTheTopmostSelectedRow)
{
    CoordinateTable table =
        MakeTable({"1", "", "", "2", "", "", "3", "", "", "4", "", "", "5", "", ""});
    table.DeleteSelectedRow({3, 5});
    EXPECT_EQ(5, table.RowCount());
    EXPECT_EQ("2", table.GetCell(2, 0));
    EXPECT_EQ("4", table.GetCell(3, 0));
}

TEST(CoordinateTable, InsertPutsAnEmptyRowBeforeTheSelection)
{
    CoordinateTable table = MakeTable({"1", "a", "b", "2", "c", "d"});
    table.InsertRowBeforeSelection({2, 2});
    EXPECT_EQ(Cells({"1", "a", "b", "", "", "", "2", "c", "d"}), Collect(table));
    EXPECT_EQ(4, table.AppendRow());
}

TEST(CoordinateTable, ClearKeepsTheHeader)
{
    CoordinateTable table = MakeTable({"1", "a", "b"});
    table.ClearRows();
    table.ClearRows();
    EXPECT_EQ(1, table.RowCount());
    EXPECT_EQ("经度L", table.GetCell(0, 2));
}

TEST(CoordinateTable, CollectAppendsToTheList)
{
    CoordinateTable table = MakeTable({"1", "a", "b"});
    Cells cells{"x"};
    EXPECT_EQ(4, table.CollectCells(cells));
}

TEST(CoordinateTable, FillRowsRefusesAWrongLength)
{
    CoordinateTable table = MakeTable({"1", "a", "b"});
    table.FillRows(Cells{"2", "c"}, 1, 3);
    EXPECT_EQ(Cells({"1", "a", "b"}), Collect(table));
}

TEST(CoordinateTable, FillRowsKeepsExtraColumnsAndDropsSurplusFields)
{
    CoordinateTable wide;
    wide.SetupColumns({"序号", "x", "y", "h"}, {35, 80, 80, 80});
    wide.FillRows(Cells{"1", "a", "b", "H1", "2", "c", "d", "H2"}, 2, 4);
    wide.FillRows(Cells{"7", "p", "q", "8", "r", "s", "9", "t", "u"}, 3, 3);
    EXPECT_EQ(Cells({"7", "p", "q", "H1", "8", "r", "s", "H2", "9", "t", "u", ""}), Collect(wide));

    CoordinateTable narrow;
    narrow.SetupColumns({"序号", "x"}, {35, 80});
    narrow.FillRows(Cells{"1", "a", "b"}, 1, 3);
    EXPECT_EQ(Cells({"1", "a"}), Collect(narrow));
}

TEST(CoordinateTable, BlankRowsAreRowsWithEveryCellEmpty)
{
    CoordinateTable table = MakeTable({"", "30", "114", "", "", ""});
    EXPECT_FALSE(table.IsBlankRow(1));
    EXPECT_TRUE(table.IsBlankRow(2));
}

TEST(CoordinateTable, ChangesAreReported)
{
    CoordinateTable table = MakeTable({});
    int changes = 0;
    table.SetChangedHandler([&] { ++changes; });
    table.AppendRow();
    table.SetCell(1, 1, "x");
    table.ClearRows();
    EXPECT_EQ(3, changes);
}
