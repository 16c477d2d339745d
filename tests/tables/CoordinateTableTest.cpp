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

namespace {

struct Report {
    TableChange::Kind kind;
    int first;
    int last;
    bool operator==(const Report&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Report& report)
{
    return out << static_cast<int>(report.kind) << ':' << report.first << '-' << report.last;
}

struct Recorder {
    std::vector<Report> reports;
    int Attach(CoordinateTable& table)
    {
        return table.AddObserver([this](const TableChange& change) {
            reports.push_back({change.kind, change.first, change.last});
        });
    }
};

using Kind = TableChange::Kind;

} // namespace

TEST(CoordinateTableObservers, EachChangeNamesTheRowsItTouched)
{
    // A grid redraws only what it is told: a wrong range leaves stale rows on screen.
    CoordinateTable table = MakeTable({"1", "a", "b", "2", "c", "d"});
    Recorder recorder;
    recorder.Attach(table);
    table.SetCell(2, 1, "x");
    table.SetCell(0, 1, "B");
    table.AppendRow();
    table.AppendRows({"4", "", "", "5", "", ""});
    table.InsertRowBeforeSelection({2, 2});
    table.DeleteSelectedRow({1, 3});
    table.SetRowCount(7);
    table.ClearRows();
    EXPECT_EQ((std::vector<Report>{{Kind::Cells, 2, 2},
                                   {Kind::Cells, 0, 0},
                                   {Kind::Inserted, 3, 3},
                                   {Kind::Inserted, 4, 5},
                                   {Kind::Inserted, 2, 2},
                                   {Kind::Removed, 1, 1},
                                   {Kind::Inserted, 6, 6},
                                   {Kind::Removed, 1, 6}}),
              recorder.reports);
}

TEST(CoordinateTableObservers, RefillIsOneReportWhateverTheRowCount)
{
    CoordinateTable table = MakeTable({"1", "a", "b", "2", "c", "d"});
    Recorder recorder;
    recorder.Attach(table);
    table.FillRows(Cells{"1", "e", "f", "2", "g", "h"}, 2, 3); // same rows: their cells changed
    table.FillRows(Cells{"1", "e", "f"}, 1, 3); // fewer rows: anything may have changed
    table.SetupColumns({"序号", "x"}, {35, 80});
    EXPECT_EQ(
        (std::vector<Report>{{Kind::Cells, 1, 2}, {Kind::Reset, 0, -1}, {Kind::Reset, 0, -1}}),
        recorder.reports);
}

TEST(CoordinateTableObservers, SeveralObserversUntilRemovedAndNoneInCopies)
{
    CoordinateTable table = MakeTable({});
    Recorder first;
    Recorder second;
    int handle = first.Attach(table);
    second.Attach(table);
    int legacy = 0;
    table.SetChangedHandler([&] { ++legacy; });
    table.AppendRow();
    table.RemoveObserver(handle);
    table.AppendRow();
    CoordinateTable copy = table;
    copy.AppendRow();
    EXPECT_EQ(1u, first.reports.size());
    EXPECT_EQ(2u, second.reports.size());
    EXPECT_EQ(2, legacy);
    EXPECT_EQ(3, copy.DataRowCount());
}

TEST(CoordinateTable, RowByRowAppendsCopyTheTableOnlyLogarithmicallyOften)
{
    // A task fills its table one row at a time: each reallocation copies every row so far.
    CoordinateTable table;
    table.SetupColumns({"序号", "经度", "纬度", "高程"}, {40, 80, 80, 60});
    int reallocations = 0;
    const void* cells = nullptr;
    for (int row = 0; row < 100000; ++row) {
        table.AppendRows({std::to_string(row), "106.5", "29.5", "231.0"});
        if (table.DataCells().data() != cells) {
            ++reallocations;
            cells = table.DataCells().data();
        }
    }
    EXPECT_EQ(100000, table.DataRowCount());
    EXPECT_LE(reallocations, 25);
    EXPECT_EQ("99999", table.GetCell(100000, 0));
}
