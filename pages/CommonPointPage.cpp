// The common-point frame.
#include "pages/CommonPointPage.hpp"

#include "pages/ConversionPage.hpp"
#include "pages/Messages.hpp"
#include "platform/NumberText.hpp"

#include <cmath>
#include <numeric>

namespace carvento::pages {

CommonPointPage::CommonPointPage(PageContext context)
    : ToolPage(context), m_editor(m_table, context.prompter, context.clipboard, ImportPolicy{})
{
}

void CommonPointPage::SetUp(CommonPointSetup setup)
{
    m_setup = std::move(setup);
    if (m_setup.savedColumns.empty()) {
        m_setup.savedColumns.resize(m_setup.table.titles.size());
        std::iota(m_setup.savedColumns.begin(), m_setup.savedColumns.end(), 0);
    }
    m_table.SetupColumns(m_setup.table.titles, m_setup.table.widths);
    m_editor.SetPolicy(m_setup.import);
    AddCommand({kSolveCommand, m_setup.solveCaption});
    AddCommand({kSavePointsCommand, "保存公共点"});
}

bool CommonPointPage::OnCommand(const std::string& id)
{
    if (id == kSolveCommand)
        return SolveCommand();
    if (id == kSavePointsCommand)
        return SavePoints();
    return false;
}

bool CommonPointPage::SolveCommand()
{
    if (!ExchangeFields())
        return false;
    const int rows = m_table.DataRowCount();
    if (rows < m_setup.minimumPoints) {
        ShowMessage(m_setup.tooFewPointsMessage);
        return false;
    }
    std::vector<std::string> cells;
    m_table.CollectCells(cells);
    const int columns = m_table.ColumnCount();
    const PointRows points{cells, rows, columns};
    std::vector<std::string> shownBefore;
    for (const PageField& field : Fields())
        shownBefore.push_back(field.text);
    m_quality = {};
    if (!CheckPointCells(points) || !Solve(points))
        return false;
    // Points of two different sets, or a zone number typed into the add constant, fit with a
    // σ0 of kilometres: that is no transformation, whatever its parameters say.
    if (const double sigma0 = m_quality.sigma0; std::isfinite(sigma0) && sigma0 > kSaneSigma0) {
        for (std::size_t i = 0; i < Fields().size() && i < shownBefore.size(); ++i)
            if (Fields()[i].text != shownBefore[i])
                SetFieldText(Fields()[i].id, shownBefore[i]);
        ForgetSolve();
        m_quality = {};
        m_qualityText.clear();
        ShowMessage(FormatMessage(messages::kFitUnusable, platform::FormatFixed(sigma0, 3)));
        return false;
    }
    const int residual = m_setup.residualColumn;
    if (residual < 0 || residual >= columns)
        return true;
    // Every residual is computed from the rows as the solve read them, then the table changes
    // once.
    std::vector<std::string> residuals;
    residuals.reserve(static_cast<std::size_t>(rows));
    for (int r = 0; r < rows; ++r)
        residuals.push_back(Residual(points.Row(r)));
    for (int r = 0; r < rows; ++r)
        cells[static_cast<std::size_t>(r) * columns + residual] =
            std::move(residuals[static_cast<std::size_t>(r)]);
    m_table.FillRows(std::move(cells), rows, columns);
    return true;
}

bool CommonPointPage::CheckPointCells(const PointRows& points)
{
    // A cell quoted in a message is cut short: a line of a file can be megabytes long.
    constexpr std::size_t kQuoted = 40;
    for (int r = 0; r < points.rows; ++r) {
        const std::span<const std::string> row = points.Row(r);
        for (int c = 1; c < points.columns; ++c) {
            const std::string& cell = row[static_cast<std::size_t>(c)];
            if (c == m_setup.residualColumn || cell.empty())
                continue;
            const char* refusal = nullptr;
            if (!platform::IsNumberText(cell))
                refusal = messages::kPointNotANumber;
            else if (const double value = platform::ParseDouble(cell);
                     !(std::fabs(value) <= kLargestCoordinate))
                refusal = messages::kPointOutOfRange;
            if (!refusal)
                continue;
            std::string quoted = m_table.GetCell(0, c) + "=";
            if (cell.size() <= kQuoted) {
                quoted += cell;
            } else {
                // Cut before a character, never inside one.
                std::size_t end = kQuoted;
                while (end > 0 && (static_cast<unsigned char>(cell[end]) & 0xC0) == 0x80)
                    --end;
                quoted += cell.substr(0, end) + "...";
            }
            ShowMessage(FormatMessage(refusal, r + 1, quoted));
            return false;
        }
    }
    return true;
}

void CommonPointPage::SetQuality(estimation::QualityReport report,
                                 const std::vector<std::string>& names,
                                 const std::vector<std::string>& componentNames,
                                 std::vector<std::array<double, 2>> positions)
{
    m_quality = std::move(report);
    m_qualityText = estimation::QualityReportText(m_quality, names, componentNames);
    m_qualityNames = names;
    m_qualityPositions = std::move(positions);
}

std::vector<std::string> CommonPointPage::PointNames(const PointRows& points)
{
    std::vector<std::string> names;
    for (int r = 0; r < points.rows; ++r) {
        const std::span<const std::string> row = points.Row(r);
        names.push_back(row.empty() ? std::string() : row[0]);
    }
    return names;
}

bool CommonPointPage::SavePoints()
{
    platform::FileDialog dialog;
    dialog.filters = m_editor.Policy().filters;
    dialog.defaultExtension = "txt";
    std::optional<std::string> path = m_context.prompter.ChooseSaveFile(dialog);
    if (!path)
        return false;
    return SavePointsToFile(*path, ExportEncoding(m_context.profile));
}

bool CommonPointPage::SavePointsToFile(const std::string& path, tables::TextEncoding encoding)
{
    std::vector<std::string> titles;
    if (m_setup.saveTitles)
        for (int c : m_setup.savedColumns)
            titles.push_back(m_table.GetCell(0, c));
    const std::vector<std::string> cells = ColumnCells(m_table, m_setup.savedColumns);
    return WriteTableFile(m_context.prompter, path, cells, m_table.DataRowCount(),
                          static_cast<int>(m_setup.savedColumns.size()), titles, encoding);
}

} // namespace carvento::pages
