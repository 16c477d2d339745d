// The launcher panel: its catalogue bar, the pages it opens and when it hides.
#include "support/FakePlatform.hpp"
#include "ui/CWindow.hpp"

#include "ui/TablePageWindow.hpp"
#include "ui/XOutLookBar.hpp"
#include <cstdlib>

#include <gtest/gtest.h>

#include <QApplication>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QListWidget>
#include <QMenu>

using namespace carvento;

namespace {

// No globe answers at this address, whatever runs on the machine.
struct NoGlobe {
    NoGlobe() { ::setenv("CARVENTO_EARTH_SOCKET", "/nonexistent/carvento-earth.sock", 1); }
};

struct PanelFixture : ::testing::Test {
    NoGlobe noGlobe;
    carvento::testing::FakePrompter prompter;
    carvento::testing::FakeClipboard clipboard;
    carvento::testing::FakeLauncher launcher;
    platform::MemoryProfile profile;
    ui::CWindow panel{{prompter, clipboard, profile}, launcher};

    ~PanelFixture() override
    {
        for (QWidget* page : panel.OpenPages())
            delete page;
    }
};

} // namespace

TEST_F(PanelFixture, BarHoldsTheFiveFoldersWithCaptionAndDescription)
{
    ui::XOutLookBar* bar = panel.Bar();
    ASSERT_EQ(5, bar->FolderCount());
    EXPECT_EQ(120, bar->y());
    EXPECT_EQ(QSize(250, 370), panel.size());
    QListWidget* conversions = bar->FolderList(1);
    ASSERT_EQ(9, conversions->count());
    EXPECT_EQ(QStringLiteral("高斯正算"), conversions->item(1)->text());
    EXPECT_EQ(QStringLiteral("地理坐标(BL)->平面坐标(xy)"), conversions->item(1)->toolTip());
}

TEST_F(PanelFixture, EachChoiceOpensANewPageAndHidesThePanel)
{
    panel.ShowPanel();
    panel.Bar()->ChooseEntry(1, 1); // 高斯正算
    EXPECT_FALSE(panel.isVisible());
    panel.ShowPanel();
    panel.Bar()->ChooseEntry(1, 1);
    std::vector<QWidget*> pages = panel.OpenPages();
    ASSERT_EQ(2u, pages.size());
    EXPECT_NE(pages[0], pages[1]);
    EXPECT_EQ(QStringLiteral("高斯坐标正算"), pages[1]->windowTitle());
    EXPECT_TRUE(pages[1]->isVisible());

    // A globe page without a running globe, and a link: nothing opens, the panel hides.
    panel.ShowPanel();
    panel.Bar()->ChooseEntry(3, 2); // 批量获取高程
    EXPECT_FALSE(panel.isVisible());
    EXPECT_EQ(2u, panel.OpenPages().size());
    ASSERT_FALSE(prompter.messages.empty());
    EXPECT_EQ("未检测到运行的Google Earth!", prompter.messages.back().text);
    panel.ShowPanel();
    panel.Bar()->ChooseEntry(4, 1); // 主页
    EXPECT_FALSE(panel.isVisible());
    EXPECT_EQ(1u, launcher.urls.size());
}

TEST_F(PanelFixture, TrayMenuOffersSettingsFolderAndExit)
{
    QStringList texts;
    for (QAction* action : panel.TrayMenu()->actions())
        if (!action->isSeparator())
            texts << action->text();
    EXPECT_EQ(QStringList({QStringLiteral("设置"), QStringLiteral("打开文件夹"),
                           QStringLiteral("退出")}),
              texts);
    panel.TrayMenu()->actions()[1]->trigger();
    ASSERT_EQ(1u, launcher.folders.size());
}

namespace {

// A page with unsaved results whose user answers Cancel to the close question.
class StayingPage : public QWidget {
public:
    int asked = 0;
    bool agree = false;

protected:
    void closeEvent(QCloseEvent* event) override
    {
        ++asked;
        if (!agree)
            event->ignore();
    }
};

} // namespace

TEST_F(PanelFixture, ExitAsksEveryPageAndAMinimisedPanelComesBack)
{
    // 设置 has no action and says so by being greyed.
    EXPECT_FALSE(panel.TrayMenu()->actions()[0]->isEnabled());

    auto* staying = new StayingPage;
    panel.ShowPage(staying);
    EXPECT_FALSE(panel.TryExit());
    EXPECT_EQ(1, staying->asked);
    EXPECT_TRUE(staying->isVisible());
    EXPECT_EQ(1u, panel.OpenPages().size());

    // Without a tray, closing the panel is 退出: refused as well, and the panel stays.
    panel.UseAsOrdinaryWindow();
    panel.ShowPanel();
    EXPECT_FALSE(panel.close());
    EXPECT_EQ(2, staying->asked);
    EXPECT_TRUE(panel.isVisible());

    // A second start shows a minimised panel again.
    panel.showMinimized();
    panel.ShowPanel();
    EXPECT_FALSE(panel.isMinimized());
    staying->agree = true;
}

TEST_F(PanelFixture, CatalogueWorksWithArrowsAndEnter)
{
    panel.ShowPanel();
    ui::XOutLookBar* bar = panel.Bar();
    QListWidget* first = bar->FolderList(bar->OpenFolderIndex());
    EXPECT_EQ(0, first->currentRow());
    auto press = [](QWidget* target, int key) {
        QKeyEvent event(QEvent::KeyPress, key, Qt::NoModifier);
        QApplication::sendEvent(target, &event);
    };
    press(first, Qt::Key_Right); // the next folder: 坐标转换
    ASSERT_EQ(1, bar->OpenFolderIndex());
    QListWidget* conversions = bar->FolderList(1);
    EXPECT_EQ(0, conversions->currentRow());
    press(conversions, Qt::Key_Down);
    EXPECT_EQ(1, conversions->currentRow());
    press(conversions, Qt::Key_Return); // 高斯正算
    ASSERT_EQ(1u, panel.OpenPages().size());
    EXPECT_EQ(QStringLiteral("高斯坐标正算"), panel.OpenPages()[0]->windowTitle());
    press(bar->FolderList(1), Qt::Key_Left);
    EXPECT_EQ(0, bar->OpenFolderIndex());

    // Back on the catalogue after a choice, the current entry is highlighted again.
    bar->OpenFolder(1);
    panel.ShowPanel();
    EXPECT_EQ(1, conversions->currentRow());
    EXPECT_TRUE(conversions->item(1)->isSelected());
}
