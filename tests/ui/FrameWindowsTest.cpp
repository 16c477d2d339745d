// The generic windows of the common-point, batch-file and task frames on small fake pages,
// the Qt dispatcher, and the grid following a table row range by row range. Set
// CARVENTO_GRAB_DIR to keep a picture of each window.
#include "geodesy/EllipsoidPanel.hpp"
#include "geodesy/GaussProjector.hpp"
#include "pages/frames/BatchFilePage.hpp"
#include "pages/frames/CommonPointPage.hpp"
#include "pages/frames/TaskPage.hpp"
#include "pages/globe/EarthPages.hpp"
#include "platform/NumberText.hpp"
#include "support/FakePlatform.hpp"
#include "support/ScratchFolder.hpp"
#include "ui/BatchFileWindow.hpp"
#include "ui/CommonPointWindow.hpp"
#include "ui/CoordinateGrid.hpp"
#include "ui/QtDispatcher.hpp"
#include "ui/TaskWindow.hpp"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenuBar>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QThread>

#include <atomic>
#include <cmath>
#include <thread>

using namespace carvento;

namespace {

struct Fakes {
    carvento::testing::FakePrompter prompter;
    carvento::testing::FakeClipboard clipboard;
    platform::MemoryProfile profile;
    pages::PageContext Context() { return {prompter, clipboard, profile}; }
};

void Grab(QWidget& window, const char* name)
{
    const QByteArray folder = qgetenv("CARVENTO_GRAB_DIR");
    if (folder.isEmpty())
        return;
    window.show();
    QApplication::processEvents();
    window.grab().save(QString::fromLocal8Bit(folder) + QLatin1Char('/') + QLatin1String(name));
}

// Runs the event loop until `condition` holds.
template <typename Condition>
void ProcessEventsUntil(Condition condition)
{
    while (!condition())
        QApplication::processEvents(QEventLoop::AllEvents, 50);
}

// Counts a model's row and reset signals, keeping the first row of each removal.
struct ModelSignals {
    int resets = 0;
    int inserted = 0;
    int changed = 0;
    std::vector<int> removedFirst;
    explicit ModelSignals(QAbstractItemModel* model)
    {
        QObject::connect(model, &QAbstractItemModel::modelReset, [this] { ++resets; });
        QObject::connect(model, &QAbstractItemModel::rowsInserted, [this] { ++inserted; });
        QObject::connect(model, &QAbstractItemModel::dataChanged, [this] { ++changed; });
        QObject::connect(model, &QAbstractItemModel::rowsRemoved,
                         [this](const QModelIndex&, int first, int) {
                             removedFirst.push_back(first);
                         });
    }
};

QString Cell(QAbstractItemModel* model, int row, int column)
{
    return model->data(model->index(row, column), Qt::DisplayRole).toString();
}

// Two coordinate-system panels, a result field and a shift solve over four columns.
class ShiftPage : public pages::CommonPointPage {
public:
    explicit ShiftPage(pages::PageContext context)
        : CommonPointPage(context), m_fromPanel(m_fromProjector, context.profile),
          m_toPanel(m_toProjector, context.profile)
    {
        AddPanel({.kind = pages::PanelKind::Ellipsoid,
                  .side = "from",
                  .title = "原椭球及坐标系参数设置",
                  .ellipsoid = &m_fromPanel});
        AddPanel({.kind = pages::PanelKind::Ellipsoid,
                  .side = "to",
                  .title = "新椭球及坐标系参数设置",
                  .ellipsoid = &m_toPanel});
        AddField({.id = "from-meridian",
                  .group = "原椭球及坐标系参数设置",
                  .label = "中央子午线(dfm)",
                  .value = 1050000});
        AddField({.id = "to-meridian",
                  .group = "新椭球及坐标系参数设置",
                  .label = "中央子午线(dfm)",
                  .value = 1080000});
        AddField({.id = "dx",
                  .group = "平移参数",
                  .label = "DX=",
                  .kind = pages::FieldKind::ReadOnlyText});
        SetUp({.table = {"公共点坐标",
                         {"序号", "老坐标x(m)", "新坐标x(m)", "中误差(m)"},
                         {35, 90, 90, 80}},
               .import = {.mapColumns = false, .replaceRows = true},
               .residualColumn = 3,
               .solveCaption = "解算平移"});
    }
    std::string Title() const override { return "计算平移"; }

protected:
    bool Solve(const pages::PointRows& points) override
    {
        m_dx = 0;
        for (int r = 0; r < points.rows; ++r)
            m_dx += (platform::ParseDouble(points.Row(r)[2]) -
                     platform::ParseDouble(points.Row(r)[1])) /
                    points.rows;
        SetFieldText("dx", platform::FormatFixed(m_dx, 4));
        return true;
    }
    std::string Residual(std::span<const std::string> row) const override
    {
        return platform::FormatFixed(
            std::fabs(platform::ParseDouble(row[1]) + m_dx - platform::ParseDouble(row[2])), 4);
    }

private:
    geodesy::GaussProjector m_fromProjector;
    geodesy::GaussProjector m_toProjector;
    geodesy::EllipsoidPanel m_fromPanel;
    geodesy::EllipsoidPanel m_toPanel;
    double m_dx = 0;
};

class LinesPage : public pages::BatchFilePage {
public:
    explicit LinesPage(pages::PageContext context) : BatchFilePage(context)
    {
        AddField({.id = "lines",
                  .group = "kml配置",
                  .label = "生成线",
                  .kind = pages::FieldKind::Check,
                  .value = 1});
        AddField({.id = "closed",
                  .group = "kml配置",
                  .label = "线闭合",
                  .kind = pages::FieldKind::Check});
        SetUp({.suffixes = {".txt"},
               .inputFilters = {{"坐标文件(*.txt)", "*.txt"}},
               .note = "1、坐标行格式:标识,纬度,经度,备注\r\n2、经纬度均为十进制度为单位"});
    }
    std::string Title() const override { return "txt转kml"; }

protected:
    void OnFieldEdited(const pages::PageField& field) override
    {
        if (field.id == "lines")
            SetFieldEnabled("closed", field.pendingIndex != 0);
    }
    pages::FileOutcome ConvertFile(const std::string& input, bool) override
    {
        return input.find("bad") == std::string::npos
                   ? pages::FileOutcome{}
                   : pages::FileOutcome::Failed(input + " 加载失败!");
    }
};

// Row r's "高程" becomes r * 10; `steps` past the table's rows write nothing.
class CountingWork : public pages::TaskWork {
public:
    explicit CountingWork(int steps) : m_steps(steps) {}
    int StepCount() const override { return m_steps; }
    std::optional<pages::TaskOutput> Step(int index) override
    {
        return pages::TaskOutput{.row = index + 1,
                                 .firstColumn = 3,
                                 .cells = {std::to_string((index + 1) * 10)}};
    }

private:
    int m_steps;
};

class CountingPage : public pages::TaskPage {
public:
    CountingPage(pages::PageContext context, int steps) : TaskPage(context), m_steps(steps)
    {
        AddField({.id = "altitude", .label = "视角海拔高度(KM)", .value = 10});
        SetUp({.table = {"高程点", {"序号", "经度", "纬度", "高程"}, {35, 85, 90, 80}},
               .cacheFileName = "Attitude.txt",
               .savedColumns = {1, 2, 3}});
        for (int r = 1; r <= 3; ++r) {
            Table().AppendRow();
            Table().SetCell(r, 0, std::to_string(r));
            Table().SetCell(r, 1, "114.5" + std::to_string(r));
            Table().SetCell(r, 2, "30.2" + std::to_string(r));
        }
    }
    std::string Title() const override { return "DEM高程数据设置"; }

protected:
    std::unique_ptr<pages::TaskWork> MakeWork() override
    {
        return std::make_unique<CountingWork>(m_steps);
    }

private:
    int m_steps;
};

} // namespace

