// Coordinate text tables from untrusted bytes: column detection and reading with and without a
// title line, the block reader over the same bytes (which must read exactly what ReadAll
// reads), the import column guess and mapping, the paste splitters, FillRows, and writing the
// table back over an existing file (which must keep its old content when the write fails).
#include "fuzz/FuzzSupport.hpp"

#include "platform/Prompter.hpp"
#include "tables/ClipboardText.hpp"
#include "tables/CoordinateTable.hpp"
#include "tables/GridPaste.hpp"
#include "tables/ImportTable.hpp"
#include "tables/TableStream.hpp"
#include "tables/TextTableFile.hpp"

#include <string>
#include <vector>

using namespace carvento;
using carvento::fuzz::AsText;

namespace {

// Accepts the mapping the import dialog would show, after checking it is one the dialog can
// show: every choice a file column or nothing.
class AcceptingPrompter : public platform::Prompter {
public:
    platform::MessageAnswer ShowMessage(const platform::Message&) override
    {
        return platform::MessageAnswer::Ok;
    }
    std::vector<std::string> ChooseOpenFiles(const platform::FileDialog&) override { return {}; }
    std::optional<std::string> ChooseSaveFile(const platform::FileDialog&) override
    {
        return std::nullopt;
    }
    bool ChooseImportColumns(platform::ColumnMapping& mapping) override
    {
        FUZZ_CHECK(mapping.columnMap.size() == mapping.tableTitles.size());
        for (int choice : mapping.columnMap)
            FUZZ_CHECK(choice >= -1 && choice < mapping.fileColumns);
        return true;
    }
};

tables::CoordinateTable PointTable()
{
    tables::CoordinateTable table;
    table.SetupColumns({"序号", "X", "Y", "H"}, {60, 100, 100, 80});
    return table;
}

bool SameResult(const tables::FileResult& a, const tables::FileResult& b)
{
    return a.status == b.status && a.line == b.line;
}

// The block reader over the same bytes reads the same rows, stops at the same line for the
// same reason, and names the same first data line as ReadAll without a title line.
void CompareWithStream(const std::string& bytes, const std::vector<std::string>& cells, int columns,
                       const tables::FileResult& result, int firstDataLine)
{
    const std::string path = fuzz::ScratchPath("stream.txt");
    fuzz::WriteWholeFile(path, bytes);
    tables::TableStream stream;
    stream.AddDelimiter(',');
    FUZZ_CHECK(stream.Open(path));
    const int streamColumns = stream.DetectColumns();
    if (streamColumns == 0) {
        FUZZ_CHECK(columns == 0);
        FUZZ_CHECK(SameResult(stream.LastResult(), result));
        return;
    }
    FUZZ_CHECK(streamColumns == columns);
    std::vector<std::string> streamed;
    for (;;) {
        const int got = stream.ReadRows(streamed, 7);
        FUZZ_CHECK(got >= 0 && got <= 7);
        if (got < 7)
            break;
    }
    FUZZ_CHECK(streamed == cells);
    FUZZ_CHECK(SameResult(stream.LastResult(), result));
    FUZZ_CHECK(stream.FirstDataLine() == firstDataLine);
}

void ImportAndPaste(std::vector<std::string> cells, int rows, int columns)
{
    if (rows <= 0 || columns <= 0)
        return;
    std::vector<std::string> sample(cells.begin(), cells.begin() + columns);
    tables::CoordinateTable table = PointTable();
    const std::vector<int> choice = tables::InitialColumnChoice(table.ColumnTitles(), sample);
    FUZZ_CHECK(choice.size() == 4);
    for (int c : choice)
        FUZZ_CHECK(c >= -1 && c < columns);
    const bool title = tables::LooksLikeTitleRow(sample);

    std::vector<std::string> copy = cells;
    AcceptingPrompter prompter;
    const int appended = tables::ImportIntoTable(table, copy, rows, columns, prompter);
    FUZZ_CHECK(appended == rows - (title ? 1 : 0));
    FUZZ_CHECK(table.DataRowCount() == appended);
    FUZZ_CHECK(table.ColumnCount() == 4);

    // FillRows with the file's own shape keeps every cell.
    tables::CoordinateTable wide;
    std::vector<std::string> titles(static_cast<std::size_t>(columns), "c");
    wide.SetupColumns(titles, std::vector<int>(static_cast<std::size_t>(columns), 50));
    wide.FillRows(cells, rows, columns);
    FUZZ_CHECK(wide.DataRowCount() == rows);
    std::vector<std::string> collected;
    FUZZ_CHECK(wide.CollectCells(collected) == rows * columns);
    FUZZ_CHECK(collected == cells);

    // What 复制 puts on the clipboard pastes back as the same number of rows.
    const std::string clip = tables::FormatClipboardText(cells, columns);
    const tables::CellBlock block = tables::SplitCellBlock(clip);
    FUZZ_CHECK(block.cells.size() == static_cast<std::size_t>(block.rows) * block.columns);
}

void WriteOverExisting(const std::vector<std::string>& cells, int rows, int columns,
                       const std::vector<std::string>& names, tables::TextEncoding encoding)
{
    const std::string path = fuzz::ScratchPath("表 out.txt");
    const std::string old = "old content\r\n";
    fuzz::WriteWholeFile(path, old);
    tables::TextTableFile out;
    FUZZ_CHECK(out.OpenForWrite(path, encoding));
    const int written = out.WriteTable(cells, rows, columns, names);
    const tables::FileResult writeResult = out.LastResult();
    const tables::FileResult closed = out.Close();
    std::string now;
    FUZZ_CHECK(fuzz::ReadWholeFile(path, now));
    if (written == static_cast<int>(cells.size()) && writeResult.Ok() && closed.Ok()) {
        // What was written reads back with the same number of columns.
        tables::TextTableFile back;
        back.AddDelimiter(',');
        FUZZ_CHECK(back.OpenForRead(path));
        std::vector<std::string> backNames;
        const int backColumns = back.DetectColumns(backNames);
        FUZZ_CHECK(backColumns <= std::max(columns, static_cast<int>(names.size())));
    } else {
        FUZZ_CHECK(!writeResult.Ok() || !closed.Ok());
        FUZZ_CHECK(now == old);
    }
}

void Paste(std::string_view text)
{
    const tables::CellBlock block = tables::SplitCellBlock(text);
    FUZZ_CHECK(block.rows >= 0 && block.columns >= 0);
    FUZZ_CHECK(block.cells.size() == static_cast<std::size_t>(block.rows) * block.columns);
    FUZZ_CHECK((block.rows == 0) == (block.columns == 0));
    if (text.empty())
        FUZZ_CHECK(block.rows == 0);

    tables::CoordinateTable table = PointTable();
    table.AppendRow();
    const int appended = tables::PasteBlock(table, 1, 1, block);
    FUZZ_CHECK(appended >= 0);
    FUZZ_CHECK(table.DataRowCount() == std::max(1, block.rows));
    const std::string copied = tables::FormatRangeText(table, {1, 0, table.DataRowCount(), 3});
    FUZZ_CHECK(copied.size() >= 2 && copied.substr(copied.size() - 2) == "\r\n");
    const int cleared = tables::ClearRange(table, {1, 0, table.DataRowCount(), 3});
    FUZZ_CHECK(cleared >= 0 && cleared <= table.DataRowCount() * 4);
    for (int r = 1; r <= table.DataRowCount(); ++r)
        FUZZ_CHECK(table.IsBlankRow(r));

    const std::string cleaned = tables::CleanPastedText(text);
    // Only the space of each space+TAB pair goes.
    std::size_t pairs = 0;
    for (std::size_t at = text.find(" \t"); at != std::string_view::npos;
         at = text.find(" \t", at + 1))
        ++pairs;
    FUZZ_CHECK(cleaned.size() + pairs == text.size());
    tables::CoordinateTable pasted = PointTable();
    const int rows = tables::PasteText(pasted, text);
    FUZZ_CHECK(rows >= 0 && pasted.DataRowCount() == rows);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string bytes(AsText(data, size));
    fuzz::ClearScratch();
    for (bool titleLine : {false, true}) {
        tables::TextTableFile file;
        file.AddDelimiter(',');
        file.SetTitleLine(titleLine);
        file.OpenForReadFromBytes(bytes);
        std::vector<std::string> names;
        const int detected = file.DetectColumns(names);
        FUZZ_CHECK(detected >= 0);
        FUZZ_CHECK(static_cast<int>(names.size()) == detected);
        FUZZ_CHECK((detected == 0) != file.LastResult().Ok());

        std::vector<std::string> cells;
        int rows = 0;
        int columns = 0;
        const int read = file.ReadAll(cells, rows, columns);
        FUZZ_CHECK(columns == detected);
        FUZZ_CHECK(cells.size() == static_cast<std::size_t>(rows) * columns);
        FUZZ_CHECK(read == 0 || read == static_cast<int>(cells.size()));
        FUZZ_CHECK(read == (file.LastResult().Ok() ? static_cast<int>(cells.size()) : 0));
        if (!file.LastResult().Ok() && file.LastResult().status != tables::FileStatus::NoData)
            FUZZ_CHECK(file.LastResult().line > 0);

        if (!titleLine)
            CompareWithStream(bytes, cells, columns, file.LastResult(), file.FirstDataLine());
        ImportAndPaste(cells, rows, columns);
        WriteOverExisting(cells, rows, columns, names,
                          titleLine ? tables::TextEncoding::Gbk : tables::TextEncoding::Utf8);
    }
    Paste(bytes.substr(0, 1 << 16));
    return 0;
}
