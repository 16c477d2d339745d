// The conversion frame: a source and a result CoordinateTable, the row commands, 导入 /
// dropped files, 粘贴, 导出, 复制, and one row loop that calls the page's row function.
#pragma once

#include "pages/frames/EditableTable.hpp"
#include "pages/frames/GisExport.hpp"
#include "pages/frames/ToolPage.hpp"
#include "pages/frames/ZoneHint.hpp"
#include "tables/CodePage.hpp"
#include "tables/CoordinateTable.hpp"

#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace carvento::tables {
class TextTableFile;
struct FileResult;
}

namespace carvento::pages {

// What the status line under a page shows about the last commands.
struct PageStatus {
    int convertedRows = 0;    // data rows of the last 转换
    int nonNumericCells = 0;  // cells of the last 转换 that the page could not read (read as 0)
    std::string exportedPath; // file written by the last successful 导出, empty before one
};

class ConversionPage : public ToolPage {
public:
    explicit ConversionPage(PageContext context);
    ~ConversionPage() override;

    PageFrame Frame() const override { return PageFrame::Conversion; }
    ConversionPage* AsConversion() override { return this; }
    // Export header titles of 导出.
    virtual std::vector<std::string> ExportHeader() const = 0;

    tables::CoordinateTable& Source() { return m_source; }
    tables::CoordinateTable& Result() { return m_result; }
    const TableLayout& SourceLayout() const { return m_sourceLayout; }
    const TableLayout& ResultLayout() const { return m_resultLayout; }

    // Row commands on the source table.
    void AddRow() { m_editor.AddRow(); }
    void InsertRow(const tables::RowSelection& selection) { m_editor.InsertRow(selection); }
    void DeleteRow(const tables::RowSelection& selection) { m_editor.DeleteRow(selection); }
    void ClearRows() { m_editor.ClearRows(); }

    // Where the tables' changes and the page's questions and messages go: a window that runs
    // 导入, 转换, 复制 and 导出 on a worker passes its user-interface dispatcher (inline until
    // then). Must outlive the page's use of it.
    void SetDispatcher(platform::UiDispatcher& dispatcher);
    // Asked between blocks of rows by 导入, 转换, 复制 and 导出 (rows, or thousandths of a file
    // read); false stops the command, which then leaves the tables, the clipboard and an
    // existing file as they were.
    void SetProgressCallback(ProgressCallback callback);

    // 导入: open dialog, then ImportFile. Returns rows appended.
    int Import() { return m_editor.Import(); }
    // The open dialog of 导入 alone: the chosen file, or nothing when cancelled.
    std::optional<std::string> ChooseImportFile() { return m_editor.ChooseImportFile(); }
    // Reads a text file (comma separated, no title line), reports problems, and appends its
    // rows through the column-mapping dialog. An unreadable file is reported when asked,
    // otherwise skipped silently (dropped files).
    int ImportFile(const std::string& path, bool reportUnreadable = false)
    {
        return m_editor.ImportFile(path, reportUnreadable);
    }
    // Imports already-read bytes (standard input) the same way.
    int ImportBytes(std::string bytes) { return m_editor.ImportBytes(std::move(bytes)); }
    // Files dropped on the page: .txt and .csv (any case) are imported in order.
    int DropFiles(const std::vector<std::string>& paths) { return m_editor.DropFiles(paths); }
    // 粘贴: appends the clipboard's rows to the source table.
    int Paste() { return m_editor.Paste(); }

    // 转换: every source row through the page's row function into the result table. A block
    // converter that needs the source rows no more lets them be consumed (no copy).
    enum class SourceAfterConvert { Kept, Consumed };
    void Convert(SourceAfterConvert after = SourceAfterConvert::Kept);
    // 转换 in two steps, for a window that converts on a worker. StartConvert, on the
    // user-interface thread: the checks, the fields and the page's set-up, with their messages;
    // false when there is nothing to convert. ConvertRows, on any thread: the rows, then one
    // change of the result table through the dispatcher; false when stopped before it, the
    // result table then as it was.
    bool StartConvert();
    bool ConvertRows(SourceAfterConvert after = SourceAfterConvert::Kept);

    // Source columns the row function computes from (table column indices); by default every
    // column after the point name.
    virtual std::vector<int> ComputedColumns() const;
    // Whether a cell of a computed column holds a value the page can read (a number by
    // default; pages that read other notations override it).
    virtual bool ReadsAsValue(int column, std::string_view cell) const;

    const PageStatus& Status() const { return m_status; }

    // 导出GIS (pages/frames/GisExport.hpp) on pages whose result has coordinates: whether the page
    // offers it, and how the result rows of the last 转换 are points (nothing before one).
    bool OffersGisExport() const;
    const std::optional<GisPoints>& ConvertedGisPoints() const { return m_gisPoints; }

    // The zone check of the source, on pages with ZoneCheck(): CheckZone() looks again at the
    // source's y values against the meridian field's text and keeps what it found, which
    // ZoneHintNow() gives; FixZone() sets the fields as the hint suggests, looks again and
    // returns the fields it set. ZoneFields() are the fields whose edits call for a new look.
    const std::optional<ZoneHint>& CheckZone();
    const std::optional<ZoneHint>& ZoneHintNow() const { return m_zoneHint; }
    std::vector<std::string> FixZone();
    std::vector<std::string> ZoneFields() const;

