// The editable table every table page shares: the row commands 添加, 插入, 删除, 清空, 粘贴,
// 导入 and dropped files, with the page's import policy (through the column-mapping dialog or
// field by field, appending or replacing, a minimum field count, the suffixes taken on drop).
#pragma once

#include "platform/Prompter.hpp"
#include "platform/Tasks.hpp"
#include "tables/CodePage.hpp"
#include "tables/CoordinateTable.hpp"

#include <functional>
#include <optional>
#include <span>
#include <string>
#include <utility>
#include <vector>

namespace carvento::tables {
class TextTableFile;
struct FileResult;
}

namespace carvento::pages {

// Progress of a long command: steps done and the total (rows, or thousandths of a file read);
// return false to stop it. A stopped command leaves its table, the clipboard and any existing
// file as they were.
using ProgressCallback = std::function<bool(int done, int total)>;

// How a page takes rows from text files (comma-separated, no title line expected).
struct ImportPolicy {
    // Through the column-mapping dialog (rows appended); otherwise field k of a line goes into
    // column k.
    bool mapColumns = true;
    // Field by field only: the file's rows replace the table's rows instead of following them.
    bool replaceRows = false;
    // Field by field only: a file whose widest line (of its first lines) has fewer fields is
    // refused with `tooFewFieldsMessage` and the table is left as it was. 0: no minimum.
    int minimumFields = 0;
    std::string tooFewFieldsMessage{};
    // Whether dropped files face the minimum too (导入 always does).
    bool minimumOnDrop = true;
    // Field by field only: a file with more fields per line than the table has columns is
    // still taken, field k into column k and the rest left out, and this warning says so:
    // "%d" the file's field count, "%s" the titles of the columns filled, in order. Empty:
    // taken without a word.
    std::string extraFieldsMessage{};
    // Field by field only: a first line none of whose fields after the first reads as a number
    // is a title line (a file the page saved itself) and is not imported.
    bool skipTitleLine = false;
    // Suffixes, with the dot, of the files taken when dropped (compared without case).
    std::vector<std::string> dropSuffixes{".txt", ".csv"};
    // The 导入 dialog's filters.
    std::vector<std::pair<std::string, std::string>> filters{};
};

// Writes `rows` rows of `columns` cells to `path`, after a line of `titles` when there are any,
// in place of the file's content. A file that cannot be created or written, or a character
// the encoding cannot hold, is reported through the prompter, and the file keeps its earlier
// content. true when everything reached the file.
bool WriteTableFile(platform::Prompter& prompter, const std::string& path,
                    std::span<const std::string> cells, int rows, int columns,
                    const std::vector<std::string>& titles, tables::TextEncoding encoding);

// The cells of `columns` (in that order) of every data row of `table`, row-major; columns out
// of range give empty cells.
std::vector<std::string> ColumnCells(const tables::CoordinateTable& table,
                                     const std::vector<int>& columns);

// Whether `path` ends in one of `suffixes` ("." included), compared without regard to case.
bool HasSuffix(const std::string& path, const std::vector<std::string>& suffixes);

class EditableTable {
public:
    // `table` must outlive this object. `requiredColumns` gives the table columns a page
    // computes from, for the mapping dialog (none when empty).
    EditableTable(tables::CoordinateTable& table, platform::Prompter& prompter,
                  platform::Clipboard& clipboard, ImportPolicy policy,
                  std::function<std::vector<int>()> requiredColumns = {});

    tables::CoordinateTable& Table() { return m_table; }
    const ImportPolicy& Policy() const { return m_policy; }
    void SetPolicy(ImportPolicy policy);

    void AddRow() { m_table.AppendRow(); }
    void InsertRow(const tables::RowSelection& selection)
    {
        m_table.InsertRowBeforeSelection(selection);
    }
    void DeleteRow(const tables::RowSelection& selection) { m_table.DeleteSelectedRow(selection); }
    void ClearRows() { m_table.ClearRows(); }

    // Where the table's changes and the questions of an import go: a window that imports on
    // a worker passes its user-interface dispatcher (inline until then). Must outlive its use.
    void SetDispatcher(platform::UiDispatcher& dispatcher) { m_dispatcher = &dispatcher; }
    // Asked between blocks of an import (thousandths of the file read); false stops it, and
    // nothing is taken.
    void SetProgressCallback(ProgressCallback progress) { m_progress = std::move(progress); }

    // 导入: the open dialog, then ImportFile (an unreadable file is reported). Rows taken.
    int Import();
    // The open dialog of 导入 alone: the chosen file, or nothing when cancelled.
    std::optional<std::string> ChooseImportFile();
    // Reads a text file and takes its rows by the policy; an unreadable file is reported when
    // asked, otherwise skipped silently (dropped files). Returns the rows taken. May run on a
    // worker: the file is read there, the questions and the one change of the table go through
    // the dispatcher.
    int ImportFile(const std::string& path, bool reportUnreadable = false);
    // Takes already-read bytes (standard input) the same way.
    int ImportBytes(std::string bytes);
    // Dropped files: those with an accepted suffix are imported in order; rows taken in all.
    int DropFiles(const std::vector<std::string>& paths);
    // 粘贴: appends the clipboard's rows; rows appended.
    int Paste();

    // Shows the message for a file that could not be read completely; false when it could.
    bool ReportReadResult(const tables::FileResult& result);
    // Appends read rows through the column-mapping question; `chosen` receives the mapping
    // used, so that further blocks of the same file are mapped alike.
    int ImportRows(std::vector<std::string>& cells, int rows, int columns, int firstLine,
                   platform::ColumnMapping* chosen = nullptr);

private:
    int ImportPath(const std::string& path, bool reportUnreadable, bool dropped);
    int ImportOpened(tables::TextTableFile& file, bool dropped);
    int TakeRead(std::vector<std::string>& cells, int rows, int columns, int firstLine,
                 bool dropped);
    int TakeRead(tables::CoordinateTable& read, int firstLine, bool dropped);
    int TakeFields(std::vector<std::string>& cells, int rows, int columns, bool dropped);
    void Show(const std::string& text, platform::MessageIcon icon);
    bool Proceed(int done, int total) const { return !m_progress || m_progress(done, total); }
    // Runs a change of the table through the dispatcher unless the command was stopped
    // meanwhile; false when it did not run.
    bool Change(const std::function<void()>& change);

    tables::CoordinateTable& m_table;
    platform::Prompter& m_prompter;
    platform::Clipboard& m_clipboard;
    ImportPolicy m_policy;
    std::function<std::vector<int>()> m_requiredColumns;
    platform::InlineDispatcher m_inline;
    platform::UiDispatcher* m_dispatcher = &m_inline;
    ProgressCallback m_progress;
};

} // namespace carvento::pages
