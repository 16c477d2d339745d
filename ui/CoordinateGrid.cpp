// Table model and view over a CoordinateTable. Model row r is table row r + 1.
#include "ui/CoordinateGrid.hpp"

#include "ui/QtPlatform.hpp"

#include <QColor>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QScrollBar>
#include <QStyledItemDelegate>
#include <QTimer>

#include <algorithm>
#include <vector>

namespace carvento::ui {
namespace {

bool IsEnter(const QKeyEvent* event)
{
    return (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) &&
           !(event->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::ShiftModifier));
}

// The editor of a cell hands Enter, Tab and a block paste to the grid; everything else is
// ordinary line editing.
class CellDelegate final : public QStyledItemDelegate {
public:
    explicit CellDelegate(CoordinateGrid* grid) : QStyledItemDelegate(grid), m_grid(grid) {}

protected:
    bool eventFilter(QObject* object, QEvent* event) override
    {
        auto* editor = qobject_cast<QWidget*>(object);
        if (!editor || event->type() != QEvent::KeyPress)
            return QStyledItemDelegate::eventFilter(object, event);
        auto* key = static_cast<QKeyEvent*>(event);
        if (IsEnter(key)) {
            emit commitData(editor);
            emit closeEditor(editor, NoHint);
            m_grid->MoveDown();
            return true;
        }
        if (key->key() == Qt::Key_Tab || key->key() == Qt::Key_Backtab) {
            emit commitData(editor);
            emit closeEditor(editor, NoHint);
            m_grid->LeaveGrid(key->key() == Qt::Key_Tab);
            return true;
        }
        if (key->matches(QKeySequence::Paste))
            return PasteIntoEditor(editor);
        // Arrows leave the cell as in a spreadsheet: up and down always, left and right once
        // the cursor stands at that end of the text.
        if (key->modifiers() == Qt::NoModifier || key->modifiers() == Qt::KeypadModifier) {
            auto* line = qobject_cast<QLineEdit*>(editor);
            const bool atStart = line && !line->hasSelectedText() && line->cursorPosition() == 0;
            const bool atEnd = line && !line->hasSelectedText() &&
                               line->cursorPosition() == line->text().size();
            int rowStep = 0, columnStep = 0;
            if (key->key() == Qt::Key_Up)
                rowStep = -1;
            else if (key->key() == Qt::Key_Down)
                rowStep = 1;
            else if (key->key() == Qt::Key_Left && atStart)
                columnStep = -1;
            else if (key->key() == Qt::Key_Right && atEnd)
                columnStep = 1;
            if (rowStep != 0 || columnStep != 0) {
                emit commitData(editor);
                emit closeEditor(editor, NoHint);
                m_grid->MoveBy(rowStep, columnStep);
                return true;
            }
        }
        return QStyledItemDelegate::eventFilter(object, event);
    }

private:
    // A single cell goes into the text being edited, without the line end a spreadsheet
    // copies with it. Several cells end the edit unsaved (the block overwrites this cell
    // anyway) and fill the grid as Ctrl+V outside the editor does.
    bool PasteIntoEditor(QWidget* editor)
    {
        auto* line = qobject_cast<QLineEdit*>(editor);
        if (!line)
            return false;
        std::optional<std::string> text = m_grid->ClipboardText();
        if (!text)
            return true;
        tables::CellBlock block = tables::SplitCellBlock(*text);
        if (block.IsSingleCell()) {
            line->insert(QString::fromStdString(block.cells.front()));
        } else if (block.rows > 0) {
            emit closeEditor(editor, NoHint);
            m_grid->PasteFromClipboard();
        }
        return true;
    }

    CoordinateGrid* m_grid;
};

} // namespace

CoordinateTableModel::CoordinateTableModel(tables::CoordinateTable& table, QObject* parent)
    : QAbstractTableModel(parent), m_table(table), m_rows(table.DataRowCount()),
      m_columns(table.ColumnCount())
{
    m_observer = m_table.AddObserver([this](const tables::TableChange& change) {
        if (!m_batching)
            Follow(change);
    });
}

