// The desktop on a decimal-comma system (de_DE): Qt and the C library both read and write
// commas there, and a page window must still take "30.5" as thirty and a half, show "3376320.4035"
// and put points on the clipboard. Runs with its own main so the locale is set before Qt starts.
#include "geodesy/EllipsoidPanel.hpp"
#include "pages/coordinates/GaussPages.hpp"
#include "pages/coordinates/ZoneChangePage.hpp"
#include "support/FakePlatform.hpp"
#include "ui/CoordinateGrid.hpp"
#include "ui/TablePageWindow.hpp"

#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>

#include <clocale>
#include <cstdio>
#include <cstdlib>

using namespace carvento;

namespace {

struct Fakes {
    carvento::testing::FakePrompter prompter;
    carvento::testing::FakeClipboard clipboard;
    platform::MemoryProfile profile;
    pages::PageContext Context() { return {prompter, clipboard, profile}; }
};

QString Cell(ui::CoordinateGrid* grid, int row, int column)
{
    return grid->model()->index(row, column).data().toString();
}

} // namespace

TEST(DecimalCommaDesktop, LocaleIsActive)
{
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "%.1f", 0.5);
    ASSERT_STREQ("0,5", buffer) << "de_DE.UTF-8 is not available (scripts/bootstrap makes it)";
    EXPECT_EQ(QStringLiteral("0,5"), QLocale().toString(0.5));
}

// Typed and pasted cells are read with points, results written with points, and 复制 puts
// points on the clipboard: a comma there would split a field in every program pasting it.
TEST(DecimalCommaDesktop, GridCellsAndClipboardKeepPoints)
{
    Fakes fakes;
    ui::TablePageWindow window(std::make_unique<pages::CGSZSDlg>(fakes.Context()));
    auto* unit = qobject_cast<QComboBox*>(window.FieldWidget("unit"));
    ASSERT_NE(nullptr, unit);
    unit->setCurrentIndex(pages::kUnitDegrees);
    window.Button(QStringLiteral("添加"))->click();
    QAbstractItemModel* source = window.SourceGrid()->model();
    source->setData(source->index(0, 0), QStringLiteral("P1"), Qt::EditRole);
    source->setData(source->index(0, 1), QStringLiteral("30.5"), Qt::EditRole);
    source->setData(source->index(0, 2), QStringLiteral("106.3"), Qt::EditRole);
    fakes.clipboard.text = "P2\t31\t104.25\r\n";
    window.SourceGrid()->setCurrentIndex(source->index(1, 0));
    window.Button(QStringLiteral("粘贴"))->click();
    ASSERT_EQ(2, source->rowCount());
    EXPECT_EQ(QStringLiteral("104.25"), Cell(window.SourceGrid(), 1, 2));

    window.Button(QStringLiteral("转换"))->click();
    EXPECT_EQ(QStringLiteral("3376320.4035"), Cell(window.ResultGrid(), 0, 1));
    EXPECT_EQ(QStringLiteral("P2"), Cell(window.ResultGrid(), 1, 0));
    EXPECT_TRUE(Cell(window.ResultGrid(), 1, 2).contains(QLatin1Char('.')));
    window.Button(QStringLiteral("复制"))->click();
    ASSERT_TRUE(fakes.clipboard.text.has_value());
    EXPECT_NE(std::string::npos, fakes.clipboard.text->find("\t3376320.4035\t"))
        << *fakes.clipboard.text;
    EXPECT_EQ(std::string::npos, fakes.clipboard.text->find(',')) << *fakes.clipboard.text;
}

// The axes of a 自定义 ellipsoid typed with a fraction apply exactly, not cut at the point.
TEST(DecimalCommaDesktop, CustomAxesTypedWithPointsApplyExactly)
{
    Fakes fakes;
    ui::TablePageWindow window(std::make_unique<pages::CZBHDDlg>(fakes.Context()));
    QComboBox* combo = window.EllipsoidCombo();
    ASSERT_NE(nullptr, combo);
    combo->setCurrentIndex(combo->count() - 1);
    emit combo->activated(combo->count() - 1);
    QLineEdit* a = nullptr;
    QLineEdit* b = nullptr;
    for (QLineEdit* edit : window.findChildren<QLineEdit*>()) {
        if (edit->text().startsWith(QStringLiteral("6378245.")))
            a = edit;
        if (edit->text().startsWith(QStringLiteral("6356863.")))
            b = edit;
    }
    ASSERT_NE(nullptr, a);
    ASSERT_NE(nullptr, b);
    a->setText(QStringLiteral("6378137.5"));
    emit a->textEdited(a->text());
    b->setText(QStringLiteral("6356752.25"));
    emit b->textEdited(b->text());
    // The typed axes count once 自定义 is picked again.
    emit combo->activated(combo->count() - 1);
    geodesy::EllipsoidPanel* panel = window.Page().EllipsoidPanelOf("");
    ASSERT_NE(nullptr, panel);
    EXPECT_EQ(6378137.5, panel->AppliedEllipsoid().a);
    EXPECT_EQ(6356752.25, panel->AppliedEllipsoid().b);
}

int main(int argc, char** argv)
{
    // Qt takes the system locale from the environment when it starts.
    ::setenv("LC_ALL", "de_DE.UTF-8", 1);
    ::setenv("LANG", "de_DE.UTF-8", 1);
    Q_INIT_RESOURCE(carvento);
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    std::setlocale(LC_ALL, "de_DE.UTF-8");
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
