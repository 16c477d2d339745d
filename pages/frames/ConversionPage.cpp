// The conversion frame.
#include "pages/frames/ConversionPage.hpp"
#include "platform/AsciiText.hpp"

#include "pages/frames/Messages.hpp"
#include "platform/NumberText.hpp"
#include "tables/ClipboardText.hpp"
#include "tables/ImportTable.hpp"
#include "tables/TextTableFile.hpp"

#include <algorithm>
#include <cctype>
#include <climits>
#include <memory>
#include <stdexcept>

namespace carvento::pages {

namespace {

// Rows 转换, 复制 and 导出 handle between two looks at the progress callback.
constexpr int kBlockRows = 65536;

} // namespace

ConversionPage::ConversionPage(PageContext context)
    : ToolPage(context), m_prompter(context.prompter, m_inline),
      m_editor(m_source, m_prompter, context.clipboard, ImportPolicy{},
               [this] { return ComputedColumns(); })
{
    m_result.SetEditable(false);
}

void ConversionPage::SetDispatcher(platform::UiDispatcher& dispatcher)
{
    m_dispatcher = &dispatcher;
    m_prompter.SetDispatcher(dispatcher);
    m_editor.SetDispatcher(dispatcher);
}

void ConversionPage::SetProgressCallback(ProgressCallback callback)
{
    m_editor.SetProgressCallback(callback);
    m_progress = std::move(callback);
}

void ConversionPage::ShowMessage(const std::string& text, platform::MessageIcon icon)
{
    m_prompter.ShowMessage({text, messages::kApplicationTitle, icon, platform::MessageButtons::Ok});
}

ConversionPage::~ConversionPage() = default;

void ConversionPage::SetLayout(TableLayout source, TableLayout result)
{
    m_sourceLayout = std::move(source);
    m_resultLayout = std::move(result);
    m_source.SetupColumns(m_sourceLayout.titles, m_sourceLayout.widths);
    m_result.SetupColumns(m_resultLayout.titles, m_resultLayout.widths);
}

std::vector<int> ConversionPage::ComputedColumns() const
{
    std::vector<int> columns;
    for (int c = 1; c < static_cast<int>(m_sourceLayout.titles.size()); ++c)
        columns.push_back(c);
    return columns;
}

bool ConversionPage::ReadsAsValue(int, std::string_view cell) const
{
    return platform::IsNumberText(cell);
}

void ConversionPage::Convert(SourceAfterConvert after)
{
    if (StartConvert())
        ConvertRows(after);
}

bool ConversionPage::StartConvert()
{
    if (m_source.DataRowCount() == 0 || !ReadyToConvert())
        return false;
    ExchangeFields();
    PrepareConvert();
    m_convertingGisPoints = ResultGisPoints();
    return true;
}

bool ConversionPage::ConvertRows(SourceAfterConvert after)
{
    const int columns = m_source.ColumnCount();
    const int rows = m_source.DataRowCount();
    if (rows == 0 || columns <= 0)
        return false;
    // A consumed source hands its rows over whole (no copy of a cell).
    tables::CoordinateTable taken;
    const tables::CoordinateTable* from = &m_source;
    if (after == SourceAfterConvert::Consumed) {
        taken.SetupColumns(m_source.ColumnTitles(), m_source.ColumnWidths());
        m_dispatcher->RunAndWait([&] { taken.TakeRows(m_source); });
        from = &taken;
    }
    // The rows go through the row function a block at a time into a table of their own, sized
    // once: until the last row is done the result table keeps its rows (取消 leaves them), and
    // no table is ever held as a list of strings (a million rows would take twice the memory
    // of both tables).
    tables::CoordinateTable converted;
    converted.SetupColumns(from->ColumnTitles(), from->ColumnWidths());
    converted.ReserveRows(rows);
    std::vector<int> computed = ComputedColumns();
    std::erase_if(computed, [columns](int c) { return c < 0 || c >= columns; });
    int nonNumeric = 0;
    constexpr int kProgressStep = 4096;
    std::vector<std::string> cells;
    for (int first = 0; first < rows; first += kBlockRows) {
        const int count = std::min(kBlockRows, rows - first);
        cells.clear();
        from->CollectCells(cells, first + 1, count);
        for (int i = 0; i < count; ++i) {
            std::span<std::string> row(cells.data() + static_cast<std::size_t>(i) * columns,
                                       static_cast<std::size_t>(columns));
            if (columns > 1 && !row[1].empty()) {
                // Counted before the row is overwritten; the values themselves are read as the
                // row function reads them.
                for (int c : computed)
                    if (!ReadsAsValue(c, row[static_cast<std::size_t>(c)]))
                        ++nonNumeric;
                ConvertRow(row);
            }
            const int r = first + i;
            if (m_progress && (r + 1) % kProgressStep == 0 && !m_progress(r + 1, rows))
                return false;
        }
        converted.AppendRows(std::move(cells));
    }
    cells = {};
    taken = {};
    bool filled = false;
    m_dispatcher->RunAndWait([&] {
        // Asked where 取消 is pressed: stopped before the result changed, or complete.
        if (m_progress && !m_progress(rows, rows))
            return;
        m_result.FillRows(std::move(converted));
        filled = true;
    });
    if (!filled)
        return false;
    m_gisPoints = m_convertingGisPoints;
    m_status.convertedRows = rows;
    m_status.nonNumericCells = nonNumeric;
    return true;
}

const std::optional<ZoneHint>& ConversionPage::CheckZone()
{
    m_zoneHint = CheckZoneNumbers(*this, Source());
    return m_zoneHint;
}

std::vector<std::string> ConversionPage::FixZone()
{
    if (!m_zoneHint)
        return {};
    const ZoneHint hint = *m_zoneHint;
    ApplyZoneHint(*this, hint);
    CheckZone();
    std::vector<std::string> changed = {hint.fieldId};
    if (!hint.yAddFieldId.empty())
        changed.push_back(hint.yAddFieldId);
    return changed;
}

std::vector<std::string> ConversionPage::ZoneFields() const
{
    const std::optional<ZoneCheckTarget> target = ZoneCheck();
    if (!target)
        return {};
    return {target->meridianField, target->yAddField};
}

void ConversionPage::OfferGisExport()
{
    AddCommand({kExportGisCommand, messages::kExportGisCaption,
                [this] { return ExportGisWithDialog(*this, m_prompter); }});
}

bool ConversionPage::OffersGisExport() const
{
    return std::any_of(Commands().begin(), Commands().end(),
                       [](const PageCommand& command) { return command.id == kExportGisCommand; });
}

bool ConversionPage::Copy()
{
    const int columns = m_result.ColumnCount();
    const int rows = m_result.DataRowCount();
    if (rows == 0 || columns <= 0)
        return false;
    // Sized once, then formatted a block of rows at a time, so that a long copy can stop
    // between blocks: a million rows are one allocation, not the copies of a growing string.
    std::string text;
    text.reserve(tables::ClipboardTextSize(m_result));
    for (int first = 0; first < rows; first += kBlockRows) {
        const int count = std::min(kBlockRows, rows - first);
        tables::AppendClipboardText(text, m_result, first + 1, count);
        if (m_progress && !m_progress(first + count, rows))
            return false;
    }
    // The clipboard is written from here (the desktop's hands the text over to the
    // user-interface thread itself): a 取消 up to this moment leaves it as it was.
    if (m_progress && !m_progress(rows, rows))
        return false;
    if (!m_context.clipboard.TakeText(std::move(text)))
        return false;
    ShowMessage(messages::kCopied, platform::MessageIcon::Information);
    return true;
}

bool ConversionPage::Export()
{
    std::optional<std::string> path = ChooseExportFile();
    if (!path)
        return false;
    return ExportToFile(*path, ExportEncodingSetting());
}

std::optional<std::string> ConversionPage::ChooseExportFile()
{
    platform::FileDialog dialog;
    dialog.filters = {{messages::kTextFileFilterName, messages::kTextFileFilter}};
    dialog.defaultExtension = "txt";
    if (ReportNothingToExport())
        return std::nullopt;
    return m_prompter.ChooseSaveFile(dialog);
}

tables::TextEncoding ConversionPage::ExportEncodingSetting() const
{
    return ExportEncoding(m_context.profile);
}

tables::TextEncoding ExportEncoding(const platform::Profile& profile)
{
    const std::string name =
        platform::AsciiLower(profile.GetString(kSettingsSection, kExportEncodingKey, "gbk"));
    return name == "utf-8" || name == "utf8" ? tables::TextEncoding::Utf8
                                             : tables::TextEncoding::Gbk;
}

bool ConversionPage::ReportNothingToExport()
{
    if (!m_result.DataCells().empty())
        return false;
    ShowMessage(messages::kNothingToExport, platform::MessageIcon::Warning);
    return true;
}

bool ConversionPage::ExportToFile(const std::string& path, tables::TextEncoding encoding)
{
    // No file is created for an empty result table.
    if (ReportNothingToExport())
        return false;
    if (!BeginExport(path, encoding) || !ExportBlock())
        return false;
    // 取消 after the last row: the file was not put in place yet, so the old one stays.
    if (m_progress && !m_progress(m_result.DataRowCount(), m_result.DataRowCount())) {
        AbandonExport();
        return false;
    }
    return EndExport();
}

bool ConversionPage::ExportToStdout(tables::TextEncoding encoding)
{
    return ExportToFile("-", encoding);
}

bool ConversionPage::BeginExport(const std::string& path, tables::TextEncoding encoding)
{
    m_export = std::make_unique<tables::TextTableFile>();
    m_exportPath = path == "-" ? "standard output" : path;
    m_exportedRows = 0;
    m_exportStarted = false;
    if (path == "-") {
        m_export->OpenForWriteToStdout(encoding);
    } else if (!m_export->OpenForWrite(path, encoding)) {
        m_export.reset();
        ShowMessage(FormatMessage(messages::kCannotCreateFile, path), platform::MessageIcon::Error);
        return false;
    }
    return true;
}

bool ConversionPage::ExportBlock()
{
    if (!m_export)
        return false;
    const int columns = m_result.ColumnCount();
    const int rows = m_result.DataRowCount();
    // The header waits for the first rows: without any, nothing at all is written. The rows go
    // out a block at a time, so that a long export can stop between blocks (a run of blank
    // rows stays one empty line across blocks).
    std::vector<std::string> part;
    for (int first = 0; first < rows && columns > 0; first += kBlockRows) {
        const int count = std::min(kBlockRows, rows - first);
        part.clear();
        m_result.CollectCells(part, first + 1, count);
        if (!m_exportStarted)
            m_export->WriteTable(part, count, columns, ExportHeader());
        else
            m_export->WriteRows(part, count, columns, false);
        m_exportStarted = true;
        tables::FileResult written = m_export->LastResult();
        if (!written.Ok()) {
            AbandonExport();
            if (written.status == tables::FileStatus::Unrepresentable)
                ShowMessage(FormatMessage(messages::kUnrepresentable, written.line, m_exportPath),
                            platform::MessageIcon::Error);
            else
                ShowMessage(FormatMessage(messages::kWriteFailed, m_exportPath),
                            platform::MessageIcon::Error);
            return false;
        }
        m_exportedRows += count;
        if (m_progress && !m_progress(first + count, rows)) {
            AbandonExport();
            return false;
        }
    }
    return true;
}

bool ConversionPage::EndExport()
{
    if (!m_export)
        return false;
    if (m_exportedRows == 0) {
        AbandonExport();
        ShowMessage(messages::kNothingToExport, platform::MessageIcon::Warning);
        return false;
    }
    tables::FileResult closed = m_export->Close();
    m_export.reset();
    if (!closed.Ok()) {
        ShowMessage(FormatMessage(messages::kWriteFailed, m_exportPath),
                    platform::MessageIcon::Error);
        return false;
    }
    m_status.exportedPath = m_exportPath;
    return true;
}

void ConversionPage::AbandonExport()
{
    if (!m_export)
        return;
    m_export->Discard();
    m_export->Close();
    m_export.reset();
}

} // namespace carvento::pages
