// The shared editable table: row commands, 粘贴, 导入 and dropped files.
#include "pages/frames/EditableTable.hpp"
#include "platform/AsciiText.hpp"

#include "pages/frames/Messages.hpp"
#include "pages/frames/ToolPage.hpp"
#include "platform/NumberText.hpp"
#include "tables/ClipboardText.hpp"
#include "tables/ImportTable.hpp"
#include "tables/TableStream.hpp"
#include "tables/TextTableFile.hpp"

#include <algorithm>
#include <cctype>

namespace carvento::pages {
namespace {

// Rows an import reads between two looks at its progress callback.
constexpr int kImportBlockRows = 65536;

// Rows of `columns` fields as rows of the table's width: missing fields empty, extra ones
// dropped.
std::vector<std::string> Reshape(std::vector<std::string>& cells, int rows, int columns,
                                 int tableColumns)
{
    std::vector<std::string> shaped(static_cast<std::size_t>(rows) * tableColumns);
    const int used = std::min(columns, tableColumns);
    for (int r = 0; r < rows; ++r)
        for (int c = 0; c < used; ++c)
            shaped[static_cast<std::size_t>(r) * tableColumns + c] =
                std::move(cells[static_cast<std::size_t>(r) * columns + c]);
    return shaped;
}

} // namespace

bool HasSuffix(const std::string& path, const std::vector<std::string>& suffixes)
{
    std::size_t dot = path.rfind('.');
    if (dot == std::string::npos || path.find('/', dot) != std::string::npos)
        return false;
    const std::string suffix = platform::AsciiLower(path.substr(dot));
    return std::any_of(suffixes.begin(), suffixes.end(), [&](const std::string& accepted) {
        return platform::AsciiLower(accepted) == suffix;
    });
}

bool WriteTableFile(platform::Prompter& prompter, const std::string& path,
                    std::span<const std::string> cells, int rows, int columns,
                    const std::vector<std::string>& titles, tables::TextEncoding encoding)
{
    auto show = [&](const std::string& text) {
        prompter.ShowMessage({text, messages::kApplicationTitle, platform::MessageIcon::Error,
                              platform::MessageButtons::Ok});
    };
    tables::TextTableFile file;
    if (!file.OpenForWrite(path, encoding)) {
        show(FormatMessage(messages::kCannotCreateFile, path));
        return false;
    }
    if (titles.empty())
        file.WriteRows(cells, rows, columns, true);
    else
        file.WriteTable(cells, rows, columns, titles);
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

std::vector<std::string> ColumnCells(const tables::CoordinateTable& table,
                                     const std::vector<int>& columns)
{
    std::vector<std::string> cells;
    cells.reserve(static_cast<std::size_t>(table.DataRowCount()) * columns.size());
    for (int r = 1; r < table.RowCount(); ++r)
        for (int c : columns)
            cells.push_back(table.GetCell(r, c));
    return cells;
}

EditableTable::EditableTable(tables::CoordinateTable& table, platform::Prompter& prompter,
                             platform::Clipboard& clipboard, ImportPolicy policy,
                             std::function<std::vector<int>()> requiredColumns)
    : m_table(table), m_prompter(prompter), m_clipboard(clipboard),
      m_requiredColumns(std::move(requiredColumns))
{
    SetPolicy(std::move(policy));
}

void EditableTable::SetPolicy(ImportPolicy policy)
{
    m_policy = std::move(policy);
    if (m_policy.filters.empty())
        m_policy.filters = {{messages::kTextFileFilterName, messages::kTextFileFilter}};
}

void EditableTable::Show(const std::string& text, platform::MessageIcon icon)
{
    m_prompter.ShowMessage({text, messages::kApplicationTitle, icon, platform::MessageButtons::Ok});
}

std::optional<std::string> EditableTable::ChooseImportFile()
{
    platform::FileDialog dialog;
    dialog.filters = m_policy.filters;
    std::vector<std::string> paths = m_prompter.ChooseOpenFiles(dialog);
    if (paths.empty())
        return std::nullopt;
    return paths.front();
}

int EditableTable::Import()
{
    std::optional<std::string> path = ChooseImportFile();
    return path ? ImportPath(*path, true, false) : 0;
}

int EditableTable::ImportFile(const std::string& path, bool reportUnreadable)
{
    return ImportPath(path, reportUnreadable, false);
}

int EditableTable::ImportPath(const std::string& path, bool reportUnreadable, bool dropped)
{
    // Read a block of rows at a time, so that a long read can stop between blocks; the rows,
    // messages and line numbers are those of TextTableFile::ReadAll without a title line.
    tables::TableStream stream;
    if (!stream.Open(path)) {
        if (reportUnreadable)
            Show(FormatMessage(messages::kCannotReadFile, path), platform::MessageIcon::Error);
        return 0;
    }
    stream.AddDelimiter(',');
    const int columns = stream.DetectColumns();
    // The rows read go into a table of the file's width a block at a time: a million rows
    // there take half the memory of a list of strings, and no list of them all is ever made.
    tables::CoordinateTable read;
    if (columns > 0) {
        read.SetupColumns(std::vector<std::string>(static_cast<std::size_t>(columns)), {});
        std::vector<std::string> cells;
        for (;;) {
            cells.clear();
            const int rows = stream.ReadRows(cells, kImportBlockRows);
            read.AppendRows(std::move(cells));
            if (!Proceed(static_cast<int>(stream.Progress() * 999), 1000))
                return 0;
            if (rows < kImportBlockRows)
                break;
        }
    }
    ReportReadResult(stream.LastResult());
    // Rows read before a short line or bad bytes are still taken.
    return TakeRead(read, stream.FirstDataLine(), dropped);
}

int EditableTable::ImportBytes(std::string bytes)
{
    tables::TextTableFile file;
    file.OpenForReadFromBytes(std::move(bytes));
    return ImportOpened(file, false);
}

int EditableTable::DropFiles(const std::vector<std::string>& paths)
{
    int rows = 0;
    for (const std::string& path : paths)
        if (HasSuffix(path, m_policy.dropSuffixes))
            rows += ImportPath(path, false, true);
    return rows;
}

int EditableTable::Paste()
{
    std::optional<std::string> text = m_clipboard.GetText();
    if (!text || text->empty())
        return 0;
    return tables::PasteText(m_table, *text);
}

int EditableTable::ImportOpened(tables::TextTableFile& file, bool dropped)
{
    file.SetTitleLine(false);
    file.AddDelimiter(',');
    std::vector<std::string> cells;
    int rows = 0;
    int columns = 0;
    file.ReadAll(cells, rows, columns);
    ReportReadResult(file.LastResult());
    int firstLine = file.FirstDataLine();
    file.Close();
    // Rows read before a short line or bad bytes are still taken.
    return TakeRead(cells, rows, columns, firstLine, dropped);
}

int EditableTable::TakeRead(std::vector<std::string>& cells, int rows, int columns, int firstLine,
                            bool dropped)
{
    if (!m_policy.mapColumns)
        return TakeFields(cells, rows, columns, dropped);
    // The rows are mapped into a table of the same columns where the file was read; the page's
    // table then takes them in one change.
    tables::CoordinateTable mapped;
    mapped.SetupColumns(m_table.ColumnTitles(), m_table.ColumnWidths());
    tables::ImportContext context{m_requiredColumns ? m_requiredColumns() : std::vector<int>{},
                                  firstLine};
    const int taken = tables::ImportIntoTable(mapped, cells, rows, columns, m_prompter, context);
    if (taken == 0)
        return 0;
    return Change([&] { m_table.TakeRows(mapped); }) ? taken : 0;
}

bool EditableTable::Change(const std::function<void()>& change)
{
    bool changed = false;
    m_dispatcher->RunAndWait([&] {
        // Asked on the user-interface thread, where 取消 is pressed: either the command was
        // stopped before its change, or the change is made and the command is complete.
        if (!Proceed(1000, 1000))
            return;
        change();
        changed = true;
    });
    return changed;
}

int EditableTable::TakeRead(tables::CoordinateTable& read, int firstLine, bool dropped)
{
    if (!m_policy.mapColumns) {
        const int rows = read.DataRowCount();
        std::vector<std::string> cells = read.TakeDataCells();
        return TakeFields(cells, rows, read.ColumnCount(), dropped);
    }
    tables::CoordinateTable mapped;
    mapped.SetupColumns(m_table.ColumnTitles(), m_table.ColumnWidths());
    tables::ImportContext context{m_requiredColumns ? m_requiredColumns() : std::vector<int>{},
                                  firstLine};
    const int taken = tables::ImportIntoTable(mapped, read, m_prompter, context);
    if (taken == 0)
        return 0;
    return Change([&] { m_table.TakeRows(mapped); }) ? taken : 0;
}

int EditableTable::TakeFields(std::vector<std::string>& cells, int rows, int columns, bool dropped)
{
    if (columns <= 0 || rows <= 0 || cells.size() != static_cast<std::size_t>(rows) * columns)
        return 0;
    if ((!dropped || m_policy.minimumOnDrop) && columns < m_policy.minimumFields) {
        Show(m_policy.tooFewFieldsMessage, platform::MessageIcon::Warning);
        return 0;
    }
    if (m_policy.skipTitleLine &&
        std::none_of(cells.begin() + 1, cells.begin() + columns,
                     [](const std::string& field) { return platform::IsNumberText(field); })) {
        cells.erase(cells.begin(), cells.begin() + columns);
        if (--rows == 0)
            return 0;
    }
    std::vector<std::string> shaped = Reshape(cells, rows, columns, m_table.ColumnCount());
    const bool changed = Change([&] {
        if (m_policy.replaceRows)
            m_table.FillRows(std::move(shaped), rows, m_table.ColumnCount());
        else
            m_table.AppendRows(std::move(shaped));
    });
    if (!changed)
        return 0;
    if (!m_policy.extraFieldsMessage.empty() && columns > m_table.ColumnCount()) {
        std::string titles;
        for (int c = 0; c < m_table.ColumnCount(); ++c) {
            titles += c > 0 ? "," : "";
            titles += m_table.GetCell(0, c);
        }
        Show(FormatMessage(m_policy.extraFieldsMessage.c_str(), columns, titles),
             platform::MessageIcon::Warning);
    }
    return rows;
}

bool EditableTable::ReportReadResult(const tables::FileResult& result)
{
    switch (result.status) {
    case tables::FileStatus::NoData:
        Show(messages::kNoDataInFirstLines, platform::MessageIcon::Warning);
        return true;
    case tables::FileStatus::ShortLine:
        Show(FormatMessage(messages::kShortLine, result.line), platform::MessageIcon::Warning);
        return true;
    case tables::FileStatus::InvalidBytes:
        Show(FormatMessage(messages::kInvalidBytes, result.line), platform::MessageIcon::Warning);
        return true;
    default:
        return false;
    }
}

int EditableTable::ImportRows(std::vector<std::string>& cells, int rows, int columns, int firstLine,
                              platform::ColumnMapping* chosen)
{
    tables::ImportContext context{m_requiredColumns ? m_requiredColumns() : std::vector<int>{},
                                  firstLine};
    return tables::ImportIntoTable(m_table, cells, rows, columns, m_prompter, context, chosen);
}

} // namespace carvento::pages
