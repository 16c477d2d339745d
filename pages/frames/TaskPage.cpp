// The task frame.
#include "pages/frames/TaskPage.hpp"

#include "pages/frames/ConversionPage.hpp"
#include "pages/frames/Messages.hpp"
#include "platform/ProgramFolder.hpp"
#include "platform/TextSplit.hpp"
#include "tables/TextTableFile.hpp"

#include <algorithm>

namespace carvento::pages {
namespace {

// Both task pages drive the one globe, so one task runs at a time in the process: the page whose
// worker runs (or is paused). Set and cleared on the user-interface thread, read there too; an
// inline dispatcher (tests, the command line) clears it from the worker.
std::atomic<TaskPage*> g_activeTask{nullptr};

void Release(TaskPage* page)
{
    TaskPage* expected = page;
    g_activeTask.compare_exchange_strong(expected, nullptr);
}

// WriteTableFile of the cells of `columns` of every data row, taken a block of rows at a time:
// a table of a million samples is written without a copy of all its cells.
bool WriteColumns(platform::Prompter& prompter, const std::string& path,
                  const tables::CoordinateTable& table, const std::vector<int>& columns,
                  tables::TextEncoding encoding)
{
    constexpr int kBlockRows = 4096;
    auto show = [&](const std::string& text) {
        prompter.ShowMessage({text, messages::kApplicationTitle, platform::MessageIcon::Error,
                              platform::MessageButtons::Ok});
    };
    tables::TextTableFile file;
    if (!file.OpenForWrite(path, encoding)) {
        show(FormatMessage(messages::kCannotCreateFile, path));
        return false;
    }
    std::vector<std::string> titles;
    for (int c : columns)
        titles.push_back(table.GetCell(0, c));
    const int width = static_cast<int>(columns.size());
    std::vector<std::string> cells;
    int row = 1;
    do {
        const int rows = std::clamp(table.RowCount() - row, 0, kBlockRows);
        cells.clear();
        for (int r = row; r < row + rows; ++r)
            for (int c : columns)
                cells.push_back(table.GetCell(r, c));
        if (row == 1 && !titles.empty())
            file.WriteTable(cells, rows, width, titles);
        else
            file.WriteRows(cells, rows, width, row == 1);
        row += rows;
    } while (row < table.RowCount() && file.LastResult().Ok());
    const tables::FileResult written = file.LastResult();
    if (!written.Ok()) {
        file.Discard();
        file.Close();
        if (written.status == tables::FileStatus::Unrepresentable)
            show(FormatMessage(messages::kUnrepresentable, written.line, path));
        else
            show(FormatMessage(messages::kWriteFailed, path));
        return false;
    }
    if (!file.Close().Ok()) {
        show(FormatMessage(messages::kWriteFailed, path));
        return false;
    }
    return true;
}

} // namespace

TaskPage::TaskPage(PageContext context)
    : ToolPage(context), m_editor(m_table, context.prompter, context.clipboard, ImportPolicy{},
                                  [this] { return m_setup.requiredColumns; })
{
}

TaskPage::~TaskPage()
{
    Close();
}

void TaskPage::SetUp(TaskSetup setup)
{
    m_setup = std::move(setup);
    m_table.SetupColumns(m_setup.table.titles, m_setup.table.widths);
    AddField(
        {.id = kProgressField, .kind = FieldKind::ReadOnlyText, .text = messages::kProgressPrefix});
    AddCommand({kStartCommand, "启动/暂停", [this] { return StartOrPause(); }});
    AddCommand({kStopCommand, "停止", [this] { return StopCommand(); }});
    AddCommand({kSaveDataCommand, "保存数据", [this] { return SaveData(); }});
    AddCommand({kSaveTaskCommand, "保存任务", [this] { return SaveTask(); }});
    AddCommand({kRestoreTaskCommand, "恢复任务", [this] { return RestoreTask(); }});
}

bool TaskPage::StopCommand()
{
    if (m_state == State::Idle) {
        SetStatus(messages::kStatusNothingToStop);
        return false;
    }
    Stop();
    return true;
}

bool TaskPage::StartOrPause()
{
    // While another page's task runs, this button pauses and resumes that task.
    if (TaskPage* other = g_activeTask.load(); other && other != this)
        return other->StartOrPause();
    switch (m_state) {
    case State::Idle:
        return Start();
    case State::Running:
        Pause();
        return true;
    case State::Paused:
        Resume();
        return true;
    }
    return false;
}

bool TaskPage::Start(int firstStep)
{
    if (m_state != State::Idle || m_closing || !ExchangeFields())
        return false;
    if (TaskPage* other = g_activeTask.load(); other && other != this)
        return false; // another page's task runs
    std::unique_ptr<TaskWork> work = MakeWork();
    if (!work)
        return false;
    // A worker whose last notice made the page idle may still be returning; it calls nothing
    // on this thread any more, so waiting for it is short and safe.
    m_runner.Stop();
    m_work = std::move(work);
    m_stopAsked = false;
    m_endCause = EndCause::None;
    m_endReason.clear();
    m_state = State::Running;
    g_activeTask.store(this);
    m_runner.Start([this, firstStep](const platform::TaskControl& control) {
        Work(control, firstStep);
    });
    return true;
}

bool TaskPage::RunHere(int firstStep)
{
    if (m_state != State::Idle || !ExchangeFields())
        return false;
    m_work = MakeWork();
    if (!m_work)
        return false;
    m_stopAsked = false;
    m_endCause = EndCause::None;
    m_endReason.clear();
    m_state = State::Running;
    platform::TaskControl control;
    Work(control, firstStep);
    return true;
}

void TaskPage::Pause()
{
    // A pause after 停止 would hold a worker that is about to end.
    if (m_state != State::Running || m_stopAsked)
        return;
    m_runner.Pause();
    m_state = State::Paused;
}

void TaskPage::Resume()
{
    if (m_state != State::Paused)
        return;
    m_runner.Resume();
    m_state = State::Running;
}

void TaskPage::Stop()
{
    if (m_state == State::Idle)
        return;
    m_stopAsked = true;
    // A paused worker wakes, sees the request and ends.
    m_runner.Resume();
}

void TaskPage::Post(const std::function<void()>& notice)
{
    if (!m_closing)
        m_dispatcher->RunAndWait(notice);
}

void TaskPage::Work(const platform::TaskControl& control, int firstStep)
{
    TaskWork& work = *m_work;
    const int total = work.StepCount();
    int next = std::clamp(firstStep, 0, std::max(total, 0));
    Post([&] { ShowProgress(next, total); });
    int noAnswers = 0;
    while (next < total) {
        // The flags are looked at between steps only: a step once begun is finished.
        if (m_stopAsked || !control.Proceed() || m_stopAsked)
            break;
        StepOutcome outcome = work.Attempt(next);
        if (outcome.status == StepOutcome::Status::NoAnswer) {
            // Once more by itself; after that only when the user waits on.
            if (++noAnswers < kNoAnswerLimit)
                continue;
            bool waitOn = false;
            Post([&] { waitOn = AskToWaitOn(); });
            if (!waitOn) {
                m_endCause = EndCause::NoAnswer;
                break;
            }
            noAnswers = 0;
            continue;
        }
        if (outcome.status == StepOutcome::Status::Failed) {
            m_endCause = EndCause::Failed;
            m_endReason = std::move(outcome.reason);
            break;
        }
        noAnswers = 0;
        ++next;
        Post([&] {
            Apply(outcome.output);
            ShowProgress(next, total);
        });
    }
    m_endStep = next;
    m_endFinished = next >= total;
    Post([&] { Ended(next >= total, next); });
}

void TaskPage::Apply(const std::optional<TaskOutput>& output)
{
    if (!output)
        return;
    m_saved = false;
    if (output->row == TaskOutput::kAppendRow) {
        const int columns = m_table.ColumnCount();
        std::vector<std::string> row(static_cast<std::size_t>(columns));
        if (output->firstColumn > 0 && columns > 0)
            row[0] = std::to_string(m_table.RowCount());
        for (std::size_t i = 0; i < output->cells.size(); ++i) {
            const std::size_t column = static_cast<std::size_t>(output->firstColumn) + i;
            if (column < row.size())
                row[column] = output->cells[i];
        }
        m_table.AppendRows(std::move(row));
        return;
    }
    for (std::size_t i = 0; i < output->cells.size(); ++i)
        m_table.SetCell(output->row, output->firstColumn + static_cast<int>(i), output->cells[i]);
}

void TaskPage::ShowProgress(int done, int total)
{
    m_shownDone = done;
    m_shownTotal = total;
    SetFieldText(kProgressField, std::string(messages::kProgressPrefix) + std::to_string(done) +
                                     "/" + std::to_string(total));
    if (m_progressHandler)
        m_progressHandler(done, total);
}

bool TaskPage::AskToWaitOn()
{
    return m_context.prompter.ShowMessage(
               {FormatMessage(messages::kNoAnswerQuestion, kNoAnswerLimit),
                messages::kApplicationTitle, platform::MessageIcon::Question,
                platform::MessageButtons::YesNo}) == platform::MessageAnswer::Yes;
}

std::string TaskPage::StepsNotDone(int first, int last) const
{
    return FormatMessage(FormatMessage(messages::kStepsNotDone, first).c_str(), last);
}

void TaskPage::Ended(bool finished, int nextStep)
{
    if (m_state == State::Idle)
        return;
    m_state = State::Idle;
    Release(this);
    const int total = m_shownTotal;
    m_lastRun = {.finished = finished,
                 .failed = !finished && m_endCause != EndCause::None,
                 .nextStep = nextStep,
                 .total = total};
    // Stopped: the label starts over. Finished: it stays at the total, told once more so that
    // a window sees the task idle.
    if (finished)
        ShowProgress(m_shownDone, m_shownTotal);
    else
        ShowProgress(0, 0);
    if (!m_closing && m_lastRun.failed) {
        const std::string notDone = StepsNotDone(nextStep + 1, total);
        if (m_endCause == EndCause::NoAnswer)
            ShowMessage(FormatMessage(messages::kNoAnswerStopped, notDone));
        else
            ShowMessage(FormatMessage(messages::kTaskAborted, m_endReason, notDone),
                        platform::MessageIcon::Error);
    }
    if (!m_closing) {
        if (finished)
            SetStatus(FormatMessage(messages::kStatusFinished, total));
        else if (!m_lastRun.failed)
            SetStatus(FormatMessage(FormatMessage(messages::kStatusStopped, nextStep).c_str(),
                                    total));
    }
    if (!m_closing && m_work)
        TaskEnded(*m_work, finished);
    if (!m_savePending)
        return;
    m_savePending = false;
    const std::string folder = CacheFolder();
    if (folder.empty()) {
        ShowMessage(messages::kNoCacheFolder);
        if (!m_closing)
            SetStatus(messages::kStatusNotSaved);
        return;
    }
    const bool written = WriteCache(folder);
    if (written)
        m_saved = true;
    SaveTaskPosition(nextStep);
    if (!m_closing)
        SetStatus(written ? FormatMessage(messages::kStatusSaved, nextStep + 1)
                          : std::string(messages::kStatusNotSaved));
}

void TaskPage::Close()
{
    if (m_closing.exchange(true))
        return;
    m_runner.Stop();
    Release(this);
    // The worker's last notice was dropped when the page began closing: its end is handled here.
    if (m_state != State::Idle)
        Ended(m_endFinished, m_endStep);
    m_progressHandler = {};
}

std::string TaskPage::CacheFolder() const
{
    return m_cacheFolder ? *m_cacheFolder : platform::CacheFolder();
}

bool TaskPage::WriteCache(const std::string& folder)
{
    return WriteColumns(m_context.prompter, folder + "/" + m_setup.cacheFileName, m_table,
                        m_setup.savedColumns, ExportEncoding(m_context.profile));
}

bool TaskPage::SaveData()
{
    platform::FileDialog dialog;
    dialog.filters = m_editor.Policy().filters;
    dialog.defaultExtension = "txt";
    std::optional<std::string> path = m_context.prompter.ChooseSaveFile(dialog);
    return path && SaveDataToFile(*path);
}

bool TaskPage::SaveDataToFile(const std::string& path)
{
    if (!WriteColumns(m_context.prompter, path, m_table, m_setup.savedColumns,
                      m_encoding.value_or(ExportEncoding(m_context.profile))))
        return false;
    m_saved = true;
    SetStatus(FormatMessage(messages::kStatusDataSaved, path));
    return true;
}

std::optional<std::string> TaskPage::SavedBytes(const std::string& target)
{
    std::string bytes;
    if (StreamSavedBytes(
            [&bytes](std::string_view block) {
                bytes += block;
                return true;
            },
            target) != StreamResult::Written)
        return std::nullopt;
    return bytes;
}

TaskPage::StreamResult TaskPage::StreamSavedBytes(
    const std::function<bool(std::string_view)>& write, const std::string& target)
{
    // As the text table writer writes a table: the titles joined by ",", then one line per row,
    // fields quoted where they must be, a run of blank rows as one empty line, CR LF. The text
    // goes out a block of lines at a time, each encoded on its own.
    constexpr std::size_t kBlockBytes = 1 << 20;
    const tables::TextEncoding encoding = m_encoding.value_or(ExportEncoding(m_context.profile));
    std::string text;
    int linesBefore = 0; // lines of the blocks already written
    int lines = 0;       // lines in `text`
    const auto flush = [&]() {
        if (text.empty())
            return StreamResult::Written;
        bool written = false;
        if (tables::IsAscii(text)) {
            written = write(text);
        } else {
            tables::EncodedText encoded = tables::EncodeText(text, encoding);
            if (encoded.status != tables::CodePageStatus::Ok) {
                if (encoded.status == tables::CodePageStatus::Unrepresentable)
                    ShowMessage(FormatMessage(messages::kUnrepresentable,
                                              linesBefore + encoded.line, target),
                                platform::MessageIcon::Error);
                else
                    ShowMessage(FormatMessage(messages::kWriteFailed, target),
                                platform::MessageIcon::Error);
                return StreamResult::Unencodable;
            }
            written = write(encoded.bytes);
        }
        linesBefore += lines;
        lines = 0;
        text.clear();
        return written ? StreamResult::Written : StreamResult::WriteFailed;
    };

    for (std::size_t i = 0; i < m_setup.savedColumns.size(); ++i) {
        if (i)
            text += ',';
        text += m_table.GetCell(0, m_setup.savedColumns[i]);
    }
    if (!m_setup.savedColumns.empty()) {
        text += "\r\n";
        ++lines;
    }
    bool previousBlank = false;
    for (int r = 1; r < m_table.RowCount(); ++r) {
        const std::size_t lineStart = text.size();
        bool blank = true;
        for (std::size_t i = 0; i < m_setup.savedColumns.size(); ++i) {
            if (i)
                text += ',';
            const std::string& cell = m_table.GetCell(r, m_setup.savedColumns[i]);
            blank = blank && cell.empty();
            platform::AppendQuotedField(text, cell);
        }
        if (blank) {
            text.resize(lineStart);
            if (!previousBlank) {
                text += "\r\n";
                ++lines;
            }
        } else {
            text += "\r\n";
            ++lines;
        }
        previousBlank = blank;
        if (text.size() >= kBlockBytes)
            if (const StreamResult result = flush(); result != StreamResult::Written)
                return result;
    }
    return flush();
}

bool TaskPage::SaveTask()
{
    if (m_state == State::Idle) {
        ShowMessage(messages::kTaskAlreadyDone);
        return false;
    }
    m_savePending = true;
    Stop();
    return true;
}

bool TaskPage::RestoreTask()
{
    if (m_state != State::Idle)
        return false;
    const std::string folder = CacheFolder();
    if (folder.empty()) {
        ShowMessage(messages::kNoCacheFolder);
        return false;
    }
    tables::TextTableFile file;
    if (!file.OpenForRead(folder + "/" + m_setup.cacheFileName)) {
        ShowMessage(messages::kCacheMissing);
        return false;
    }
    // The cache's first line holds the titles.
    file.AddDelimiter(',');
    std::vector<std::string> fields;
    int rows = 0;
    int columns = 0;
    file.ReadAll(fields, rows, columns);
    m_editor.ReportReadResult(file.LastResult());
    file.Close();

    // Cache line k becomes data row k, numbered k, ahead of the rows already listed.
    const int tableColumns = m_table.ColumnCount();
    std::vector<std::string> cells(static_cast<std::size_t>(rows) * tableColumns);
    for (int r = 0; r < rows; ++r) {
        std::string* row = cells.data() + static_cast<std::size_t>(r) * tableColumns;
        if (tableColumns > 0)
            row[0] = std::to_string(r + 1);
        for (int j = 0; j < columns && j < static_cast<int>(m_setup.savedColumns.size()); ++j) {
            const int column = m_setup.savedColumns[static_cast<std::size_t>(j)];
            if (column >= 0 && column < tableColumns)
                row[column] = std::move(fields[static_cast<std::size_t>(r) * columns + j]);
        }
    }
    const int kept = m_table.DataRowCount();
    m_table.CollectCells(cells);
    m_table.FillRows(std::move(cells), rows + kept, tableColumns);

    const int firstStep = RestoreTaskPosition();
    const bool saved = m_saved;
    if (!Start(firstStep))
        return false;
    m_saved = RestoreKeepsSaved() && saved;
    SetStatus(FormatMessage(messages::kStatusRestored, std::max(firstStep, 0) + 1));
    return true;
}

bool TaskPage::QueryClose()
{
    if (m_saved)
        return true;
    const platform::MessageAnswer answer = m_context.prompter.ShowMessage(
        {messages::kAskSaveData, messages::kApplicationTitle, platform::MessageIcon::Question,
         platform::MessageButtons::YesNoCancel});
    if (answer == platform::MessageAnswer::Cancel)
        return false;
    if (answer == platform::MessageAnswer::Yes)
        SaveData();
    return true;
}

} // namespace carvento::pages
