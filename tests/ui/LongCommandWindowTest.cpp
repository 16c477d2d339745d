// A table page's window runs 导入, 转换, 复制 and 导出 of a large table on its worker: the
// results are those of the page object's direct commands, the column question is asked on the
// user-interface thread, and 取消 during an import appends nothing.
#include "pages/coordinates/GaussPages.hpp"
#include "support/FakePlatform.hpp"
#include "support/ScratchFolder.hpp"
#include "ui/TablePageWindow.hpp"

#include <gtest/gtest.h>

#include <QApplication>
#include <QProgressDialog>
#include <QPushButton>
#include <QThread>

using namespace carvento;
using carvento::testing::ScratchFolder;

namespace {

// Above the window's thresholds for running on the worker (50 000 rows, 2 MiB).
constexpr int kRows = 80000;

std::string WriteInput(const ScratchFolder& scratch)
{
    std::string text;
    for (int r = 0; r < kRows; ++r)
        text += "P" + std::to_string(r) + "," + std::to_string(20 + r % 30) + ".12345678," +
                std::to_string(100 + r % 10) + ".12345678\r\n";
    return scratch.Write("in.txt", text);
}

// Notes where and how the column question is asked, and presses the progress dialog's 取消
// from it when told to.
class WindowPrompter final : public carvento::testing::FakePrompter {
public:
    QWidget* window = nullptr;
    bool cancel = false;
    bool askedOnUiThread = false;
    bool progressShown = false;

    bool ChooseImportColumns(platform::ColumnMapping& mapping) override
    {
        askedOnUiThread = QThread::currentThread() == QApplication::instance()->thread();
        auto* progress = window ? window->findChild<QProgressDialog*>() : nullptr;
        progressShown = progress && progress->isVisible();
        if (cancel && progress)
            if (auto* button = progress->findChild<QPushButton*>())
                button->click();
        return FakePrompter::ChooseImportColumns(mapping);
    }
};

struct WindowFakes {
    WindowPrompter prompter;
    carvento::testing::FakeClipboard clipboard;
    platform::MemoryProfile profile;
};

} // namespace

TEST(LongCommandWindow, LargeTableCommandsRunOnTheWorkerAndGiveTheDirectResults)
{
    ScratchFolder scratch;
    const std::string input = WriteInput(scratch);
    WindowFakes fakes;
    auto page = std::make_unique<pages::CGSZSDlg>(
        pages::PageContext{fakes.prompter, fakes.clipboard, fakes.profile});
    page->Field("unit").pendingIndex = pages::kUnitDegrees;
    ui::TablePageWindow window(std::move(page));
    fakes.prompter.window = &window;
    fakes.prompter.openAnswers.push_back({input});
    fakes.prompter.saveAnswers.push_back(scratch / "window.txt");

    window.Button(QStringLiteral("导入"))->click();
    EXPECT_EQ(kRows, window.Page().Source().DataRowCount());
    EXPECT_TRUE(fakes.prompter.askedOnUiThread);
    EXPECT_TRUE(fakes.prompter.progressShown);
    window.Button(QStringLiteral("转换"))->click();
    window.Button(QStringLiteral("复制"))->click();
    window.Button(QStringLiteral("导出"))->click();
    EXPECT_EQ(QStringLiteral("源数据 80000 行，结果 80000 行　已转换 80000 行　已导出到 ") +
                  QString::fromStdString(scratch / "window.txt"),
              window.StatusText());
    // The dialogs are gone once the work is done.
    EXPECT_EQ(nullptr, window.findChild<QProgressDialog*>());

    struct {
        carvento::testing::FakePrompter prompter;
        carvento::testing::FakeClipboard clipboard;
        platform::MemoryProfile profile;
    } direct;
    pages::CGSZSDlg reference({direct.prompter, direct.clipboard, direct.profile});
    reference.Field("unit").pendingIndex = pages::kUnitDegrees;
    ASSERT_EQ(kRows, reference.ImportFile(input));
    reference.Convert();
    ASSERT_TRUE(reference.Copy());
    ASSERT_TRUE(reference.ExportToFile(scratch / "direct.txt"));

    std::vector<std::string> shown, expected;
    window.Page().Result().CollectCells(shown);
    reference.Result().CollectCells(expected);
    EXPECT_EQ(expected, shown);
    EXPECT_EQ(direct.clipboard.text, fakes.clipboard.text);
    EXPECT_EQ(ScratchFolder::Read(scratch / "direct.txt"),
              ScratchFolder::Read(scratch / "window.txt"));
    EXPECT_EQ(direct.prompter.MessageTexts(), fakes.prompter.MessageTexts());
}

TEST(LongCommandWindow, CancelDuringAnImportAppendsNothingAndTheWindowGoesOn)
{
    ScratchFolder scratch;
    const std::string input = WriteInput(scratch);
    WindowFakes fakes;
    ui::TablePageWindow window(std::make_unique<pages::CGSZSDlg>(
        pages::PageContext{fakes.prompter, fakes.clipboard, fakes.profile}));
    fakes.prompter.window = &window;
    fakes.prompter.cancel = true;
    fakes.prompter.openAnswers.push_back({input});
    window.Button(QStringLiteral("导入"))->click();
    EXPECT_TRUE(fakes.prompter.progressShown);
    EXPECT_EQ(0, window.Page().Source().DataRowCount());
    EXPECT_EQ(QStringLiteral("源数据 0 行，结果 0 行"), window.StatusText());

    fakes.prompter.cancel = false;
    fakes.prompter.openAnswers.push_back({input});
    window.Button(QStringLiteral("导入"))->click();
    EXPECT_EQ(kRows, window.Page().Source().DataRowCount());
}
