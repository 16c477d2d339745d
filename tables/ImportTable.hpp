// Import of read rows into a table through the column-mapping dialog ("导入数据").
#pragma once

#include "platform/Prompter.hpp"
#include "tables/CoordinateTable.hpp"

#include <string>
#include <vector>

namespace carvento::tables {

// Initial selection of each table column's list: the last sample field whose upper-cased
// text is contained in the upper-cased title (an empty field matches nothing); else the column's
// own index when the sample has that many fields; else -1 (nothing selected).
std::vector<int> InitialColumnChoice(const std::vector<std::string>& titles,
                                     const std::vector<std::string>& sample);

// Whether "去除标题行(非数据行)" starts ticked: some field after the first is not a plain
// number (digits and at most one '.'; the empty field counts as a number).
bool LooksLikeTitleRow(const std::vector<std::string>& sample);

// Appends the imported rows to the table: map[i] is the file column for table column i (-1
// gives empty cells); with removeTitleRow the first imported row is skipped.
// Cells are moved out of `cells` where a file column is mapped once.
void AppendMappedRows(CoordinateTable& table, std::vector<std::string>& cells, int rows,
                      int columns, const std::vector<int>& map, bool removeTitleRow);

// What the page adds to the mapping question: the table columns it computes from, and the
// file line of the first imported row.
struct ImportContext {
    std::vector<int> requiredColumns;
    int firstLine = 0;
};

// Asks the prompter for the mapping (pre-filled as above) and appends the rows. Does nothing
// unless rows > 0, columns > 0 and cells.size() == rows*columns, or when the user cancels.
// Returns the number of rows appended; `chosen` receives the mapping the user accepted.
// `cells` may be left moved-from.
int ImportIntoTable(CoordinateTable& table, std::vector<std::string>& cells, int rows, int columns,
                    platform::Prompter& prompter, const ImportContext& context = {},
                    platform::ColumnMapping* chosen = nullptr);

// ImportIntoTable for rows read into a table of their own, as many columns as the file has
// (its titles unused): the rows leave `read` for `table` whole where they map as they are, a
// block at a time otherwise. Does nothing unless `read` has data rows, or when the user
// cancels (`read` then keeps its rows).
int ImportIntoTable(CoordinateTable& table, CoordinateTable& read, platform::Prompter& prompter,
                    const ImportContext& context = {}, platform::ColumnMapping* chosen = nullptr);

} // namespace carvento::tables
