// Block paste, range copy and range clearing on a CoordinateTable.
#include "tables/GridPaste.hpp"

#include "tables/ClipboardText.hpp"
#include "tables/FieldSplit.hpp"

#include <algorithm>

namespace carvento::tables {
namespace {

// The range limited to the data cells; empty (bottom < top) when nothing is left.
CellRange ClipToData(const CoordinateTable& table, const CellRange& range)
{
    return {std::max(range.top, 1), std::max(range.left, 0),
            std::min(range.bottom, table.RowCount() - 1),
            std::min(range.right, table.ColumnCount() - 1)};
}

bool IsEmpty(const CellRange& range)
{
    return range.bottom < range.top || range.right < range.left;
}

} // namespace

CellBlock SplitCellBlock(std::string_view text)
{
    // The same separators as 粘贴, so a text pasted either way gives the same cells.
    std::string cleaned = CleanPastedText(text);
    std::vector<std::string_view> lines = SplitLines(cleaned);
    std::vector<std::vector<std::string>> rows(lines.size());
    std::size_t width = 0;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        SplitOnAny(lines[i], ", \t;", rows[i]);
        width = std::max(width, rows[i].size());
    }
    CellBlock block;
    if (width == 0)
        return block;
    block.rows = static_cast<int>(rows.size());
    block.columns = static_cast<int>(width);
    block.cells.reserve(rows.size() * width);
    for (std::vector<std::string>& row : rows) {
        row.resize(width);
        std::move(row.begin(), row.end(), std::back_inserter(block.cells));
    }
    return block;
}

int PasteBlock(CoordinateTable& table, int row, int column, const CellBlock& block)
{
    const int columns = table.ColumnCount();
    if (row < 1 || row > table.RowCount() || column < 0 || column >= columns || block.rows <= 0 ||
        block.columns <= 0 ||
        block.cells.size() !=
            static_cast<std::size_t>(block.rows) * static_cast<std::size_t>(block.columns))
        return 0;
    const int width = std::min(block.columns, columns - column);
    const int existing = std::min(block.rows, table.RowCount() - row);
    auto blockCell = [&block](int r, int c) -> const std::string& {
        return block.cells[static_cast<std::size_t>(r) * static_cast<std::size_t>(block.columns) +
                           static_cast<std::size_t>(c)];
    };
    for (int r = 0; r < existing; ++r)
        for (int c = 0; c < width; ++c)
            table.SetCell(row + r, column + c, blockCell(r, c));

    const int appended = block.rows - existing;
    if (appended > 0) {
        // All new rows in one step: a long paste into the end of the table is one change.
        std::vector<std::string> cells(static_cast<std::size_t>(appended) *
                                       static_cast<std::size_t>(columns));
        for (int r = 0; r < appended; ++r)
            for (int c = 0; c < width; ++c)
                cells[static_cast<std::size_t>(r) * static_cast<std::size_t>(columns) +
                      static_cast<std::size_t>(column + c)] = blockCell(existing + r, c);
        table.AppendRows(std::move(cells));
    }
    return appended;
}

std::string FormatRangeText(const CoordinateTable& table, const CellRange& range)
{
    const CellRange clipped = ClipToData(table, range);
    std::string text;
    if (IsEmpty(clipped))
        return text;
    for (int r = clipped.top; r <= clipped.bottom; ++r) {
        for (int c = clipped.left; c <= clipped.right; ++c) {
            text += table.GetCell(r, c);
            text += c == clipped.right ? "\r\n" : "\t";
        }
    }
    return text;
}

int ClearRange(CoordinateTable& table, const CellRange& range)
{
    const CellRange clipped = ClipToData(table, range);
    if (IsEmpty(clipped))
        return 0;
    int cleared = 0;
    for (int r = clipped.top; r <= clipped.bottom; ++r) {
        for (int c = clipped.left; c <= clipped.right; ++c) {
            if (!table.GetCell(r, c).empty()) {
                table.SetCell(r, c, std::string());
                ++cleared;
            }
        }
    }
    return cleared;
}

} // namespace carvento::tables
