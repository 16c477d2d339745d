// CoordinateTable operations.
#include "tables/CoordinateTable.hpp"

#include <algorithm>
#include <iterator>

namespace carvento::tables {

void CoordinateTable::Changed() const
{
    if (m_changed)
        m_changed();
}

void CoordinateTable::SetupColumns(const std::vector<std::string>& titles,
                                   const std::vector<int>& widths)
{
    m_columnCount = static_cast<int>(titles.size());
    m_rowCount = 1;
    m_cells = titles;
    m_widths = widths;
    m_widths.resize(titles.size(), 80);
    Changed();
}

std::vector<std::string> CoordinateTable::ColumnTitles() const
{
    if (m_rowCount == 0)
        return {};
    return std::vector<std::string>(m_cells.begin(), m_cells.begin() + m_columnCount);
}

const std::string& CoordinateTable::GetCell(int row, int column) const
{
    static const std::string kEmpty;
    if (row < 0 || row >= m_rowCount || column < 0 || column >= m_columnCount)
        return kEmpty;
    return m_cells[static_cast<std::size_t>(row) * m_columnCount + column];
}

void CoordinateTable::SetCell(int row, int column, std::string text)
{
    if (row < 0 || row >= m_rowCount || column < 0 || column >= m_columnCount)
        return;
    m_cells[static_cast<std::size_t>(row) * m_columnCount + column] = std::move(text);
    Changed();
}

void CoordinateTable::InsertRow(int row)
{
    auto at = m_cells.begin() + static_cast<std::ptrdiff_t>(row) * m_columnCount;
    m_cells.insert(at, static_cast<std::size_t>(m_columnCount), std::string());
    ++m_rowCount;
}

int CoordinateTable::AppendRow()
{
    InsertRow(m_rowCount);
    Changed();
    return m_rowCount - 1;
}

void CoordinateTable::AppendRows(std::vector<std::string>&& cells)
{
    if (m_columnCount <= 0 || cells.empty() || cells.size() % static_cast<std::size_t>(m_columnCount) != 0)
        return;
    m_cells.reserve(m_cells.size() + cells.size());
    std::move(cells.begin(), cells.end(), std::back_inserter(m_cells));
    m_rowCount += static_cast<int>(cells.size() / static_cast<std::size_t>(m_columnCount));
    Changed();
}

void CoordinateTable::InsertRowBeforeSelection(const RowSelection& selection)
{
    // The grid refuses a position in the header or past the last row; without a selection
    // the smallest row is rowCount, so nothing happens.
    int row = selection.smallestRow;
    if (row < 1 || row >= m_rowCount)
        return;
    InsertRow(row);
    Changed();
}

void CoordinateTable::DeleteSelectedRow(const RowSelection& selection)
{
    int row = selection.smallestRow;
    // Row 0 is the header; deleting it would shift data into the titles.
    if (row < 1 || row >= m_rowCount)
        return;
    auto at = m_cells.begin() + static_cast<std::ptrdiff_t>(row) * m_columnCount;
    m_cells.erase(at, at + m_columnCount);
    --m_rowCount;
    Changed();
}

void CoordinateTable::ClearRows()
{
    if (m_rowCount <= 1)
        return;
    SetRowCount(1);
}

void CoordinateTable::SetRowCount(int rowCount)
{
    rowCount = std::max(rowCount, 0);
    m_cells.resize(static_cast<std::size_t>(rowCount) * m_columnCount);
    m_rowCount = rowCount;
    Changed();
}

int CoordinateTable::CollectCells(std::vector<std::string>& cells) const
{
    if (m_rowCount > 1)
        cells.insert(cells.end(), m_cells.begin() + m_columnCount, m_cells.end());
    return static_cast<int>(cells.size());
}

void CoordinateTable::FillRows(const std::vector<std::string>& cells, int n, int k)
{
    FillRows(std::vector<std::string>(cells), n, k);
}

void CoordinateTable::FillRows(std::vector<std::string>&& cells, int n, int k)
{
    if (n < 0 || k < 0 ||
        static_cast<long long>(cells.size()) != static_cast<long long>(n) * k)
        return;
    m_cells.resize(static_cast<std::size_t>(n + 1) * m_columnCount);
    m_rowCount = n + 1;
    int used = std::min(m_columnCount, k);
    for (int i = 0; i < n; ++i)
        for (int j = 0; j < used; ++j)
            m_cells[static_cast<std::size_t>(i + 1) * m_columnCount + j] =
                std::move(cells[static_cast<std::size_t>(i) * k + j]);
    Changed();
}

bool CoordinateTable::IsBlankRow(int row) const
{
    if (row < 1 || row >= m_rowCount)
        return false;
    auto first = m_cells.begin() + static_cast<std::ptrdiff_t>(row) * m_columnCount;
    return std::all_of(first, first + m_columnCount, [](const std::string& s) { return s.empty(); });
}

} // namespace carvento::tables
