// A page window driven through its widgets gives what the page object gives.
#include "geodesy/EllipsoidPanel.hpp"
#include "pages/PageRegistry.hpp"
#include "pages/coordinates/GaussPages.hpp"
#include "pages/coordinates/ZoneChangePage.hpp"
#include "pages/frames/DatumSide.hpp"
#include "support/FakePlatform.hpp"
#include "ui/CoordinateGrid.hpp"
#include "ui/CustomEllipsoidWindow.hpp"
#include "ui/PageWidgets.hpp"
#include "ui/PageWindows.hpp"
#include "ui/TablePageWindow.hpp"
#include "ui/WindowPlacement.hpp"

#include <gtest/gtest.h>

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QValidator>

using namespace carvento;

namespace {

struct Fakes {
    carvento::testing::FakePrompter prompter;
    carvento::testing::FakeClipboard clipboard;
    platform::MemoryProfile profile;
    pages::PageContext Context() { return {prompter, clipboard, profile}; }
};

void TypeCell(ui::CoordinateGrid* grid, int row, int column, const QString& text)
{
    grid->model()->setData(grid->model()->index(row, column), text, Qt::EditRole);
}

} // namespace

TEST(TablePageWindow, ForwardPageThroughItsWidgetsMatchesThePageObject)
{
    Fakes windowFakes;
    auto* window =
        new ui::TablePageWindow(std::make_unique<pages::CGSZSDlg>(windowFakes.Context()));
    EXPECT_EQ(QStringLiteral("高斯坐标正算"), window->windowTitle());
    auto* unit = qobject_cast<QComboBox*>(window->FieldWidget("unit"));
    ASSERT_NE(nullptr, unit);
    unit->setCurrentIndex(pages::kUnitDegrees);
    auto* meridian = qobject_cast<QLineEdit*>(window->FieldWidget("meridian"));
    ASSERT_NE(nullptr, meridian);
    EXPECT_EQ(QStringLiteral("1050000"), meridian->text());
    // The zone fields take digits only.
    QString typed = QStringLiteral("10a5");
    int position = 0;
    ASSERT_NE(nullptr, meridian->validator());
    EXPECT_EQ(QValidator::Invalid, meridian->validator()->validate(typed, position));
    typed = QStringLiteral("-105");
    EXPECT_EQ(QValidator::Invalid, meridian->validator()->validate(typed, position));

    window->Button(QStringLiteral("添加"))->click();
    window->Button(QStringLiteral("添加"))->click();
    TypeCell(window->SourceGrid(), 0, 0, QStringLiteral("P1"));
    TypeCell(window->SourceGrid(), 0, 1, QStringLiteral("30.5"));
    TypeCell(window->SourceGrid(), 0, 2, QStringLiteral("106.3"));
    TypeCell(window->SourceGrid(), 1, 1, QStringLiteral("31"));
    TypeCell(window->SourceGrid(), 1, 2, QStringLiteral("104"));
    window->Button(QStringLiteral("转换"))->click();
    window->Button(QStringLiteral("复制"))->click();
    ASSERT_TRUE(windowFakes.clipboard.text.has_value());
    EXPECT_EQ(2, window->ResultGrid()->model()->rowCount());
    EXPECT_EQ(QStringLiteral("3376320.4035"),
              window->ResultGrid()->model()->index(0, 1).data().toString());

    Fakes pageFakes;
    pages::CGSZSDlg page(pageFakes.Context());
    page.Field("unit").pendingIndex = pages::kUnitDegrees;
    page.Source().FillRows(std::vector<std::string>{"P1", "30.5", "106.3", "", "31", "104"}, 2, 3);
    page.Convert();
    page.Copy();
    EXPECT_EQ(*pageFakes.clipboard.text, *windowFakes.clipboard.text);
    delete window;
}

