// The task frame: a table that a worker fills step by step, with 启动/暂停, 停止, 保存数据,
// 保存任务 (stop and keep the table and the position in a cache file) and 恢复任务, and a
// progress label. The worker reaches the page only through the user-interface dispatcher.
// Batch elevation and DEM sampling sit on it.
#pragma once

#include "pages/frames/EditableTable.hpp"
#include "pages/frames/ToolPage.hpp"
#include "platform/Tasks.hpp"
#include "tables/CoordinateTable.hpp"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace carvento::pages {

namespace messages {
inline constexpr const char* kTaskAlreadyDone = "任务已执行完毕，无需保存！";
inline constexpr const char* kNoCacheFolder = "获取缓存文件路径失败！";
inline constexpr const char* kCacheMissing = "数据文件丢失，恢复任务失败！";
inline constexpr const char* kAskSaveData = "是否保存数据?";
// The status line after a run (%d points done, %d in all) and after the task commands.
inline constexpr const char* kStatusFinished = "任务已完成,共%d个";
inline constexpr const char* kStatusStopped = "任务已停止,已完成%d个,共%d个";
inline constexpr const char* kStatusSaved = "任务已保存,恢复任务时从第%d个继续";
inline constexpr const char* kStatusNotSaved = "任务已停止,但缓存文件未能写入,任务未保存";
inline constexpr const char* kStatusRestored = "任务已恢复,从第%d个继续";
inline constexpr const char* kStatusNothingToStop = "没有正在执行的任务";
inline constexpr const char* kStatusDataSaved = "数据已保存到 %s";
inline constexpr const char* kProgressPrefix = "当前进度:";
// Asked (Yes waits on, No stops) when the globe did not answer this many times in a row.
inline constexpr const char* kNoAnswerQuestion = "Google Earth连续%d次没有响应,是否继续等待?";
// The task stopped because the globe did not answer: %s the steps not done.
inline constexpr const char* kNoAnswerStopped = "Google Earth没有响应,任务已停止:%s!";
// The task ended early: %s why, %s the steps not done.
inline constexpr const char* kTaskAborted = "%s,任务中止:%s!";
// The steps not done, for the two messages above: %d the first, %d the last (1-based).
inline constexpr const char* kStepsNotDone = "第%d至%d步未完成";
} // namespace messages

// What one step puts into the table: `cells` from column `firstColumn` on, into data row `row`
// (1-based), or into a new row at the end when `row` is kAppendRow. An appended row whose
// cells start after column 0 gets its row number in column 0 ("序号").
struct TaskOutput {
    static constexpr int kAppendRow = 0;
    int row = kAppendRow;
    int firstColumn = 0;
    std::vector<std::string> cells{};
};

// How one step went, for work whose source (the globe) can fail to answer.
struct StepOutcome {
    enum class Status {
        Done,     // the step is done; its output, if any, goes into the table
        NoAnswer, // no answer in time: the step is not done and is tried again
        Failed,   // the source cannot go on (`reason`): the task ends before this step
    };
    Status status = Status::Done;
    std::optional<TaskOutput> output{};
    std::string reason{};
};

// One run of a task. The page makes it on the user-interface thread from its fields and table
// (a copy of what it needs: the worker never reads the page); the worker thread then calls
// Attempt for each step in turn.
class TaskWork {
public:
    virtual ~TaskWork() = default;
    // Number of steps of the whole task (the progress total).
    virtual int StepCount() const = 0;
    // Runs step `index` (0 … StepCount()-1) on the worker thread; nothing for a step that has
    // nothing to write.
    virtual std::optional<TaskOutput> Step(int index) = 0;
    // Step with how it went. By default every step is done.
    virtual StepOutcome Attempt(int index) { return {StepOutcome::Status::Done, Step(index), {}}; }
};

// What a task page declares once, in its constructor.
struct TaskSetup {
    TableLayout table{};
    std::string cacheFileName{};     // in the cache folder, such as "Attitude.txt"
    std::vector<int> savedColumns{}; // columns of 保存数据 and of the cache, their titles first
    // Columns the task reads (打开 refuses a file without them; a first row that does not
    // read as values there is a title row on the command line).
    std::vector<int> requiredColumns{};
};

