// The globe pages against a fake globe: batch elevation, DEM sampling and the map frame.
#include "PageFixture.hpp"
#include "earth/EarthConnection.hpp"
#include "earth/FakeEarth.hpp"
#include "pages/globe/EarthPages.hpp"
#include "platform/NumberText.hpp"
#include "support/ScratchFolder.hpp"
#include "tables/CodePage.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <condition_variable>
#include <limits>
#include <mutex>
#include <thread>

namespace carvento::testing {
namespace {

using pages::TaskPage;

// Stands in for the user-interface thread: notices and the test's own looks at the page run
// under one lock.
class LockedDispatcher : public platform::UiDispatcher {
public:
    void RunAndWait(const std::function<void()>& function) override
    {
        std::lock_guard lock(mutex);
        function();
        changed.notify_all();
    }
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

// A page context with a connected fake globe.
struct EarthFixture {
    FakeContext fake;
    FakeEarth* globe = nullptr;
    earth::EarthConnection connection{[this] {
        auto client = std::make_unique<FakeEarth>();
        globe = client.get();
        return client;
    }};
    EarthFixture() { earth::ConnectEarth(connection, fake.prompter); }
    pages::PageContext Context()
    {
        pages::PageContext context = fake.Context();
        context.earth = &connection;
        return context;
    }
};

std::string Fixed(double value)
{
    return platform::FormatFixed(value, 6);
}

std::string Progress(const TaskPage& page)
{
    return page.FindField(TaskPage::kProgressField)->text;
}

void AddPoints(TaskPage& page, const std::vector<std::pair<double, double>>& lonLat)
{
    for (const auto& [lon, lat] : lonLat) {
        const int row = page.Table().AppendRow();
        page.Table().SetCell(row, 0, std::to_string(row));
        page.Table().SetCell(row, 1, Fixed(lon));
        page.Table().SetCell(row, 2, Fixed(lat));
    }
}

std::unique_ptr<pages::BatchElevationPage> ElevationPage(EarthFixture& fixture)
{
    auto page = std::make_unique<pages::BatchElevationPage>(fixture.Context());
    page->SetSecondLength(std::chrono::milliseconds(0));
    return page;
}

// ---------------------------------------------------------------- batch elevation

TEST(BatchElevation, EachPointGetsOneCameraMoveAndTheTerrainUnderIt)
{
    EarthFixture fixture;
    auto page = ElevationPage(fixture);
    AddPoints(*page, {{104.5, 30.25}, {-3, 51}, {110, 20.125}});
    page->EditText("altitude", "7");
    ASSERT_TRUE(page->RunHere());
    ASSERT_EQ(3, fixture.globe->MoveCount());
    const earth::EarthCameraMove& first = fixture.globe->moves[0];
    EXPECT_EQ(30.25, first.latitude);
    EXPECT_EQ(104.5, first.longitude);
    EXPECT_EQ(1, first.altitudeMode);
    EXPECT_EQ(7000, first.range);
    EXPECT_EQ(5.0, first.speed);
    EXPECT_EQ(Fixed(FakeEarth::Terrain(30.25, 104.5)), page->Table().GetCell(1, 3));
    // West of the prime meridian the fake has no elevation data: said so, not a 0.
    EXPECT_EQ("无高程", page->Table().GetCell(2, 3));
    EXPECT_EQ(Fixed(FakeEarth::Terrain(20.125, 110)), page->Table().GetCell(3, 3));
    EXPECT_EQ("当前进度:3/3", Progress(*page));
    EXPECT_FALSE(page->Saved());
}

TEST(BatchElevation, TheGlobeIsToldThePointsAheadFromWhereTheRunStarts)
{
    EarthFixture fixture;
    auto page = ElevationPage(fixture);
    AddPoints(*page, {{104.5, 30.25}, {-3, 51}, {110, 20.125}});
    ASSERT_TRUE(page->RunHere());
    ASSERT_TRUE(page->RunHere(1));
    const auto told = fixture.globe->With([&] { return fixture.globe->expectedMoves; });
    ASSERT_EQ(2u, told.size());
    ASSERT_EQ(3u, told[0].size());
    EXPECT_EQ(30.25, told[0][0].latitude);
    EXPECT_EQ(104.5, told[0][0].longitude);
    EXPECT_EQ(-3, told[0][1].longitude);
    EXPECT_EQ(20.125, told[0][2].latitude);
    ASSERT_EQ(2u, told[1].size());
    EXPECT_EQ(51, told[1][0].latitude);
    // Each told position was flown to, in that order.
    EXPECT_EQ(5, fixture.globe->MoveCount());
    EXPECT_EQ(110, fixture.globe->With([&] { return fixture.globe->moves[4].longitude; }));
}

TEST(BatchElevation, WithoutAGlobeOrWithAnUnreadyOneNothingStarts)
{
    FakeContext bare;
    pages::BatchElevationPage alone(bare.Context());
    AddPoints(alone, {{1, 2}});
    EXPECT_FALSE(alone.RunHere());
    EXPECT_EQ(std::vector<std::string>{"未检测到运行的Google Earth!"},
              bare.prompter.MessageTexts());

    EarthFixture fixture;
    auto page = ElevationPage(fixture);
    AddPoints(*page, {{1, 2}});
    fixture.globe->initialized = 0;
    EXPECT_FALSE(page->RunHere());
    fixture.globe->initialized = 1;
    fixture.globe->online = 0;
    EXPECT_FALSE(page->RunHere());
    EXPECT_EQ(0, fixture.globe->MoveCount());
    EXPECT_EQ(std::vector<std::string>({"Google Earth初始化失败!", "未连接Google Earth服务器!"}),
              fixture.fake.prompter.MessageTexts());
}

TEST(BatchElevation, PauseHoldsBeforeTheNextPointAndStopEnds)
{
    EarthFixture fixture;
    LockedDispatcher ui;
    auto page = ElevationPage(fixture);
    page->SetDispatcher(ui);
    AddPoints(*page, {{1, 1}, {2, 2}, {3, 3}, {4, 4}});
    fixture.globe->AllowMoves(0);
    ASSERT_TRUE(ui.Ui([&] { return page->RunCommand(TaskPage::kStartCommand); }));
    fixture.globe->WaitForMoves(1);
    ui.Ui([&] { return page->RunCommand(TaskPage::kStartCommand); }); // pause
    fixture.globe->AllowMoves(1 << 30);
    // The point under way is finished; then the worker holds.
    ui.WaitFor([&] { return page->Table().GetCell(1, 3) != ""; });
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(1, fixture.globe->MoveCount());
    EXPECT_EQ("当前进度:1/4", ui.Ui([&] { return Progress(*page); }));
    fixture.globe->AllowMoves(2);
    ui.Ui([&] { return page->RunCommand(TaskPage::kStartCommand); }); // resume
    fixture.globe->WaitForMoves(3);
    // Stopped while the third point is under way: it is finished, the fourth never starts.
    ui.Ui([&] { return page->RunCommand(TaskPage::kStopCommand); });
    fixture.globe->AllowMoves(1 << 30);
    ui.WaitFor([&] { return page->TaskState() == TaskPage::State::Idle; });
    EXPECT_EQ(3, fixture.globe->MoveCount());
    EXPECT_NE("", ui.Ui([&] { return std::string(page->Table().GetCell(3, 3)); }));
    EXPECT_EQ("", ui.Ui([&] { return std::string(page->Table().GetCell(4, 3)); }));
    EXPECT_EQ("当前进度:0/0", ui.Ui([&] { return Progress(*page); }));
    // The status line says how far the stopped run got; 停止 with nothing running says so.
    EXPECT_EQ("任务已停止,已完成3个,共4个", ui.Ui([&] { return page->StatusText(); }));
    EXPECT_FALSE(ui.Ui([&] { return page->RunCommand(TaskPage::kStopCommand); }));
    EXPECT_EQ("没有正在执行的任务", ui.Ui([&] { return page->StatusText(); }));
    page->Close();
}

TEST(BatchElevation, ASavedTaskKeepsRowsViewAndRowAndARestoreGoesOnFromThere)
{
    ScratchFolder folder;
    EarthFixture fixture;
    {
        LockedDispatcher ui;
        auto page = ElevationPage(fixture);
        page->SetDispatcher(ui);
        page->SetCacheFolder(folder.Path().string());
        page->EditText("altitude", "3");
        page->EditText("interval", "2");
        AddPoints(*page, {{101, 31}, {102, 32}, {103, 33}, {104, 34}});
        fixture.globe->AllowMoves(2);
        ASSERT_TRUE(ui.Ui([&] { return page->RunCommand(TaskPage::kStartCommand); }));
        fixture.globe->WaitForMoves(3); // the third move waits: two rows are done
        ui.Ui([&] { return page->RunCommand(TaskPage::kSaveTaskCommand); });
        // The camera leaves for point 3 before the stop takes effect; that point is finished.
        fixture.globe->AllowMoves(1 << 30);
        ui.WaitFor([&] { return page->TaskState() == TaskPage::State::Idle; });
        EXPECT_EQ("当前进度:0/0", Progress(*page));
        EXPECT_TRUE(page->Saved());
        EXPECT_EQ("任务已保存,恢复任务时从第4个继续", page->StatusText());
        page->Close();
    }
    const std::string cache = tables::DecodeText(ScratchFolder::Read(folder / "Attitude.txt")).text;
    EXPECT_EQ("经度,纬度,高程\r\n101.000000,31.000000," + Fixed(FakeEarth::Terrain(31, 101)) +
                  "\r\n102.000000,32.000000," + Fixed(FakeEarth::Terrain(32, 102)) +
                  "\r\n103.000000,33.000000," + Fixed(FakeEarth::Terrain(33, 103)) +
                  "\r\n104.000000,34.000000,\r\n",
              cache);
    platform::MemoryProfile& profile = fixture.fake.profile;
    EXPECT_EQ(3, profile.GetInt("ATTITUDE", "high", 0));
    EXPECT_EQ(2, profile.GetInt("ATTITUDE", "time", 0));
    EXPECT_EQ(4, profile.GetInt("ATTITUDE", "x", 0));              // the row not yet done
    EXPECT_EQ("103.000000", profile.GetString("VIEW", "lng", "")); // the view at the save

    // Fresh page; saved row 2 instead, to see the restore continue mid-list.
    profile.SetInt("ATTITUDE", "x", 2);
    fixture.globe->SetCamera({.latitude = -5, .longitude = -5});
    fixture.globe->MoveMainWindow({5, 5, 100, 100});
    const int movesBefore = fixture.globe->MoveCount();
    LockedDispatcher ui;
    auto restored = ElevationPage(fixture);
    restored->SetDispatcher(ui);
    restored->SetCacheFolder(folder.Path().string());
    ASSERT_TRUE(ui.Ui([&] { return restored->RunCommand(TaskPage::kRestoreTaskCommand); }));
    ui.WaitFor([&] { return restored->TaskState() == TaskPage::State::Idle; });
    EXPECT_EQ("3", restored->FindField("altitude")->text);
    EXPECT_EQ(1024, fixture.globe->With([&] { return fixture.globe->mainWindow->width; }));
    std::vector<earth::EarthCameraMove> moves =
        fixture.globe->With([&] { return fixture.globe->moves; });
    ASSERT_EQ(static_cast<std::size_t>(movesBefore) + 4, moves.size());
    EXPECT_EQ(2, moves[static_cast<std::size_t>(movesBefore)].altitudeMode); // the saved view
    EXPECT_EQ(103, moves[static_cast<std::size_t>(movesBefore)].longitude);
    EXPECT_EQ(102, moves[static_cast<std::size_t>(movesBefore) + 1].longitude); // rows 2 … 4
    EXPECT_EQ(3000, moves[static_cast<std::size_t>(movesBefore) + 1].range);
    EXPECT_EQ(104, moves.back().longitude);
    EXPECT_EQ(Cells({"1", "101.000000", "31.000000", Fixed(FakeEarth::Terrain(31, 101)), "2",
                     "102.000000", "32.000000", Fixed(FakeEarth::Terrain(32, 102)), "3",
                     "103.000000", "33.000000", Fixed(FakeEarth::Terrain(33, 103)), "4",
                     "104.000000", "34.000000", Fixed(FakeEarth::Terrain(34, 104))}),
              [&] {
                  Cells cells(restored->Table().DataCells().begin(),
                              restored->Table().DataCells().end());
                  return cells;
              }());
    EXPECT_EQ("当前进度:4/4", Progress(*restored));
    EXPECT_EQ("任务已完成,共4个", restored->StatusText());
    restored->Close();
}

TEST(BatchElevation, OpenAsksWhetherToEmptyTheListAndKeepsItForARefusedFile)
{
    ScratchFolder folder;
    EarthFixture fixture;
    auto page = ElevationPage(fixture);
    const std::string points = folder.Write("points.txt", "1,101.5,31.5\n2,102.5,32.5\n");
    const std::string empty = folder.Write("empty.txt", "");
    FakePrompter& prompter = fixture.fake.prompter;
    // An empty list: no question, the rows come in.
    prompter.openAnswers.push_back({points});
    EXPECT_TRUE(page->RunCommand(pages::BatchElevationPage::kOpenCommand));
    EXPECT_EQ(2, page->Table().DataRowCount());
    EXPECT_TRUE(prompter.messages.empty());
    // No: the file's rows are appended.
    prompter.openAnswers.push_back({points});
    prompter.messageAnswers.push_back(platform::MessageAnswer::No);
    EXPECT_TRUE(page->RunCommand(pages::BatchElevationPage::kOpenCommand));
    ASSERT_EQ(1u, prompter.messages.size());
    EXPECT_EQ("是否清空当前数据列表?", prompter.messages[0].text);
    EXPECT_EQ(platform::MessageButtons::YesNo, prompter.messages[0].buttons);
    EXPECT_EQ(4, page->Table().DataRowCount());
    // Yes with a file that gives no rows: the list stays as it was.
    prompter.openAnswers.push_back({empty});
    prompter.messageAnswers.push_back(platform::MessageAnswer::Yes);
    EXPECT_FALSE(page->RunCommand(pages::BatchElevationPage::kOpenCommand));
    EXPECT_EQ(4, page->Table().DataRowCount());
    EXPECT_EQ("102.5", page->Table().GetCell(4, 1));
    // Yes: the list holds the file's rows only.
    prompter.openAnswers.push_back({points});
    prompter.messageAnswers.push_back(platform::MessageAnswer::Yes);
    EXPECT_TRUE(page->RunCommand(pages::BatchElevationPage::kOpenCommand));
    EXPECT_EQ(2, page->Table().DataRowCount());
    // Cancelled dialog: nothing asked, nothing changes.
    const std::size_t asked = prompter.messages.size();
    EXPECT_FALSE(page->RunCommand(pages::BatchElevationPage::kOpenCommand));
    EXPECT_EQ(asked, prompter.messages.size());
    EXPECT_EQ(2, page->Table().DataRowCount());
    page->Close();
}

TEST(BatchElevation, ARefusedMoveGivesThatPointNoHeightAndIsCounted)
{
    EarthFixture fixture;
    auto page = ElevationPage(fixture);
    const double nan = std::numeric_limits<double>::quiet_NaN();
    AddPoints(*page, {{104, 30}, {105, 95}, {nan, 31}, {107, 31}});
    ASSERT_TRUE(page->RunHere());
    // The refused points do not read the ground the view still shows (the point before).
    EXPECT_EQ(Cells({Fixed(FakeEarth::Terrain(30, 104)), "无高程", "无高程",
                     Fixed(FakeEarth::Terrain(31, 107))}),
              Cells({page->Table().GetCell(1, 3), page->Table().GetCell(2, 3),
                     page->Table().GetCell(3, 3), page->Table().GetCell(4, 3)}));
    EXPECT_EQ(std::vector<int>({2, 3}), page->RefusedRows());
    EXPECT_EQ(std::vector<std::string>{"Google Earth拒绝飞往2个点(第2,3行),其高程为无高程。"},
              fixture.fake.prompter.MessageTexts());
    EXPECT_TRUE(page->LastRun().finished);
    EXPECT_EQ("当前进度:4/4", Progress(*page));
    // Only the moves taken were asked about the ground.
    EXPECT_EQ(2, fixture.globe->With([&] { return fixture.globe->terrainQueries; }));
}

TEST(BatchElevation, AGlobeThatGoesAwayEndsTheTaskNamingTheRowsNotDone)
{
    EarthFixture fixture;
    auto page = ElevationPage(fixture);
    AddPoints(*page, {{101, 31}, {102, 32}, {103, 33}, {104, 34}, {105, 35}});
    fixture.globe->failFrom = 5; // the move to the third point: two calls per point
    ASSERT_TRUE(page->RunHere());
    EXPECT_EQ(Fixed(FakeEarth::Terrain(32, 102)), page->Table().GetCell(2, 3));
    for (int row : {3, 4, 5})
        EXPECT_EQ("", page->Table().GetCell(row, 3)) << row;
    const pages::TaskPage::RunEnd& end = page->LastRun();
    EXPECT_FALSE(end.finished);
    EXPECT_TRUE(end.failed);
    EXPECT_EQ(2, end.nextStep);
    ASSERT_EQ(1u, fixture.fake.prompter.messages.size());
    EXPECT_EQ("与Google Earth的连接已断开,任务中止:第3至5行未获取高程!",
              fixture.fake.prompter.messages[0].text);
    EXPECT_EQ(platform::MessageIcon::Error, fixture.fake.prompter.messages[0].icon);
    EXPECT_EQ(3, fixture.globe->MoveCount()); // nothing after the failure
    EXPECT_EQ("当前进度:0/0", Progress(*page));
}

TEST(BatchElevation, ASilentGlobeIsAskedAgainOnceThenTheUserDecides)
{
    // One time-out: the point is asked again without a word.
    {
        EarthFixture fixture;
        auto page = ElevationPage(fixture);
        AddPoints(*page, {{101, 31}, {102, 32}});
        fixture.globe->silentFrom = 3;
        fixture.globe->silentCalls = 1;
        ASSERT_TRUE(page->RunHere());
        EXPECT_TRUE(fixture.fake.prompter.messages.empty());
        EXPECT_EQ(Fixed(FakeEarth::Terrain(32, 102)), page->Table().GetCell(2, 3));
        EXPECT_EQ(3, fixture.globe->MoveCount());
    }
    // Two in a row: the task waits for the answer; Yes goes on with the same point.
    {
        EarthFixture fixture;
        auto page = ElevationPage(fixture);
        AddPoints(*page, {{101, 31}, {102, 32}, {103, 33}});
        fixture.globe->silentFrom = 3;
        fixture.globe->silentCalls = 2;
        fixture.fake.prompter.messageAnswers = {platform::MessageAnswer::Yes};
        ASSERT_TRUE(page->RunHere());
        ASSERT_EQ(1u, fixture.fake.prompter.messages.size());
        const platform::Message& asked = fixture.fake.prompter.messages[0];
        EXPECT_EQ("Google Earth连续2次没有响应,是否继续等待?", asked.text);
        EXPECT_EQ(platform::MessageButtons::YesNo, asked.buttons);
        EXPECT_EQ(Fixed(FakeEarth::Terrain(32, 102)), page->Table().GetCell(2, 3));
        EXPECT_EQ(Fixed(FakeEarth::Terrain(33, 103)), page->Table().GetCell(3, 3));
        EXPECT_TRUE(page->LastRun().finished);
    }
    // No: the task stops before that point and says which rows it left.
    {
        EarthFixture fixture;
        auto page = ElevationPage(fixture);
        AddPoints(*page, {{101, 31}, {102, 32}, {103, 33}});
        fixture.globe->silentFrom = 3;
        fixture.globe->silentCalls = 1 << 20;
        fixture.fake.prompter.messageAnswers = {platform::MessageAnswer::No};
        ASSERT_TRUE(page->RunHere());
        EXPECT_EQ(std::vector<std::string>({"Google Earth连续2次没有响应,是否继续等待?",
                                            "Google Earth没有响应,任务已停止:第2至3行未获取高程!"}),
                  fixture.fake.prompter.MessageTexts());
        EXPECT_EQ("", page->Table().GetCell(2, 3));
        EXPECT_TRUE(page->LastRun().failed);
        EXPECT_EQ(1, page->LastRun().nextStep);
        EXPECT_EQ(3, fixture.globe->MoveCount()); // one move, then point 2 twice
    }
}

TEST(BatchElevation, SavedBytesAreWhatSaveDataWrites)
{
    for (tables::TextEncoding encoding : {tables::TextEncoding::Gbk, tables::TextEncoding::Utf8}) {
        ScratchFolder folder;
        EarthFixture fixture;
        auto page = ElevationPage(fixture);
        page->SetTextEncoding(encoding);
        AddPoints(*page, {{104.5, 30.25}, {105, 31}});
        page->Table().SetCell(2, 3, "无高程");
        page->Table().AppendRow(); // blank rows: one empty line
        page->Table().AppendRow();
        AddPoints(*page, {{106, 32}});
        page->Table().SetCell(5, 3, "1,5"); // needs quoting
        const std::optional<std::string> bytes = page->SavedBytes("standard output");
        ASSERT_TRUE(bytes);
        ASSERT_TRUE(page->SaveDataToFile(folder / "saved.txt"));
        EXPECT_EQ(ScratchFolder::Read(folder / "saved.txt"), *bytes);
        EXPECT_NE(std::string::npos, tables::DecodeText(*bytes).text.find("经度,纬度,高程\r\n"));
    }
}

TEST(BatchElevation, ALargeTableIsSavedAndStreamedBlockByBlockAsOne)
{
    // 60 000 rows, some without a height and runs of blank rows among them: about 2 MB of
    // text, more than one block, in either encoding.
    for (tables::TextEncoding encoding : {tables::TextEncoding::Gbk, tables::TextEncoding::Utf8}) {
        ScratchFolder folder;
        EarthFixture fixture;
        auto page = ElevationPage(fixture);
        page->SetTextEncoding(encoding);
        tables::CoordinateTable& table = page->Table();
        std::vector<std::string> cells;
        for (int i = 0; i < 60000; ++i) {
            const bool blank = i % 7919 < 3;
            cells.insert(cells.end(),
                         {std::to_string(i + 1), blank ? "" : Fixed(100 + i * 1e-4),
                          blank ? "" : Fixed(30 - i * 1e-4),
                          blank ? "" : (i % 5 ? Fixed(i * 0.25) : std::string("无高程"))});
        }
        table.AppendRows(std::move(cells));
        std::vector<std::string> blocks;
        ASSERT_EQ(TaskPage::StreamResult::Written, page->StreamSavedBytes(
                                                       [&](std::string_view block) {
                                                           blocks.emplace_back(block);
                                                           return true;
                                                       },
                                                       "standard output"));
        EXPECT_GT(blocks.size(), 1u);
        std::string streamed;
        for (const std::string& block : blocks)
            streamed += block;
        ASSERT_TRUE(page->SaveDataToFile(folder / "saved.txt"));
        EXPECT_EQ(ScratchFolder::Read(folder / "saved.txt"), streamed);
        // A writer that fails stops the stream.
        int calls = 0;
        EXPECT_EQ(TaskPage::StreamResult::WriteFailed, page->StreamSavedBytes(
                                                           [&](std::string_view) {
                                                               ++calls;
                                                               return false;
                                                           },
                                                           "standard output"));
        EXPECT_EQ(1, calls);
    }
}

// ---------------------------------------------------------------- DEM sampling

TEST(DemSampling, FifteenPermilleSamplesAGridOf67By67ColumnByColumn)
{
    EarthFixture fixture;
    pages::DemSamplingPage page(fixture.Context());
    ASSERT_TRUE(page.RunHere());
    const tables::CoordinateTable& table = page.Table();
    ASSERT_EQ(4489, table.DataRowCount());
    EXPECT_EQ("当前进度:4489/4489", Progress(page));
    // The fake shows (x, y) at longitude x, latitude y around a camera at 0, 0.
    EXPECT_EQ("1", table.GetCell(1, 0));
    EXPECT_EQ(Fixed(-1), table.GetCell(1, 1));
    EXPECT_EQ(Fixed(-1), table.GetCell(1, 2));
    EXPECT_EQ(Fixed(-1), table.GetCell(2, 1));
    EXPECT_EQ(Fixed(-0.97), table.GetCell(2, 2));
    EXPECT_EQ(Fixed(0.98), table.GetCell(67, 2));  // top of the first column
    EXPECT_EQ(Fixed(-0.97), table.GetCell(68, 1)); // bottom of the second
    EXPECT_EQ(Fixed(-1), table.GetCell(68, 2));
    EXPECT_EQ(Fixed(0.98), table.GetCell(4489, 1));
    EXPECT_EQ("4489", table.GetCell(4489, 0));
    EXPECT_EQ("无高程", table.GetCell(1, 3)); // west of 0: no data
    EXPECT_EQ(Fixed(FakeEarth::Terrain(0.98, 0.98)), table.GetCell(4489, 3));
    EXPECT_EQ(0, fixture.globe->MoveCount()); // the view is sampled as it is
}

// What one run of a task page costs its table and its window, counted: change notices, the rows
// they name (a reset names every row), moves of the table's cells to a larger buffer and
// progress notices.
struct TaskWork {
    int samples = 0;
    long long notices = 0;
    long long rowsNamed = 0;
    int buffers = 0;
    int progress = 0;
};

TaskWork RunCounted(TaskPage& page)
{
    TaskWork work;
    tables::CoordinateTable& table = page.Table();
    const void* buffer = table.DataCells().data();
    table.AddObserver([&](const tables::TableChange& change) {
        ++work.notices;
        work.rowsNamed += change.kind == tables::TableChange::Kind::Reset
                              ? table.RowCount()
                              : change.last - change.first + 1;
        if (table.DataCells().data() != buffer) {
            buffer = table.DataCells().data();
            ++work.buffers;
        }
    });
    page.SetProgressHandler([&](int, int) { ++work.progress; });
    EXPECT_TRUE(page.RunHere());
    work.samples = table.DataRowCount();
    return work;
}

TEST(DemSampling, EachSampleCostsTheTableAndTheWindowTheSameHoweverManyCameBefore)
{
    // 26 × 26 and 201 × 201 samples: one notice naming one row and one progress notice per
    // sample, and a number of buffers that grows with the logarithm of the samples.
    EarthFixture fixture;
    std::vector<TaskWork> runs;
    for (int permille : {40, 5}) {
        pages::DemSamplingPage page(fixture.Context());
        page.Choose("x", permille);
        page.Choose("y", permille);
        runs.push_back(RunCounted(page));
    }
    ASSERT_EQ(26 * 26, runs[0].samples);
    ASSERT_EQ(201 * 201, runs[1].samples);
    for (const TaskWork& run : runs) {
        SCOPED_TRACE(run.samples);
        EXPECT_EQ(run.samples, run.notices);
        EXPECT_EQ(run.samples, run.rowsNamed);
        EXPECT_EQ(run.samples + 2, run.progress); // and the start and the end
        EXPECT_LE(run.buffers, 2 + static_cast<int>(std::log2(run.samples)));
    }
    EXPECT_LE(runs[1].buffers - runs[0].buffers, 7); // 60 times the samples: 6 doublings

    // Batch elevation writes each point's height into its row: one row named per point.
    auto elevation = ElevationPage(fixture);
    std::vector<std::pair<double, double>> points;
    for (int i = 0; i < 3000; ++i)
        points.emplace_back(100 + i * 0.001, 30 - i * 0.001);
    AddPoints(*elevation, points);
    const TaskWork flown = RunCounted(*elevation);
    EXPECT_EQ(3000, flown.notices);
    EXPECT_EQ(3000, flown.rowsNamed);
    EXPECT_EQ(0, flown.buffers);
}

TEST(DemSampling, TheWholeViewAtOnceIsFourCornersAndTheSkyGivesNoRow)
{
    EarthFixture fixture;
    pages::DemSamplingPage page(fixture.Context());
    page.Choose("x", 1000);
    page.Choose("y", 5000); // beyond the range: 1000
    fixture.globe->skyAbove = 0.5;
    ASSERT_TRUE(page.RunHere());
    EXPECT_EQ(4, fixture.globe->With([&] { return fixture.globe->terrainQueries; }));
    ASSERT_EQ(2, page.Table().DataRowCount()); // the two upper corners show sky
    EXPECT_EQ(Cells({"1", Fixed(-1), Fixed(-1), "无高程", "2", Fixed(1), Fixed(-1),
                     Fixed(FakeEarth::Terrain(-1, 1))}),
              Cells(page.Table().DataCells().begin(), page.Table().DataCells().end()));
    EXPECT_EQ("当前进度:4/4", Progress(page));
}

TEST(DemSampling, ASavedPositionResumesMidColumnAndPastTheRightEdgeEndsAtOnce)
{
    ScratchFolder folder;
    EarthFixture fixture;
    int done = 0;
    {
        LockedDispatcher ui;
        pages::DemSamplingPage page(fixture.Context());
        page.SetDispatcher(ui);
        page.SetCacheFolder(folder.Path().string());
        page.Choose("x", 500); // a = 1: columns -1, 0, 1
        page.Choose("y", 250); // b = 0.5: rows -1 … 1
        fixture.globe->AllowQueries(7);
        ASSERT_TRUE(ui.Ui([&] { return page.Start(); }));
        fixture.globe->WaitForQueries(8);
        ui.Ui([&] { return page.SaveTask(); });
        fixture.globe->AllowQueries(1 << 30);
        ui.WaitFor([&] { return page.TaskState() == TaskPage::State::Idle; });
        page.Close();
        done = page.Table().DataRowCount();
    }
    platform::MemoryProfile& profile = fixture.fake.profile;
    EXPECT_EQ(500, profile.GetInt("DEM", "dx", 0));
    EXPECT_EQ(250, profile.GetInt("DEM", "dy", 0));
    // The kept position is the grid position of the first sample not taken.
    const auto grid = pages::DemSamplingPage::MakeGrid(500, 250);
    EXPECT_EQ(done, grid.IndexAt(platform::ParseDouble(profile.GetString("DEM", "x", "")),
                                 platform::ParseDouble(profile.GetString("DEM", "y", ""))));
    EXPECT_EQ(8, done);
    // Resume in the middle of the second column, from wherever the task stopped: at (0, -0.5).
    profile.SetString("DEM", "x", "0.000000");
    profile.SetString("DEM", "y", "-0.500000");
    std::filesystem::remove(folder / "Dem.txt");
    folder.Write("Dem.txt", "经度,纬度,高程\r\n-1,-1,无高程\r\n");

    LockedDispatcher ui;
    pages::DemSamplingPage restored(fixture.Context());
    restored.SetDispatcher(ui);
    restored.SetCacheFolder(folder.Path().string());
    ASSERT_TRUE(ui.Ui([&] { return restored.RestoreTask(); }));
    ui.WaitFor([&] { return restored.TaskState() == TaskPage::State::Idle; });
    restored.Close();
    EXPECT_EQ(500, restored.FindField("x")->pendingIndex);
    const tables::CoordinateTable& table = restored.Table();
    // The cached row, then (0, -0.5) … (0, 1) and the full last column: 1 + 4 + 5 rows.
    ASSERT_EQ(10, table.DataRowCount());
    EXPECT_EQ("-1", table.GetCell(1, 1));
    EXPECT_EQ(Fixed(0), table.GetCell(2, 1));
    EXPECT_EQ(Fixed(-0.5), table.GetCell(2, 2));
    EXPECT_EQ(Fixed(1), table.GetCell(6, 1));
    EXPECT_EQ(Fixed(-1), table.GetCell(6, 2));
    EXPECT_EQ("10", table.GetCell(10, 0));
    EXPECT_EQ("当前进度:15/15", Progress(restored));

    profile.SetString("DEM", "x", "1.5");
    const int queries = fixture.globe->With([&] { return fixture.globe->terrainQueries; });
    pages::DemSamplingPage past(fixture.Context());
    past.SetDispatcher(ui);
    past.SetCacheFolder(folder.Path().string());
    ASSERT_TRUE(ui.Ui([&] { return past.RestoreTask(); }));
    ui.WaitFor([&] { return past.TaskState() == TaskPage::State::Idle; });
    past.Close();
    EXPECT_EQ(queries, fixture.globe->With([&] { return fixture.globe->terrainQueries; }));
    EXPECT_EQ(1, past.Table().DataRowCount());
    EXPECT_TRUE(past.Saved()); // the restored rows came from the cache: nothing new to save
}

TEST(DemSampling, AGlobeThatGoesAwayEndsTheTaskNamingTheGridPointsNotDone)
{
    EarthFixture fixture;
    pages::DemSamplingPage page(fixture.Context());
    page.Choose("x", 1000);
    page.Choose("y", 1000);
    fixture.globe->failFrom = 3;
    ASSERT_TRUE(page.RunHere());
    EXPECT_EQ(2, page.Table().DataRowCount());
    EXPECT_EQ(std::vector<std::string>{"与Google Earth的连接已断开,任务中止:第3至4个网格点未采样!"},
              fixture.fake.prompter.MessageTexts());
    EXPECT_TRUE(page.LastRun().failed);
}

TEST(DemSampling, TheGridCountsAndKeptPositionsMapToSteps)
{
    const auto grid = pages::DemSamplingPage::MakeGrid(15, 15);
    EXPECT_EQ(67, grid.columns);
    EXPECT_EQ(4489, grid.Total());
    const auto fine = pages::DemSamplingPage::MakeGrid(1, 1000);
    EXPECT_EQ(1001, fine.columns);
    EXPECT_EQ(2, fine.rows);
    for (int index : {0, 1, 66, 67, 68, 2000, 4488}) {
        const double x = platform::ParseDouble(Fixed(grid.X(index)));
        const double y = platform::ParseDouble(Fixed(grid.Y(index)));
        EXPECT_EQ(index, grid.IndexAt(x, y)) << x << "," << y;
    }
    EXPECT_EQ(0, grid.IndexAt(-1, -1));
    EXPECT_EQ(67, grid.IndexAt(-1, 1.5)); // a finished column: the next one
    EXPECT_EQ(4489, grid.IndexAt(1.01, -1));
}

// ---------------------------------------------------------------- map frame

TEST(MapFramePage, AddHandsTheGraticuleToTheGlobe)
{
    EarthFixture fixture;
    pages::MapFramePage page(fixture.Context());
    fixture.globe->online = 0; // loading needs no readiness
    EXPECT_TRUE(page.RunCommand("add"));
    ASSERT_EQ(1u, fixture.globe->loadedKml.size());
    const std::string& kml = fixture.globe->loadedKml[0];
    EXPECT_EQ(page.FrameKml().kml, kml);
    EXPECT_NE(std::string::npos,
              kml.find("<coordinates>104.333333,31.083333,0 104.333333,31.166667,0</coordinates>"));
    EXPECT_EQ(11, page.FrameKml().meridians);
    // Not ready: loaded but not flown to, and the notice says where the frame is.
    EXPECT_TRUE(fixture.globe->moves.empty());
    ASSERT_EQ(1u, fixture.fake.prompter.notices.size());
    EXPECT_NE(std::string::npos, fixture.fake.prompter.notices[0].find("图框中心在纬度"))
        << fixture.fake.prompter.notices[0];
    // Ready: the camera goes to the frame's centre, high enough to show it whole.
    fixture.globe->online = 1;
    EXPECT_TRUE(page.RunCommand("add"));
    ASSERT_EQ(1u, fixture.globe->moves.size());
    const earth::EarthCameraMove& move = fixture.globe->moves[0];
    const earth::MapFrameKml frame = page.FrameKml();
    EXPECT_NEAR((frame.south + frame.north) / 2, move.latitude, 1e-9);
    EXPECT_NEAR((frame.west + frame.east) / 2, move.longitude, 1e-9);
    EXPECT_GT(move.range, (frame.north - frame.south) * 111'000);
    EXPECT_EQ(page.StatusText(), fixture.fake.prompter.notices.back());
    EXPECT_NE(std::string::npos, page.StatusText().find("视图已移到图框中心"));

    page.EditText("lat-step", "0");
    EXPECT_FALSE(page.RunCommand("add"));
    fixture.globe->acceptKml = false;
    page.EditText("lat-step", "000100");
    EXPECT_FALSE(page.RunCommand("add"));
    EXPECT_EQ(std::vector<std::string>({"纬度差必须大于0!", "图框未能加载到Google Earth!"}),
              fixture.fake.prompter.MessageTexts());

    FakeContext bare;
    pages::MapFramePage alone(bare.Context());
    EXPECT_FALSE(alone.RunCommand("add"));
    EXPECT_EQ(std::vector<std::string>{"未检测到运行的Google Earth!"},
              bare.prompter.MessageTexts());
}

} // namespace
} // namespace carvento::testing
