// The conversion verbs.
#include "cli/ConversionVerb.hpp"

#include "pages/frames/Messages.hpp"
#include "pages/frames/ProjExport.hpp"
#include "pages/frames/ZoneHint.hpp"
#include "tables/ImportTable.hpp"
#include "tables/OutputPolicy.hpp"
#include "tables/TableStream.hpp"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <string_view>
#include <unistd.h>

namespace carvento::cli {
namespace {

constexpr int kExitOk = 0;
constexpr int kExitRefused = 1;

class ProgressBar {
public:
    bool Update(int done, int total)
    {
        int percent = static_cast<int>(100LL * done / total);
        if (percent == m_shown)
            return true;
        m_shown = percent;
        int filled = percent * 40 / 100;
        std::fprintf(stderr, "\r[%s%s] %3d%%",
                     std::string(static_cast<std::size_t>(filled), '#').c_str(),
                     std::string(static_cast<std::size_t>(40 - filled), ' ').c_str(), percent);
        if (done == total)
            std::fputc('\n', stderr);
        return true;
    }

private:
    int m_shown = -1;
};

// Where the converted blocks go: the page's 导出 (text, or standard output), or with a GIS
// format a point layer as 导出GIS writes it, started once the first block is converted.
class BlockOutput {
public:
    BlockOutput(pages::ConversionPage& page, ConsolePrompter& prompter, std::string path,
                tables::TextEncoding encoding, std::optional<pages::GisFormat> gisFormat)
        : m_page(page), m_prompter(prompter), m_path(std::move(path)), m_encoding(encoding),
          m_gisFormat(gisFormat), m_gis(prompter)
    {
    }
    bool Begin() { return m_gisFormat || m_page.BeginExport(m_path, m_encoding); }
    bool Block()
    {
        if (!m_gisFormat)
            return m_page.ExportBlock();
        const tables::CoordinateTable& result = m_page.Result();
        if (!m_gisStarted) {
            if (!m_page.ConvertedGisPoints() ||
                !m_gis.Begin(m_path, *m_gisFormat, *m_page.ConvertedGisPoints(),
                             result.ColumnTitles()))
                return false;
            m_gisStarted = true;
        }
        return m_gis.AddRows(result);
    }
    bool End()
    {
        if (!m_gisFormat)
            return m_page.EndExport();
        if (!m_gisStarted) {
            m_prompter.ShowMessage({pages::messages::kNothingToExport,
                                    pages::messages::kApplicationTitle,
                                    platform::MessageIcon::Warning, platform::MessageButtons::Ok});
            return false;
        }
        if (!m_gis.Commit())
            return false;
        std::cerr << kProgram << ": " << m_path << ": " << m_gis.Points() << " 点, "
                  << (m_gis.Epsg() > 0 ? "EPSG:" + std::to_string(m_gis.Epsg()) : "无坐标系")
                  << '\n';
        if (m_gis.Epsg() == 0 && *m_gisFormat != pages::GisFormat::Dxf)
            std::cerr << kProgram << ": "
                      << pages::FormatMessage(pages::messages::kGisWithoutCrs, m_path) << '\n';
        return true;
    }
    void Abandon()
    {
        if (m_gisFormat)
            m_gis.Abandon();
        else
            m_page.AbandonExport();
    }

private:
    pages::ConversionPage& m_page;
    ConsolePrompter& m_prompter;
    std::string m_path;
    tables::TextEncoding m_encoding;
    std::optional<pages::GisFormat> m_gisFormat;
    pages::GisExportFile m_gis;
    bool m_gisStarted = false;
};

// Converts the input a block of rows at a time: read, map, convert and write, so memory stays
// bounded whatever the file's size. The output is what the page's 导出 (or 导出GIS) writes for
// the whole file; a refused input leaves an existing output file as it was.
int StreamPage(pages::ConversionPage& page, ConsolePrompter& prompter, const std::string& input,
               BlockOutput& out)
{
    constexpr int kBlockRows = 32768;
    tables::TableStream stream;
    bool opened = input == "-" ? stream.OpenStandardInput() : stream.Open(input);
    if (!opened) {
        // A folder, a missing file or a read error is reported, never taken as empty input.
        std::cerr << kProgram << ": "
                  << pages::FormatMessage(pages::messages::kCannotReadFile,
                                          input == "-" ? "standard input" : input)
                  << '\n';
        return kExitRefused;
    }
    stream.AddDelimiter(',');
    const int columns = stream.DetectColumns();
    if (columns == 0) {
        page.ReportReadResult(stream.LastResult());
        return kExitRefused;
    }
    ProgressBar bar;
    const bool showProgress = ::isatty(STDERR_FILENO);
    std::vector<std::string> cells;
    platform::ColumnMapping mapping;
    bool first = true;
    for (;;) {
        cells.clear();
        // Room for a block of ordinary lines; a very wide file grows the list as it needs.
        cells.reserve(std::min<std::size_t>(static_cast<std::size_t>(kBlockRows) * columns,
                                            1 << 20));
        int rows = stream.ReadRows(cells, kBlockRows);
        if (page.ReportReadResult(stream.LastResult())) {
            out.Abandon();
            return kExitRefused;
        }
        if (rows == 0)
            break;
        page.Source().ClearRows();
        if (first) {
            // The first row decides the column mapping and the title row for the whole file.
            page.ImportRows(cells, rows, columns, stream.FirstDataLine(), &mapping);
            if (prompter.Problems() > 0)
                return kExitRefused;
            // A zone number typed into the add constant would give latitudes of a billion
            // degrees for every row: refused, with the options that mean what was meant.
            if (const std::optional<pages::ZoneHint> hint = pages::CheckZoneNumbers(page,
                                                                                    page.Source());
                hint && !hint->yAddFieldId.empty()) {
                std::cerr << kProgram << ": " << hint->message << " (--" << hint->yAddFieldId
                          << " 500000 --" << hint->fieldId << ' ' << hint->suggested.packed
                          << ")\n";
                return kExitRefused;
            }
            if (!out.Begin())
                return kExitRefused;
            first = false;
        } else {
            tables::AppendMappedRows(page.Source(), cells, rows, columns, mapping.columnMap, false);
        }
        page.Convert(pages::ConversionPage::SourceAfterConvert::Consumed);
        if (prompter.Problems() > 0) {
            out.Abandon();
            return kExitRefused;
        }
        if (!out.Block())
            return kExitRefused;
        if (showProgress)
            bar.Update(static_cast<int>(stream.Progress() * 1000), 1000);
        if (rows < kBlockRows)
            break;
    }
    if (showProgress)
        bar.Update(1000, 1000);
    return out.End() ? kExitOk : kExitRefused;
}

} // namespace

ConversionVerb::ConversionVerb(CLI::App& app, const pages::PageRegistration& registration,
                               std::unique_ptr<pages::ToolPage> page)
    : m_registration(registration), m_page(std::move(page)),
      m_command(app.add_subcommand(std::string(registration.verb),
                                   std::string(registration.summary))),
      m_pageOptions(*m_command, *m_page)
{
    m_command
        ->add_option("FILE", m_input, "input text file (comma separated), or - for standard input")
        ->required();
    m_pageOptions.Add("-o", "output file (standard output when absent)");
    m_skipTitle = m_command->add_flag("--skip-title")->description("drop the first row as a title");
    m_keepTitle = m_command->add_flag("--keep-title")
                      ->description("keep the first row as data")
                      ->excludes(m_skipTitle);
    m_pageOptions.Add("--columns",
                      "file column (1-based, 0 for none) for each table column, e.g. 1,3,2");
    m_pageOptions.DeclarePage();
    std::string columns;
    if (const auto* conversion = AsConversion())
        for (const std::string& title : conversion->SourceLayout().titles)
            columns += (columns.empty() ? "" : ", ") + title;
    if (!columns.empty())
        m_command->footer("table columns: " + columns);
    if (const auto* conversion = AsConversion(); conversion && conversion->TakesParameterFile())
        m_pageOptions.Add(ParameterOption(), conversion->ParameterFileOptionOf().text +
                                                 " (required: nothing is converted without it)");
    if (const auto* conversion = AsConversion(); conversion && conversion->OffersGisExport())
        m_pageOptions.Add("--format",
                          "write the result as points for GIS and CAD instead of text: gpkg "
                          "(GeoPackage), shp (Shapefile with .shx, .dbf, .prj, .cpg), geojson "
                          "or dxf (points and their names as text), with the result's EPSG "
                          "code where there is one (as 导出GIS writes them); needs -o FILE");
    if (m_page->ProjExport())
        m_printProj = m_command->add_flag("--print-proj")
                          ->description("print the transformation as a PROJ pipeline (with "
                                        "the sides' EPSG codes, as 导出PROJ writes it) on "
                                        "standard error before converting; needs --params");
}

int ConversionVerb::Run(ConsolePrompter& prompter)
{
    pages::ConversionPage* page = AsConversion();
    if (!page)
        throw CLI::ValidationError(std::string(m_registration.verb) +
                                   ": not available on the command line yet");

    const tables::TextEncoding encoding = m_pageOptions.Encoding();
    const std::optional<pages::GisFormat> gisFormat = GisFormatOption();
    m_pageOptions.ApplyToPage();

    if (std::optional<std::string> columns = Value("--columns"))
        prompter.columns = ParseColumnsOption(*columns, "1,2,3");
    if (m_skipTitle->count() > 0)
        prompter.removeTitleRow = true;
    if (m_keepTitle->count() > 0)
        prompter.removeTitleRow = false;
    if (std::optional<std::string> params = Value(ParameterOption())) {
        if (!page->ImportParameterFile(*params))
            return kExitRefused;
    } else if (page->TakesParameterFile()) {
        // The page refuses 转换 before an import; here that is a missing option.
        const pages::ConversionPage::ParameterFileOption file = page->ParameterFileOptionOf();
        throw CLI::ValidationError(std::string(m_registration.verb) + ": " + ParameterOption() +
                                   " FILE is required (" + file.missing + ": the " + file.text +
                                   ")");
    }
    if (const std::optional<std::string>& field = m_pageOptions.AutoMeridian())
        if (!TakeMeridianFromData(*page, prompter, *field))
            return kExitRefused;
    if (m_printProj && m_printProj->count() > 0) {
        // Standard output carries the converted table; the pipeline goes beside it.
        auto* source = page->ProjExport();
        const std::optional<std::string> text = source->ProjExportText();
        if (!text)
            return kExitRefused;
        std::cerr << *text;
    }
    prompter.readsAsValue = [page](int column, std::string_view cell) {
        return page->ReadsAsValue(column, cell);
    };
    const std::string output = Value("-o").value_or("-");
    tables::OutputPlan plan;
    plan.AddInput(m_input);
    if (const std::optional<std::string> params = Value(ParameterOption()))
        plan.AddInput(*params);
    // A shapefile is several files, each of which must be none of the inputs.
    const std::vector<std::string> outputs = gisFormat ? pages::GisFiles(output, *gisFormat)
                                                       : std::vector<std::string>{output};
    for (const std::string& file : outputs)
        if (const std::string refusal = plan.Claim(file); !refusal.empty()) {
            std::cerr << kProgram << ": " << refusal << '\n';
            return kExitRefused;
        }
    BlockOutput out(*page, prompter, output, encoding, gisFormat);
    return StreamPage(*page, prompter, m_input, out);
}

std::optional<pages::GisFormat> ConversionVerb::GisFormatOption() const
{
    const std::optional<std::string> name = Value("--format");
    if (!name)
        return std::nullopt;
    const std::optional<pages::GisFormat> format = pages::GisFormatNamed(*name);
    if (!format)
        throw CLI::ValidationError("--format: gpkg, shp, geojson or dxf, not " + *name);
    // A layer is a file GDAL seeks in (a shapefile several): no stream can take one.
    const std::optional<std::string> output = Value("-o");
    if (!output || tables::IsStandardOutput(*output))
        throw CLI::ValidationError("--format " + *name +
                                   " writes a file: give -o FILE (standard output is a stream)");
    if (*format == pages::GisFormat::Shapefile &&
        pages::GisFormatOfPath(*output) != pages::GisFormat::Shapefile)
        throw CLI::ValidationError("--format shp: -o names the .shp file of the set");
    return format;
}

bool ConversionVerb::TakeMeridianFromData(pages::ConversionPage& page,
                                          const ConsolePrompter& prompter,
                                          const std::string& field) const
{
    const std::optional<pages::ZoneCheckTarget> target = page.ZoneCheck();
    if (!target || target->meridianField != field)
        throw CLI::ValidationError("--" + field +
                                   " auto: only for plane coordinates (x, y) as input");
    std::error_code error;
    if (m_input == "-" || (std::filesystem::exists(m_input, error) &&
                           !std::filesystem::is_regular_file(m_input, error)))
        throw CLI::ValidationError("--" + field +
                                   " auto reads the input before converting it: give a "
                                   "regular FILE, not - or a pipe");
    tables::TableStream stream;
    if (!stream.Open(m_input)) {
        std::cerr << kProgram << ": "
                  << pages::FormatMessage(pages::messages::kCannotReadFile, m_input) << '\n';
        return false;
    }
    stream.AddDelimiter(',');
    const int columns = stream.DetectColumns();
    std::vector<std::string> cells;
    constexpr int kRowsRead = 10000;
    const int rows = columns > 0 ? stream.ReadRows(cells, kRowsRead) : 0;
    const std::size_t yColumn = static_cast<std::size_t>(target->yColumn);
    const int fileColumn = prompter.columns.size() > yColumn ? prompter.columns[yColumn]
                                                             : target->yColumn;
    std::vector<std::string> eastings;
    for (int r = 0; r < rows && fileColumn >= 0 && fileColumn < columns; ++r)
        eastings.push_back(cells[static_cast<std::size_t>(r) * columns + fileColumn]);
    const std::optional<int> zone = pages::ZoneOfEastings(eastings);
    const std::optional<pages::ZoneMeridian> meridian = zone ? pages::MeridianOfZone(*zone)
                                                             : std::nullopt;
    if (!meridian) {
        std::cerr << kProgram << ": --" << field
                  << " auto: y 不带带号或带号不一致, 无法确定中央子午线\n";
        return false;
    }
    page.EditText(field, std::to_string(meridian->packed));
    std::cerr << kProgram << ": " << pages::ZoneTakenText(*meridian) << '\n';
    return true;
}

std::string ConversionVerb::ParameterOption() const
{
    const auto* conversion = AsConversion();
    return "--" + (conversion ? conversion->ParameterFileOptionOf().name : std::string("params"));
}

std::vector<std::unique_ptr<ConversionVerb>> AddConversionVerbs(CLI::App& app,
                                                                pages::PageContext context)
{
    std::vector<std::unique_ptr<ConversionVerb>> verbs;
    for (const pages::PageRegistration& registration : pages::PageRegistry())
        if (registration.Built() && !registration.verb.empty() &&
            registration.frame == pages::PageFrame::Conversion)
            verbs.push_back(std::make_unique<ConversionVerb>(app, registration,
                                                             registration.factory(context)));
    return verbs;
}

} // namespace carvento::cli
