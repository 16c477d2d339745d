// The parameter computation verbs.
#include "cli/SolveVerb.hpp"

#include "geodesy/EllipsoidPanel.hpp"
#include "pages/frames/ConversionPage.hpp"
#include "pages/frames/Messages.hpp"
#include "pages/frames/ParameterSet.hpp"
#include "pages/frames/ProjExport.hpp"
#include "platform/WholeFile.hpp"
#include "tables/OutputPolicy.hpp"
#include "tables/TextTableFile.hpp"

#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <iterator>
#include <sstream>
#include <unistd.h>

namespace carvento::cli {
namespace {

constexpr int kExitOk = 0;
constexpr int kExitRefused = 1;

[[noreturn]] void Usage(const std::string& option, const std::string& text)
{
    throw CLI::ValidationError(option, text);
}

// The table columns a solve reads (all but the identifier and the residual) must each have a
// file column: a solve would otherwise compute from empty cells.
void CheckColumnsCoverPoints(const pages::CommonPointPage& page, const std::vector<int>& columns)
{
    const std::vector<std::string>& titles = page.Layout().titles;
    if (columns.size() > titles.size())
        Usage("--columns", "the table has " + std::to_string(titles.size()) + " columns");
    for (std::size_t c = 1; c < titles.size(); ++c)
        if (static_cast<int>(c) != page.ResidualColumn() && (c >= columns.size() || columns[c] < 0))
            Usage("--columns", "no file column for " + titles[c]);
}

// Field count of the widest of the file's first lines, as 导入 counts it.
int FileColumns(const std::string& bytes)
{
    tables::TextTableFile file;
    file.OpenForReadFromBytes(bytes);
    file.AddDelimiter(',');
    file.SetTitleLine(false);
    std::vector<std::string> names;
    return file.DetectColumns(names);
}

// The file's rows into the page's table, file column columns[c] into table column c (none:
// empty). false, with the reason shown, for a file that could not be read completely or has
// fewer columns than asked for.
bool ImportMapped(pages::CommonPointPage& page, ConsolePrompter& prompter, std::string bytes,
                  const std::vector<int>& columns)
{
    tables::TextTableFile file;
    file.OpenForReadFromBytes(std::move(bytes));
    file.AddDelimiter(',');
    file.SetTitleLine(false);
    std::vector<std::string> cells;
    int rows = 0;
    int width = 0;
    file.ReadAll(cells, rows, width);
    if (page.Editor().ReportReadResult(file.LastResult()))
        return false;
    tables::CoordinateTable& table = page.Table();
    const int tableColumns = table.ColumnCount();
    for (std::size_t c = 0; c < columns.size(); ++c)
        if (columns[c] >= width) {
            platform::Message message;
            message.text = "--columns: file column " + std::to_string(columns[c] + 1) + " for " +
                           std::string(table.GetCell(0, static_cast<int>(c))) +
                           ", but the file has " + std::to_string(width) +
                           " columns per line; nothing solved";
            message.icon = platform::MessageIcon::Error;
            prompter.ShowMessage(message);
            return false;
        }
    std::vector<std::string> mapped(static_cast<std::size_t>(rows) * tableColumns);
    for (int r = 0; r < rows; ++r)
        for (std::size_t c = 0; c < columns.size(); ++c)
            if (columns[c] >= 0)
                mapped[static_cast<std::size_t>(r) * tableColumns + c] =
                    std::move(cells[static_cast<std::size_t>(r) * width + columns[c]]);
    table.FillRows(std::move(mapped), rows, tableColumns);
    return prompter.Problems() == 0;
}

} // namespace

SolveVerb::SolveVerb(CLI::App& app, const pages::PageRegistration& registration,
                     std::unique_ptr<pages::CommonPointPage> page)
    : m_page(std::move(page)), m_command(app.add_subcommand(std::string(registration.verb),
                                                            std::string(registration.summary))),
      m_options(*m_command, *m_page)
{
    m_command
        ->add_option("FILE", m_input,
                     "common-point file (identifier, old values, new values; comma separated), "
                     "or - for standard input")
        ->required();
    m_options.Add("-o",
                  "the common-point table with its residuals, as 保存公共点 writes it (standard "
                  "output when absent)");
    m_options.Add(SolutionOption(),
                  "the solved result as " + m_page->SolutionCommand()->caption + " writes it");
    m_options.Add("--report",
                  "the fit quality (points, redundancy, σ0, each point's residual components, "
                  "leave-one-out distance and 3σ0 mark), also printed on standard error");
    if (m_page->ProjExport())
        m_options.Add("--proj-pipeline",
                      "the solved parameters as a PROJ pipeline with the sides' EPSG codes, as "
                      "导出PROJ writes it");
    m_skipTitle =
        m_command->add_flag("--skip-title")->description("drop the first line as a title");
    m_keepTitle = m_command->add_flag("--keep-title")
                      ->description("read the first line as a common point (the default)")
                      ->excludes(m_skipTitle);
    m_options.Add("--columns",
                  "file column (1-based, 0 for none) for each table column, e.g. 1,2,3,5,6; "
                  "without it field k of a line goes into table column k, and a file with "
                  "more fields than the table has columns is refused");
    m_options.DeclarePage();
    std::string columns;
    for (const std::string& title : m_page->Layout().titles)
        columns += (columns.empty() ? "" : ", ") + title;
    m_command->footer("table columns: " + columns +
                      "\nThe solved values are also printed on standard error.");
}

// The file as 导入 reads it (the field count included), after dropping a title line when asked.
bool SolveVerb::ReadInput(ConsolePrompter& prompter)
{
    std::string bytes;
    const bool read = m_input == "-" ? platform::ReadWholeStream(stdin, bytes)
                                     : platform::ReadWholeFile(m_input, bytes);
    if (!read) {
        platform::Message message;
        message.text = pages::FormatMessage(pages::messages::kCannotReadFile,
                                            m_input == "-" ? "standard input" : m_input);
        message.icon = platform::MessageIcon::Error;
        prompter.ShowMessage(message);
        return false;
    }
    if (m_skipTitle->count() > 0) {
        const std::size_t end = bytes.find('\n');
        bytes.erase(0, end == std::string::npos ? bytes.size() : end + 1);
    }
    if (const std::optional<std::string> given = m_options.Value("--columns")) {
        const std::vector<int> columns = ParseColumnsOption(*given, "1,2,3,5,6 (0 for none)");
        CheckColumnsCoverPoints(*m_page, columns);
        return ImportMapped(*m_page, prompter, std::move(bytes), columns);
    }
    // Field by field, as 导入 reads it. A file wider than the table gets the page's warning,
    // naming the columns its first fields went into, and is refused: the fields left out
    // may be the ones meant.
    const bool wider = FileColumns(bytes) > m_page->Table().ColumnCount();
    m_page->Editor().ImportBytes(std::move(bytes));
    if (prompter.Problems() == 0)
        return true;
    if (wider)
        std::cerr << m_command->get_parent()->get_name() << ": --columns chooses the file "
                  << "column for each table column\n";
    return false;
}

int SolveVerb::Run(ConsolePrompter& prompter)
{
    const tables::TextEncoding encoding = m_options.Encoding();
    m_options.ApplyToPage();
    if (prompter.Problems() > 0 || !PlanOutputs(prompter) || !ReadInput(prompter))
        return kExitRefused;
    if (!m_page->SolveCommand())
        return kExitRefused;

    // The result fields the solve filled, as the page shows them.
    for (const pages::PageField& field : m_page->Fields())
        if (field.kind == pages::FieldKind::ReadOnlyText && !field.text.empty())
            std::cerr << field.label << field.text << '\n';
    if (std::optional<std::string> path = m_options.Value(SolutionOption()))
        if (!m_page->SaveSolutionToFile(*path, encoding))
            return kExitRefused;
    if (std::optional<std::string> path = m_options.Value("--report")) {
        std::cerr << m_page->QualityText();
        if (!tables::ReplaceFileContents(*path, m_page->QualityText())) {
            platform::Message message;
            message.text = pages::FormatMessage(pages::messages::kCannotCreateFile, *path);
            message.icon = platform::MessageIcon::Error;
            prompter.ShowMessage(message);
            return kExitRefused;
        }
    }
    if (std::optional<std::string> path = m_options.Value("--proj-pipeline")) {
        auto* source = m_page->ProjExport();
        const std::optional<std::string> text = source ? source->ProjExportText() : std::nullopt;
        if (!text || !pages::WriteProjExport(prompter, *path, *text))
            return kExitRefused;
    }

    // Standard output is written as a stream, a file by replacing it once complete.
    return m_page->SavePointsToFile(m_options.Value("-o").value_or("-"), encoding) ? kExitOk
                                                                                   : kExitRefused;
}

// Every file the run would write, checked against the input and each other before anything
// is read or written.
bool SolveVerb::PlanOutputs(ConsolePrompter& prompter) const
{
    tables::OutputPlan plan;
    plan.AddInput(m_input);
    for (const std::string& option : {std::string("-o"), SolutionOption(), std::string("--report"),
                                      std::string("--proj-pipeline")}) {
        const std::optional<std::string> path = m_options.Value(option);
        if (!path)
            continue;
        if (const std::string refusal = plan.Claim(*path); !refusal.empty()) {
            platform::Message message;
            message.text = refusal;
            message.icon = platform::MessageIcon::Error;
            prompter.ShowMessage(message);
            return false;
        }
    }
    return true;
}

std::vector<std::unique_ptr<SolveVerb>> AddSolveVerbs(CLI::App& app, pages::PageContext context)
{
    std::vector<std::unique_ptr<SolveVerb>> verbs;
    for (const pages::PageRegistration& registration : pages::PageRegistry()) {
        if (!registration.Built() || registration.verb.empty() ||
            registration.frame != pages::PageFrame::CommonPoint)
            continue;
        std::unique_ptr<pages::CommonPointPage> page =
            pages::TakeAs(registration.factory(context), &pages::ToolPage::AsCommonPoint);
        // A verb writes the solved result to a file: pages that only show one have none.
        if (!page || !page->SolutionCommand())
            continue;
        verbs.push_back(std::make_unique<SolveVerb>(app, registration, std::move(page)));
    }
    return verbs;
}

} // namespace carvento::cli
