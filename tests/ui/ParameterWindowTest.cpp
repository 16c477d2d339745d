// The parameter pages' windows: the quality panel under the table shows the page's report
// after each solve through the window's own button.
#include "pages/ParameterPages.hpp"
#include "platform/Profile.hpp"
#include "support/FakePlatform.hpp"
#include "ui/CommonPointWindow.hpp"
#include "ui/CoordinateGrid.hpp"

#include <gtest/gtest.h>

#include <QAbstractItemModel>
#include <QPlainTextEdit>
#include <QPushButton>

using namespace carvento;

namespace {

struct Fakes {
    carvento::testing::FakePrompter prompter;
    carvento::testing::FakeClipboard clipboard;
    platform::MemoryProfile profile;
    pages::PageContext Context() { return {prompter, clipboard, profile}; }
};

void FillFourParameterPoints(QAbstractItemModel* model, const double rows[][4], int count)
{
    for (int r = 0; r < count; ++r)
        for (int c = 0; c < 4; ++c)
            model->setData(model->index(r, c + 1), QString::number(rows[r][c], 'f', 4),
                           Qt::EditRole);
}

} // namespace

TEST(ParameterWindow, QualityPanelFollowsEachSolve)
{
    Fakes fakes;
    auto* window = new ui::CommonPointWindow(std::make_unique<pages::CParams4>(fakes.Context()));
    ASSERT_NE(nullptr, window->QualityPanel());
    EXPECT_TRUE(window->QualityPanel()->isReadOnly());
    EXPECT_TRUE(window->QualityPanel()->toPlainText().isEmpty());
    for (int i = 0; i < 3; ++i)
        window->Button(QStringLiteral("添加"))->click();
    const double rows[3][4] = {{3000000, 500000, 3000100, 499950},
                               {3000060, 500080, 3000160, 500030},
                               {3000200, 499900, 3000300.05, 499850}};
    FillFourParameterPoints(window->Grid()->model(), rows, 3);
    window->Button(QStringLiteral("解算四参数"))->click();
    const QString shown = window->QualityPanel()->toPlainText();
    EXPECT_TRUE(shown.startsWith(QStringLiteral("公共点数: 3  多余观测数: 2")))
        << shown.toStdString();
    EXPECT_EQ(QString::fromStdString(window->Page().QualityText()), shown);
    delete window;
}
