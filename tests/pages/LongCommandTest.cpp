// 导入, 转换, 复制 and 导出 as a window runs them on a worker: stopped through the progress
// callback at any point they leave the tables, the clipboard and an existing file as they
// were; run to the end they give what the direct commands give; and every change of a table
// and every message goes through the page's dispatcher.
#include "PageFixture.hpp"
#include "pages/coordinates/GaussPages.hpp"
#include "pages/frames/Messages.hpp"
#include "support/ScratchFolder.hpp"
#include "tables/ClipboardText.hpp"
#include "tables/TextTableFile.hpp"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <deque>
#include <filesystem>
#include <iterator>
#include <mutex>
#include <thread>

using namespace carvento;
using namespace carvento::pages;
using namespace carvento::testing;

namespace {

// More rows than one block of the commands (65 536), so that a stop can come between blocks.
constexpr int kRows = 70000;

// Rows P1..Pn of degrees, with a run of two blank rows across the first block boundary.
Cells ManyRows(int rows)
{
    Cells cells;
    for (int r = 0; r < rows; ++r) {
        if (r == 65535 || r == 65536) {
            cells.insert(cells.end(), 3, "");
            continue;
        }
        cells.push_back("P" + std::to_string(r + 1));
        cells.push_back(std::to_string(20 + r % 30) + ".5");
        cells.push_back(std::to_string(100 + r % 10) + ".25");
    }
    return cells;
}

// A progress callback that answers false from its `stopAt`-th call on (1-based), or on the
// call that reports the end when `stopAt` is 0; it records every call.
struct FakeControl {
    explicit FakeControl(int stop) : stopAt(stop) {}
    int stopAt;
    std::vector<std::pair<int, int>> calls;
    ProgressCallback Callback()
    {
        return [this](int done, int total) {
            calls.emplace_back(done, total);
            if (stopAt == 0)
                return done < total;
            return static_cast<int>(calls.size()) < stopAt;
        };
    }
    bool StoppedMidWay() const
    {
        return !calls.empty() && calls.back().first < calls.back().second;
    }
};

// A dispatcher that runs calls at once and notes whether one is running.
class NotingDispatcher final : public platform::UiDispatcher {
public:
    bool inside = false;
    int calls = 0;
    void RunAndWait(const std::function<void()>& function) override
    {
        ++calls;
        inside = true;
        function();
        inside = false;
    }
};

class LongCommandTest : public ::testing::Test {
protected:
    LongCommandTest() { page.Field("unit").pendingIndex = kUnitDegrees; }

    void FillResult()
    {
        const Cells cells = ManyRows(kRows);
        page.Result().FillRows(cells, kRows, 3);
    }

    FakeContext fake;
    CGSZSDlg page{fake.Context()};
    ScratchFolder scratch;
};

} // namespace

TEST_F(LongCommandTest, StoppedImportAppendsNothing)
{
    std::string text;
    for (int r = 0; r < kRows; ++r)
        text += "P" + std::to_string(r) + ",30.5,106.3\r\n";
    const std::string path = scratch.Write("many.txt", text);
    FillSource(page, {"P0", "1", "2"});

    for (int stopAt : {1, 2, 0}) {
        SCOPED_TRACE(stopAt);
        FakeControl control(stopAt);
        page.SetProgressCallback(control.Callback());
        EXPECT_EQ(0, page.ImportFile(path, true));
        EXPECT_EQ(1, page.Source().DataRowCount());
        EXPECT_EQ("P0", page.Source().GetCell(1, 0));
        // Stopped while reading, the question is not asked; at the end it was.
        EXPECT_EQ(stopAt == 0 ? 1u : 0u, fake.prompter.mappingsShown.size());
        EXPECT_EQ(stopAt != 0, control.StoppedMidWay());
        fake.prompter.mappingsShown.clear();
    }
    EXPECT_TRUE(fake.prompter.messages.empty());

    page.SetProgressCallback([](int, int) { return true; });
    EXPECT_EQ(kRows, page.ImportFile(path, true));
    EXPECT_EQ(kRows + 1, page.Source().DataRowCount());
}

