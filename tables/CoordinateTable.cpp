// CoordinateTable operations. The titles (row 0) are kept apart from the data cells, so a
// conversion's result list can become the table's data without copying a single cell.
#include "tables/CoordinateTable.hpp"

#include <algorithm>
#include <iterator>
#include <utility>

namespace carvento::tables {

void CoordinateTable::Changed(TableChange change) const
{
    for (const auto& [handle, observer] : m_observers.entries)
        observer(change);
    if (m_observers.changed)
        m_observers.changed();
}

int CoordinateTable::AddObserver(Observer observer)
{
    int handle = m_observers.nextHandle++;
    m_observers.entries.emplace_back(handle, std::move(observer));
    return handle;
}

void CoordinateTable::RemoveObserver(int handle)
{
    std::erase_if(m_observers.entries,
                  [handle](const auto& entry) { return entry.first == handle; });
}

void CoordinateTable::SetupColumns(const std::vector<std::string>& titles,
                                   const std::vector<int>& widths)
{
    m_columnCount = static_cast<int>(titles.size());
    m_rowCount = 1;
    m_titles = titles;
    m_data.clear();
    m_widths = widths;
    m_widths.resize(titles.size(), 80);
    Changed(TableChange::Kind::Reset, 0, -1);
}

std::vector<std::string> CoordinateTable::ColumnTitles() const
{
    return m_rowCount == 0 ? std::vector<std::string>{} : m_titles;
}

const std::string& CoordinateTable::GetCell(int row, int column) const
{
    static const std::string kEmpty;
    if (row < 0 || row >= m_rowCount || column < 0 || column >= m_columnCount)
        return kEmpty;
    if (row == 0)
        return m_titles[static_cast<std::size_t>(column)];
    return m_data[static_cast<std::size_t>(row - 1) * m_columnCount + column];
}

void CoordinateTable::SetCell(int row, int column, std::string text)
{
    if (row < 0 || row >= m_rowCount || column < 0 || column >= m_columnCount)
        return;
    if (row == 0)
        m_titles[static_cast<std::size_t>(column)] = std::move(text);
    else
        m_data[static_cast<std::size_t>(row - 1) * m_columnCount + column] = std::move(text);
    Changed(TableChange::Kind::Cells, row, row);
}

void CoordinateTable::InsertRow(int row)
{
    auto at = m_data.begin() + static_cast<std::ptrdiff_t>(row - 1) * m_columnCount;
    m_data.insert(at, static_cast<std::size_t>(m_columnCount), std::string());
    ++m_rowCount;
}

int CoordinateTable::AppendRow()
{
    InsertRow(m_rowCount);
    Changed(TableChange::Kind::Inserted, m_rowCount - 1, m_rowCount - 1);
    return m_rowCount - 1;
}

void CoordinateTable::AppendRows(std::vector<std::string>&& cells)
{
    if (m_columnCount <= 0 || cells.empty() ||
        cells.size() % static_cast<std::size_t>(m_columnCount) != 0)
        return;
    const int first = m_rowCount;
    m_rowCount += static_cast<int>(cells.size() / static_cast<std::size_t>(m_columnCount));
    if (m_data.empty()) {
        m_data = std::move(cells);
    } else {
        // Grown geometrically: a task that appends row by row must not copy the whole table
        // each time.
        const std::size_t needed = m_data.size() + cells.size();
        if (needed > m_data.capacity())
            m_data.reserve(std::max(needed, 2 * m_data.capacity()));
        std::move(cells.begin(), cells.end(), std::back_inserter(m_data));
    }
    Changed(TableChange::Kind::Inserted, first, m_rowCount - 1);
}

void CoordinateTable::InsertRowBeforeSelection(const RowSelection& selection)
{
    // The grid refuses a position in the header or past the last row; without a selection
    // the smallest row is rowCount, so nothing happens.
    int row = selection.smallestRow;
    if (row < 1 || row >= m_rowCount)
        return;
    InsertRow(row);
    Changed(TableChange::Kind::Inserted, row, row);
}

void CoordinateTable::DeleteSelectedRow(const RowSelection& selection)
{
    int row = selection.smallestRow;
    // Row 0 is the header; deleting it would shift data into the titles.
    if (row < 1 || row >= m_rowCount)
        return;
    auto at = m_data.begin() + static_cast<std::ptrdiff_t>(row - 1) * m_columnCount;
    m_data.erase(at, at + m_columnCount);
    --m_rowCount;
    Changed(TableChange::Kind::Removed, row, row);
}

void CoordinateTable::ClearRows()
{
    if (m_rowCount <= 1)
        return;
    SetRowCount(1);
}

std::vector<std::string> CoordinateTable::TakeDataCells()
{
    std::vector<std::string> cells = std::exchange(m_data, {});
    const int before = m_rowCount;
    if (before > 1) {
        m_rowCount = 1;
        Changed(TableChange::Kind::Removed, 1, before - 1);
    }
    return cells;
}

void CoordinateTable::SetRowCount(int rowCount)
{
    rowCount = std::max(rowCount, 1);
    const int before = m_rowCount;
    m_data.resize(static_cast<std::size_t>(rowCount - 1) * m_columnCount);
    m_rowCount = rowCount;
    if (rowCount > before)
        Changed(TableChange::Kind::Inserted, before, rowCount - 1);
    else if (rowCount < before)
        Changed(TableChange::Kind::Removed, rowCount, before - 1);
    else
        Changed(TableChange::Kind::Cells, 1, rowCount - 1);
}

int CoordinateTable::CollectCells(std::vector<std::string>& cells) const
{
    cells.insert(cells.end(), m_data.begin(), m_data.end());
    return static_cast<int>(cells.size());
}

void CoordinateTable::FillRows(const std::vector<std::string>& cells, int n, int k)
{
    FillRows(std::vector<std::string>(cells), n, k);
}

void CoordinateTable::FillRows(std::vector<std::string>&& cells, int n, int k)
{
    if (n < 0 || k < 0 || static_cast<long long>(cells.size()) != static_cast<long long>(n) * k)
        return;
    const int before = m_rowCount;
    if (k == m_columnCount) {
        // Same shape: the list becomes the table's data as it is.
        m_data = std::move(cells);
    } else {
        m_data.resize(static_cast<std::size_t>(n) * m_columnCount);
        int used = std::min(m_columnCount, k);
        for (int i = 0; i < n; ++i)
            for (int j = 0; j < used; ++j)
                m_data[static_cast<std::size_t>(i) * m_columnCount + j] =
                    std::move(cells[static_cast<std::size_t>(i) * k + j]);
    }
    m_rowCount = n + 1;
    // Every data row is new: a grid redraws them all, but only once.
    if (before == m_rowCount)
        Changed(TableChange::Kind::Cells, 1, n);
    else
        Changed(TableChange::Kind::Reset, 0, -1);
}

bool CoordinateTable::IsBlankRow(int row) const
{
    if (row < 1 || row >= m_rowCount)
        return false;
    auto first = m_data.begin() + static_cast<std::ptrdiff_t>(row - 1) * m_columnCount;
    return std::all_of(first, first + m_columnCount,
                       [](const std::string& s) { return s.empty(); });
}

} // namespace carvento::tables
