// The common-point, batch-file and task frames, each on a small fake page: field states reach
// the view, commands reach the page, and the task's worker pauses, stops, saves, restores and
// is joined when its page closes.
#include "PageFixture.hpp"
#include "pages/frames/BatchFilePage.hpp"
#include "pages/frames/CommonPointPage.hpp"
#include "pages/frames/TaskPage.hpp"
#include "platform/NumberText.hpp"

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <condition_variable>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <mutex>
#include <unistd.h>

using namespace carvento;
using namespace carvento::pages;
using namespace carvento::testing;

namespace {

// What the page told its view, one entry per notice.
struct RecordingView : PageView {
    std::vector<PageField> changes;
    void FieldChanged(const PageField& field) override { changes.push_back(field); }
    const PageField* Last(const std::string& id) const
    {
        for (auto it = changes.rbegin(); it != changes.rend(); ++it)
            if (it->id == id)
                return &*it;
        return nullptr;
    }
};

class Scratch {
public:
    Scratch()
    {
        m_dir = std::filesystem::temp_directory_path() /
                ("carvento-frames-" + std::to_string(::getpid()) + "-" +
                 ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::create_directories(m_dir);
    }
    ~Scratch() { std::filesystem::remove_all(m_dir); }
    std::string Path(const std::string& name) const { return (m_dir / name).string(); }
    std::string Write(const std::string& name, const std::string& bytes) const
    {
        std::ofstream(Path(name), std::ios::binary) << bytes;
        return Path(name);
    }
    static std::string Read(const std::string& path)
    {
        std::ifstream in(path, std::ios::binary);
        return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    }
    std::string Folder() const { return m_dir.string(); }

private:
    std::filesystem::path m_dir;
};

Cells TableCells(const tables::CoordinateTable& table)
{
    Cells cells;
    table.CollectCells(cells);
    return cells;
}

// ---------------------------------------------------------------- common-point frame

// Estimates a plane shift as the mean of new minus old; the residual is the distance left.
class ShiftPage : public CommonPointPage {
public:
    explicit ShiftPage(PageContext context) : CommonPointPage(context)
    {
        AddField({.id = "dx", .group = "平移", .label = "DX=", .kind = FieldKind::ReadOnlyText});
        AddField({.id = "dy", .group = "平移", .label = "DY=", .kind = FieldKind::ReadOnlyText});
        SetUp({.table = {"公共点坐标",
                         {"序号", "老x", "老y", "新x", "新y", "中误差(m)"},
                         {35, 80, 80, 80, 80, 80}},
               .import = {.mapColumns = false,
                          .replaceRows = true,
                          .minimumFields = 5,
                          .tooFewFieldsMessage = "行参数不足5个,请检查!",
                          .minimumOnDrop = false,
                          .skipTitleLine = true},
               .minimumPoints = 2,
               .tooFewPointsMessage = "公共点个数不足2个!",
               .residualColumn = 5,
               .solveCaption = "解算平移"});
    }
    std::string Title() const override { return "计算平移"; }
    int solves = 0;
    bool fail = false;

protected:
    bool Solve(const PointRows& points) override
    {
        ++solves;
        if (fail)
            return false;
        m_dx = m_dy = 0;
        for (int r = 0; r < points.rows; ++r) {
            auto row = points.Row(r);
            m_dx += (platform::ParseDouble(row[3]) - platform::ParseDouble(row[1])) / points.rows;
            m_dy += (platform::ParseDouble(row[4]) - platform::ParseDouble(row[2])) / points.rows;
        }
        SetFieldText("dx", platform::FormatFixed(m_dx, 4));
        SetFieldText("dy", platform::FormatFixed(m_dy, 4));
        return true;
    }
    std::string Residual(std::span<const std::string> row) const override
    {
        double ex = platform::ParseDouble(row[1]) + m_dx - platform::ParseDouble(row[3]);
        double ey = platform::ParseDouble(row[2]) + m_dy - platform::ParseDouble(row[4]);
        return platform::FormatFixed(std::hypot(ex, ey), 4);
    }

private:
    double m_dx = 0;
    double m_dy = 0;
};

void FillPoints(ShiftPage& page, const Cells& cells)
{
    page.Table().FillRows(cells, static_cast<int>(cells.size() / 6), 6);
}

TEST(CommonPointFrame, SolveShowsParametersAndWritesEveryResidualInOneChange)
{
    FakeContext fake;
    ShiftPage page(fake.Context());
    RecordingView view;
    page.SetView(&view);
    FillPoints(page,
               {"1", "1000", "2000", "1100", "1950", "", "2", "3000", "4000", "3100", "3952", ""});
    std::vector<tables::TableChange> changes;
    page.Table().AddObserver([&](const tables::TableChange& change) { changes.push_back(change); });

    EXPECT_TRUE(page.RunCommand(CommonPointPage::kSolveCommand));
    ASSERT_NE(nullptr, view.Last("dx"));
    EXPECT_EQ("100.0000", view.Last("dx")->text);
    EXPECT_EQ("-49.0000", view.Last("dy")->text);
    EXPECT_EQ("1.0000", page.Table().GetCell(1, 5));
    EXPECT_EQ("1.0000", page.Table().GetCell(2, 5));
    ASSERT_EQ(1u, changes.size());
    EXPECT_EQ(tables::TableChange::Kind::Cells, changes[0].kind);
    EXPECT_EQ(1, changes[0].first);
    EXPECT_EQ(2, changes[0].last);
}

TEST(CommonPointFrame, TooFewPointsOrAFailedSolveLeaveTheTableAsItWas)
{
    FakeContext fake;
    ShiftPage page(fake.Context());
    FillPoints(page, {"1", "1000", "2000", "1100", "1950", "old"});
    EXPECT_FALSE(page.SolveCommand());
    EXPECT_EQ(0, page.solves);
    EXPECT_EQ(std::vector<std::string>{"公共点个数不足2个!"}, fake.prompter.MessageTexts());

    FillPoints(page, {"1", "1", "2", "3", "4", "old", "2", "5", "6", "7", "8", "old"});
    page.fail = true;
    EXPECT_FALSE(page.SolveCommand());
    EXPECT_EQ("old", page.Table().GetCell(1, 5));
    EXPECT_EQ("old", page.Table().GetCell(2, 5));
}

TEST(CommonPointFrame, ImportReplacesRowsOrRefusesShortFilesWhileDropsSkipTheCount)
{
    Scratch scratch;
    FakeContext fake;
    ShiftPage page(fake.Context());
    FillPoints(page, {"0", "9", "9", "9", "9", ""});
    fake.prompter.openAnswers.push_back({scratch.Write("short.txt", "A,1,2,3\r\nB,4,5,6\r\n")});
    EXPECT_EQ(0, page.Editor().Import());
    EXPECT_EQ(std::vector<std::string>{"行参数不足5个,请检查!"}, fake.prompter.MessageTexts());
    EXPECT_EQ(Cells({"0", "9", "9", "9", "9", ""}), TableCells(page.Table()));

    // Fields past the table's columns are dropped.
    EXPECT_EQ(2, page.Editor().ImportFile(
                     scratch.Write("full.txt", "A,1,2,3,4,r,s\r\nB,5,6,7,8,extra,more\r\n")));
    EXPECT_EQ(Cells({"A", "1", "2", "3", "4", "r", "B", "5", "6", "7", "8", "extra"}),
              TableCells(page.Table()));

    // Dropped: any letter case of an accepted suffix, no field count; other files are ignored.
    EXPECT_EQ(1, page.Editor().DropFiles({scratch.Write("d.CSV", "C,1,2\r\n"),
                                          scratch.Write("d.kml", "D,1,2,3,4\r\n")}));
    EXPECT_EQ(Cells({"C", "1", "2", "", "", ""}), TableCells(page.Table()));
}

TEST(CommonPointFrame, SavedPointsHaveTheirTitlesAndComeBackUnchanged)
{
    Scratch scratch;
    FakeContext fake;
    ShiftPage page(fake.Context());
    const Cells points{"P1", "1000",  "2000", "1100", "1950", "0.5000",
                       "P2", "-3000", "4000", "3100", "3952", ""};
    FillPoints(page, points);
    fake.prompter.saveAnswers.push_back(scratch.Path("points.txt"));
    ASSERT_TRUE(page.RunCommand(CommonPointPage::kSavePointsCommand));
    EXPECT_EQ("txt", fake.prompter.saveDialogs.at(0).defaultExtension);
    EXPECT_EQ("序号,老x,老y,新x,新y,中误差(m)\r\nP1,1000,2000,1100,1950,0.5000\r\nP2,-3000,4000,"
              "3100,3952,\r\n",
              tables::DecodeText(Scratch::Read(scratch.Path("points.txt"))).text);

    ShiftPage reread(fake.Context());
    EXPECT_EQ(2, reread.Editor().ImportFile(scratch.Path("points.txt")));
    EXPECT_EQ(points, TableCells(reread.Table()));

    // A folder that does not exist: reported, nothing claimed.
    EXPECT_FALSE(page.SavePointsToFile(scratch.Path("missing/points.txt"),
                                       tables::TextEncoding::Utf8));
    EXPECT_EQ(1u, fake.prompter.messages.size());
}

// ---------------------------------------------------------------- batch-file frame

class FakeBatchPage : public BatchFilePage {
public:
    explicit FakeBatchPage(PageContext context) : BatchFilePage(context)
    {
        AddField({.id = "lines",
                  .group = "kml配置",
                  .label = "生成线",
                  .kind = FieldKind::Check,
                  .value = 1});
        AddField({.id = "closed",
                  .group = "kml配置",
                  .label = "线闭合",
                  .kind = FieldKind::Check,
                  .value = 0});
        SetUp({.suffixes = {".txt", ".csv"},
               .inputFilters = {{"坐标文件(*.txt;*.csv)", "*.txt;*.csv"}},
               .outputFilters = {{"Google Earth坐标文件(*.kml)", "*.kml"}},
               .outputExtension = "kml"});
    }
    std::string Title() const override { return "txt转kml"; }
    std::vector<std::string> log;

protected:
    void OnFieldEdited(const PageField& field) override
    {
        if (field.id == "lines")
            SetFieldEnabled("closed", field.pendingIndex != 0);
    }
    FileOutcome ConvertFile(const std::string& input, bool merged) override
    {
        log.push_back((merged ? "merge " : "alone ") + OutputBase(input) +
                      " closed=" + std::to_string(Field("closed").value));
        if (input.find("bad") != std::string::npos)
            return FileOutcome::Failed(input + " 加载失败!");
        return {};
    }
    FileOutcome BeginMerge(const std::string& output) override
    {
        log.push_back("begin " + output);
        return {};
    }
    FileOutcome EndMerge(const std::string& output) override
    {
        log.push_back("end " + output);
        return {};
    }
};

TEST(BatchFileFrame, AnOptionEnablesAnotherAndADisabledOptionStillCounts)
{
    FakeContext fake;
    FakeBatchPage page(fake.Context());
    RecordingView view;
    page.SetView(&view);
    page.Choose("closed", 1);
    page.Choose("lines", 0);
    ASSERT_NE(nullptr, view.Last("closed"));
    EXPECT_FALSE(view.Last("closed")->enabled);
    page.Choose("lines", 1);
    EXPECT_TRUE(view.Last("closed")->enabled);
    page.Choose("lines", 0);

    page.AddFilePaths({"/d/a.txt"});
    EXPECT_TRUE(page.RunCommand(BatchFilePage::kRunCommand));
    EXPECT_EQ(std::vector<std::string>{"alone /d/a closed=1"}, page.log);
}

TEST(BatchFileFrame, TheListKeepsSortedAcceptedFilesAndRemovesOnlyASelection)
{
    FakeContext fake;
    FakeBatchPage page(fake.Context());
    EXPECT_EQ(2, page.DropFiles({"/d/b.TXT", "/d/x.kml", "/d/a.Csv", "/d/noext", "/d.txt/file"}));
    fake.prompter.openAnswers.push_back({"/d/c.dat", "/d/a.Csv"});
    EXPECT_EQ(2, page.AddFiles());
    EXPECT_TRUE(fake.prompter.openDialogs.at(0).multipleSelection);
    EXPECT_EQ("*.txt;*.csv", fake.prompter.openDialogs.at(0).filters.at(0).second);
    EXPECT_EQ(std::vector<std::string>({"/d/a.Csv", "/d/a.Csv", "/d/b.TXT", "/d/c.dat"}),
              page.Files());
    page.RemoveFile(-1);
    page.RemoveFile(4);
    EXPECT_EQ(4u, page.Files().size());
    page.RemoveFile(2);
    EXPECT_EQ(std::vector<std::string>({"/d/a.Csv", "/d/a.Csv", "/d/c.dat"}), page.Files());
    page.ClearFiles();
    EXPECT_TRUE(page.Files().empty());
}

TEST(BatchFileFrame, AFailingFileIsReportedAndTheOthersStillConvert)
{
    FakeContext fake;
    FakeBatchPage page(fake.Context());
    page.AddFilePaths({"/d/c.txt", "/d/bad.txt", "/d/a.txt"});
    BatchReport report = page.Convert();
    EXPECT_EQ(2, report.converted);
    EXPECT_EQ(std::vector<std::string>{"/d/bad.txt 加载失败!"}, report.failures);
    EXPECT_EQ(std::vector<std::string>{"/d/bad.txt 加载失败!"}, fake.prompter.MessageTexts());
    EXPECT_EQ(std::vector<std::string>({"alone /d/a closed=0", "alone /d/bad closed=0",
                                        "alone /d/c closed=0"}),
              page.log);
}

TEST(BatchFileFrame, MergingAsksForOneOutputAndCancellingRunsNothing)
{
    FakeContext fake;
    FakeBatchPage page(fake.Context());
    page.AddFilePaths({"/d/b.txt", "/d/a.txt"});
    page.Choose(BatchFilePage::kModeField, BatchFilePage::kMerge);
    EXPECT_FALSE(page.RunCommand(BatchFilePage::kRunCommand));
    EXPECT_TRUE(page.log.empty());
    fake.prompter.saveAnswers.push_back("/out/all.kml");
    EXPECT_TRUE(page.RunCommand(BatchFilePage::kRunCommand));
    EXPECT_EQ("kml", fake.prompter.saveDialogs.at(1).defaultExtension);
    EXPECT_EQ(std::vector<std::string>({"begin /out/all.kml", "merge /d/a closed=0",
                                        "merge /d/b closed=0", "end /out/all.kml"}),
              page.log);
}

// ---------------------------------------------------------------- task frame

// Stands in for the user-interface thread: notices run under its lock, and so does whatever
// the test does to the page while a worker runs.
class LockedDispatcher : public platform::UiDispatcher {
public:
    void RunAndWait(const std::function<void()>& function) override
    {
        std::lock_guard lock(mutex);
        function();
        changed.notify_all();
    }
    // Waits (as long as it takes) until `condition` holds under the lock.
    void WaitFor(const std::function<bool()>& condition)
    {
        std::unique_lock lock(mutex);
        changed.wait(lock, condition);
    }
    template <typename F>
    auto Ui(F&& action)
    {
        std::lock_guard lock(mutex);
        return action();
    }
    std::mutex mutex;
    std::condition_variable changed;
};

// Holds each step at a gate until the test lets it through.
struct Probe {
    std::mutex mutex;
    std::condition_variable changed;
    int allowed = 1 << 30; // steps that may start
    int started = 0;
    bool inStep = false;
    bool destroyedDuringStep = false;

