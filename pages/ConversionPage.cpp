// The conversion frame.
#include "pages/ConversionPage.hpp"
#include "platform/AsciiText.hpp"

#include "pages/Messages.hpp"
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

ConversionPage::ConversionPage(PageContext context)
    : ToolPage(context), m_editor(m_source, context.prompter, context.clipboard, ImportPolicy{},
                                  [this] { return ComputedColumns(); })
{
    m_result.SetEditable(false);
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
    const int columns = m_source.ColumnCount();
    const int rows = m_source.DataRowCount();
    if (rows > 0 && !ReadyToConvert())
        return;
    std::vector<std::string> cells;
    if (after == SourceAfterConvert::Consumed)
        cells = m_source.TakeDataCells();
    else
        m_source.CollectCells(cells);
    if (cells.empty())
        return;
    ExchangeFields();
    PrepareConvert();
    std::vector<int> computed = ComputedColumns();
    std::erase_if(computed, [columns](int c) { return c < 0 || c >= columns; });
    m_status.convertedRows = rows;
    m_status.nonNumericCells = 0;
    constexpr int kProgressStep = 4096;
    for (int r = 0; r < rows; ++r) {
        std::span<std::string> row(cells.data() + static_cast<std::size_t>(r) * columns,
                                   static_cast<std::size_t>(columns));
        if (columns > 1 && !row[1].empty()) {
            // Counted before the row is overwritten; the values themselves are read as the
            // row function reads them.
            for (int c : computed)
                if (!ReadsAsValue(c, row[static_cast<std::size_t>(c)]))
                    ++m_status.nonNumericCells;
            ConvertRow(row);
        }
        if (m_progress && (r + 1) % kProgressStep == 0 && !m_progress(r + 1, rows))
            return;
    }
    if (m_progress)
        m_progress(rows, rows);
    m_result.FillRows(std::move(cells), rows, columns);
}

bool ConversionPage::Copy()
{
    std::span<const std::string> cells = m_result.DataCells();
    if (cells.empty())
        return false;
    std::vector<std::string> list(cells.begin(), cells.end());
    if (!m_context.clipboard.PutText(tables::FormatClipboardText(list, m_result.ColumnCount())))
        return false;
    ShowMessage(messages::kCopied, platform::MessageIcon::Information);
    return true;
}

bool ConversionPage::Export()
{
    platform::FileDialog dialog;
    dialog.filters = {{messages::kTextFileFilterName, messages::kTextFileFilter}};
    dialog.defaultExtension = "txt";
    if (ReportNothingToExport())
        return false;
    std::optional<std::string> path = m_context.prompter.ChooseSaveFile(dialog);
    if (!path)
        return false;
    return ExportToFile(*path, ExportEncoding(m_context.profile));
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
    return BeginExport(path, encoding) && ExportBlock() && EndExport();
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
    std::span<const std::string> cells = m_result.DataCells();
    // The header waits for the first rows: without any, nothing at all is written.
    if (cells.empty())
        return true;
    if (!m_exportStarted)
        m_export->WriteTable(cells, m_result.DataRowCount(), m_result.ColumnCount(),
                             ExportHeader());
    else
        m_export->WriteRows(cells, m_result.DataRowCount(), m_result.ColumnCount(), false);
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
    m_exportedRows += m_result.DataRowCount();
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