CoordinateTableModel::~CoordinateTableModel()
{
    m_table.RemoveObserver(m_observer);
}

void CoordinateTableModel::Follow(const tables::TableChange& change)
{
    using Kind = tables::TableChange::Kind;
    // Model row r is table row r + 1.
    const int first = change.first - 1;
    const int last = change.last - 1;
    const int count = change.last - change.first + 1;
    switch (change.kind) {
    case Kind::Cells:
        if (change.first == 0)
            emit headerDataChanged(Qt::Horizontal, 0, m_columns - 1);
        if (const int top = std::max(first, 0), bottom = std::min(last, m_rows - 1);
            top <= bottom && m_columns > 0)
            emit dataChanged(index(top, 0), index(bottom, m_columns - 1));
        return;
    case Kind::Inserted:
        if (count > 0 && first >= 0 && first <= m_rows &&
            m_table.DataRowCount() == m_rows + count) {
            beginInsertRows(QModelIndex(), first, last);
            m_rows += count;
            endInsertRows();
            return;
        }
        break;
    case Kind::Removed:
        if (count > 0 && first >= 0 && last < m_rows && m_table.DataRowCount() == m_rows - count) {
            beginRemoveRows(QModelIndex(), first, last);
            m_rows -= count;
            endRemoveRows();
            return;
        }
        break;
    case Kind::Reset:
        break;
    }
    // A reset, or a report that does not fit the shape the view knows.
    Refresh();
}

void CoordinateTableModel::Refresh()
{
    beginResetModel();
    m_rows = m_table.DataRowCount();
    m_columns = m_table.ColumnCount();
    endResetModel();
}

void CoordinateTableModel::Batch(const std::function<void()>& change)
{
    m_batching = true;
    change();
    m_batching = false;
    Refresh();
}

int CoordinateTableModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : m_rows;
}

int CoordinateTableModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : m_columns;
}