class TaskPage : public ToolPage {
public:
    enum class State { Idle, Running, Paused };

    static constexpr const char* kStartCommand = "start"; // 启动/暂停
    static constexpr const char* kStopCommand = "stop";
    static constexpr const char* kSaveDataCommand = "save-data";
    static constexpr const char* kSaveTaskCommand = "save-task";
    static constexpr const char* kRestoreTaskCommand = "restore-task";
    static constexpr const char* kProgressField = "progress";

    explicit TaskPage(PageContext context);
    // How many points of the last run the globe refused to fly to (their value reads "无高程");
    // none on tasks that fly nowhere.
    virtual std::size_t RefusedCount() const { return 0; }
    // Stops and joins the worker (see Close).
    ~TaskPage() override;

    PageFrame Frame() const override { return PageFrame::Task; }
    TaskPage* AsTask() override { return this; }
    // Whether the task runs over points read from a file (打开): it reads columns of them.
    bool ReadsPointFile() const { return !m_setup.requiredColumns.empty(); }
    bool ReadsColumn(int column) const
    {
        const std::vector<int>& columns = m_setup.requiredColumns;
        return std::find(columns.begin(), columns.end(), column) != columns.end();
    }
    // How long one second of the task's waits for the globe lasts: tests shorten it, and an
    // elevation model needs no view to settle. Tasks that never wait ignore it.
    virtual void SetSecondLength(std::chrono::milliseconds) {}
    tables::CoordinateTable& Table() { return m_table; }
    const tables::CoordinateTable& Table() const { return m_table; }
    const TableLayout& Layout() const { return m_setup.table; }
    // 打开-style commands on the table (through the column-mapping dialog).
    EditableTable& Editor() { return m_editor; }

    // Where the worker's notices run; inline on the worker thread unless set. Only while idle;
    // must outlive the task.
    void SetDispatcher(platform::UiDispatcher& dispatcher) { m_dispatcher = &dispatcher; }
    // The folder of the cache file; platform::CacheFolder() unless set ("" means none).
    void SetCacheFolder(std::string folder) { m_cacheFolder = std::move(folder); }
    // Called (through the dispatcher) whenever the progress label changes: steps done, total.
    void SetProgressHandler(std::function<void(int done, int total)> handler)
    {
        m_progressHandler = std::move(handler);
    }

    // A step whose source did not answer is tried again; after this many such answers in a
    // row the page asks whether to wait on (the command line declines: the task stops).
    static constexpr int kNoAnswerLimit = 2;

    // How the last run ended: finished, or stopped before step `nextStep` (0-based) of `total`;
    // `failed` when it was not the user's stop but the source's failure or silence, which a
    // message named with the steps not done.
    struct RunEnd {
        bool finished = false;
        bool failed = false;
        int nextStep = 0;
        int total = 0;
    };
    const RunEnd& LastRun() const { return m_lastRun; }

    State TaskState() const { return m_state; }
    // false once a step wrote into the table, until 保存数据 or a task save wrote it.
    bool Saved() const { return m_saved; }

