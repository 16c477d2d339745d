// A grid of text cells: row 0 holds the column titles, rows 1.. are data rows, column 0
// ("序号") a free-text point name. Data cells are kept row-major in 16 bytes each (see Cell).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <iterator>
#include <string>
#include <string_view>
#include <vector>

namespace carvento::tables {

// What a change did to a table, in table rows (the header is row 0). Cells: the cells of rows
// first..last changed (row 0: the titles). Inserted: rows first..last are new, later rows moved
// down. Removed: rows first..last of the table before the change are gone. Reset: anything,
// columns included, may have changed.
struct TableChange {
    enum class Kind { Cells, Inserted, Removed, Reset };
    Kind kind = Kind::Reset;
    int first = 0;
    int last = -1;
};

// The current selection of the grid that shows a table: smallest and largest selected row.
// Nothing selected is {rowCount, -1}, as the grid reports it.
struct RowSelection {
    int smallestRow = 0;
    int largestRow = -1;
};

// The text of one cell as the table holds it: a view, valid until the table's next change,
// that turns into a std::string wherever one is wanted (a copy).
class CellText : public std::string_view {
public:
    constexpr CellText() = default;
    constexpr explicit CellText(std::string_view text) : std::string_view(text) {}
    operator std::string() const { return std::string(data(), size()); }
};

class CoordinateTable {
    // One data cell: up to 15 bytes of text in place, a longer text in m_long (the first four
    // bytes then hold its index). A million rows of coordinates thus take 16 bytes a cell and
    // no allocation of their own, half of what a std::string takes.
    struct Cell {
        static constexpr std::uint8_t kLong = 0xff;
        std::array<char, 15> bytes{};
        std::uint8_t size = 0;
    };
    static_assert(sizeof(Cell) == 16);

public:
    // The data cells row-major, read through CellText (see DataCells).
    class DataCellView {
    public:
        class Iterator {
        public:
            using iterator_category = std::input_iterator_tag;
            using value_type = CellText;
            using difference_type = std::ptrdiff_t;
            using pointer = void;
            using reference = CellText;

            Iterator() = default;
            CellText operator*() const { return m_table->Text(*m_cell); }
            Iterator& operator++()
            {
                ++m_cell;
                return *this;
            }
            Iterator operator++(int)
            {
                Iterator before = *this;
                ++m_cell;
                return before;
            }
            bool operator==(const Iterator& other) const { return m_cell == other.m_cell; }

        private:
            friend class DataCellView;
            Iterator(const CoordinateTable* table, const Cell* cell) : m_table(table), m_cell(cell)
            {
            }
            const CoordinateTable* m_table = nullptr;
            const Cell* m_cell = nullptr;
        };

        Iterator begin() const { return {m_table, m_table->m_cells.data()}; }
        Iterator end() const { return {m_table, m_table->m_cells.data() + size()}; }
        std::size_t size() const { return m_table->m_cells.size(); }
        bool empty() const { return m_table->m_cells.empty(); }
        CellText operator[](std::size_t i) const { return m_table->Text(m_table->m_cells[i]); }
        // Where the cells are stored: it changes only when the store is reallocated.
        const void* data() const { return m_table->m_cells.data(); }

    private:
        friend class CoordinateTable;
        explicit DataCellView(const CoordinateTable* table) : m_table(table) {}
        const CoordinateTable* m_table;
    };

    CoordinateTable() = default;

    // One header row with the titles, no data rows; widths are pixel widths for the grid.
    void SetupColumns(const std::vector<std::string>& titles, const std::vector<int>& widths);

    int RowCount() const { return m_rowCount; }
    int ColumnCount() const { return m_columnCount; }
    int DataRowCount() const { return m_rowCount > 0 ? m_rowCount - 1 : 0; }
    const std::vector<int>& ColumnWidths() const { return m_widths; }
    std::vector<std::string> ColumnTitles() const;

    // Cell access; out-of-range reads give "" and out-of-range writes are ignored. The text
    // read is valid until the table's next change.
    CellText GetCell(int row, int column) const;
    void SetCell(int row, int column, std::string text);