TEST(TablePageWindow, EllipsoidComboShowsAxesAndEnablesThemForCustom)
{
    Fakes fakes;
    ui::TablePageWindow window(std::make_unique<pages::CZBHDDlg>(fakes.Context()));
    QComboBox* combo = window.EllipsoidCombo();
    ASSERT_NE(nullptr, combo);
    EXPECT_EQ(5, combo->count());
    EXPECT_EQ(QStringLiteral("自定义"), combo->itemText(4));
    auto edits = window.findChildren<QLineEdit*>();
    QLineEdit* b = nullptr;
    for (QLineEdit* edit : edits)
        if (edit->text() == QStringLiteral("6356863.0187730473"))
            b = edit;
    ASSERT_NE(nullptr, b);
    EXPECT_FALSE(b->isEnabled());
    combo->setCurrentIndex(3);
    emit combo->activated(3);
    EXPECT_EQ(QStringLiteral("6356752.3142451793"), b->text());
    combo->setCurrentIndex(4);
    emit combo->activated(4);
    EXPECT_TRUE(b->isEnabled());
}

TEST(TablePageWindow, RowButtonsUseTheGridSelection)
{
    Fakes fakes;
    ui::TablePageWindow window(std::make_unique<pages::CGSZSDlg>(fakes.Context()));
    for (int i = 0; i < 3; ++i)
        window.Button(QStringLiteral("添加"))->click();
    TypeCell(window.SourceGrid(), 1, 0, QStringLiteral("second"));
    window.Button(QStringLiteral("删除"))->click(); // nothing selected: nothing happens
    EXPECT_EQ(3, window.SourceGrid()->model()->rowCount());
    window.SourceGrid()->selectRow(1);
    window.Button(QStringLiteral("删除"))->click();
    EXPECT_EQ(2, window.SourceGrid()->model()->rowCount());
    EXPECT_EQ(QString(), window.SourceGrid()->model()->index(1, 0).data().toString());
}

TEST(CustomEllipsoidWindow, RefusesEmptyFieldsAndSavesTheEllipsoid)
{
    Fakes fakes;
    auto* window = new ui::CustomEllipsoidWindow(fakes.Context());
    window->NameEdit()->setText(QStringLiteral("椭球A"));
    window->AEdit()->setText(QStringLiteral("6378137"));
    window->accept();
    EXPECT_EQ(1u, fakes.prompter.messages.size());
    EXPECT_TRUE(fakes.profile.Values().empty());
    window->BEdit()->setText(QStringLiteral("6356752.3141"));
    window->accept();
    EXPECT_EQ("6378137.000000,6356752.314100",
              fakes.profile.GetString("CoordinateSystem", "椭球A", ""));
    delete window;
}

TEST(TablePageWindow, StatusLineCountsRowsAndReportsConvertAndExport)
{
    Fakes fakes;
    ui::TablePageWindow window(std::make_unique<pages::CGSZSDlg>(fakes.Context()));
    EXPECT_EQ(QStringLiteral("源数据 0 行，结果 0 行"), window.StatusText());
    window.Page().Field("unit").pendingIndex = pages::kUnitDegrees;
    window.Page().Source().FillRows(
        std::vector<std::string>{"P1", "30.5", "106.3", "P2", "3O.5", "106.3"}, 2, 3);
    EXPECT_EQ(QStringLiteral("源数据 2 行，结果 0 行"), window.StatusText());

    window.Button(QStringLiteral("转换"))->click();
    EXPECT_EQ(
        QStringLiteral("源数据 2 行，结果 2 行　已转换 2 行，其中 1 个单元格不是数字（按 0 计算）"),
        window.StatusText());

    const std::string path = ::testing::TempDir() + "status-export.txt";
    fakes.prompter.saveAnswers.push_back(path);
    window.Button(QStringLiteral("导出"))->click();
    EXPECT_TRUE(window.StatusText().endsWith(QStringLiteral("（按 0 计算）　已导出到 ") +
                                             QString::fromStdString(path)))
        << window.StatusText().toStdString();

    // A cancelled save dialog leaves the line as it was; a new 转换 drops the export.
    const QString before = window.StatusText();
    window.Button(QStringLiteral("导出"))->click();
    EXPECT_EQ(before, window.StatusText());
    // 清空 leaves results that no longer belong to any source row: greyed, and said so.
    QAbstractItemModel* results = window.ResultGrid()->model();
    EXPECT_FALSE(results->data(results->index(0, 1), Qt::ForegroundRole).isValid());
    window.Button(QStringLiteral("清空"))->click();
    EXPECT_EQ(QStringLiteral("源数据 0 行，结果 2 行"),
              window.StatusText().section(QStringLiteral("　"), 0, 0));
    EXPECT_NE(-1, window.StatusText().indexOf(QStringLiteral("请重新转换")));
    EXPECT_TRUE(results->data(results->index(0, 1), Qt::ForegroundRole).isValid());
    window.Page().Source().FillRows(std::vector<std::string>{"P1", "30.5", "106.3"}, 1, 3);
    window.Button(QStringLiteral("转换"))->click();
    EXPECT_EQ(QStringLiteral("源数据 1 行，结果 1 行　已转换 1 行"), window.StatusText());
    EXPECT_FALSE(results->data(results->index(0, 1), Qt::ForegroundRole).isValid());
}

