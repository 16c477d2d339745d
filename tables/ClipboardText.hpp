// The clipboard text of "复制" and the parsing of "粘贴".
#pragma once

#include "tables/CoordinateTable.hpp"

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace carvento::tables {

// One line per row: cells joined by TAB, every line (the last included) ended by CR LF.
std::string FormatClipboardText(const std::vector<std::string>& cells, int columns);

// The same text for `count` data rows of a table from table row `firstRow` on, appended to
// `text`; rows outside the table are left out.
void AppendClipboardText(std::string& text, const CoordinateTable& table, int firstRow, int count);
// Bytes of that text for every data row of the table, to size it once.
std::size_t ClipboardTextSize(const CoordinateTable& table);

// Appends the rows of pasted text to the table: a space before a TAB is absorbed, lines end
// at LF (one trailing CR removed), fields split at comma, space, TAB or semicolon without
// merging, a run of empty lines becomes one blank row before the next row. Returns the
// number of rows appended.
int PasteText(CoordinateTable& table, std::string_view text);

// Pasted text with every space that directly precedes a TAB removed (spreadsheets put one
// there); both paste commands split what is left at ", \t;".
std::string CleanPastedText(std::string_view text);

} // namespace carvento::tables
