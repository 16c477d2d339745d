// The coordinate grid's keyboard: Ctrl+V, Ctrl+C, Delete, Enter and Tab as in a spreadsheet.
#include "support/FakePlatform.hpp"
#include "tables/CoordinateTable.hpp"
#include "ui/CoordinateGrid.hpp"

#include <gtest/gtest.h>

#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QVBoxLayout>

using namespace carvento;
using Cells = std::vector<std::string>;

namespace {

// A source or result table of three columns with `rows` rows "r<row>c<column>", in a grid
// that uses a fake clipboard.
struct GridFixture {
    tables::CoordinateTable table;
    carvento::testing::FakeClipboard clipboard;
    QWidget window;
    ui::CoordinateGrid* grid = nullptr;
    QLineEdit* after = nullptr; // the widget after the grid in the focus chain

    GridFixture(int rows, bool editable)
    {
        table.SetupColumns({"序号", "纬度B", "经度L"}, {35, 85, 90});
        table.SetEditable(editable);
        for (int r = 1; r <= rows; ++r) {
            table.AppendRow();
            for (int c = 0; c < 3; ++c)
                table.SetCell(r, c, "r" + std::to_string(r) + "c" + std::to_string(c));
        }
        auto* layout = new QVBoxLayout(&window);
        grid = new ui::CoordinateGrid(table);
        after = new QLineEdit;
        layout->addWidget(grid);
        layout->addWidget(after);
        grid->SetClipboard(clipboard);
    }

    Cells Collect() const
    {
        Cells cells;
        table.CollectCells(cells);
        return cells;
    }

