// The globe verbs.
#include "cli/EarthVerbs.hpp"

#include "cli/DemEarthClient.hpp"
#include "earth/EarthConnection.hpp"
#include "earth/SocketEarthClient.hpp"
#include "pages/PageRegistry.hpp"
#include "pages/frames/Messages.hpp"
#include "pages/globe/EarthPages.hpp"
#include "platform/NumberText.hpp"
#include "tables/OutputPolicy.hpp"

#include <filesystem>
#include <iostream>
#include <string_view>

namespace carvento::cli {
namespace {

constexpr int kExitOk = 0;
constexpr int kExitRefused = 1;

// The process's one link to a globe: the running globe program, or an elevation model file
// when `elevation --dem` named one before the first connect.
struct GlobeLink {
    std::unique_ptr<earth::LoadedDem> dem;
    earth::EarthConnection connection{[this]() -> std::unique_ptr<earth::EarthClient> {
        if (dem)
            return std::make_unique<DemEarthClient>(std::move(dem));
        return std::make_unique<earth::SocketEarthClient>();
    }};
};

GlobeLink& Globe()
{
    static GlobeLink link;
    return link;
}

// Where a run that ended early writes the rows it has: the output itself when there is nothing
// there yet, otherwise a file of its own beside it, so that a complete earlier table is never
// replaced by a partial one. `note` says which.
std::string PartialOutputPath(const std::string& output, std::string& note)
{
    std::error_code error;
    if (!std::filesystem::exists(output, error)) {
        note = pages::FormatMessage(pages::messages::kPartialWritten, output);
        return output;
    }
    const std::filesystem::path path(output);
    const std::string partial =
        (path.parent_path() /
         (path.stem().string() + pages::messages::kPartialSuffix + path.extension().string()))
            .string();
    note = pages::FormatMessage(pages::messages::kPartialBeside, partial, output);
    return partial;
}

// Runs a task page's whole task here and writes its table as 保存数据 does: to the file -o
// names, else (or with -o -) to standard output as a stream. A task that ended early (the globe
// gone or silent, the model unreadable) or a run with problems before it exits 1; its table
// then never replaces a file that holds one.
int RunTask(pages::TaskPage& page, const PageOptions& options, ConsolePrompter& prompter,
            int problemsBefore)
{
    page.SetCacheFolder(""); // a command-line run keeps no task to resume
    page.SetTextEncoding(options.Encoding());
    const std::optional<std::string> output = options.Value("-o");
    const bool toStandardOutput = !output || tables::IsStandardOutput(*output);
    if (!page.RunHere())
        return kExitRefused;
    const bool complete = page.LastRun().finished && prompter.Problems() == problemsBefore;
    if (toStandardOutput) {
        const pages::TaskPage::StreamResult written = page.StreamSavedBytes(
            [](std::string_view block) { return tables::WriteStandardOutput(block); },
            "standard output");
        if (written == pages::TaskPage::StreamResult::Unencodable)
            return kExitRefused;
        if (written == pages::TaskPage::StreamResult::WriteFailed) {
            std::cerr << "carvento-cli: "
                      << pages::FormatMessage(pages::messages::kWriteFailed, "standard output")
                      << '\n';
            return kExitRefused;
        }
        if (!complete)
            std::cerr << "carvento-cli: the table on standard output is incomplete\n";
    } else if (complete) {
        if (!page.SaveDataToFile(*output))
            return kExitRefused;
    } else {
        std::string note;
        const std::string partial = PartialOutputPath(*output, note);
        if (page.SaveDataToFile(partial))
            std::cerr << "carvento-cli: " << note << '\n';
        return kExitRefused;
    }
    int unknown = 0;
    const int elevationColumn = page.Table().ColumnCount() - 1;
    for (int row = 1; row < page.Table().RowCount(); ++row)
        if (page.Table().GetCell(row, elevationColumn) == pages::messages::kNoElevation)
            ++unknown;
    if (unknown > 0) {
        std::cerr << "carvento-cli: " << unknown << " point(s) without an elevation ("
                  << pages::messages::kNoElevation << ")";
        if (page.RefusedCount() > 0)
            std::cerr << ", " << page.RefusedCount() << " of them refused by the globe";
        std::cerr << '\n';
    }
    return complete ? kExitOk : kExitRefused;
}

// Refuses an output that is one of the run's input files; true when the run may go on.
bool OutputAllowed(const PageOptions& options, const std::vector<std::string>& inputs)
{
    const std::optional<std::string> output = options.Value("-o");
    if (!output)
        return true;
    tables::OutputPlan plan;
    for (const std::string& input : inputs)
        plan.AddInput(input);
    if (const std::string refusal = plan.Claim(*output); !refusal.empty()) {
        std::cerr << "carvento-cli: " << refusal << '\n';
        return false;
    }
    return true;
}

// A task over the points of a file (批量获取高程): the file's rows into the page's table as
// 打开 reads them, the task run here, the table out. The globe's heights may come straight
// from an elevation model instead.
class PointTaskVerb final : public EarthVerb {
public:
    PointTaskVerb(CLI::App& app, const pages::PageRegistration& row,
                  std::unique_ptr<pages::ToolPage> page)
        : EarthVerb(app, std::string(row.verb), std::string(row.summary), std::move(page)),
          m_task(*m_page->AsTask())
    {
        std::string columns;
        for (const std::string& title : m_task.Layout().titles)
            columns += (columns.empty() ? "" : ", ") + title;
        m_command->add_option("FILE", m_input, "point file: " + columns + " (comma separated)")
            ->required();
        m_options.Add("--dem", "read the heights from this elevation model file (any raster "
                               "GDAL reads) instead of the running globe");
        m_options.Add("-o", "output file (standard output when absent)");
        m_options.Add("--columns",
                      "file column (1-based, 0 for none) for " + columns + ", e.g. 0,2,3");
        m_skipTitle =
            m_command->add_flag("--skip-title")->description("drop the first row as a title");
        m_keepTitle = m_command->add_flag("--keep-title")
                          ->description("keep the first row as data")
                          ->excludes(m_skipTitle);
        m_options.DeclarePage();
    }

