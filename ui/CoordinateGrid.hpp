// The grid control that shows a CoordinateTable: titles in a centred header row, the page's
// column widths, in-place editing on source tables, read-only result tables. A million rows
// stay fast: the view asks the model only for the visible cells.
#pragma once

#include "tables/CoordinateTable.hpp"

#include <QAbstractTableModel>
#include <QTableView>

namespace carvento::ui {

class CoordinateTableModel final : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit CoordinateTableModel(tables::CoordinateTable& table, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

    // Redraw after a change made to the table outside the grid.
    void Refresh();

private:
    tables::CoordinateTable& m_table;
    bool m_editing = false;
};

class CoordinateGrid final : public QTableView {
    Q_OBJECT
public:
    explicit CoordinateGrid(tables::CoordinateTable& table, QWidget* parent = nullptr);

    // The selection as the table's commands take it: smallest and largest selected table row
    // (the header is row 0); nothing selected gives {rowCount, -1}.
    tables::RowSelection Selection() const;

private:
    CoordinateTableModel m_model;
};

} // namespace carvento::ui