TEST(TablePageWindow, TypedAxesAreMarkedUntilCustomIsPickedAgain)
{
    Fakes fakes;
    ui::TablePageWindow window(std::make_unique<pages::CZBHDDlg>(fakes.Context()));
    QLabel* unapplied = window.UnappliedAxesLabel();
    ASSERT_NE(nullptr, unapplied);
    emit window.EllipsoidCombo()->activated(4); // 自定义, on the Krasovsky axes shown
    EXPECT_TRUE(unapplied->isHidden());

    auto type = [](QLineEdit* edit, const QString& text) {
        edit->setText(text);
        emit edit->textEdited(text);
    };
    type(window.AxisAEdit(), QStringLiteral("6378137"));
    EXPECT_FALSE(unapplied->isHidden());
    // The same value written differently is what the computation already uses.
    type(window.AxisAEdit(), QStringLiteral("6378245.000"));
    EXPECT_TRUE(unapplied->isHidden());
    type(window.AxisBEdit(), QStringLiteral("6356752.3141"));
    EXPECT_FALSE(unapplied->isHidden());
    emit window.EllipsoidCombo()->activated(4);
    EXPECT_TRUE(unapplied->isHidden());

    // A preset shows its own axes, which are always in use.
    type(window.AxisAEdit(), QStringLiteral("1"));
    emit window.EllipsoidCombo()->activated(2);
    EXPECT_TRUE(unapplied->isHidden());
}

TEST(WindowPlacement, PageWindowFitsASmallScreenWithItsTitleBarOnIt)
{
    // 1280×800 at 150 %: about 853×533 logical pixels, less a panel.
    const QRect available(0, 0, 853, 509);
    const QMargins frame(4, 30, 4, 4);
    QRect placed = ui::FitWindow(QSize(880, 540), QSize(600, 300), frame, available);
    EXPECT_EQ(QRect(4, 30, 845, 475), placed);
    // Small enough already: the size stays and the frame is centred.
    EXPECT_EQ(QRect(104, 74, 640, 400),
              ui::FitWindow(QSize(640, 400), QSize(), frame, QRect(0, 0, 848, 522)));
    // Larger than the area even at its minimum: pinned to the top-left, title bar reachable.
    placed = ui::FitWindow(QSize(880, 540), QSize(700, 480), frame, QRect(100, 50, 500, 300));
    EXPECT_EQ(QRect(104, 80, 700, 480), placed);

    Fakes fakes;
    ui::TablePageWindow window(std::make_unique<pages::CGSZSDlg>(fakes.Context()));
    const QRect small(10, 20, 853, 509);
    ui::PlaceWindow(window, small);
    // Room is left for a title bar above the client area.
    EXPECT_LE(window.width(), small.width());
    EXPECT_LE(window.height(), small.height() - 20);
    EXPECT_TRUE(small.contains(window.pos())) << window.x() << "," << window.y();
}