    int Run(ConsolePrompter& prompter) override
    {
        pages::TaskPage& page = m_task;
        const int problemsBefore = prompter.Problems();
        // A usage error is one whether or not a globe or model is there to refuse the run.
        const std::optional<std::string> columns = m_options.Value("--columns");
        const std::vector<int> fileColumns = columns ? ParseColumnsOption(*columns, "1,2,3")
                                                     : std::vector<int>();
        std::vector<std::string> inputs{m_input};
        if (const std::optional<std::string> dem = m_options.Value("--dem"))
            inputs.push_back(*dem);
        if (!OutputAllowed(m_options, inputs))
            return kExitRefused;
        if (const std::optional<std::string> dem = m_options.Value("--dem")) {
            std::string error;
            Globe().dem = earth::LoadedDem::Open(*dem, error);
            if (!Globe().dem) {
                std::cerr << "carvento-cli: " << error << '\n';
                return kExitRefused;
            }
            page.SetSecondLength(std::chrono::milliseconds(0)); // no view to settle
        }
        if (!earth::ConnectEarth(Globe().connection, prompter))
            return kExitRefused;
        m_options.ApplyToPage();
        if (columns)
            prompter.columns = fileColumns;
        if (m_skipTitle->count() > 0 || m_keepTitle->count() > 0)
            prompter.removeTitleRow = m_skipTitle->count() > 0;
        // Otherwise a first row that is no number in a column the task reads is a title row.
        prompter.readsAsValue = [&page](int column, std::string_view cell) {
            return !page.ReadsColumn(column) || platform::IsNumberText(cell);
        };
        // A file read only in part (a short line, bad bytes) flies no point.
        if (page.Editor().ImportFile(m_input, true) <= 0 || prompter.Problems() > problemsBefore)
            return kExitRefused;
        return RunTask(page, m_options, prompter, problemsBefore);
    }

private:
    pages::TaskPage& m_task;
    std::string m_input;
    CLI::Option* m_skipTitle = nullptr;
    CLI::Option* m_keepTitle = nullptr;
};

// A task over the globe's current view (获取DEM数据): its fields, the task run here, the table out.
class ViewTaskVerb final : public EarthVerb {
public:
    ViewTaskVerb(CLI::App& app, const pages::PageRegistration& row,
                 std::unique_ptr<pages::ToolPage> page)
        : EarthVerb(app, std::string(row.verb), std::string(row.summary), std::move(page)),
          m_task(*m_page->AsTask())
    {
        m_options.Add("-o", "output file (standard output when absent)");
        m_options.DeclarePage();
        m_command->footer("Runs over the running globe's current view.");
    }