TEST_F(LongCommandTest, ImportReadsBlocksAsTheWholeFileReaderReadsIt)
{
    // Blank runs, a leading empty line, a short line (reported with its number; the rows before
    // it are still offered), GBK bytes: the block reader of 导入 and the whole-file reader of
    // standard input give the same rows and messages.
    std::string text = "\r\n";
    for (int r = 0; r < kRows; ++r)
        text += "P" + std::to_string(r) + ",30.5,106.3\r\n" + (r % 1000 == 0 ? "\r\n\r\n" : "");
    text += "\xB5\xE3,30.5,106.3\r\nshort,1\r\nP9,1,2\r\n";
    const std::string path = scratch.Write("gbk.txt", text);

    FakeContext fromStream;
    CGSZSDlg streamed(fromStream.Context());
    const int rows = streamed.ImportFile(path, true);
    FakeContext fromBytes;
    CGSZSDlg whole(fromBytes.Context());
    EXPECT_EQ(rows, whole.ImportBytes(text));

    EXPECT_GT(rows, kRows);
    Cells a, b;
    streamed.Source().CollectCells(a);
    whole.Source().CollectCells(b);
    EXPECT_EQ(b, a);
    EXPECT_EQ("点", a[a.size() - 3]);
    EXPECT_EQ(fromBytes.prompter.MessageTexts(), fromStream.prompter.MessageTexts());
    ASSERT_EQ(1u, fromStream.prompter.messages.size());
    EXPECT_EQ(FormatMessage(messages::kShortLine, kRows + 2 * 70 + 3),
              fromStream.prompter.messages[0].text);
    ASSERT_EQ(1u, fromStream.prompter.mappingsShown.size());
    EXPECT_EQ(2, fromStream.prompter.mappingsShown[0].firstLine);
}

TEST_F(LongCommandTest, StoppedConvertLeavesTheResultTable)
{
    FillSource(page, ManyRows(kRows));
    page.Convert();
    const Cells before = ResultCells(page);
    ASSERT_EQ(static_cast<std::size_t>(kRows) * 3, before.size());
    page.Field("meridian").text = "1110000";

    for (int stopAt : {1, 3, 0}) {
        SCOPED_TRACE(stopAt);
        FakeControl control(stopAt);
        page.SetProgressCallback(control.Callback());
        ASSERT_TRUE(page.StartConvert());
        EXPECT_FALSE(page.ConvertRows());
        EXPECT_EQ(before, ResultCells(page));
        EXPECT_EQ(stopAt != 0, control.StoppedMidWay());
    }
    // Converted to the end, the new meridian shows.
    page.SetProgressCallback({});
    page.Convert();
    EXPECT_NE(before[1], ResultCells(page)[1]);
    EXPECT_EQ(kRows, page.Status().convertedRows);
}

TEST_F(LongCommandTest, StoppedCopyLeavesTheClipboard)
{
    FillResult();
    fake.clipboard.text = "before";
    for (int stopAt : {1, 0}) {
        SCOPED_TRACE(stopAt);
        FakeControl control(stopAt);
        page.SetProgressCallback(control.Callback());
        EXPECT_FALSE(page.Copy());
        EXPECT_EQ("before", fake.clipboard.text);
        EXPECT_EQ(stopAt != 0, control.StoppedMidWay());
    }
    EXPECT_TRUE(fake.prompter.messages.empty());

    // Formatted a block at a time, the text is the one of the whole table.
    page.SetProgressCallback([](int, int) { return true; });
    EXPECT_TRUE(page.Copy());
    const Cells cells = ResultCells(page);
    EXPECT_EQ(tables::FormatClipboardText(cells, 3), fake.clipboard.text);
    EXPECT_EQ(std::vector<std::string>{messages::kCopied}, fake.prompter.MessageTexts());
}

TEST_F(LongCommandTest, StoppedExportLeavesAnExistingFileAndNoTemporary)
{
    FillResult();
    const std::string path = scratch.Write("out.txt", "earlier content\r\n");
    for (int stopAt : {1, 0}) {
        SCOPED_TRACE(stopAt);
        FakeControl control(stopAt);
        page.SetProgressCallback(control.Callback());
        EXPECT_FALSE(page.ExportToFile(path));
        EXPECT_EQ("earlier content\r\n", ScratchFolder::Read(path));
        EXPECT_EQ(stopAt != 0, control.StoppedMidWay());
        EXPECT_EQ(1, std::distance(std::filesystem::directory_iterator(scratch.Path()),
                                   std::filesystem::directory_iterator()));
    }
    EXPECT_TRUE(fake.prompter.messages.empty());

    // Written a block at a time, the bytes are those of one write of the whole table: the run
    // of blank rows across the block boundary is one empty line.
    page.SetProgressCallback([](int, int) { return true; });
    ASSERT_TRUE(page.ExportToFile(path));
    const std::string blocks = ScratchFolder::Read(path);
    tables::TextTableFile whole;
    const std::string wholePath = scratch / "whole.txt";
    ASSERT_TRUE(whole.OpenForWrite(wholePath));
    const Cells cells = ResultCells(page);
    whole.WriteTable(cells, kRows, 3, page.ExportHeader());
    ASSERT_TRUE(whole.Close().Ok());
    EXPECT_EQ(ScratchFolder::Read(wholePath), blocks);
    EXPECT_NE(std::string::npos, blocks.find("P65535,34.5,104.25\r\n\r\nP65538,"));
}