    // Adds an empty data row at the end and returns its index ("添加").
    int AppendRow();
    // Appends whole rows at once (cells.size() a multiple of the column count; otherwise
    // nothing happens), with a single change report. The list is left empty.
    void AppendRows(std::vector<std::string>&& cells);
    // Appends the data rows of `from` (same column count; otherwise nothing happens), leaving
    // it with its header only; a single change report on each table. Into a table without data
    // rows nothing is copied.
    void TakeRows(CoordinateTable& from);
    // Makes room for `rows` data rows in all, so that appending up to them reallocates nothing.
    void ReserveRows(int rows);
    // Inserts an empty row before the topmost selected row ("插入"); nothing without selection.
    void InsertRowBeforeSelection(const RowSelection& selection);
    // Deletes the topmost selected row only ("删除"); nothing without selection.
    void DeleteSelectedRow(const RowSelection& selection);
    // Deletes every data row ("清空").
    void ClearRows();
    // Sets the row count (header included), adding empty rows or dropping rows at the end.
    void SetRowCount(int rowCount);

    // Appends all data cells row-major to `cells`; returns the list's new length.
    int CollectCells(std::vector<std::string>& cells) const;
    // Appends the cells of `count` data rows from table row `firstRow` on (rows outside the
    // table are left out); returns the list's new length.
    int CollectCells(std::vector<std::string>& cells, int firstRow, int count) const;
    // Replaces the data rows by n rows of k cells from `cells`; does nothing unless
    // cells.size() == n*k. Columns at or beyond k keep their text.
    void FillRows(const std::vector<std::string>& cells, int n, int k);
    // FillRows taking the cells by value.
    void FillRows(std::vector<std::string>&& cells, int n, int k);
    // FillRows with the data rows of `from`, which is left with its header only; with the
    // same column count its cells become this table's as they are (no copy).
    void FillRows(CoordinateTable&& from);

    // Moves the data cells out, row-major, leaving the header row only.
    std::vector<std::string> TakeDataCells();

    // The data cells in place, row-major (no copy; valid until the next change).
    DataCellView DataCells() const { return DataCellView(this); }

    // True when every cell of data row `row` is empty.
    bool IsBlankRow(int row) const;

    // Source tables are editable in place, result tables read-only.
    bool IsEditable() const { return m_editable; }
    void SetEditable(bool editable) { m_editable = editable; }

    // Observers are told after every change which rows it touched. AddObserver returns a handle
    // for RemoveObserver; an observer must not add or remove observers while it is told. Copies
    // of a table start without observers.
    using Observer = std::function<void(const TableChange&)>;
    int AddObserver(Observer observer);
    void RemoveObserver(int handle);
    // One extra handler called after every change, whatever it was; replaces the previous one.
    void SetChangedHandler(std::function<void()> handler)
    {
        m_observers.changed = std::move(handler);
    }

private:
    // Observers belong to one table object: copying a table copies none of them (nor the
    // changed handler).
    struct ObserverList {
        ObserverList() = default;
        ObserverList(const ObserverList&) {}
        ObserverList& operator=(const ObserverList&) { return *this; }
        std::vector<std::pair<int, Observer>> entries;
        std::function<void()> changed;
        int nextHandle = 1;
    };

    void Changed(TableChange change) const;
    void Changed(TableChange::Kind kind, int first, int last) const
    {
        Changed(TableChange{kind, first, last});
    }
    void InsertRow(int row);

    // The cell store: texts in and out of cells, and the long texts' slots.
    CellText Text(const Cell& cell) const;
    Cell MakeCell(std::string&& text);
    void Release(Cell& cell);
    void ReleaseCells(std::size_t first, std::size_t last);
    void ClearStore();
    void AppendCells(std::vector<std::string>&& cells);

    int m_rowCount = 0;
    int m_columnCount = 0;
    std::vector<int> m_widths;
    std::vector<std::string> m_titles;     // row 0
    std::vector<Cell> m_cells;             // (m_rowCount - 1) * m_columnCount, row-major
    std::vector<std::string> m_long;       // texts of more than 15 bytes, by slot
    std::vector<std::uint32_t> m_freeLong; // slots of m_long no cell uses
    bool m_editable = true;
    ObserverList m_observers;
};

} // namespace carvento::tables
