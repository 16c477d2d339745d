// How CoordinateTable keeps its cells: texts of any length and script read back as written
// whatever edits came between, rows move between tables whole, and short cells cost no
// allocation of their own (a million-row table must not hold a heap block per cell).
#include "tables/ClipboardText.hpp"
#include "tables/CoordinateTable.hpp"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <new>

namespace {

std::atomic<bool> g_counting{false};
std::atomic<long> g_allocations{0};

} // namespace

// The operator new below allocates with malloc, so free is its match: the compiler, seeing the
// standard operator new, would take the two for a mismatch.
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"

// Counts the allocations made while a test asks for it; otherwise the usual operator new.
void* operator new(std::size_t size)
{
    if (g_counting.load(std::memory_order_relaxed))
        g_allocations.fetch_add(1, std::memory_order_relaxed);
    if (void* memory = std::malloc(size == 0 ? 1 : size))
        return memory;
    throw std::bad_alloc();
}

void operator delete(void* memory) noexcept
{
    std::free(memory);
}

void operator delete(void* memory, std::size_t) noexcept
{
    std::free(memory);
}

using namespace carvento::tables;
using Cells = std::vector<std::string>;

namespace {

// 15 bytes fit in a cell, 16 do not; the Chinese names are 15 and 18 bytes of UTF-8.
const std::string kFifteen = "3376320.4035123";
const std::string kSixteen = "-3376320.4035123";
const std::string kNameFits = "控制点一号";
const std::string kNameLong = "控制点一号北";
const std::string kVeryLong(300, 'x');

CoordinateTable Table(const Cells& cells)
{
    CoordinateTable table;
    table.SetupColumns({"序号", "x", "y"}, {35, 80, 80});
    table.AppendRows(Cells(cells));
    return table;
}

Cells Collect(const CoordinateTable& table)
{
    Cells cells;
    table.CollectCells(cells);
    return cells;
}

} // namespace

TEST(CellStore, TextsOfEveryLengthReadBackAsWritten)
{
    const Cells cells{kNameFits, kFifteen, kSixteen, kNameLong, "", kVeryLong};
    CoordinateTable table = Table(cells);
    EXPECT_EQ(cells, Collect(table));
    EXPECT_EQ(kSixteen, table.GetCell(1, 2));
    EXPECT_EQ(Cells(cells), Cells(table.DataCells().begin(), table.DataCells().end()));
    EXPECT_FALSE(table.IsBlankRow(2));
}

TEST(CellStore, EditsBetweenShortAndLongTextsKeepEveryOtherCell)
{
    CoordinateTable table = Table({"1", kSixteen, kVeryLong, "2", kNameLong, "b"});
    // Long over long, short over long, long over short: each slot is freed or reused, and
    // no other cell may see another's text.
    table.SetCell(1, 1, kNameLong);
    table.SetCell(1, 2, "short");
    table.SetCell(2, 2, kVeryLong + "!");
    table.SetCell(2, 1, "");
    EXPECT_EQ(Cells({"1", kNameLong, "short", "2", "", kVeryLong + "!"}), Collect(table));

    // Rows deleted with their long texts; the texts written next take the freed slots.
    table.DeleteSelectedRow({1, 1});
    table.AppendRows({"3", kSixteen, kSixteen + "?"});
    table.InsertRowBeforeSelection({1, 1});
    table.SetCell(1, 1, kVeryLong);
    EXPECT_EQ(Cells({"", kVeryLong, "", "2", "", kVeryLong + "!", "3", kSixteen, kSixteen + "?"}),
              Collect(table));
    EXPECT_TRUE(Table({"", "", ""}).IsBlankRow(1));

    table.SetRowCount(2);
    table.SetRowCount(4);
    EXPECT_EQ(Cells({"", kVeryLong, "", "", "", "", "", "", ""}), Collect(table));
    CoordinateTable copy = table;
    table.SetCell(1, 1, "changed");
    EXPECT_EQ(kVeryLong, copy.GetCell(1, 1));
}