    // Pages that apply transformation parameters read them from a parameter file: whether this
    // page takes one, and the import without its open dialog (its messages shown as the
    // page's own). false when the page takes none or the file was refused.
    virtual bool TakesParameterFile() const { return false; }
    virtual bool ImportParameterFile(const std::string&) { return false; }
    // The command line's option naming that file, and what the file is.
    struct ParameterFileOption {
        std::string name = "params";
        std::string text = "parameter file as 保存参数 (or solve* --save-params) writes it: one "
                           "comma-separated line";
        std::string missing = "尚未导入参数"; // what the page says without one
    };
    virtual ParameterFileOption ParameterFileOptionOf() const { return {}; }

    // 复制: the result table to the clipboard; confirms with a message. false when nothing
    // was copied.
    bool Copy();
    // 导出: save dialog, then ExportToFile. An empty result table is reported and no file is
    // created.
    bool Export();
    // The save dialog of 导出 alone (an empty result table is reported instead): the chosen
    // file, or nothing.
    std::optional<std::string> ChooseExportFile();
    // The encoding 导出 writes in (see ExportEncoding below).
    tables::TextEncoding ExportEncodingSetting() const;
    // Writes the result table with the page's header; an empty result table, a file that
    // cannot be created or written is reported (an existing file then keeps its content).
    // true when everything reached the file.
    bool ExportToFile(const std::string& path,
                      tables::TextEncoding encoding = tables::TextEncoding::Gbk);
    // Same content to standard output.
    bool ExportToStdout(tables::TextEncoding encoding = tables::TextEncoding::Gbk);

    // Export in blocks, for inputs converted a block of rows at a time: BeginExport opens the
    // file ("-" for standard output), each ExportBlock writes the result table's rows (the
    // header before the first), EndExport puts the file in place. A failure is reported, and
    // an existing file keeps its content; so does one that received no rows at all.
    bool BeginExport(const std::string& path, tables::TextEncoding encoding);
    bool ExportBlock();
    bool EndExport();
    void AbandonExport();

    // Shows the message for a file that could not be read completely; false when it could.
    bool ReportReadResult(const tables::FileResult& result)
    {
        return m_editor.ReportReadResult(result);
    }
    // Appends read rows through the column-mapping question; `chosen` receives the mapping
    // used, so that further blocks of the same file are mapped alike.
    int ImportRows(std::vector<std::string>& cells, int rows, int columns, int firstLine,
                   platform::ColumnMapping* chosen = nullptr)
    {
        return m_editor.ImportRows(cells, rows, columns, firstLine, chosen);
    }

protected:
    // Adds the 导出GIS command; the page then says what its result rows are as points.
    void OfferGisExport();
    // Asked after PrepareConvert: the result rows as points for the values being converted
    // with, or nothing (the default) for a result without coordinates.
    virtual std::optional<GisPoints> ResultGisPoints() const { return std::nullopt; }

    // Shows a fixed message with the application title as caption, through the dispatcher:
    // a command running on a worker shows it on the user-interface thread.
    void ShowMessage(const std::string& text,
                     platform::MessageIcon icon = platform::MessageIcon::Warning);

    // Page set-up: both tables.
    void SetLayout(TableLayout source, TableLayout result);

    // Whether 转换 can run: a page that cannot (nothing to convert with yet) shows why and
    // Convert leaves both tables as they are. Asked only when there are rows to convert.
    virtual bool ReadyToConvert() { return true; }
    // Called once per Convert after the fields are exchanged, before the rows.
    virtual void PrepareConvert() {}
    // Converts one row in place: `cells` holds the row's cells (column 0 is the point name).
    // Rows whose column 1 is empty never reach it: they pass through unchanged.
    virtual void ConvertRow(std::span<std::string> cells) = 0;

private:
    // Shows that the result table is empty; true when it is.
    bool ReportNothingToExport();

    TableLayout m_sourceLayout;
    TableLayout m_resultLayout;
    tables::CoordinateTable m_source;
    tables::CoordinateTable m_result;
    platform::InlineDispatcher m_inline;
    platform::UiDispatcher* m_dispatcher = &m_inline;
    platform::DispatchingPrompter m_prompter;
    EditableTable m_editor;
    ProgressCallback m_progress;
    PageStatus m_status;
    std::optional<GisPoints> m_gisPoints;
    std::optional<ZoneHint> m_zoneHint;
    std::optional<GisPoints> m_convertingGisPoints;
    std::unique_ptr<tables::TextTableFile> m_export;
    std::string m_exportPath;
    long long m_exportedRows = 0;
    bool m_exportStarted = false;
};

// Files are written in GBK unless the profile's "Settings" section holds ExportEncoding=utf-8.
inline constexpr const char* kSettingsSection = "Settings";
inline constexpr const char* kExportEncodingKey = "ExportEncoding";
tables::TextEncoding ExportEncoding(const platform::Profile& profile);

} // namespace carvento::pages
