// Clipboard text of a table.
#include "tables/ClipboardText.hpp"

#include "tables/FieldSplit.hpp"

#include <algorithm>

namespace carvento::tables {

std::string FormatClipboardText(const std::vector<std::string>& cells, int columns)
{
    std::string text;
    if (columns <= 0)
        return text;
    for (std::size_t i = 0; i < cells.size(); ++i) {
        text += cells[i];
        text += (i + 1) % static_cast<std::size_t>(columns) == 0 ? "\r\n" : "\t";
    }
    return text;
}

void AppendClipboardText(std::string& text, const CoordinateTable& table, int firstRow, int count)
{
    const int columns = table.ColumnCount();
    const int end = std::min(firstRow + std::max(count, 0), table.RowCount());
    for (int r = std::max(firstRow, 1); r < end; ++r)
        for (int c = 0; c < columns; ++c) {
            text += table.GetCell(r, c);
            text += c + 1 == columns ? "\r\n" : "\t";
        }
}

std::size_t ClipboardTextSize(const CoordinateTable& table)
{
    const auto rows = static_cast<std::size_t>(table.DataRowCount());
    const auto columns = static_cast<std::size_t>(std::max(table.ColumnCount(), 0));
    if (columns == 0)
        return 0;
    // A TAB after every cell but the last of a row, CR LF after that one.
    std::size_t size = rows * (columns + 1);
    for (std::string_view cell : table.DataCells())
        size += cell.size();
    return size;
}

std::string CleanPastedText(std::string_view text)
{
    std::string cleaned;
    cleaned.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == ' ' && i + 1 < text.size() && text[i + 1] == '\t')
            continue; // the space of a space+TAB pair
        cleaned += text[i];
    }
    return cleaned;
}

int PasteText(CoordinateTable& table, std::string_view text)
{
    std::string cleaned = CleanPastedText(text);
    std::vector<std::string> lines;
    SplitOnChar(cleaned, '\n', lines);
    std::vector<std::string> fields;
    std::vector<std::string> rows; // the new rows, appended to the table in one step
    bool blankPending = false;
    int appended = 0;
    const auto columns = static_cast<std::size_t>(std::max(table.ColumnCount(), 0));
    for (std::string& line : lines) {
        // One CR before the LF, or two when line ends were converted twice.
        for (int k = 0; k < 2 && !line.empty() && line.back() == '\r'; ++k)
            line.pop_back();
        int n = SplitOnAny(line, ", \t;", fields);
        if (n == 0) {
            blankPending = true;
            continue;
        }
        if (blankPending) {
            rows.resize(rows.size() + columns);
            ++appended;
            blankPending = false;
        }
        std::size_t first = rows.size();
        rows.resize(first + columns);
        for (std::size_t j = 0; j < fields.size() && j < columns; ++j)
            rows[first + j] = std::move(fields[j]);
        ++appended;
    }
    table.AppendRows(std::move(rows));
    return columns == 0 ? 0 : appended;
}

} // namespace carvento::tables