    void Enter()
    {
        std::unique_lock lock(mutex);
        ++started;
        inStep = true;
        changed.notify_all();
        changed.wait(lock, [&] { return started <= allowed; });
    }
    void Leave()
    {
        std::lock_guard lock(mutex);
        inStep = false;
    }
    void Allow(int steps)
    {
        std::lock_guard lock(mutex);
        allowed = steps;
        changed.notify_all();
    }
    void WaitStarted(int steps)
    {
        std::unique_lock lock(mutex);
        changed.wait(lock, [&] { return started >= steps; });
    }
};

// The "高程" of row r is r * 10, one row per step.
class ElevationWork : public TaskWork {
public:
    ElevationWork(int rows, std::shared_ptr<Probe> probe) : m_rows(rows), m_probe(std::move(probe))
    {
    }
    ~ElevationWork() override
    {
        std::lock_guard lock(m_probe->mutex);
        m_probe->destroyedDuringStep = m_probe->inStep;
    }
    int StepCount() const override { return m_rows; }
    std::optional<TaskOutput> Step(int index) override
    {
        m_probe->Enter();
        m_probe->Leave();
        return TaskOutput{.row = index + 1,
                          .firstColumn = 3,
                          .cells = {std::to_string((index + 1) * 10)}};
    }

private:
    int m_rows;
    std::shared_ptr<Probe> m_probe;
};

class FakeTaskPage : public TaskPage {
public:
    explicit FakeTaskPage(PageContext context,
                          std::shared_ptr<Probe> probe = std::make_shared<Probe>())
        : TaskPage(context), probe(std::move(probe))
    {
        SetUp({.table = {"点", {"序号", "经度", "纬度", "高程"}, {35, 85, 90, 80}},
               .cacheFileName = "Attitude.txt",
               .savedColumns = {1, 2, 3}});
    }
    std::string Title() const override { return "DEM高程数据设置"; }
    std::shared_ptr<Probe> probe;
    int steps = 0; // the table's rows unless set
    std::vector<int> savedPositions;

protected:
    std::unique_ptr<TaskWork> MakeWork() override
    {
        return std::make_unique<ElevationWork>(steps > 0 ? steps : Table().DataRowCount(), probe);
    }
    void SaveTaskPosition(int nextStep) override
    {
        savedPositions.push_back(nextStep);
        m_context.profile.SetInt("ATTITUDE", "x", nextStep);
    }
    int RestoreTaskPosition() override { return m_context.profile.GetInt("ATTITUDE", "x", 0); }
};

void AddPoints(TaskPage& page, int rows)
{
    for (int r = 1; r <= rows; ++r) {
        page.Table().AppendRow();
        page.Table().SetCell(r, 0, std::to_string(r));
        page.Table().SetCell(r, 1, "11" + std::to_string(r));
        page.Table().SetCell(r, 2, "3" + std::to_string(r));
    }
}

std::string Progress(const TaskPage& page)
{
    return page.FindField(TaskPage::kProgressField)->text;
}

TEST(TaskFrame, ARunFillsEveryRowAndTheProgressReachesTheView)
{
    FakeContext fake;
    FakeTaskPage page(fake.Context());
    RecordingView view;
    page.SetView(&view);
    AddPoints(page, 3);
    EXPECT_TRUE(page.Saved());
    ASSERT_TRUE(page.RunHere());
    EXPECT_EQ(Cells({"1", "111", "31", "10", "2", "112", "32", "20", "3", "113", "33", "30"}),
              TableCells(page.Table()));
    std::vector<std::string> shown;
    for (const PageField& field : view.changes)
        shown.push_back(field.text);
    EXPECT_EQ(std::vector<std::string>({"当前进度:0/3", "当前进度:1/3", "当前进度:2/3",
                                        "当前进度:3/3", "当前进度:3/3"}),
              shown);
    EXPECT_FALSE(page.Saved());
    EXPECT_EQ(TaskPage::State::Idle, page.TaskState());
}

TEST(TaskFrame, PauseHoldsTheWorkerBeforeItsNextStepAndResumeFinishes)
{
    FakeContext fake;
    LockedDispatcher ui;
    FakeTaskPage page(fake.Context());
    page.SetDispatcher(ui);
    AddPoints(page, 3);
    page.probe->Allow(0);
    ASSERT_TRUE(ui.Ui([&] { return page.RunCommand(TaskPage::kStartCommand); }));
    page.probe->WaitStarted(1);
    ui.Ui([&] { return page.RunCommand(TaskPage::kStartCommand); }); // 启动/暂停 pauses
    EXPECT_EQ(TaskPage::State::Paused, ui.Ui([&] { return page.TaskState(); }));
    page.probe->Allow(1 << 30);
    ui.WaitFor([&] { return page.Table().GetCell(1, 3) == "10"; });
    EXPECT_EQ("当前进度:1/3", ui.Ui([&] { return Progress(page); }));
    ui.Ui([&] { return page.RunCommand(TaskPage::kStartCommand); }); // and resumes
    ui.WaitFor([&] { return page.TaskState() == TaskPage::State::Idle; });
    EXPECT_EQ(3, page.probe->started);
    EXPECT_EQ("30", ui.Ui([&] { return std::string(page.Table().GetCell(3, 3)); }));
}

// Both task pages drive the one globe: while one runs, the other's 启动/暂停 pauses and resumes
// it, and the other starts only once it has ended.
TEST(TaskFrame, OneTaskRunsAtATimeAndEitherStartButtonPausesIt)
{
    FakeContext fake;
    LockedDispatcher ui;
    FakeTaskPage running(fake.Context());
    FakeTaskPage other(fake.Context());
    running.SetDispatcher(ui);
    other.SetDispatcher(ui);
    AddPoints(running, 2);
    AddPoints(other, 2);
    running.probe->Allow(0);
    ASSERT_TRUE(ui.Ui([&] { return running.RunCommand(TaskPage::kStartCommand); }));
    running.probe->WaitStarted(1);
    ui.Ui([&] { return other.RunCommand(TaskPage::kStartCommand); });
    EXPECT_EQ(TaskPage::State::Paused, ui.Ui([&] { return running.TaskState(); }));
    EXPECT_EQ(TaskPage::State::Idle, ui.Ui([&] { return other.TaskState(); }));
    EXPECT_FALSE(ui.Ui([&] { return other.Start(); }));
    ui.Ui([&] { return other.RunCommand(TaskPage::kStartCommand); }); // resumes the running one
    running.probe->Allow(1 << 30);
    ui.WaitFor([&] { return running.TaskState() == TaskPage::State::Idle; });
    EXPECT_EQ(0, other.probe->started);
    other.probe->Allow(1 << 30);
    ASSERT_TRUE(ui.Ui([&] { return other.RunCommand(TaskPage::kStartCommand); }));
    ui.WaitFor([&] { return other.TaskState() == TaskPage::State::Idle; });
    EXPECT_EQ(2, other.probe->started);
}

TEST(TaskFrame, StopWhilePausedEndsBeforeTheNextStep)
{
    FakeContext fake;
    LockedDispatcher ui;
    FakeTaskPage page(fake.Context());
    page.SetDispatcher(ui);
    AddPoints(page, 3);
    page.probe->Allow(0);
    ui.Ui([&] { return page.Start(); });
    page.probe->WaitStarted(1);
    ui.Ui([&] {
        page.Pause();
        return true;
    });
    page.probe->Allow(1 << 30);
    ui.WaitFor([&] { return page.Table().GetCell(1, 3) == "10"; });
    ui.Ui([&] { return page.RunCommand(TaskPage::kStopCommand); });
    ui.WaitFor([&] { return page.TaskState() == TaskPage::State::Idle; });
    EXPECT_EQ(1, page.probe->started);
    EXPECT_EQ("当前进度:0/0", ui.Ui([&] { return Progress(page); }));
    EXPECT_EQ("", ui.Ui([&] { return std::string(page.Table().GetCell(2, 3)); }));
}

TEST(TaskFrame, ASavedTaskGoesToTheCacheAndARestoredOneGoesOnFromThere)
{
    Scratch scratch;
    FakeContext fake;
    {
        LockedDispatcher ui;
        FakeTaskPage page(fake.Context());
        page.SetDispatcher(ui);
        page.SetCacheFolder(scratch.Folder());
        EXPECT_FALSE(page.RunCommand(TaskPage::kSaveTaskCommand));
        EXPECT_EQ(std::vector<std::string>{"任务已执行完毕，无需保存！"},
                  fake.prompter.MessageTexts());
        AddPoints(page, 3);
        page.probe->Allow(1);
        ui.Ui([&] { return page.Start(); });
        page.probe->WaitStarted(2); // the second step is under way
        ui.Ui([&] { return page.RunCommand(TaskPage::kSaveTaskCommand); });
        page.probe->Allow(1 << 30);
        ui.WaitFor([&] { return page.TaskState() == TaskPage::State::Idle; });
        EXPECT_EQ(std::vector<int>{2}, page.savedPositions);
        EXPECT_TRUE(page.Saved());
    }
    EXPECT_EQ("经度,纬度,高程\r\n111,31,10\r\n112,32,20\r\n113,33,\r\n",
              tables::DecodeText(Scratch::Read(scratch.Path("Attitude.txt"))).text);

    LockedDispatcher ui;
    FakeTaskPage restored(fake.Context());
    restored.SetDispatcher(ui);
    restored.SetCacheFolder(scratch.Folder());
    restored.Table().AppendRow();
    restored.Table().SetCell(1, 1, "120");
    ASSERT_TRUE(ui.Ui([&] { return restored.RunCommand(TaskPage::kRestoreTaskCommand); }));
    ui.WaitFor([&] { return restored.TaskState() == TaskPage::State::Idle; });
    // Cache rows first, numbered again; the steps go on from row 3.
    EXPECT_EQ(Cells({"1", "111", "31", "10", "2", "112", "32", "20", "3", "113", "33", "30", "",
                     "120", "", "40"}),
              TableCells(restored.Table()));
    EXPECT_EQ(2, restored.probe->started);
}

TEST(TaskFrame, RestoreWithoutACacheFileSaysSoAndStartsNothing)
{
    Scratch scratch;
    FakeContext fake;
    FakeTaskPage page(fake.Context());
    page.SetCacheFolder(scratch.Folder());
    EXPECT_FALSE(page.RestoreTask());
    page.SetCacheFolder("");
    EXPECT_FALSE(page.RestoreTask());
    EXPECT_EQ(std::vector<std::string>({"数据文件丢失，恢复任务失败！", "获取缓存文件路径失败！"}),
              fake.prompter.MessageTexts());
    EXPECT_EQ(0, page.probe->started);
}

TEST(TaskFrame, ClosingThePageMidTaskJoinsItsWorker)
{
    FakeContext fake;
    LockedDispatcher ui;
    auto probe = std::make_shared<Probe>();
    {
        auto page = std::make_unique<FakeTaskPage>(fake.Context(), probe);
        page->SetDispatcher(ui);
        page->steps = 1000000;
        ui.Ui([&] { return page->Start(); });
        probe->WaitStarted(5);
        page.reset();
    }
    // The work went with the page, and no step was running then: the worker had ended.
    std::lock_guard lock(probe->mutex);
    EXPECT_FALSE(probe->destroyedDuringStep);
    EXPECT_LT(probe->started, 1000000);
}

TEST(TaskFrame, UnsavedDataIsOfferedBeforeClosing)
{
    Scratch scratch;
    FakeContext fake;
    FakeTaskPage page(fake.Context());
    AddPoints(page, 1);
    ASSERT_TRUE(page.RunHere());
    fake.prompter.messageAnswers = {platform::MessageAnswer::Cancel, platform::MessageAnswer::Yes};
    EXPECT_FALSE(page.QueryClose());
    fake.prompter.saveAnswers.push_back(scratch.Path("data.txt"));
    EXPECT_TRUE(page.QueryClose());
    EXPECT_EQ("是否保存数据?", fake.prompter.messages.at(0).text);
    EXPECT_EQ("经度,纬度,高程\r\n111,31,10\r\n",
              tables::DecodeText(Scratch::Read(scratch.Path("data.txt"))).text);
    EXPECT_TRUE(page.Saved());
    EXPECT_TRUE(page.QueryClose());
    EXPECT_EQ(2u, fake.prompter.messages.size());
}

} // namespace
