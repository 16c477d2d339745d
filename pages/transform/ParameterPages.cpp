// The parameter computation pages.
#include "pages/transform/ParameterPages.hpp"

#include "estimation/Estimators.hpp"
#include "estimation/Quality.hpp"
#include "estimation/Residuals.hpp"
#include "pages/frames/Messages.hpp"
#include "platform/TextSplit.hpp"

#include <algorithm>
#include <cmath>
#include <initializer_list>
#include <string_view>

namespace carvento::pages {
namespace {

using estimation::PointList;

constexpr int kMetreDecimals = 4;

// Cells first … first + count − 1 of a row; cells the row lacks are left out.
std::span<const std::string> CellsOf(std::span<const std::string> row, std::size_t first,
                                     std::size_t count)
{
    if (first >= row.size())
        return {};
    return row.subspan(first, std::min(count, row.size() - first));
}

double CellValue(std::span<const std::string> row, std::size_t index)
{
    return index < row.size() ? platform::ParseDouble(row[index]) : 0.0;
}

PointList ToList(const std::vector<std::array<double, 3>>& points)
{
    PointList list(static_cast<int>(points.size()), 3);
    for (int i = 0; i < list.m_nRow; ++i)
        for (int k = 0; k < 3; ++k)
            list(i, k) = points[static_cast<std::size_t>(i)][static_cast<std::size_t>(k)];
    return list;
}

// Common-point import: field k of a line into column k, the file's rows replacing the
// table's, a minimum field count for 导入 but not for dropped files; no title line.
ImportPolicy CommonPointImport(int minimumFields, const char* message)
{
    return {.mapColumns = false,
            .replaceRows = true,
            .minimumFields = minimumFields,
            .tooFewFieldsMessage = message,
            .minimumOnDrop = false,
            .extraFieldsMessage = messages::kPointFileWider,
            .skipTitleLine = false,
            .filters = {{messages::kTextFileFilterName, messages::kTextFileFilter}}};
}

// 保存公共点 writes every column, identifier first, without a title line: the layout 导入
// reads, so a saved file comes back unchanged.
std::vector<int> AllColumns(int count)
{
    std::vector<int> columns;
    for (int c = 0; c < count; ++c)
        columns.push_back(c);
    return columns;
}

bool AllFinite(std::initializer_list<double> values)
{
    return std::all_of(values.begin(), values.end(), [](double v) { return std::isfinite(v); });
}

// Parameters worth showing and saving: finite, and shifts no larger than a coordinate can be.
// Anything else comes from points that determine the parameters only in name (rounding at
// the edge of the range), and printed with its decimals it would fill a line with digits.
bool IsUsable(const ParameterSet& set)
{
    const std::vector<ParameterName>& names = set.Info().names;
    for (std::size_t i = 0; i < set.Values().size(); ++i) {
        const double value = set.Values()[i];
        if (!std::isfinite(value))
            return false;
        const std::string_view name = names[i].name;
        const bool shift = name == "DX" || name == "DY" || name == "DZ";
        if (shift && std::fabs(value) > kLargestCoordinate)
            return false;
    }
    return true;
}

// The number of leading rows a kind's estimate reads out of `rows`.
int RowsEstimated(const DatumKind& kind, int rows)
{
    return kind.rowsEstimated > 0 ? std::min(kind.rowsEstimated, rows) : rows;
}

} // namespace

std::string_view TransformPageClassOf(ParameterKind kind)
{
    if (const DatumKind* datum = DatumKindOf(kind))
        return datum->transformPageClass;
    return "CTrans4Dlg";
}

std::string ParameterFileText(ParameterKind kind, std::span<const std::string> displayTexts)
{
    std::string text;
    const std::vector<std::string> line = ParameterFileLine(kind, displayTexts);
    for (std::size_t i = 0; i < line.size(); ++i) {
        if (i)
            text += ',';
        platform::AppendQuotedField(text, line[i]);
    }
    return text + "\r\n";
}

namespace {

void CopyEllipsoid(const geodesy::EllipsoidPanel& from, geodesy::EllipsoidPanel& to)
{
    const std::vector<std::string>& entries = to.Entries();
    const std::string& name = from.Entries()[static_cast<std::size_t>(from.Selection())];
    const auto at = std::find(entries.begin(), entries.end(), name);
    if (!from.AxesEditable() && at != entries.end()) {
        to.Select(static_cast<int>(at - entries.begin()));
        return;
    }
    // "自定义", or a stored ellipsoid this page does not list: the axes the source applies,
    // as the source shows them when they are those.
    const int custom = static_cast<int>(entries.size()) - 1;
    const geodesy::Ellipsoid& applied = from.AppliedEllipsoid();
    to.SetAText(from.AText());
    to.SetBText(from.BText());
    to.Select(custom);
    if (to.AppliedEllipsoid().a != applied.a || to.AppliedEllipsoid().b != applied.b) {
        to.SetAText(platform::FormatFixed(applied.a, 10));
        to.SetBText(platform::FormatFixed(applied.b, 10));
        to.Select(custom);
    }
}

bool HoldsText(FieldKind kind)
{
    return kind == FieldKind::Integer || kind == FieldKind::Text;
}

} // namespace

void CopySharedSettings(const ToolPage& from, ToolPage& to)
{
    for (const PagePanel& panel : from.Panels()) {
        geodesy::EllipsoidPanel* target = to.EllipsoidPanelOf(panel.side);
        if (panel.ellipsoid && target)
            CopyEllipsoid(*panel.ellipsoid, *target);
    }
    for (const PageField& field : from.Fields()) {
        const PageField* shared = to.FindField(field.id);
        if (!shared || shared->kind != field.kind || field.kind == FieldKind::ReadOnlyText)
            continue;
        if (HoldsText(field.kind))
            to.EditText(field.id, field.text);
        else
            to.Choose(field.id, field.pendingIndex);
    }
}

std::string SolvedParameterText(double value, int decimals)
{
    std::string text = platform::FormatFixed(value, decimals);
    if (!text.empty() && text[0] == '-' && text.find_first_not_of("0.", 1) == std::string::npos)
        text.erase(0, 1);
    return text;
}

// ---- three and seven parameters

DatumParameterPage::DatumParameterPage(PageContext context, ParameterKind kind)
    : ParameterPage(kind, context, kShortAngleUnitChoices, kShortAngleUnitChoices),
      m_datumKind(*DatumKindOf(kind)),
      m_params(kind == ParameterKind::Seven ? DatumParams(geodesy::SevenParams{})
                                            : DatumParams(geodesy::ThreeParams{}))
{
    const ParameterSetInfo& info = ParameterSetOf(kind);
    SetUp({.table = {"公共点坐标",
                     {"序号", "原坐标x(m)", "原坐标y(m)", "原高程z(m)", "新坐标x(m)", "新坐标y(m)",
                      "新高程z(m)", "中误差(m)"},
                     {35, 90, 90, 80, 90, 90, 80, 70}},
           .import = CommonPointImport(7, "行参数不足7个,请检查!"),
           .minimumPoints = m_datumKind.minimumPoints,
           .tooFewPointsMessage = m_datumKind.tooFewPointsMessage,
           .residualColumn = kResidualColumn,
           .savedColumns = AllColumns(8),
           .saveTitles = false,
           .solveCaption = info.solveCaption});
    AddSaveParamsCommand();
    From().ShowTitlesIn(Table(), 1);
    To().ShowTitlesIn(Table(), 4);
}

bool DatumParameterPage::Solve(const PointRows& points)
{
    From().TakeFields();
    To().TakeFields();
    // Every row is brought to Cartesian coordinates, the rows the estimate does not read as
    // well: their residuals come from the same chain.
    std::vector<std::array<double, 3>> oldPoints, newPoints;
    for (int r = 0; r < points.rows; ++r) {
        const std::span<const std::string> row = points.Row(r);
        const GeodeticPoint o = From().ReadPoint(CellsOf(row, 1, 3));
        const GeodeticPoint n = To().ReadPoint(CellsOf(row, 4, 3));
        std::array<double, 3> xyzOld{}, xyzNew{};
        geodesy::GeodeticToCartesian(From().Projector(), o.B, o.L, o.H, xyzOld[0], xyzOld[1],
                                     xyzOld[2]);
        geodesy::GeodeticToCartesian(To().Projector(), n.B, n.L, n.H, xyzNew[0], xyzNew[1],
                                     xyzNew[2]);
        double x = 0.0, y = 0.0;
        To().ReadPlane(CellsOf(row, 4, 2), x, y);
        // Plane values far beyond the pole come back from the inverse projection as latitudes
        // of thousands of degrees, on the ellipsoid all the same: no point of the earth.
        if (!(std::fabs(o.B) <= 90.0 && std::fabs(n.B) <= 90.0) ||
            !AllFinite({o.L, o.H, n.L, n.H, xyzOld[0], xyzOld[1], xyzOld[2], xyzNew[0], xyzNew[1],
                        xyzNew[2], x, y})) {
            ShowMessage(FormatMessage(messages::kPointNotConvertible, r + 1));
            return false;
        }
        oldPoints.push_back(xyzOld);
        newPoints.push_back(xyzNew);
    }
    const auto estimated = static_cast<std::size_t>(RowsEstimated(m_datumKind, points.rows));
    oldPoints.resize(estimated);
    newPoints.resize(estimated);
    const std::optional<DatumParams> params = m_datumKind.estimate(ToList(oldPoints),
                                                                   ToList(newPoints));
    if (!params) {
        ShowMessage(messages::kNoSolution);
        return false;
    }
    const ParameterSet shown = m_datumKind.shown(*params);
    if (!IsUsable(shown)) {
        ShowMessage(messages::kSolutionUnusable);
        return false;
    }
    m_params = *params;
    ShowParameters(shown);
    m_solved = true;
    m_solvedFrom = ProjSideOf(*this, From(), ZoneNumberInColumn(Table(), 2));
    m_solvedTo = ProjSideOf(*this, To(), 0);
    AssessQuality(points);
    return true;
}

void DatumParameterPage::AssessQuality(const PointRows& points)
{
    std::vector<std::array<double, 3>> oldPoints, newPoints;
    std::vector<GeodeticPoint> olds;
    for (int r = 0; r < points.rows; ++r) {
        const std::span<const std::string> row = points.Row(r);
        const GeodeticPoint o = From().ReadPoint(CellsOf(row, 1, 3));
        const GeodeticPoint n = To().ReadPoint(CellsOf(row, 4, 3));
        std::array<double, 3> xyz{};
        geodesy::GeodeticToCartesian(From().Projector(), o.B, o.L, o.H, xyz[0], xyz[1], xyz[2]);
        oldPoints.push_back(xyz);
        geodesy::GeodeticToCartesian(To().Projector(), n.B, n.L, n.H, xyz[0], xyz[1], xyz[2]);
        newPoints.push_back(xyz);
        olds.push_back(o);
    }
    std::optional<DatumParams> fitted;
    estimation::FitModel model;
    model.points = points.rows;
    model.unknowns = ParameterSetOf(Kind()).Count();
    model.components = 3;
    const int rowsEstimated = RowsEstimated(m_datumKind, points.rows);
    model.estimatedPoints = rowsEstimated < points.rows ? rowsEstimated : 0;
    model.solve = [&](const std::vector<int>& used) {
        std::vector<std::array<double, 3>> o, n;
        for (int i : used) {
            o.push_back(oldPoints[static_cast<std::size_t>(i)]);
            n.push_back(newPoints[static_cast<std::size_t>(i)]);
        }
        fitted = m_datumKind.estimate(ToList(o), ToList(n));
        return fitted.has_value();
    };
    // In the target's plane and height, as the residual column measures: the known y without
    // its zone number.
    model.misclosure = [&](int i) {
        const std::span<const std::string> row = points.Row(i);
        const GeodeticPoint moved = Move(*fitted, olds[static_cast<std::size_t>(i)]);
        double x = 0.0, y = 0.0, xNew = 0.0, yNew = 0.0;
        To().Project(moved.B, moved.L, x, y);
        To().ReadPlane(CellsOf(row, 4, 2), xNew, yNew);
        return std::array<double, 3>{xNew - x, estimation::ReduceZoneMillions(yNew) - y,
                                     CellValue(row, 6) - moved.H};
    };
    std::vector<std::array<double, 2>> positions;
    for (int r = 0; r < points.rows; ++r) {
        std::array<double, 2> xy{};
        To().ReadPlane(CellsOf(points.Row(r), 4, 2), xy[0], xy[1]);
        positions.push_back(xy);
    }
    SetQuality(estimation::AssessFit(model), PointNames(points), {"dx", "dy", "dz"},
               std::move(positions));
}

std::optional<std::string> DatumParameterPage::ProjExportText()
{
    if (!m_solved) {
        ShowNothingToExport();
        return std::nullopt;
    }
    return m_datumKind.projText(m_solvedFrom, m_solvedTo, m_params);
}

GeodeticPoint DatumParameterPage::Move(const DatumParams& params, const GeodeticPoint& point) const
{
    return m_datumKind.move(From().Projector(), To().Projector(), params, point);
}

std::string DatumParameterPage::Residual(std::span<const std::string> row) const
{
    const GeodeticPoint moved = Move(m_params, From().ReadPoint(CellsOf(row, 1, 3)));
    double x = 0.0, y = 0.0;
    To().Project(moved.B, moved.L, x, y);
    double xNew = 0.0, yNew = 0.0;
    To().ReadPlane(CellsOf(row, 4, 2), xNew, yNew);
    const double residual = estimation::SpatialResidual(x, y, moved.H, xNew, yNew,
                                                        CellValue(row, 6));
    return platform::FormatFixed(residual, kMetreDecimals);
}

// ---- four parameters

CParams4::CParams4(PageContext context) : ParameterPage(ParameterKind::Four, context)
{
    SetUp({.table = {"公共点坐标",
                     {"序号", "老坐标x(m)", "老坐标y(m)", "新坐标x(m)", "新坐标y(m)", "中误差(m)"},
                     {35, 100, 100, 100, 100, 80}},
           .import = CommonPointImport(5, "行参数不足5个,请检查!"),
           .minimumPoints = 2,
           .tooFewPointsMessage = "公共点个数不足2个!",
           .residualColumn = kResidualColumn,
           .savedColumns = AllColumns(6),
           .saveTitles = false,
           .solveCaption = ParameterSetOf(ParameterKind::Four).solveCaption});
    AddSaveParamsCommand();
}

bool CParams4::Solve(const PointRows& points)
{
    PointList oldPoints(points.rows, 2);
    PointList newPoints(points.rows, 2);
    for (int r = 0; r < points.rows; ++r) {
        const std::span<const std::string> row = points.Row(r);
        oldPoints(r, 0) = CellValue(row, 1);
        oldPoints(r, 1) = CellValue(row, 2);
        newPoints(r, 0) = CellValue(row, 3);
        newPoints(r, 1) = CellValue(row, 4);
    }
    geodesy::FourParams params;
    if (estimation::SolveFourParams(oldPoints, newPoints, points.rows, params) != 1) {
        ShowMessage(messages::kNoSolution);
        return false;
    }
    const ParameterSet shown = ParameterSet::From(params);
    if (!IsUsable(shown)) {
        ShowMessage(messages::kSolutionUnusable);
        return false;
    }
    m_params = params;
    m_solved = true;
    ShowParameters(shown);
    std::vector<std::array<double, 2>> positions;
    for (int r = 0; r < points.rows; ++r)
        positions.push_back({newPoints(r, 0), newPoints(r, 1)});
    SetQuality(estimation::AssessFourParams(oldPoints, newPoints, points.rows), PointNames(points),
               {"dx", "dy"}, std::move(positions));
    return true;
}

std::optional<std::string> CParams4::ProjExportText()
{
    if (!m_solved) {
        ShowNothingToExport();
        return std::nullopt;
    }
    return FourParamsExportText(m_params);
}

std::string CParams4::Residual(std::span<const std::string> row) const
{
    const double residual = estimation::FourParamsResidual(CellValue(row, 1), CellValue(row, 2),
                                                           CellValue(row, 3), CellValue(row, 4),
                                                           m_params);
    return platform::FormatFixed(residual, kMetreDecimals);
}

} // namespace carvento::pages
