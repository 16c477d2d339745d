// A grid of text cells: row 0 holds the column titles, rows 1.. are data rows, column 0
// ("序号") a free-text point name. Data cells travel as one flat row-major list.
#pragma once

#include <functional>
#include <span>
#include <string>
#include <vector>

namespace carvento::tables {

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

    // The data cells in place, row-major (no copy; valid until the next change).
    std::span<const std::string> DataCells() const { return m_data; }

    // True when every cell of data row `row` is empty.
    bool IsBlankRow(int row) const;

    // Source tables are editable in place, result tables read-only.
    bool IsEditable() const { return m_editable; }
    void SetEditable(bool editable) { m_editable = editable; }

    // Called after every change of rows or cells (the grid redraws).
    void SetChangedHandler(std::function<void()> handler) { m_changed = std::move(handler); }

private:
    void Changed() const;
    void InsertRow(int row);

    int m_rowCount = 0;
    int m_columnCount = 0;
    std::vector<int> m_widths;
    std::vector<std::string> m_titles; // row 0
    std::vector<std::string> m_data;   // (m_rowCount - 1) * m_columnCount, row-major
    bool m_editable = true;
    std::function<void()> m_changed;
};

} // namespace carvento::tables