QVariant CoordinateTableModel::data(const QModelIndex& index, int role) const
{
    if (index.isValid() && m_shader && (role == Qt::BackgroundRole || role == Qt::ForegroundRole)) {
        switch (m_shader(index.row() + 1)) {
        case RowShade::Plain:
            return {};
        case RowShade::Warning:
            return role == Qt::BackgroundRole ? QVariant(QColor(0xF9, 0xD6, 0xD2)) : QVariant();
        case RowShade::Muted:
            return role == Qt::BackgroundRole ? QVariant(QColor(0xEC, 0xEC, 0xEC))
                                              : QVariant(QColor(0x8A, 0x8A, 0x8A));
        }
    }
    if (!index.isValid() ||
        (role != Qt::DisplayRole && role != Qt::EditRole && role != Qt::ToolTipRole))
        return {};
    const std::string_view text = m_table.GetCell(index.row() + 1, index.column());
    if (role == Qt::ToolTipRole && text.size() < 12)
        return {};
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

bool CoordinateTableModel::setData(const QModelIndex& index, const QVariant& value, int role)
{
    if (!index.isValid() || role != Qt::EditRole || !m_table.IsEditable())
        return false;
    // The table reports the changed row back, and the view redraws it.
    m_table.SetCell(index.row() + 1, index.column(), value.toString().toStdString());
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

void CoordinateGrid::SetRowShader(RowShader shader)
{
    m_model.SetRowShader(std::move(shader));
    viewport()->update();
}

CoordinateGrid::CoordinateGrid(tables::CoordinateTable& table, QWidget* parent)
    : QTableView(parent), m_table(table), m_model(table)
{
    setModel(&m_model);
    setItemDelegate(new CellDelegate(this));
    verticalHeader()->hide();
    // Fixed row heights: the view never measures a million rows.
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
    horizontalHeader()->setDefaultAlignment(Qt::AlignCenter);
    horizontalHeader()->setStretchLastSection(true);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setEditTriggers(table.IsEditable() ? QAbstractItemView::AllEditTriggers
                                       : QAbstractItemView::NoEditTriggers);
    // Tab belongs to the window (buttons, the other table), not to cell-by-cell movement.
    setTabKeyNavigation(false);
    // Names such as "控制点12" are not cut to "控…": columns grow to what they show.
    connect(&m_model, &QAbstractItemModel::rowsInserted, this, [this] { ScheduleFit(); });
    connect(&m_model, &QAbstractItemModel::modelReset, this, [this] { ScheduleFit(); });
    connect(&m_model, &QAbstractItemModel::dataChanged, this, [this] { ScheduleFit(); });
    connect(verticalScrollBar(), &QScrollBar::valueChanged, this, [this] { ScheduleFit(); });
    // The pages give widths for a 9-point dialog font; with a larger desktop font a width
    // grows until a title and a coordinate such as 3376320.4035 fit, so nothing is clipped.
    const auto& widths = table.ColumnWidths();
    const int coordinateWidth = fontMetrics().horizontalAdvance(QStringLiteral("-00000000.0000")) +
                                10;
    for (int c = 0; c < static_cast<int>(widths.size()); ++c) {
        int titleWidth =
            fontMetrics().horizontalAdvance(QString::fromStdString(table.GetCell(0, c))) + 16;
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

tables::CellRange CoordinateGrid::SelectedRange() const
{
    tables::CellRange spanned{m_table.RowCount(), m_table.ColumnCount(), -1, -1};
    const QItemSelection selection = selectionModel() ? selectionModel()->selection()
                                                      : QItemSelection();
    for (const QItemSelectionRange& range : selection) {
        spanned.top = std::min(spanned.top, range.top() + 1);
        spanned.left = std::min(spanned.left, range.left());
        spanned.bottom = std::max(spanned.bottom, range.bottom() + 1);
        spanned.right = std::max(spanned.right, range.right());
    }
    if (selection.isEmpty() && currentIndex().isValid())
        spanned = {currentIndex().row() + 1, currentIndex().column(), currentIndex().row() + 1,
                   currentIndex().column()};
    return spanned;
}

platform::Clipboard& CoordinateGrid::ActiveClipboard() const
{
    return m_clipboard ? *m_clipboard : Clipboard();
}

std::optional<std::string> CoordinateGrid::ClipboardText() const
{
    return ActiveClipboard().GetText();
}

void CoordinateGrid::SelectCells(const tables::CellRange& range)
{
    const int lastRow = m_model.rowCount() - 1;
    const int lastColumn = m_model.columnCount() - 1;
    const int top = range.top - 1;
    const int bottom = std::min(range.bottom - 1, lastRow);
    const int right = std::min(range.right, lastColumn);
    if (top < 0 || top > bottom || range.left < 0 || range.left > right)
        return;
    const QModelIndex first = m_model.index(top, range.left);
    selectionModel()->setCurrentIndex(first, QItemSelectionModel::NoUpdate);
    selectionModel()->select(QItemSelection(first, m_model.index(bottom, right)),
                             QItemSelectionModel::ClearAndSelect);
}

void CoordinateGrid::ChangeKeepingSelection(const std::function<void()>& change)
{
    // A redraw resets the view's cells; the selection is kept as rectangles and put back.
    std::vector<tables::CellRange> ranges;
    for (const QItemSelectionRange& range : selectionModel()->selection())
        ranges.push_back({range.top() + 1, range.left(), range.bottom() + 1, range.right()});
    const QModelIndex current = currentIndex();
    const int currentRow = current.row();
    const int currentColumn = current.column();
    m_model.Batch(change);
    QItemSelection restored;
    for (const tables::CellRange& range : ranges)
        restored.select(m_model.index(range.top - 1, range.left),
                        m_model.index(range.bottom - 1, range.right));
    if (currentRow >= 0)
        selectionModel()->setCurrentIndex(m_model.index(currentRow, currentColumn),
                                          QItemSelectionModel::NoUpdate);
    selectionModel()->select(restored, QItemSelectionModel::ClearAndSelect);
}

void CoordinateGrid::PasteFromClipboard()
{
    if (!m_table.IsEditable() || m_table.ColumnCount() <= 0)
        return;
    std::optional<std::string> text = ClipboardText();
    if (!text)
        return;
    const tables::CellBlock block = tables::SplitCellBlock(*text);
    if (block.rows == 0)
        return;
    const QModelIndex current = currentIndex();
    const int row = current.isValid() ? current.row() + 1 : m_table.RowCount();
    const int column = current.isValid() ? current.column() : 0;
    m_model.Batch([&] { tables::PasteBlock(m_table, row, column, block); });
    SelectCells({row, column, row + block.rows - 1, column + block.columns - 1});
}

void CoordinateGrid::CopySelection()
{
    std::string text = tables::FormatRangeText(m_table, SelectedRange());
    if (!text.empty())
        ActiveClipboard().PutText(text);
}

void CoordinateGrid::ClearSelectedCells()
{
    if (!m_table.IsEditable())
        return;
    std::vector<tables::CellRange> ranges;
    for (const QItemSelectionRange& range : selectionModel()->selection())
        ranges.push_back({range.top() + 1, range.left(), range.bottom() + 1, range.right()});
    if (ranges.empty() && currentIndex().isValid())
        ranges.push_back(SelectedRange());
    if (ranges.empty())
        return;
    ChangeKeepingSelection([&] {
        for (const tables::CellRange& range : ranges)
            tables::ClearRange(m_table, range);
    });
}

void CoordinateGrid::MoveDown()
{
    const QModelIndex current = currentIndex();
    if (!current.isValid() || current.row() + 1 >= m_model.rowCount())
        return;
    setCurrentIndex(m_model.index(current.row() + 1, current.column()));
}

void CoordinateGrid::MoveBy(int rows, int columns)
{
    const QModelIndex current = currentIndex();
    if (!current.isValid())
        return;
    const int row = std::clamp(current.row() + rows, 0, m_model.rowCount() - 1);
    const int column = std::clamp(current.column() + columns, 0, m_model.columnCount() - 1);
    setCurrentIndex(m_model.index(row, column));
}

void CoordinateGrid::CommitOpenEditor()
{
    if (state() != QAbstractItemView::EditingState)
        return;
    if (QWidget* editor = indexWidget(currentIndex())) {
        commitData(editor);
        closeEditor(editor, QAbstractItemDelegate::NoHint);
    }
}

void CoordinateGrid::FitColumnsToContent()
{
    m_fitPending = false;
    // Only the rows in view are measured (a million rows stay cheap), and a column only
    // grows: scrolling does not make columns jump back and forth.
    const int columns = m_model.columnCount();
    for (int c = 0; c + 1 < columns; ++c) {
        const int wanted = sizeHintForColumn(c);
        if (wanted > columnWidth(c))
            setColumnWidth(c, wanted);
    }
}

void CoordinateGrid::ScheduleFit()
{
    if (m_fitPending)
        return;
    m_fitPending = true;
    QTimer::singleShot(0, this, [this] { FitColumnsToContent(); });
}

void CoordinateGrid::LeaveGrid(bool forward)
{
    focusNextPrevChild(forward);
}

void CoordinateGrid::keyPressEvent(QKeyEvent* event)
{
    if (event->matches(QKeySequence::Paste)) {
        PasteFromClipboard();
    } else if (event->matches(QKeySequence::Copy)) {
        CopySelection();
    } else if (event->key() == Qt::Key_Delete && event->modifiers() == Qt::NoModifier) {
        ClearSelectedCells();
    } else if (IsEnter(event) && m_table.IsEditable()) {
        MoveDown();
    } else {
        QTableView::keyPressEvent(event);
        return;
    }
    event->accept();
}

} // namespace carvento::ui
