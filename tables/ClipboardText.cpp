// Clipboard text of a table.
#include "tables/ClipboardText.hpp"

#include "tables/FieldSplit.hpp"

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

int PasteText(CoordinateTable& table, std::string_view text)
{
    std::string cleaned;
    cleaned.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == ' ' && i + 1 < text.size() && text[i + 1] == '\t')
            continue; // the space of a space+TAB pair
        cleaned += text[i];
    }
    std::vector<std::string> lines;
    SplitOnChar(cleaned, '\n', lines);
    std::vector<std::string> fields;
    bool blankPending = false;
    int appended = 0;
    int columns = table.ColumnCount();
    for (std::string& line : lines) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        int n = SplitOnAny(line, ", \t;", fields);
        if (n == 0) {
            blankPending = true;
            continue;
        }
        if (blankPending) {
            table.AppendRow();
            ++appended;
            blankPending = false;
        }
        int row = table.AppendRow();
        ++appended;
        for (int j = 0; j < n && j < columns; ++j)
            table.SetCell(row, j, fields[static_cast<std::size_t>(j)]);
    }
    return appended;
}

} // namespace carvento::tables