TEST(FrameWindows, CommonPointWindowShowsBothPanelsAndSolvesThroughItsButtons)
{
    Fakes fakes;
    auto* window = new ui::CommonPointWindow(std::make_unique<ShiftPage>(fakes.Context()));
    EXPECT_EQ(QStringLiteral("计算平移"), window->windowTitle());
    EXPECT_EQ(2u, window->EllipsoidBoxes().size());
    ASSERT_NE(nullptr, window->FieldWidget("from-meridian"));
    ASSERT_NE(nullptr, window->Button(QStringLiteral("保存公共点")));
    window->Button(QStringLiteral("添加"))->click();
    window->Button(QStringLiteral("添加"))->click();
    QAbstractItemModel* model = window->Grid()->model();
    ASSERT_EQ(2, model->rowCount());
    model->setData(model->index(0, 1), QStringLiteral("100"), Qt::EditRole);
    model->setData(model->index(0, 2), QStringLiteral("105"), Qt::EditRole);
    model->setData(model->index(1, 1), QStringLiteral("200"), Qt::EditRole);
    model->setData(model->index(1, 2), QStringLiteral("203"), Qt::EditRole);
    window->Button(QStringLiteral("解算平移"))->click();
    EXPECT_EQ(QStringLiteral("4.0000"),
              qobject_cast<QLineEdit*>(window->FieldWidget("dx"))->text());
    EXPECT_EQ(QStringLiteral("1.0000"), Cell(model, 0, 3));
    EXPECT_EQ(QStringLiteral("1.0000"), Cell(model, 1, 3));
    Grab(*window, "common-point-window.png");
    delete window;
}

