// CoordinateTable operations. The titles (row 0) are kept apart from the data cells; a data
// cell holds a short text in place and a long one in a slot of m_long, so a table of a million
// coordinate rows makes no allocation per cell.
#include "tables/CoordinateTable.hpp"

#include <algorithm>
#include <cstring>
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

CellText CoordinateTable::Text(const Cell& cell) const
{
    if (cell.size != Cell::kLong)
        return CellText(std::string_view(cell.bytes.data(), cell.size));
    std::uint32_t slot = 0;
    std::memcpy(&slot, cell.bytes.data(), sizeof slot);
    return CellText(m_long[slot]);
}

CoordinateTable::Cell CoordinateTable::MakeCell(std::string&& text)
{
    Cell cell;
    if (text.size() <= cell.bytes.size()) {
        std::memcpy(cell.bytes.data(), text.data(), text.size());
        cell.size = static_cast<std::uint8_t>(text.size());
        return cell;
    }
    std::uint32_t slot = 0;
    if (!m_freeLong.empty()) {
        slot = m_freeLong.back();
        m_freeLong.pop_back();
        m_long[slot] = std::move(text);
    } else {
        slot = static_cast<std::uint32_t>(m_long.size());
        m_long.push_back(std::move(text));
    }
    std::memcpy(cell.bytes.data(), &slot, sizeof slot);
    cell.size = Cell::kLong;
    return cell;
}

void CoordinateTable::Release(Cell& cell)
{
    if (cell.size == Cell::kLong) {
        std::uint32_t slot = 0;
        std::memcpy(&slot, cell.bytes.data(), sizeof slot);
        // The text's memory goes at once; the slot is taken by the next long text.
        std::string().swap(m_long[slot]);
        m_freeLong.push_back(slot);
    }
    cell = Cell{};
}

void CoordinateTable::ReleaseCells(std::size_t first, std::size_t last)
{
    if (m_long.empty())
        return;
    for (std::size_t i = first; i < last; ++i)
        Release(m_cells[i]);
}

void CoordinateTable::ClearStore()
{
    m_cells = {};
    m_long = {};
    m_freeLong = {};
}

void CoordinateTable::AppendCells(std::vector<std::string>&& cells)
{
    // The list's strings go as they are converted: taken here, it is freed on return.
    std::vector<std::string> taken = std::move(cells);
    // Grown geometrically: a task that appends row by row must not copy the whole table
    // each time.
    const std::size_t needed = m_cells.size() + taken.size();
    if (needed > m_cells.capacity())
        m_cells.reserve(std::max(needed, 2 * m_cells.capacity()));
    for (std::string& text : taken)
        m_cells.push_back(MakeCell(std::move(text)));
}

void CoordinateTable::SetupColumns(const std::vector<std::string>& titles,
                                   const std::vector<int>& widths)
{
    m_columnCount = static_cast<int>(titles.size());
    m_rowCount = 1;
    m_titles = titles;
    ClearStore();
    m_widths = widths;
    m_widths.resize(titles.size(), 80);
    Changed(TableChange::Kind::Reset, 0, -1);
}

std::vector<std::string> CoordinateTable::ColumnTitles() const
{
    return m_rowCount == 0 ? std::vector<std::string>{} : m_titles;
}

CellText CoordinateTable::GetCell(int row, int column) const
{
    if (row < 0 || row >= m_rowCount || column < 0 || column >= m_columnCount)
        return CellText();
    if (row == 0)
        return CellText(m_titles[static_cast<std::size_t>(column)]);
    return Text(m_cells[static_cast<std::size_t>(row - 1) * m_columnCount + column]);
}

void CoordinateTable::SetCell(int row, int column, std::string text)
{
    if (row < 0 || row >= m_rowCount || column < 0 || column >= m_columnCount)
        return;
    if (row == 0) {
        m_titles[static_cast<std::size_t>(column)] = std::move(text);
    } else {
        Cell& cell = m_cells[static_cast<std::size_t>(row - 1) * m_columnCount + column];
        Release(cell);
        cell = MakeCell(std::move(text));
    }
    Changed(TableChange::Kind::Cells, row, row);
}

void CoordinateTable::InsertRow(int row)
{
    auto at = m_cells.begin() + static_cast<std::ptrdiff_t>(row - 1) * m_columnCount;
    m_cells.insert(at, static_cast<std::size_t>(m_columnCount), Cell{});
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
    AppendCells(std::move(cells));
    Changed(TableChange::Kind::Inserted, first, m_rowCount - 1);
}