TEST(CellStore, TakeRowsMovesWholeRowsAndReportsOnBothTables)
{
    CoordinateTable into = Table({"1", kNameLong, "a"});
    CoordinateTable from = Table({"2", kVeryLong, "b", "3", "c", kSixteen});
    int intoChanges = 0;
    int fromChanges = 0;
    const int intoObserver = into.AddObserver([&](const TableChange& change) {
        EXPECT_EQ(TableChange::Kind::Inserted, change.kind);
        EXPECT_EQ(2, change.first);
        EXPECT_EQ(3, change.last);
        ++intoChanges;
    });
    from.AddObserver([&](const TableChange& change) {
        EXPECT_EQ(TableChange::Kind::Removed, change.kind);
        EXPECT_EQ(1, change.first);
        EXPECT_EQ(2, change.last);
        ++fromChanges;
    });
    into.TakeRows(from);
    EXPECT_EQ(Cells({"1", kNameLong, "a", "2", kVeryLong, "b", "3", "c", kSixteen}), Collect(into));
    EXPECT_EQ(0, from.DataRowCount());
    EXPECT_EQ(1, intoChanges);
    EXPECT_EQ(1, fromChanges);
    into.RemoveObserver(intoObserver);

    // Into an empty table the rows go whole; a table of another width takes nothing.
    CoordinateTable empty = Table({});
    empty.TakeRows(into);
    EXPECT_EQ(3, empty.DataRowCount());
    EXPECT_EQ(kVeryLong, empty.GetCell(2, 1));
    CoordinateTable narrow;
    narrow.SetupColumns({"序号", "x"}, {35, 80});
    narrow.TakeRows(empty);
    EXPECT_EQ(0, narrow.DataRowCount());
    EXPECT_EQ(3, empty.DataRowCount());
}

TEST(CellStore, FillRowsFromATableAsFromItsCells)
{
    const Cells cells{"1", kVeryLong, "a", "2", "b", kSixteen};
    CoordinateTable byList = Table({"9", "x", "y"});
    byList.FillRows(Cells(cells), 2, 3);
    CoordinateTable byTable = Table({"9", "x", "y"});
    CoordinateTable rows = Table(cells);
    byTable.FillRows(std::move(rows));
    EXPECT_EQ(Collect(byList), Collect(byTable));
    EXPECT_EQ(0, rows.DataRowCount());

    // Another width: as FillRows of n rows of k cells, the columns beyond kept.
    CoordinateTable wide;
    wide.SetupColumns({"序号", "x", "y", "h"}, {35, 80, 80, 80});
    wide.AppendRows({"1", "a", "b", kSixteen});
    CoordinateTable narrow = Table({"7", kVeryLong, "q", "8", "r", "s"});
    wide.FillRows(std::move(narrow));
    EXPECT_EQ(Cells({"7", kVeryLong, "q", kSixteen, "8", "r", "s", ""}), Collect(wide));
}

TEST(CellStore, CollectingBlocksGivesTheWholeTable)
{
    CoordinateTable table = Table({"1", "a", kVeryLong, "2", "b", "c", "3", kSixteen, "d"});
    Cells blocks;
    table.CollectCells(blocks, 1, 2);
    table.CollectCells(blocks, 3, 5); // past the end: the rows there are
    table.CollectCells(blocks, 9, 1); // nothing
    EXPECT_EQ(Collect(table), blocks);
    Cells header;
    EXPECT_EQ(3, table.CollectCells(header, 0, 2)); // the header row is not a data row
}

TEST(CellStore, ClipboardTextSizeIsTheLengthOfTheText)
{
    // 复制 sizes its text once from this: a short count would reallocate a million rows.
    CoordinateTable table = Table({"1", kNameLong, "", "2", kVeryLong, kFifteen});
    std::string text;
    AppendClipboardText(text, table, 1, 1);
    AppendClipboardText(text, table, 2, 5);
    EXPECT_EQ(FormatClipboardText(Collect(table), 3), text);
    EXPECT_EQ(text.size(), ClipboardTextSize(table));
}

TEST(CellStore, ShortCellsTakeNoAllocationOfTheirOwn)
{
    constexpr int kRows = 10000;
    Cells cells;
    for (int r = 0; r < kRows; ++r)
        for (const std::string& text : {"P" + std::to_string(r), kFifteen, kSixteen})
            cells.push_back(text);
    CoordinateTable table;
    table.SetupColumns({"序号", "x", "y"}, {35, 80, 80});
    table.ReserveRows(kRows);
    g_allocations = 0;
    g_counting = true;
    table.AppendRows(std::move(cells));
    g_counting = false;
    // The 16-byte texts are moved in, not copied: only their slot list grows, and the short
    // texts cost nothing.
    EXPECT_LE(g_allocations.load(), 32);
    EXPECT_EQ(kSixteen, table.GetCell(kRows, 2));

    g_allocations = 0;
    g_counting = true;
    const CellText name = table.GetCell(kRows, 0);
    const std::size_t size = ClipboardTextSize(table);
    g_counting = false;
    EXPECT_EQ(0, g_allocations.load());
    EXPECT_EQ("P9999", name);
    EXPECT_GT(size, static_cast<std::size_t>(kRows) * 36);
}