TEST(WindowPlacement, NewPagesCascadeAndTheSevenParameterSolveFitsASmallScreen)
{
    const QMargins frame(4, 30, 4, 4);
    const QRect available(0, 0, 1000, 700);
    const QRect placed(200, 150, 500, 300);
    EXPECT_EQ(placed, ui::CascadeWindow(placed, 0, 30, frame, available));
    EXPECT_EQ(placed.translated(60, 60), ui::CascadeWindow(placed, 2, 30, frame, available));
    // Room for 8 steps down (bottom edge 454 of 700): the ninth starts over.
    EXPECT_EQ(placed, ui::CascadeWindow(placed, 9, 30, frame, available));

    // Two windows opened one after the other do not cover each other's title bars.
    Fakes fakes;
    const QRect large(0, 0, 3000, 2000);
    ui::TablePageWindow first(std::make_unique<pages::CGSZSDlg>(fakes.Context()));
    ui::PlaceWindow(first, large);
    first.show();
    ui::TablePageWindow second(std::make_unique<pages::CGSZSDlg>(fakes.Context()));
    ui::PlaceWindow(second, large);
    EXPECT_GE(second.y() - first.y(), 20);
    EXPECT_GE(second.x() - first.x(), 20);

    // 计算七参数 on 1280×800 at 150 %: it fits, and scrolls rather than running off.
    std::unique_ptr<QWidget> seven;
    for (const pages::PageRegistration& row : pages::PageRegistry())
        if (row.Built() && std::string_view(row.pageClass) == "CParams7")
            seven.reset(ui::MakePageWindow(row, fakes.Context()));
    ASSERT_NE(nullptr, seven);
    const QRect small(0, 0, 853, 509);
    ui::PlaceWindow(*seven, small);
    EXPECT_LE(seven->width(), small.width());
    EXPECT_LE(seven->height(), small.height() - 20);
}

// Every built page of the registry opens in the window of its frame, titled as the page.
TEST(PageWindows, EveryRegisteredPageOpensInItsFramesWindow)
{
    Fakes fakes;
    int opened = 0;
    for (const pages::PageRegistration& row : pages::PageRegistry()) {
        if (!row.Built())
            continue;
        SCOPED_TRACE(std::string(row.pageClass));
        std::unique_ptr<QWidget> window(ui::MakePageWindow(row, fakes.Context()));
        ASSERT_NE(nullptr, window);
        window->setAttribute(Qt::WA_DeleteOnClose, false);
        EXPECT_EQ(QString::fromStdString(row.factory(fakes.Context())->Title()),
                  window->windowTitle());
        window->show();
        EXPECT_TRUE(window->isVisible());
        ++opened;
    }
    EXPECT_EQ(21, opened);
}

namespace {

// A two-sided conversion page, as the datum pages are built.
class TwoSidedFake final : public pages::TwoSidedPage<pages::ConversionPage> {
public:
    explicit TwoSidedFake(pages::PageContext context)
        : TwoSidedPage(context, pages::kAngleUnitChoices, pages::kAngleUnitChoices)
    {
        SetLayout({"源", {"序号", "x", "y"}, {35, 85, 90}},
                  {"目标", {"序号", "x", "y"}, {35, 85, 90}});
    }
    std::string Title() const override { return "两侧"; }
    std::vector<std::string> ExportHeader() const override { return {"序号", "x", "y"}; }

private:
    void ConvertRow(std::span<std::string>) override {}
};

} // namespace

// A two-sided page shows one ellipsoid box per side, and a side's edits reach its own panel.
TEST(TablePageWindow, TwoSidedPageShowsBothSidesPanels)
{
    Fakes fakes;
    ui::TablePageWindow window(std::make_unique<TwoSidedFake>(fakes.Context()));
    window.setAttribute(Qt::WA_DeleteOnClose, false);
    const auto boxes = window.findChildren<ui::EllipsoidBox*>();
    ASSERT_EQ(2, boxes.size());
    auto& page = window.Page();
    boxes[1]->Combo()->activated(3);
    EXPECT_EQ(3, page.EllipsoidPanelOf("to")->Selection());
    EXPECT_NE(3, page.EllipsoidPanelOf("from")->Selection());
    EXPECT_NE(nullptr, window.FieldWidget("from-meridian"));
    EXPECT_NE(nullptr, window.FieldWidget("to-meridian"));
}

// A page's own commands are buttons of its window: 导入七参数 on the seven-parameter page.
TEST(TablePageWindow, PageCommandsAreButtons)
{
    Fakes fakes;
    const pages::PageRegistration* row = pages::FindPageById(106);
    ASSERT_NE(nullptr, row);
    std::unique_ptr<QWidget> window(ui::MakePageWindow(*row, fakes.Context()));
    window->setAttribute(Qt::WA_DeleteOnClose, false);
    auto* conversion = static_cast<ui::TablePageWindow*>(window.get());
    QPushButton* import = conversion->Button(QStringLiteral("导入七参数"));
    ASSERT_NE(nullptr, import);
    import->click(); // the open dialog is cancelled: nothing changes, nothing is shown
    EXPECT_TRUE(fakes.prompter.messages.empty());
    EXPECT_EQ(1u, fakes.prompter.openDialogs.size());
}