    void Press(QWidget* target, int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
    {
        QKeyEvent press(QEvent::KeyPress, key, modifiers);
        QApplication::sendEvent(target, &press);
    }

    void SetCurrent(int row, int column)
    {
        grid->setCurrentIndex(grid->model()->index(row, column));
    }

    QWidget* OpenEditor()
    {
        grid->edit(grid->currentIndex());
        return grid->indexWidget(grid->currentIndex());
    }
};

} // namespace

TEST(GridKeyboard, CtrlVFillsABlockFromTheCurrentCellAndAppendsRows)
{
    GridFixture f(2, true);
    f.clipboard.text = "a\t1\r\nb\t2\r\nc\t3\r\n";
    f.SetCurrent(1, 1); // table row 2, 纬度B
    f.Press(f.grid, Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(Cells({"r1c0", "r1c1", "r1c2", "r2c0", "a", "1", "", "b", "2", "", "c", "3"}),
              f.Collect());
    EXPECT_EQ(4, f.grid->model()->rowCount());
    // The pasted block is what is selected afterwards.
    tables::CellRange selected = f.grid->SelectedRange();
    EXPECT_EQ(2, selected.top);
    EXPECT_EQ(4, selected.bottom);
    EXPECT_EQ(1, selected.left);
    EXPECT_EQ(2, selected.right);

    // One cell replaces the current cell only; a column too many is dropped at the edge.
    f.clipboard.text = "30.5\r\n";
    f.SetCurrent(0, 0);
    f.Press(f.grid, Qt::Key_V, Qt::ControlModifier);
    f.clipboard.text = "x,y";
    f.SetCurrent(0, 2);
    f.Press(f.grid, Qt::Key_V, Qt::ControlModifier);
    const Cells after = f.Collect();
    EXPECT_EQ(Cells({"30.5", "r1c1", "x"}), Cells(after.begin(), after.begin() + 3));
    EXPECT_EQ(4, f.grid->model()->rowCount());
}

TEST(GridKeyboard, CtrlVWhileEditingPastesABlockOrInsertsOneCell)
{
    GridFixture f(1, true);
    f.SetCurrent(0, 1);
    auto* editor = qobject_cast<QLineEdit*>(f.OpenEditor());
    ASSERT_NE(nullptr, editor);
    editor->setText(QStringLiteral("3"));
    f.clipboard.text = "0.5\r\n";
    f.Press(editor, Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(QStringLiteral("30.5"), editor->text());

    f.clipboard.text = "31\t104\n32\t105\n";
    f.Press(editor, Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(Cells({"r1c0", "31", "104", "", "32", "105"}), f.Collect());
}

TEST(GridKeyboard, ResultTableRefusesPasteAndDeleteButCopies)
{
    GridFixture f(2, false);
    const Cells before = f.Collect();
    f.clipboard.text = "a\tb\nc\td\n";
    f.SetCurrent(0, 0);
    f.Press(f.grid, Qt::Key_V, Qt::ControlModifier);
    f.grid->selectAll();
    f.Press(f.grid, Qt::Key_Delete);
    EXPECT_EQ(before, f.Collect());
    EXPECT_EQ(2, f.grid->model()->rowCount());

    f.Press(f.grid, Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ("r1c0\tr1c1\tr1c2\r\nr2c0\tr2c1\tr2c2\r\n", f.clipboard.text);
}

TEST(GridKeyboard, CtrlCCopiesTheRectangleSpanningTheSelection)
{
    GridFixture f(3, true);
    QItemSelectionModel* selection = f.grid->selectionModel();
    QAbstractItemModel* model = f.grid->model();
    // Two separate cells: the copy spans the rectangle between them.
    selection->select(model->index(0, 1), QItemSelectionModel::Select);
    selection->select(model->index(2, 2), QItemSelectionModel::Select);
    f.Press(f.grid, Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ("r1c1\tr1c2\r\nr2c1\tr2c2\r\nr3c1\tr3c2\r\n", f.clipboard.text);
}

TEST(GridKeyboard, DeleteEmptiesTheSelectedCellsOfASourceTable)
{
    GridFixture f(3, true);
    QItemSelectionModel* selection = f.grid->selectionModel();
    QAbstractItemModel* model = f.grid->model();
    selection->select(QItemSelection(model->index(0, 1), model->index(1, 2)),
                      QItemSelectionModel::Select);
    selection->select(model->index(2, 0), QItemSelectionModel::Select);
    f.Press(f.grid, Qt::Key_Delete);
    EXPECT_EQ(Cells({"r1c0", "", "", "r2c0", "", "", "", "r3c1", "r3c2"}), f.Collect());
    // Rows stay, and so does the selection.
    EXPECT_EQ(3, model->rowCount());
    EXPECT_TRUE(selection->isSelected(model->index(1, 2)));
}

TEST(GridKeyboard, EnterCommitsAndMovesDownTabLeavesTheGrid)
{
    GridFixture f(3, true);
    f.SetCurrent(0, 1);
    auto* editor = qobject_cast<QLineEdit*>(f.OpenEditor());
    ASSERT_NE(nullptr, editor);
    editor->setText(QStringLiteral("30.5"));
    f.Press(editor, Qt::Key_Return);
    EXPECT_EQ("30.5", f.table.GetCell(1, 1));
    EXPECT_EQ(f.grid->model()->index(1, 1), f.grid->currentIndex());
    EXPECT_EQ(nullptr, f.grid->indexWidget(f.grid->model()->index(0, 1)));

    // Without an editor Enter moves down too, and stops at the last row.
    f.Press(f.grid, Qt::Key_Enter);
    f.Press(f.grid, Qt::Key_Enter);
    EXPECT_EQ(f.grid->model()->index(2, 1), f.grid->currentIndex());

    // Tab in an editor commits and hands the focus on instead of editing the next cell.
    editor = qobject_cast<QLineEdit*>(f.OpenEditor());
    ASSERT_NE(nullptr, editor);
    editor->setText(QStringLiteral("31"));
    f.Press(editor, Qt::Key_Tab);
    EXPECT_EQ("31", f.table.GetCell(3, 1));
    EXPECT_EQ(f.grid->model()->index(2, 1), f.grid->currentIndex());
    EXPECT_EQ(nullptr, f.grid->indexWidget(f.grid->currentIndex()));
    EXPECT_EQ(f.after, f.window.focusWidget());
}

TEST(GridKeyboard, ArrowsLeaveACellEditorAsInASpreadsheet)
{
    GridFixture f(3, true);
    f.SetCurrent(1, 1);
    auto* editor = qobject_cast<QLineEdit*>(f.OpenEditor());
    ASSERT_NE(nullptr, editor);
    editor->setText(QStringLiteral("30.5"));
    f.Press(editor, Qt::Key_Down);
    EXPECT_EQ("30.5", f.table.GetCell(2, 1));
    EXPECT_EQ(f.grid->model()->index(2, 1), f.grid->currentIndex());
    // Up from the first row stays there; left inside the text moves the cursor, at its start
    // the cell.
    editor = qobject_cast<QLineEdit*>(f.OpenEditor());
    editor->setText(QStringLiteral("31"));
    editor->setCursorPosition(1);
    f.Press(editor, Qt::Key_Left);
    EXPECT_EQ(0, editor->cursorPosition());
    EXPECT_EQ(f.grid->model()->index(2, 1), f.grid->currentIndex());
    f.Press(editor, Qt::Key_Left);
    EXPECT_EQ("31", f.table.GetCell(3, 1));
    EXPECT_EQ(f.grid->model()->index(2, 0), f.grid->currentIndex());
}

TEST(GridKeyboard, TypedTextSurvivesARowCommandAndColumnsGrowToTheirContent)
{
    GridFixture f(2, true);
    f.window.show();
    f.SetCurrent(0, 1);
    auto* editor = qobject_cast<QLineEdit*>(f.OpenEditor());
    ASSERT_NE(nullptr, editor);
    editor->setText(QStringLiteral("25.25"));
    f.grid->CommitOpenEditor(); // what 添加 and the other row commands do first
    f.table.AppendRow();
    EXPECT_EQ("25.25", f.table.GetCell(1, 1));
    EXPECT_EQ(3, f.grid->model()->rowCount());

    const int before = f.grid->columnWidth(0);
    f.table.SetCell(3, 0, "控制点第一百二十三号");
    f.grid->FitColumnsToContent();
    EXPECT_GT(f.grid->columnWidth(0), before);
    EXPECT_GE(f.grid->columnWidth(0),
              f.grid->fontMetrics().horizontalAdvance(QStringLiteral("控制点第一百二十三号")));
}