    // 启动/暂停: starts when idle, pauses a running task, resumes a paused one.
    bool StartOrPause();
    // Takes the fields, has the page make its work and starts the worker at `firstStep`.
    // false when not idle or the page refused (fields, its own checks).
    bool Start(int firstStep = 0);
    // Holds the worker before its next step; the current step is finished first.
    void Pause();
    void Resume();
    // 停止: asks the worker to end before its next step; it reports where it stopped. Does
    // not wait.
    void Stop();
    // Runs the whole task on the calling thread (the command line): the same steps and notices.
    bool RunHere(int firstStep = 0);
    // 保存数据: save dialog, then SaveDataToFile.
    bool SaveData();
    // Writes the saved columns' titles and every row's cells; saved afterwards when written.
    bool SaveDataToFile(const std::string& path);
    // The bytes SaveDataToFile writes (the titles, the cells, CR LF, in the text encoding), for
    // a stream such as standard output; nothing when the text cannot be encoded (a message
    // naming `target` says so).
    std::optional<std::string> SavedBytes(const std::string& target);
    // The same bytes handed to `write` a block of lines at a time, so a large table need not
    // be held twice more as text. Unencodable: a message naming `target` says so, and the
    // blocks before it were written.
    enum class StreamResult { Written, Unencodable, WriteFailed };
    StreamResult StreamSavedBytes(const std::function<bool(std::string_view)>& write,
                                  const std::string& target);
    // The encoding of 保存数据 (the profile's export setting unless set).
    void SetTextEncoding(tables::TextEncoding encoding) { m_encoding = encoding; }
    // 保存任务: stops the running task; when the worker has stopped, the table goes to the
    // cache file and the page keeps the position (SaveTaskPosition). Idle: a message.
    bool SaveTask();
    // 恢复任务: the cache file's rows go ahead of the table's rows, and the task starts again at
    // the position the page kept (RestoreTaskPosition).
    bool RestoreTask();
    // Before the window closes: with unsaved data asks "是否保存数据?" and saves on Yes; false
    // on Cancel (the page stays open).
    bool QueryClose();
    // Stops the task and waits for the worker; a pending task save is completed here. Once
    // closed, the worker's notices are dropped: a dispatcher that queues to this thread must be
    // released before (the worker could be waiting on it). The destructor calls it too, but by
    // then the page's own hooks are gone: the window calls it first.
    void Close();

protected:
    // Page set-up: table, cache file, saved columns, the progress field and the commands.
    void SetUp(TaskSetup setup);

    // The work of one run from the page's fields (already exchanged) and table; nullptr when
    // the page refuses to start (it shows why).
    virtual std::unique_ptr<TaskWork> MakeWork() = 0;
    // A task save: the page keeps `nextStep` (and what else it needs) for RestoreTaskPosition.
    virtual void SaveTaskPosition(int) {}
    // A task restore, after the cache rows are back: the step to start at (and the page puts
    // its kept fields back).
    virtual int RestoreTaskPosition() { return 0; }
    // Whether a restore leaves the page's saved state as it was (else the restored rows count
    // as unsaved data).
    virtual bool RestoreKeepsSaved() const { return false; }
    // The steps `first` … `last` (1-based) that a run ended early left undone, for its message.
    virtual std::string StepsNotDone(int first, int last) const;
    // A run ended (user-interface thread; the worker is done with `work`). Not while closing.
    virtual void TaskEnded(TaskWork&, bool /*finished*/) {}

    // 停止: stops a running task; with none running the status line says so.
    bool StopCommand();

private:
    void Work(const platform::TaskControl& control, int firstStep);
    void Post(const std::function<void()>& notice);
    void Apply(const std::optional<TaskOutput>& output);
    void ShowProgress(int done, int total);
    // The worker ended: finished, or stopped before step `nextStep`.
    void Ended(bool finished, int nextStep);
    // Two time-outs in a row: whether the user waits on.
    bool AskToWaitOn();
    bool WriteCache(const std::string& folder);
    std::string CacheFolder() const;

    TaskSetup m_setup;
    tables::CoordinateTable m_table;
    EditableTable m_editor;
    platform::InlineDispatcher m_inline;
    platform::UiDispatcher* m_dispatcher = &m_inline;
    std::optional<std::string> m_cacheFolder;
    std::optional<tables::TextEncoding> m_encoding;
    std::function<void(int, int)> m_progressHandler;
    std::unique_ptr<TaskWork> m_work;
    State m_state = State::Idle;
    int m_shownDone = 0;
    int m_shownTotal = 0;
    bool m_saved = true;
    bool m_savePending = false;
    std::atomic<bool> m_stopAsked{false};
    std::atomic<bool> m_closing{false};
    // Where the worker ended, kept for Close when its last notice was dropped.
    std::atomic<int> m_endStep{0};
    std::atomic<bool> m_endFinished{false};
    // Why the worker ended early when it was not a stop: written by the worker before its last
    // notice (or before it is joined), read afterwards.
    enum class EndCause { None, NoAnswer, Failed };
    EndCause m_endCause = EndCause::None;
    std::string m_endReason;
    RunEnd m_lastRun{};
    platform::TaskRunner m_runner;
};

} // namespace carvento::pages
