// Column mapping for imports.
#include "tables/ImportTable.hpp"

#include <algorithm>
#include <cctype>

namespace carvento::tables {
namespace {

// Upper-cases ASCII letters only; other bytes (UTF-8 sequences) stay as they are.
std::string Upper(std::string text)
{
    for (char& c : text)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return text;
}

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

} // namespace

std::vector<int> InitialColumnChoice(const std::vector<std::string>& titles,
                                     const std::vector<std::string>& sample)
{
    std::vector<int> choice(titles.size(), -1);
    if (titles.empty() || sample.empty())
        return choice;
    for (std::size_t i = 0; i < titles.size(); ++i) {
        std::string title = Upper(titles[i]);
        int candidate = -1;
        for (std::size_t j = 0; j < sample.size(); ++j)
            if (title.find(Upper(sample[j])) != std::string::npos)
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
    int first = removeTitleRow ? 1 : 0;
    if (rows - first <= 0)
        return;
    int r0 = table.RowCount();
    int tableColumns = table.ColumnCount();
    // A file column taken by one table column only can be moved instead of copied.
    std::vector<int> uses(static_cast<std::size_t>(columns), 0);
    for (int i = 0; i < tableColumns && i < static_cast<int>(map.size()); ++i)
        if (map[static_cast<std::size_t>(i)] >= 0 && map[static_cast<std::size_t>(i)] < columns)
            ++uses[static_cast<std::size_t>(map[static_cast<std::size_t>(i)])];
    std::vector<std::string> all;
    table.CollectCells(all);
    all.reserve(all.size() + static_cast<std::size_t>(rows - first) * tableColumns);
    for (int r = first; r < rows; ++r) {
        for (int i = 0; i < tableColumns; ++i) {
            int source = i < static_cast<int>(map.size()) ? map[static_cast<std::size_t>(i)] : -1;
            if (source < 0 || source >= columns)
                all.emplace_back();
            else if (uses[static_cast<std::size_t>(source)] == 1)
                all.push_back(std::move(cells[static_cast<std::size_t>(r) * columns + source]));
            else
                all.push_back(cells[static_cast<std::size_t>(r) * columns + source]);
        }
    }
    int dataRows = r0 - 1 + rows - first;
    table.FillRows(std::move(all), dataRows, tableColumns);
}

int ImportIntoTable(CoordinateTable& table, std::vector<std::string>& cells, int rows,
                    int columns, platform::Prompter& prompter)
{
    if (rows <= 0 || columns <= 0 ||
        static_cast<long long>(cells.size()) != static_cast<long long>(rows) * columns)
        return 0;
    platform::ColumnMapping mapping;
    mapping.tableTitles = table.ColumnTitles();
    mapping.sampleFields.assign(cells.begin(), cells.begin() + columns);
    mapping.columnMap = InitialColumnChoice(mapping.tableTitles, mapping.sampleFields);
    mapping.removeTitleRow = LooksLikeTitleRow(mapping.sampleFields);
    if (!prompter.ChooseImportColumns(mapping))
        return 0;
    int before = table.RowCount();
    AppendMappedRows(table, cells, rows, columns, mapping.columnMap, mapping.removeTitleRow);
    return table.RowCount() - before;
}

} // namespace carvento::tables
