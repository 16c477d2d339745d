// Column mapping for imports.
#include "tables/ImportTable.hpp"
#include "platform/AsciiText.hpp"

#include <algorithm>
#include <cctype>

namespace carvento::tables {
namespace {

bool IsPlainNumber(const std::string& field)
{
    int dots = 0;
    for (char c : field) {
        if (c == '.') {
            if (++dots > 1)
                return false;
        } else if (c < '0' || c > '9') {
            return false;
        }
    }
    return true;
}

// Rows the mapping of a read table takes a block at a time.
constexpr int kMappedBlockRows = 65536;

// The file's columns in table order with no title row: the rows are the table's as they are.
bool MapsAsTheyAre(const std::vector<int>& map, int columns, int tableColumns, bool removeTitleRow)
{
    if (removeTitleRow || tableColumns != columns)
        return false;
    for (int i = 0; i < tableColumns; ++i)
        if (i >= static_cast<int>(map.size()) || map[static_cast<std::size_t>(i)] != i)
            return false;
    return true;
}

} // namespace

std::vector<int> InitialColumnChoice(const std::vector<std::string>& titles,
                                     const std::vector<std::string>& sample)
{
    std::vector<int> choice(titles.size(), -1);
    if (titles.empty() || sample.empty())
        return choice;
    for (std::size_t i = 0; i < titles.size(); ++i) {
        std::string title = platform::AsciiUpper(titles[i]);
        int candidate = -1;
        // An empty field (a trailing comma, a point without a name) names no column.
        for (std::size_t j = 0; j < sample.size(); ++j)
            if (!sample[j].empty() &&
                title.find(platform::AsciiUpper(sample[j])) != std::string::npos)
                candidate = static_cast<int>(j);
        if (candidate < 0 && i < sample.size())
            candidate = static_cast<int>(i);
        choice[i] = candidate;
    }
    return choice;
}

bool LooksLikeTitleRow(const std::vector<std::string>& sample)
{
    return std::any_of(sample.begin() + std::min<std::size_t>(1, sample.size()), sample.end(),
                       [](const std::string& field) { return !IsPlainNumber(field); });
}

void AppendMappedRows(CoordinateTable& table, std::vector<std::string>& cells, int rows,
                      int columns, const std::vector<int>& map, bool removeTitleRow)
{
    const int first = removeTitleRow ? 1 : 0;
    const int tableColumns = table.ColumnCount();
    if (rows - first <= 0 || tableColumns <= 0)
        return;
    auto source = [&](int i) {
        int s = i < static_cast<int>(map.size()) ? map[static_cast<std::size_t>(i)] : -1;
        return s >= 0 && s < columns ? s : -1;
    };
    // The file's columns in table order, no title row: the rows are the table's as they are.
    bool identity = first == 0 && tableColumns == columns;
    for (int i = 0; identity && i < tableColumns; ++i)
        identity = source(i) == i;
    if (identity) {
        cells.resize(static_cast<std::size_t>(rows) * tableColumns);
        table.AppendRows(std::move(cells));
        return;
    }
    std::vector<int> uses(static_cast<std::size_t>(columns), 0);
    for (int i = 0; i < tableColumns; ++i)
        if (source(i) >= 0)
            ++uses[static_cast<std::size_t>(source(i))];
    const bool eachUsedOnce = std::all_of(uses.begin(), uses.end(), [](int n) { return n <= 1; });

    // Rows are rebuilt inside `cells` where they fit (no more table columns than file
    // columns, no file column taken twice): a million imported rows then need no second
    // list. Row r moves to row r - first; its fields go through a small buffer first, so a
    // reordering within the row cannot overwrite a field still to be read.
    std::vector<std::string> rebuilt;
    std::vector<std::string>* target = &cells;
    if (tableColumns > columns || !eachUsedOnce) {
        rebuilt.resize(static_cast<std::size_t>(rows - first) * tableColumns);
        target = &rebuilt;
    }
    std::vector<std::string> row(static_cast<std::size_t>(tableColumns));
    for (int r = first; r < rows; ++r) {
        for (int i = 0; i < tableColumns; ++i) {
            int s = source(i);
            std::string& field = cells[static_cast<std::size_t>(r) * columns + (s < 0 ? 0 : s)];
            if (s < 0)
                row[static_cast<std::size_t>(i)].clear();
            else if (target == &cells)
                row[static_cast<std::size_t>(i)] = std::move(field);
            else
                row[static_cast<std::size_t>(i)] = field;
        }
        std::size_t at = static_cast<std::size_t>(r - first) * tableColumns;
        for (int i = 0; i < tableColumns; ++i)
            (*target)[at + static_cast<std::size_t>(i)] =
                std::move(row[static_cast<std::size_t>(i)]);
    }
    target->resize(static_cast<std::size_t>(rows - first) * tableColumns);
    table.AppendRows(std::move(*target));
}

namespace {

// The mapping question, pre-filled from the first row's fields.
bool AskMapping(const CoordinateTable& table, std::vector<std::string> sample, int columns,
                platform::Prompter& prompter, const ImportContext& context,
                platform::ColumnMapping& mapping)
{
    mapping.tableTitles = table.ColumnTitles();
    mapping.sampleFields = std::move(sample);
    mapping.fileColumns = columns;
    mapping.requiredColumns = context.requiredColumns;
    mapping.firstLine = context.firstLine;
    mapping.columnMap = InitialColumnChoice(mapping.tableTitles, mapping.sampleFields);
    mapping.removeTitleRow = LooksLikeTitleRow(mapping.sampleFields);
    return prompter.ChooseImportColumns(mapping);
}

} // namespace

int ImportIntoTable(CoordinateTable& table, std::vector<std::string>& cells, int rows, int columns,
                    platform::Prompter& prompter, const ImportContext& context,
                    platform::ColumnMapping* chosen)
{
    if (rows <= 0 || columns <= 0 ||
        static_cast<long long>(cells.size()) != static_cast<long long>(rows) * columns)
        return 0;
    // A first row of a million fields would make a million-entry list per table column;
    // the lists offer the first fields only.
    int offered = std::min(columns, platform::ColumnMapping::kMaxSampleFields);
    platform::ColumnMapping mapping;
    if (!AskMapping(table, std::vector<std::string>(cells.begin(), cells.begin() + offered),
                    columns, prompter, context, mapping))
        return 0;
    if (chosen)
        *chosen = mapping;
    int before = table.RowCount();
    AppendMappedRows(table, cells, rows, columns, mapping.columnMap, mapping.removeTitleRow);
    return table.RowCount() - before;
}

int ImportIntoTable(CoordinateTable& table, CoordinateTable& read, platform::Prompter& prompter,
                    const ImportContext& context, platform::ColumnMapping* chosen)
{
    const int rows = read.DataRowCount();
    const int columns = read.ColumnCount();
    if (rows <= 0 || columns <= 0 || &table == &read)
        return 0;
    std::vector<std::string> sample;
    read.CollectCells(sample, 1, 1);
    sample.resize(static_cast<std::size_t>(std::min(columns,
                                                    platform::ColumnMapping::kMaxSampleFields)));
    platform::ColumnMapping mapping;
    if (!AskMapping(table, std::move(sample), columns, prompter, context, mapping))
        return 0;
    if (chosen)
        *chosen = mapping;
    const int before = table.RowCount();
    if (MapsAsTheyAre(mapping.columnMap, columns, table.ColumnCount(), mapping.removeTitleRow)) {
        table.TakeRows(read);
        return table.RowCount() - before;
    }
    std::vector<std::string> block;
    for (int first = 1; first <= rows; first += kMappedBlockRows) {
        const int count = std::min(kMappedBlockRows, rows - first + 1);
        block.clear();
        read.CollectCells(block, first, count);
        AppendMappedRows(table, block, count, columns, mapping.columnMap,
                         first == 1 && mapping.removeTitleRow);
    }
    read.ClearRows();
    return table.RowCount() - before;
}

} // namespace carvento::tables
