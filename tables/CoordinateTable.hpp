// A grid of text cells: row 0 holds the column titles, rows 1.. are data rows, column 0
// ("序号") a free-text point name. Data cells travel as one flat row-major list.
#pragma once

#include <functional>
#include <span>
#include <string>
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

class CoordinateTable {
public:
    CoordinateTable() = default;

    // One header row with the titles, no data rows; widths are pixel widths for the grid.
    void SetupColumns(const std::vector<std::string>& titles, const std::vector<int>& widths);

    int RowCount() const { return m_rowCount; }
    int ColumnCount() const { return m_columnCount; }
    int DataRowCount() const { return m_rowCount > 0 ? m_rowCount - 1 : 0; }
    const std::vector<int>& ColumnWidths() const { return m_widths; }
    std::vector<std::string> ColumnTitles() const;

    // Cell access; out-of-range reads give "" and out-of-range writes are ignored.
    const std::string& GetCell(int row, int column) const;
    void SetCell(int row, int column, std::string text);

    // Adds an empty data row at the end and returns its index ("添加").
    int AppendRow();
    // Appends whole rows at once (cells.size() a multiple of the column count; otherwise
    // nothing happens), with a single change report.
    void AppendRows(std::vector<std::string>&& cells);
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
    // Replaces the data rows by n rows of k cells from `cells`; does nothing unless
    // cells.size() == n*k. Columns at or beyond k keep their text.
    void FillRows(const std::vector<std::string>& cells, int n, int k);
    // FillRows taking the cells by value (no copy for a moved list).
    void FillRows(std::vector<std::string>&& cells, int n, int k);

    // Moves the data cells out, row-major, leaving the header row only (no copy).
    std::vector<std::string> TakeDataCells();

    // The data cells in place, row-major (no copy; valid until the next change).
    std::span<const std::string> DataCells() const { return m_data; }

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

    int m_rowCount = 0;
    int m_columnCount = 0;
    std::vector<int> m_widths;
    std::vector<std::string> m_titles; // row 0
    std::vector<std::string> m_data;   // (m_rowCount - 1) * m_columnCount, row-major
    bool m_editable = true;
    ObserverList m_observers;
};

} // namespace carvento::tables