TEST_F(LongCommandTest, TablesChangeAndMessagesShowOnlyThroughTheDispatcher)
{
    NotingDispatcher dispatcher;
    page.SetDispatcher(dispatcher);
    int outside = 0;
    for (tables::CoordinateTable* table : {&page.Source(), &page.Result()})
        table->AddObserver([&](const tables::TableChange&) { outside += !dispatcher.inside; });
    struct AskingPrompter : FakePrompter {
        NotingDispatcher* dispatcher = nullptr;
        int outside = 0;
        platform::MessageAnswer ShowMessage(const platform::Message& message) override
        {
            outside += !dispatcher->inside;
            return FakePrompter::ShowMessage(message);
        }
        bool ChooseImportColumns(platform::ColumnMapping& mapping) override
        {
            outside += !dispatcher->inside;
            return FakePrompter::ChooseImportColumns(mapping);
        }
    } prompter;
    prompter.dispatcher = &dispatcher;
    CGSZSDlg asking({prompter, fake.clipboard, fake.profile});
    asking.SetDispatcher(dispatcher);
    for (tables::CoordinateTable* table : {&asking.Source(), &asking.Result()})
        table->AddObserver([&](const tables::TableChange&) { outside += !dispatcher.inside; });

    const std::string path = scratch.Write("in.txt", "P1,30.5,106.3\r\nP2,1\r\n");
    EXPECT_EQ(1, asking.ImportFile(path, true));
    asking.Convert();
    EXPECT_TRUE(asking.Copy());
    EXPECT_TRUE(asking.ExportToFile(scratch / "out.txt"));
    EXPECT_FALSE(asking.ExportToFile(scratch / "no-such-folder/out.txt"));
    EXPECT_EQ(1, asking.Result().DataRowCount());
    // The short line, the copy and the refused file were shown, the mapping asked.
    EXPECT_EQ(3u, prompter.messages.size());
    EXPECT_EQ(1u, prompter.mappingsShown.size());
    EXPECT_EQ(0, prompter.outside);
    EXPECT_EQ(0, outside);
    EXPECT_GE(dispatcher.calls, 6);
}

namespace {

// A dispatcher like the desktop's: a worker's call waits in a queue until the thread that
// made the dispatcher runs it.
class QueueDispatcher final : public platform::UiDispatcher {
public:
    const std::thread::id owner = std::this_thread::get_id();

    void RunAndWait(const std::function<void()>& function) override
    {
        if (std::this_thread::get_id() == owner) {
            function();
            return;
        }
        Call call{&function};
        std::unique_lock lock(m_mutex);
        m_queue.push_back(&call);
        m_changed.notify_all();
        m_changed.wait(lock, [&] { return call.done; });
    }

    // Runs queued calls until the runner's worker has ended; between them `idle` runs, as a
    // window paints its tables while it waits.
    void Serve(platform::TaskRunner& runner, const std::function<void()>& idle)
    {
        for (;;) {
            std::unique_lock lock(m_mutex);
            m_changed.wait_for(lock, std::chrono::milliseconds(1),
                               [&] { return !m_queue.empty(); });
            if (m_queue.empty()) {
                lock.unlock();
                if (!runner.Running())
                    return;
                idle();
                continue;
            }
            Call* call = m_queue.front();
            m_queue.pop_front();
            lock.unlock();
            (*call->function)();
            lock.lock();
            call->done = true;
            m_changed.notify_all();
        }
    }

private:
    struct Call {
        const std::function<void()>* function;
        bool done = false;
    };
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::deque<Call*> m_queue;
};

} // namespace