    int Run(ConsolePrompter& prompter) override
    {
        const int problemsBefore = prompter.Problems();
        if (!earth::ConnectEarth(Globe().connection, prompter))
            return kExitRefused;
        m_options.ApplyToPage();
        return RunTask(m_task, m_options, prompter, problemsBefore);
    }

private:
    pages::TaskPage& m_task;
};

// A graticule (生成图框): handed to the running globe as the page's 添加 does, or written as KML.
class GraticuleVerb final : public EarthVerb {
public:
    GraticuleVerb(CLI::App& app, const pages::PageRegistration& row,
                  std::unique_ptr<pages::ToolPage> page)
        : EarthVerb(app, std::string(row.verb), std::string(row.summary), std::move(page)),
          m_graticule(*m_page->Graticule())
    {
        m_options.Add("-o", "write the graticule's KML to this file (- for standard output) "
                            "instead of loading it into the running globe");
        m_options.DeclarePage();
    }

    int Run(ConsolePrompter& prompter) override
    {
        m_options.ApplyToPage();
        if (const std::optional<std::string> output = m_options.Value("-o")) {
            if (!m_page->ExchangeFields())
                return kExitRefused;
            const earth::MapFrameKml frame = m_graticule.FrameKml();
            if (!frame.error.empty()) {
                std::cerr << "carvento-cli: " << frame.error << '\n';
                return kExitRefused;
            }
            if (*output == "-") {
                std::cout << frame.kml;
                return std::cout.flush() ? kExitOk : kExitRefused;
            }
            if (!tables::ReplaceFileContents(*output, frame.kml)) {
                std::cerr << "carvento-cli: " << *output << " 保存失败!\n";
                return kExitRefused;
            }
            return kExitOk;
        }
        if (!earth::ConnectEarth(Globe().connection, prompter))
            return kExitRefused;
        return m_page->RunCommand(pages::GraticuleSource::kAddCommand) ? kExitOk : kExitRefused;
    }

private:
    pages::GraticuleSource& m_graticule;
};

} // namespace

EarthVerb::EarthVerb(CLI::App& app, const std::string& verb, const std::string& summary,
                     std::unique_ptr<pages::ToolPage> page)
    : m_page(std::move(page)), m_command(app.add_subcommand(verb, summary)),
      m_options(*m_command, *m_page)
{
}

std::vector<std::unique_ptr<EarthVerb>> AddEarthVerbs(CLI::App& app, pages::PageContext context)
{
    // The pages reach the globe through the process's one link.
    context.earth = &Globe().connection;
    std::vector<std::unique_ptr<EarthVerb>> verbs;
    for (const pages::PageRegistration& row : pages::PageRegistry()) {
        if (!row.Built() || row.verb.empty())
            continue;
        if (row.frame != pages::PageFrame::Task && row.frame != pages::PageFrame::Form)
            continue;
        std::unique_ptr<pages::ToolPage> page = row.factory(context);
        if (pages::TaskPage* task = page->AsTask()) {
            if (task->ReadsPointFile())
                verbs.push_back(std::make_unique<PointTaskVerb>(app, row, std::move(page)));
            else
                verbs.push_back(std::make_unique<ViewTaskVerb>(app, row, std::move(page)));
        } else if (page->Graticule()) {
            verbs.push_back(std::make_unique<GraticuleVerb>(app, row, std::move(page)));
        }
    }
    return verbs;
}

} // namespace carvento::cli