TEST(FrameWindows, BatchFileWindowListsFilesAndFollowsTheOptions)
{
    Fakes fakes;
    auto* window = new ui::BatchFileWindow(std::make_unique<LinesPage>(fakes.Context()));
    fakes.prompter.openAnswers.push_back({"/data/b.txt", "/data/bad.txt", "/data/a.txt"});
    window->Button(QStringLiteral("添加文件"))->click();
    QListWidget* list = window->FileList()->List();
    ASSERT_EQ(3, list->count());
    EXPECT_EQ(QStringLiteral("/data/a.txt"), list->item(0)->text());
    window->Button(QStringLiteral("删除"))->click(); // nothing selected: nothing removed
    EXPECT_EQ(3, list->count());

    auto* lines = qobject_cast<QCheckBox*>(window->FieldWidget("lines"));
    ASSERT_NE(nullptr, lines);
    lines->setChecked(false);
    EXPECT_FALSE(window->FieldWidget("closed")->isEnabled());

    window->Button(QStringLiteral("转换"))->click();
    EXPECT_EQ(QStringLiteral("已转换 2 个文件，1 个失败"), window->StatusText());
    Grab(*window, "batch-file-window.png");

    list->setCurrentRow(0);
    window->Button(QStringLiteral("删除"))->click();
    ASSERT_EQ(2, list->count());
    EXPECT_EQ(QStringLiteral("/data/b.txt"), list->item(0)->text());
    delete window;
}

TEST(FrameWindows, TaskWindowRunsItsWorkerThroughTheDispatcherAndRedrawsRowsOnly)
{
    Fakes fakes;
    auto* window = new ui::TaskWindow(std::make_unique<CountingPage>(fakes.Context(), 3));
    QAbstractItemModel* model = window->Grid()->model();
    ModelSignals seen(model);
    window->Button(QStringLiteral("启动/暂停"))->click();
    ProcessEventsUntil([&] { return window->Page().TaskState() == pages::TaskPage::State::Idle; });
    EXPECT_EQ(QStringLiteral("30"), Cell(model, 2, 3));
    EXPECT_EQ(QStringLiteral("当前进度:3/3"), window->Progress()->Text());
    EXPECT_EQ(3, window->Progress()->Bar()->value());
    EXPECT_EQ(0, seen.resets);
    EXPECT_EQ(3, seen.changed);
    EXPECT_EQ(QStringLiteral("任务已完成,共3个"), window->Status()->text());
    Grab(*window, "task-window.png");
    fakes.prompter.messageAnswers.push_back(platform::MessageAnswer::No); // "是否保存数据?"
    delete window;
}