void CoordinateTable::TakeRows(CoordinateTable& from)
{
    if (&from == this || m_columnCount <= 0 || from.m_columnCount != m_columnCount ||
        from.DataRowCount() == 0)
        return;
    const int first = m_rowCount;
    const int taken = from.DataRowCount();
    if (m_cells.empty()) {
        m_cells = std::exchange(from.m_cells, {});
        m_long = std::exchange(from.m_long, {});
        m_freeLong = std::exchange(from.m_freeLong, {});
    } else {
        const std::size_t needed = m_cells.size() + from.m_cells.size();
        if (needed > m_cells.capacity())
            m_cells.reserve(std::max(needed, 2 * m_cells.capacity()));
        for (const Cell& cell : from.m_cells) {
            if (cell.size != Cell::kLong) {
                m_cells.push_back(cell);
                continue;
            }
            std::uint32_t slot = 0;
            std::memcpy(&slot, cell.bytes.data(), sizeof slot);
            m_cells.push_back(MakeCell(std::move(from.m_long[slot])));
        }
        from.ClearStore();
    }
    m_rowCount += taken;
    from.m_rowCount = 1;
    from.Changed(TableChange::Kind::Removed, 1, taken);
    Changed(TableChange::Kind::Inserted, first, m_rowCount - 1);
}

void CoordinateTable::ReserveRows(int rows)
{
    if (rows > 0 && m_columnCount > 0)
        m_cells.reserve(static_cast<std::size_t>(rows) * m_columnCount);
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
    const std::size_t first = static_cast<std::size_t>(row - 1) * m_columnCount;
    ReleaseCells(first, first + static_cast<std::size_t>(m_columnCount));
    auto at = m_cells.begin() + static_cast<std::ptrdiff_t>(first);
    m_cells.erase(at, at + m_columnCount);
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
    std::vector<std::string> cells;
    CollectCells(cells);
    ClearStore();
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
    const std::size_t size = static_cast<std::size_t>(rowCount - 1) * m_columnCount;
    if (size == 0) {
        ClearStore();
    } else {
        if (size < m_cells.size())
            ReleaseCells(size, m_cells.size());
        m_cells.resize(size);
    }
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
    return CollectCells(cells, 1, DataRowCount());
}

int CoordinateTable::CollectCells(std::vector<std::string>& cells, int firstRow, int count) const
{
    const int first = std::max(firstRow, 1);
    const int end = std::min(firstRow + std::max(count, 0), m_rowCount);
    if (first < end) {
        const auto from = static_cast<std::size_t>(first - 1) * m_columnCount;
        const auto to = static_cast<std::size_t>(end - 1) * m_columnCount;
        cells.reserve(cells.size() + (to - from));
        for (std::size_t i = from; i < to; ++i)
            cells.emplace_back(Text(m_cells[i]));
    }
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
        ClearStore();
        AppendCells(std::move(cells));
    } else {
        // Rows that stay keep their cells beyond the k given ones.
        const std::size_t size = static_cast<std::size_t>(n) * m_columnCount;
        if (size < m_cells.size())
            ReleaseCells(size, m_cells.size());
        m_cells.resize(size);
        int used = std::min(m_columnCount, k);
        for (int i = 0; i < n; ++i)
            for (int j = 0; j < used; ++j) {
                Cell& cell = m_cells[static_cast<std::size_t>(i) * m_columnCount + j];
                Release(cell);
                cell = MakeCell(std::move(cells[static_cast<std::size_t>(i) * k + j]));
            }
        if (m_cells.empty())
            ClearStore();
    }
    m_rowCount = n + 1;
    // Every data row is new: a grid redraws them all, but only once.
    if (before == m_rowCount)
        Changed(TableChange::Kind::Cells, 1, n);
    else
        Changed(TableChange::Kind::Reset, 0, -1);
}

void CoordinateTable::FillRows(CoordinateTable&& from)
{
    if (&from == this)
        return;
    const int n = from.DataRowCount();
    if (from.m_columnCount != m_columnCount) {
        const int k = from.m_columnCount;
        FillRows(from.TakeDataCells(), n, k);
        return;
    }
    const int before = m_rowCount;
    m_cells = std::exchange(from.m_cells, {});
    m_long = std::exchange(from.m_long, {});
    m_freeLong = std::exchange(from.m_freeLong, {});
    if (from.m_rowCount > 1) {
        from.m_rowCount = 1;
        from.Changed(TableChange::Kind::Removed, 1, n);
    }
    m_rowCount = n + 1;
    if (before == m_rowCount)
        Changed(TableChange::Kind::Cells, 1, n);
    else
        Changed(TableChange::Kind::Reset, 0, -1);
}

bool CoordinateTable::IsBlankRow(int row) const
{
    if (row < 1 || row >= m_rowCount)
        return false;
    auto first = m_cells.begin() + static_cast<std::ptrdiff_t>(row - 1) * m_columnCount;
    return std::all_of(first, first + m_columnCount,
                       [](const Cell& cell) { return cell.size == 0; });
}

} // namespace carvento::tables