// Under the thread sanitizer this shows that a page's commands on a worker leave the tables to
// the dispatching thread: it reads them throughout, as a grid paints, while only it changes them.
TEST_F(LongCommandTest, OnATaskRunnerWorkerTheTablesChangeOnlyOnTheDispatchingThread)
{
    QueueDispatcher dispatcher;
    page.SetDispatcher(dispatcher);
    int elsewhere = 0;
    for (tables::CoordinateTable* table : {&page.Source(), &page.Result()})
        table->AddObserver([&](const tables::TableChange&) {
            elsewhere += std::this_thread::get_id() != dispatcher.owner;
        });
    std::string text;
    for (int r = 0; r < kRows; ++r)
        text += "P" + std::to_string(r) + ",30.5,106.3\r\n";
    const std::string input = scratch.Write("in.txt", text);
    std::size_t painted = 0;
    auto paint = [&] {
        for (const tables::CoordinateTable* table : {&page.Source(), &page.Result()})
            for (int r = 0; r < std::min(table->RowCount(), 40); ++r)
                painted += table->GetCell(r, 1).size();
    };
    auto run = [&](const std::function<void()>& command) {
        platform::TaskRunner runner;
        ASSERT_TRUE(runner.Start([&](const platform::TaskControl& control) {
            page.SetProgressCallback([&control](int, int) { return !control.StopRequested(); });
            command();
        }));
        dispatcher.Serve(runner, paint);
        runner.Stop();
        page.SetProgressCallback({});
    };

    run([&] { page.ImportFile(input, true); });
    ASSERT_EQ(kRows, page.Source().DataRowCount());
    ASSERT_TRUE(page.StartConvert());
    run([&] { page.ConvertRows(); });
    run([&] { page.Copy(); });
    run([&] { page.ExportToFile(scratch / "out.txt"); });
    EXPECT_EQ(0, elsewhere);
    EXPECT_GT(painted, 0u);
    EXPECT_EQ("3376320.4035", page.Result().GetCell(kRows, 1));
    EXPECT_EQ(tables::FormatClipboardText(ResultCells(page), 3), fake.clipboard.text);
    EXPECT_NE(std::string::npos,
              ScratchFolder::Read(scratch / "out.txt").find("P69999,3376320.4035,624805.9342\r\n"));
}

TEST_F(LongCommandTest, BlocksOfRowsConvertAsRowsOnTheirOwnAndLongNamesPassThrough)
{
    // 转换 takes its rows a block at a time into a table of its own: the rows on both sides of
    // a block boundary come out as they do alone, whether the source is kept (the desktop) or
    // consumed (the command line), and names too long to sit in a cell pass through 转换, 复制
    // and 导出 byte for byte.
    Cells rows = ManyRows(kRows);
    const std::string longName = "北京市海淀区控制点第一号";
    rows[0] = longName;
    rows[static_cast<std::size_t>(65537) * 3] = longName + "B";
    FillSource(page, rows);
    page.Convert();
    const Cells converted = ResultCells(page);
    EXPECT_EQ(kRows, page.Source().DataRowCount());

    FakeContext alone;
    CGSZSDlg small(alone.Context());
    small.Field("unit").pendingIndex = kUnitDegrees;
    const auto first = rows.begin() + static_cast<std::ptrdiff_t>(65530) * 3;
    FillSource(small, Cells(first, first + 12 * 3));
    small.Convert();
    EXPECT_EQ(ResultCells(small),
              Cells(converted.begin() + static_cast<std::ptrdiff_t>(65530) * 3,
                    converted.begin() + static_cast<std::ptrdiff_t>(65542) * 3));

    FakeContext consuming;
    CGSZSDlg consumed(consuming.Context());
    consumed.Field("unit").pendingIndex = kUnitDegrees;
    FillSource(consumed, rows);
    consumed.Convert(ConversionPage::SourceAfterConvert::Consumed);
    EXPECT_EQ(0, consumed.Source().DataRowCount());
    EXPECT_EQ(converted, ResultCells(consumed));

    EXPECT_EQ(longName, converted[0]);
    EXPECT_EQ(longName + "B", converted[static_cast<std::size_t>(65537) * 3]);
    ASSERT_TRUE(page.Copy());
    EXPECT_EQ(tables::FormatClipboardText(converted, 3), fake.clipboard.text);
    const std::string path = scratch / "long.txt";
    ASSERT_TRUE(page.ExportToFile(path, tables::TextEncoding::Utf8));
    EXPECT_NE(std::string::npos, ScratchFolder::Read(path).find("\r\n" + longName + ","));
}
