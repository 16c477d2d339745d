// Table model and view over a CoordinateTable. Model row r is table row r + 1.
#include "ui/CoordinateGrid.hpp"

#include <QHeaderView>

#include <algorithm>

namespace carvento::ui {

CoordinateTableModel::CoordinateTableModel(tables::CoordinateTable& table, QObject* parent)
    : QAbstractTableModel(parent), m_table(table)
{
    m_table.SetChangedHandler([this] {
        if (!m_editing)
            Refresh();
    });
}

void CoordinateTableModel::Refresh()
{
    beginResetModel();
    endResetModel();
}

int CoordinateTableModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : m_table.DataRowCount();
}

int CoordinateTableModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : m_table.ColumnCount();
}

QVariant CoordinateTableModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || (role != Qt::DisplayRole && role != Qt::EditRole && role != Qt::ToolTipRole))
        return {};
    const std::string& text = m_table.GetCell(index.row() + 1, index.column());
    if (role == Qt::ToolTipRole && text.size() < 12)
        return {};
    return QString::fromStdString(text);
}

bool CoordinateTableModel::setData(const QModelIndex& index, const QVariant& value, int role)
{
    if (!index.isValid() || role != Qt::EditRole || !m_table.IsEditable())
        return false;
    m_editing = true;
    m_table.SetCell(index.row() + 1, index.column(), value.toString().toStdString());
    m_editing = false;
    emit dataChanged(index, index);
    return true;
}

QVariant CoordinateTableModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole)
        return QString::fromStdString(m_table.GetCell(0, section));
    if (orientation == Qt::Horizontal && role == Qt::TextAlignmentRole)
        return int(Qt::AlignCenter);
    return {};
}

Qt::ItemFlags CoordinateTableModel::flags(const QModelIndex& index) const
{
    Qt::ItemFlags flags = QAbstractTableModel::flags(index);
    if (m_table.IsEditable())
        flags |= Qt::ItemIsEditable;
    return flags;
}

CoordinateGrid::CoordinateGrid(tables::CoordinateTable& table, QWidget* parent)
    : QTableView(parent), m_model(table)
{
    setModel(&m_model);
    verticalHeader()->hide();
    // Fixed row heights: the view never measures a million rows.
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
    horizontalHeader()->setDefaultAlignment(Qt::AlignCenter);
    horizontalHeader()->setStretchLastSection(true);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setEditTriggers(table.IsEditable() ? QAbstractItemView::AllEditTriggers
                                       : QAbstractItemView::NoEditTriggers);
    // The pages give widths for a 9-point dialog font; with a larger desktop font a width
    // grows until a title and a coordinate such as 3376320.4035 fit, so nothing is clipped.
    const auto& widths = table.ColumnWidths();
    const int coordinateWidth = fontMetrics().horizontalAdvance(QStringLiteral("-00000000.0000")) + 10;
    for (int c = 0; c < static_cast<int>(widths.size()); ++c) {
        int titleWidth = fontMetrics().horizontalAdvance(QString::fromStdString(table.GetCell(0, c))) + 16;
        int width = std::max(widths[static_cast<std::size_t>(c)], titleWidth);
        if (c > 0)
            width = std::max(width, coordinateWidth);
        setColumnWidth(c, width);
    }
}

tables::RowSelection CoordinateGrid::Selection() const
{
    tables::RowSelection selection{m_model.rowCount() + 1, -1};
    if (!selectionModel())
        return selection;
    // Ranges, not indexes: selecting a million rows must not list every cell.
    for (const QItemSelectionRange& range : selectionModel()->selection()) {
        selection.smallestRow = std::min(selection.smallestRow, range.top() + 1);
        selection.largestRow = std::max(selection.largestRow, range.bottom() + 1);
    }
    return selection;
}

} // namespace carvento::ui
