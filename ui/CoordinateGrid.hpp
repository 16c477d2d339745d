// The grid control that shows a CoordinateTable: titles in a centred header row, the page's
// column widths, in-place editing on source tables, read-only result tables. A million rows
// stay fast: the view asks the model only for the visible cells.
//
// Keyboard, as in a spreadsheet: Ctrl+V pastes a block of cells at the current cell (source
// tables only), Ctrl+C copies the selected rectangle, Delete empties the selected cells of a
// source table, Enter commits and moves down, Tab leaves the grid.
#pragma once

#include "platform/Prompter.hpp"
#include "tables/CoordinateTable.hpp"
#include "tables/GridPaste.hpp"

#include <QAbstractTableModel>
#include <QTableView>

#include <functional>
#include <optional>
#include <string>

namespace carvento::ui {

// How a data row stands out: rows a fit missed by far, rows left out of a computation.
enum class RowShade { Plain, Warning, Muted };
// Table row (1 = first data row) to its shade.
using RowShader = std::function<RowShade(int row)>;

class CoordinateTableModel final : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit CoordinateTableModel(tables::CoordinateTable& table, QObject* parent = nullptr);
    ~CoordinateTableModel() override;

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

    // Redraw after a change made to the table outside the grid.
    void Refresh();
    // Rows drawn with a background (and muted text) the shader chooses; none when empty.
    void SetRowShader(RowShader shader) { m_shader = std::move(shader); }
    // Runs `change` on the table and redraws once at the end, not once per changed cell.
    void Batch(const std::function<void()>& change);

private:
    // Turns a table change into the model's signals for just those rows.
    void Follow(const tables::TableChange& change);

    tables::CoordinateTable& m_table;
    int m_observer = 0;
    // The shape the view was last told about. The table reports a change after making it, so
    // the model answers with these counts until it has announced the new rows.
    int m_rows = 0;
    int m_columns = 0;
    bool m_batching = false;
    RowShader m_shader;
};

class CoordinateGrid final : public QTableView {
    Q_OBJECT
public:
    explicit CoordinateGrid(tables::CoordinateTable& table, QWidget* parent = nullptr);

    // The selection as the table's commands take it: smallest and largest selected table row
    // (the header is row 0); nothing selected gives {rowCount, -1}.
    tables::RowSelection Selection() const;
    // The rectangle spanning every selected cell, in table rows (1 = first data row); the
    // current cell when nothing is selected; empty (bottom < top) without either.
    tables::CellRange SelectedRange() const;

    // Shades rows as `shader` says; call again (or update the viewport) when the marks change.
    void SetRowShader(RowShader shader);

    // Where Ctrl+C and Ctrl+V go; the desktop clipboard unless set. Must outlive the grid.
    void SetClipboard(platform::Clipboard& clipboard) { m_clipboard = &clipboard; }
    std::optional<std::string> ClipboardText() const;

    // Ctrl+V: the clipboard's cells from the current cell across and down, rows appended as
    // needed (at the end, column 0, without a current cell); the pasted cells end up selected.
    // Nothing on a result table or without text on the clipboard.
    void PasteFromClipboard();
    // Ctrl+C: the selected rectangle in the text format of 复制.
    void CopySelection();
    // Delete: empties the selected cells of a source table.
    void ClearSelectedCells();
    // Enter: the cell below becomes current (the last row stays).
    void MoveDown();
    // Tab out of the grid: the focus moves on to the next (or previous) widget.
    void LeaveGrid(bool forward);
    // An arrow out of a cell editor: the current cell moves by rows and columns, kept inside
    // the table.
    void MoveBy(int rows, int columns);
    // Keeps what is typed in an open cell editor before a command changes the table's rows.
    void CommitOpenEditor();
    // Widens every column but the last to what its cells in view show (never narrows).
    void FitColumnsToContent();

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    platform::Clipboard& ActiveClipboard() const;
    // Runs a table change with one redraw, keeping the current cell and the selection.
    void ChangeKeepingSelection(const std::function<void()>& change);
    void SelectCells(const tables::CellRange& range);

    // Measures the columns once the current changes are drawn.
    void ScheduleFit();

    tables::CoordinateTable& m_table;
    CoordinateTableModel m_model;
    platform::Clipboard* m_clipboard = nullptr;
    bool m_fitPending = false;
};

} // namespace carvento::ui
