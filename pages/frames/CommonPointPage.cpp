// The common-point frame.
#include "pages/frames/CommonPointPage.hpp"

#include "pages/frames/ConversionPage.hpp"
#include "pages/frames/Messages.hpp"
#include "platform/NumberText.hpp"

#include <algorithm>
#include <cmath>
#include <numeric>

namespace carvento::pages {

CommonPointPage::CommonPointPage(PageContext context)
    : ToolPage(context), m_editor(m_table, context.prompter, context.clipboard, ImportPolicy{})
{
    m_table.AddObserver([this](const tables::TableChange& change) { FollowTable(change); });
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
    AddCommand({kSolveCommand, m_setup.solveCaption, [this] { return SolveCommand(); }});
    if (m_setup.residualColumn >= 0)
        AddCommand({kSetAsideCommand, "剔除超限点重新解算", [this] { return SetAsideBlunders(); }});
    AddCommand({kSavePointsCommand, "保存公共点", [this] { return SavePoints(); }});
}

bool CommonPointPage::SolveCommand()
{
    if (!ExchangeFields())
        return false;
    const int rows = m_table.DataRowCount();
    m_setAside.resize(static_cast<std::size_t>(rows), false);
    std::vector<std::string> cells;
    m_table.CollectCells(cells);
    const int columns = m_table.ColumnCount();
    const PointRows all{cells, rows, columns};
    // The solve reads the rows not set aside; the residual pass covers every row.
    std::vector<int> solvedRows;
    std::vector<std::string> solvedCells;
    for (int r = 0; r < rows; ++r) {
        if (m_setAside[static_cast<std::size_t>(r)])
            continue;
        solvedRows.push_back(r + 1);
        if (SetAsideCount() > 0) {
            const std::span<const std::string> row = all.Row(r);
            solvedCells.insert(solvedCells.end(), row.begin(), row.end());
        }
    }
    const int solved = static_cast<int>(solvedRows.size());
    if (solved < m_setup.minimumPoints) {
        ShowMessage(m_setup.tooFewPointsMessage);
        return false;
    }
    const PointRows points = solved == rows ? all : PointRows{solvedCells, solved, columns};
    std::vector<std::string> shownBefore;
    for (const PageField& field : Fields())
        shownBefore.push_back(field.text);
    m_quality = {};
    m_solvedRows.clear();
    if (!CheckPointCells(all) || !Solve(points))
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
    m_solvedRows = std::move(solvedRows);
    if (solved < rows)
        AddCheckPoints(all);
    const int residual = m_setup.residualColumn;
    if (residual < 0 || residual >= columns)
        return true;
    // Every residual is computed from the rows as the solve read them, then the table changes
    // once.
    std::vector<std::string> residuals;
    residuals.reserve(static_cast<std::size_t>(rows));
    for (int r = 0; r < rows; ++r)
        residuals.push_back(Residual(all.Row(r)));
    for (int r = 0; r < rows; ++r)
        cells[static_cast<std::size_t>(r) * columns + residual] =
            std::move(residuals[static_cast<std::size_t>(r)]);
    m_filling = true;
    m_table.FillRows(std::move(cells), rows, columns);
    m_filling = false;
    return true;
}

bool CommonPointPage::SetAsideBlunders()
{
    const std::vector<bool> before = m_setAside;
    bool marked = false;
    for (std::size_t i = 0; i < m_quality.rows.size() && i < m_solvedRows.size(); ++i) {
        if (!m_quality.rows[i].beyond3Sigma)
            continue;
        const auto row = static_cast<std::size_t>(m_solvedRows[i] - 1);
        if (row < m_setAside.size()) {
            m_setAside[row] = true;
            marked = true;
        }
    }
    if (!marked) {
        ShowMessage(messages::kNothingToSetAside);
        return false;
    }
    if (SolveCommand())
        return true;
    // Too few points left, or no fit without them: the rows go back as they were.
    m_setAside = before;
    return false;
}

bool CommonPointPage::TakeBack(const tables::RowSelection& selection)
{
    const std::vector<bool> before = m_setAside;
    bool taken = false;
    for (int row = std::max(1, selection.smallestRow); row <= selection.largestRow; ++row) {
        const auto index = static_cast<std::size_t>(row - 1);
        if (index < m_setAside.size() && m_setAside[index]) {
            m_setAside[index] = false;
            taken = true;
        }
    }
    if (!taken)
        return false;
    if (SolveCommand())
        return true;
    m_setAside = before;
    return false;
}

CommonPointPage::RowMark CommonPointPage::MarkOf(int row) const
{
    const auto index = static_cast<std::size_t>(row - 1);
    if (row < 1)
        return RowMark::None;
    if (index < m_setAside.size() && m_setAside[index])
        return RowMark::SetAside;
    // Solved rows are in ascending order: a grid asks for every visible cell.
    const auto found = std::lower_bound(m_solvedRows.begin(), m_solvedRows.end(), row);
    if (found == m_solvedRows.end() || *found != row)
        return RowMark::None;
    const auto i = static_cast<std::size_t>(found - m_solvedRows.begin());
    return i < m_quality.rows.size() && m_quality.rows[i].beyond3Sigma ? RowMark::Beyond3Sigma
                                                                       : RowMark::None;
}

int CommonPointPage::SetAsideCount() const
{
    return static_cast<int>(std::count(m_setAside.begin(), m_setAside.end(), true));
}

void CommonPointPage::FollowTable(const tables::TableChange& change)
{
    if (m_filling || change.kind == tables::TableChange::Kind::Cells)
        return;
    if (change.kind == tables::TableChange::Kind::Reset) {
        m_setAside.clear();
        m_solvedRows.clear();
        return;
    }
    const int first = std::max(1, change.first);
    const int count = change.last - first + 1;
    if (count <= 0)
        return;
    const bool inserted = change.kind == tables::TableChange::Kind::Inserted;
    const auto at = static_cast<std::size_t>(first - 1);
    if (inserted && at <= m_setAside.size())
        m_setAside.insert(m_setAside.begin() + static_cast<std::ptrdiff_t>(at),
                          static_cast<std::size_t>(count), false);
    else if (!inserted && at < m_setAside.size())
        m_setAside.erase(m_setAside.begin() + static_cast<std::ptrdiff_t>(at),
                         m_setAside.begin() +
                             static_cast<std::ptrdiff_t>(std::min(m_setAside.size(), at + count)));
    // The last solve's rows move with inserted rows; once a row is gone its report no longer
    // describes the table, and no row shows a mark until the next solve.
    if (!inserted) {
        m_solvedRows.clear();
        return;
    }
    for (int& row : m_solvedRows)
        if (row >= first)
            row += count;
}

void CommonPointPage::AddCheckPoints(const PointRows& all)
{
    m_qualityText += "\n检查点(未参与解算)\t残差(m)\n";
    for (int r = 0; r < all.rows; ++r) {
        if (!m_setAside[static_cast<std::size_t>(r)])
            continue;
        const std::span<const std::string> row = all.Row(r);
        m_qualityText += (row.empty() ? std::string() : row[0]) + "\t" + Residual(row) + "\n";
    }
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
            std::string quoted = std::string(m_table.GetCell(0, c)) + "=";
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