TEST(FrameWindows, BatchElevationWindowHasItsFileMenu)
{
    Fakes fakes;
    carvento::testing::ScratchFolder folder;
    QPointer<ui::TaskWindow> window =
        new ui::TaskWindow(std::make_unique<pages::BatchElevationPage>(fakes.Context()));
    auto* bar = window->findChild<QMenuBar*>();
    ASSERT_NE(nullptr, bar);
    QStringList titles;
    for (QAction* menu : bar->actions())
        titles << menu->text();
    EXPECT_EQ(QStringList({QStringLiteral("文件(&F)"), QStringLiteral("帮助(&H)")}), titles);
    const auto entry = [&](const char* id) { return window->findChild<QAction*>(id); };
    ASSERT_NE(nullptr, entry("open"));
    EXPECT_EQ(QStringLiteral("打开(&O)"), entry("open")->text());
    EXPECT_EQ(QStringLiteral("保存(&S)"), entry(pages::TaskPage::kSaveDataCommand)->text());

    fakes.prompter.openAnswers.push_back({folder.Write("p.txt", "1,101.5,31.5\n")});
    entry("open")->trigger();
    EXPECT_EQ(1, window->Grid()->model()->rowCount());
    // 退出 closes the window as its close box does.
    window->show();
    fakes.prompter.messageAnswers.push_back(platform::MessageAnswer::No);
    entry(pages::kCloseWindowCommand)->trigger();
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(window.isNull());
}

TEST(FrameWindows, ClosingATaskWindowMidTaskEndsTheWorker)
{
    Fakes fakes;
    QPointer<ui::TaskWindow> window =
        new ui::TaskWindow(std::make_unique<CountingPage>(fakes.Context(), 1000000));
    window->show();
    window->Button(QStringLiteral("启动/暂停"))->click();
    ProcessEventsUntil([&] { return window->Progress()->Bar()->value() >= 20; });
    fakes.prompter.messageAnswers.push_back(platform::MessageAnswer::No);
    EXPECT_TRUE(window->close());
    EXPECT_EQ("是否保存数据?", fakes.prompter.messages.at(0).text);
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(window.isNull());
}

TEST(QtDispatcher, RunsWorkerCallsOnTheUserInterfaceThreadAndDropsThemOnceClosed)
{
    ui::QtDispatcher dispatcher;
    std::atomic<bool> done{false};
    QThread* ranOn = nullptr;
    std::thread worker([&] {
        dispatcher.RunAndWait([&] { ranOn = QThread::currentThread(); });
        done = true;
    });
    ProcessEventsUntil([&] { return done.load(); });
    worker.join();
    EXPECT_EQ(qApp->thread(), ranOn);

    // Nobody runs the event loop now: only Close lets the worker go on, without its call.
    bool ran = false;
    std::thread blocked([&] { dispatcher.RunAndWait([&] { ran = true; }); });
    dispatcher.Close();
    blocked.join();
    QApplication::processEvents();
    EXPECT_FALSE(ran);
}

TEST(CoordinateGridModel, RowsFilledOneByOneAreInsertedNotReset)
{
    tables::CoordinateTable table;
    table.SetupColumns({"序号", "经度", "纬度", "高程"}, {35, 85, 90, 80});
    ui::CoordinateGrid grid(table);
    ModelSignals seen(grid.model());
    for (int i = 0; i < 4489; ++i)
        table.AppendRows({std::to_string(i + 1), "114", "30", "12.5"});
    EXPECT_EQ(0, seen.resets);
    EXPECT_EQ(4489, seen.inserted);
    EXPECT_EQ(4489, grid.model()->rowCount());
    EXPECT_EQ(QStringLiteral("4489"), Cell(grid.model(), 4488, 0));
    table.DeleteSelectedRow({2, 2});
    EXPECT_EQ(std::vector<int>{1}, seen.removedFirst);
    EXPECT_EQ(QStringLiteral("3"), Cell(grid.model(), 1, 0));
    table.ClearRows();
    EXPECT_EQ(0, grid.model()->rowCount());
    EXPECT_EQ(0, seen.resets);
}
