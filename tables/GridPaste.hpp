// Spreadsheet-style clipboard work on a grid of cells: a pasted block lands at a cell and runs
// across and down, a rectangle of cells is copied or cleared.
#pragma once

#include "tables/CoordinateTable.hpp"

#include <string>
#include <string_view>
#include <vector>

namespace carvento::tables {

// A rectangle of pasted cells, row-major; lines shorter than the widest are padded with
// empty cells, so every row has `columns` cells.
struct CellBlock {
    int rows = 0;
    int columns = 0;
    std::vector<std::string> cells;

    bool IsSingleCell() const { return rows == 1 && columns == 1; }
};

// Splits clipboard text into a block. Lines end at LF, CR LF or a lone CR; a final line end
// starts no further line. Cells are split as 粘贴 splits them: at comma, space, TAB or
// semicolon, adjacent separators enclosing an empty cell, a space right before a TAB absorbed.
// An empty line is a row of empty cells. Empty text gives an empty block (0 × 0).
CellBlock SplitCellBlock(std::string_view text);

// Writes `block` into `table` with its first cell at table row `row` (1 = first data row) and
// column `column`. Rows past the last are appended (row == RowCount() appends right away);
// cells beyond the last column are dropped. Returns the number of rows appended. A position
// outside 1..RowCount() × 0..ColumnCount()-1, or an empty block, changes nothing and gives 0.
int PasteBlock(CoordinateTable& table, int row, int column, const CellBlock& block);

// Inclusive rectangle of table cells: rows are table rows (1 = first data row).
struct CellRange {
    int top = 0;
    int left = 0;
    int bottom = -1;
    int right = -1;
};

// The cells of `range`, clipped to the data cells, in the text format of 复制: cells joined by
// TAB, CR LF after every line including the last. An empty or fully outside range gives "".
std::string FormatRangeText(const CoordinateTable& table, const CellRange& range);

// Empties the cells of `range` (clipped to the data cells); returns how many were emptied.
int ClearRange(CoordinateTable& table, const CellRange& range);

} // namespace carvento::tables
