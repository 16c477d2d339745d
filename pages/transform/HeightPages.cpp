// The height fitting pages.
#include "pages/transform/HeightPages.hpp"

#include "pages/frames/Messages.hpp"
#include "pages/transform/ParameterPages.hpp"
#include "platform/NumberText.hpp"
#include "platform/WholeFile.hpp"

#include <cmath>
#include <cstdio>

namespace carvento::pages {
namespace {

using estimation::HeightFitStatus;
using estimation::HeightModel;
using estimation::HeightPoint;
using estimation::HeightSurface;
using platform::FormatFixed;
using platform::ParseDouble;

constexpr int kMetreDecimals = 4;
constexpr const char* kModelField = "model";
const std::vector<std::string> kCoefficientIds = {"a", "b", "c", "d", "e", "f"};
const std::vector<std::string> kCoefficientLabels = {"a(常数项,m):", "b(x项):",  "c(y项):",
                                                     "d(x²项):",     "e(xy项):", "f(y²项):"};

double CellValue(std::span<const std::string> row, std::size_t index)
{
    return index < row.size() ? ParseDouble(row[index]) : 0.0;
}

HeightPoint PointOf(std::span<const std::string> row)
{
    return {CellValue(row, 1), CellValue(row, 2), CellValue(row, 3), CellValue(row, 4)};
}

std::string Significant(double value)
{
    char text[40];
    std::snprintf(text, sizeof text, "%.12g", value);
    return text;
}

} // namespace

std::string HeightModelFileText(const HeightSurface& surface)
{
    std::string text;
    for (const std::string& field : estimation::HeightSurfaceFields(surface))
        text += (text.empty() ? "" : ",") + field;
    return text + "\r\n";
}

// ---- 高程拟合

CHeightFit::CHeightFit(PageContext context) : CommonPointPage(context)
{
    std::vector<int> columns = {0, 1, 2, 3, 4, 5};
    SetUp({.table = {"公共点",
                     {"点号", "x(m)", "y(m)", "大地高H(m)", "正常高h(m)", "残差(mm)"},
                     {45, 100, 100, 90, 90, 70}},
           .import = {.mapColumns = false,
                      .replaceRows = true,
                      .minimumFields = 5,
                      .tooFewFieldsMessage = "行参数不足5个,请检查!",
                      .minimumOnDrop = false,
                      .extraFieldsMessage = messages::kPointFileWider,
                      .skipTitleLine = false,
                      .filters = {{messages::kTextFileFilterName, messages::kTextFileFilter}}},
           // The chosen model's own minimum is checked by the solve.
           .minimumPoints = 1,
           .tooFewPointsMessage = FormatMessage(messages::kTooFewHeightPoints, 1),
           .residualColumn = kResidualColumn,
           .savedColumns = columns,
           .saveTitles = false,
           .solveCaption = "拟合"});
    PageCommand save = *SolutionCommand();
    save.action = [this] { return SaveModel(); };
    AddCommand(std::move(save));
    AddField({.id = kModelField,
              .label = "拟合模型:",
              .kind = FieldKind::Radio,
              .choices = kHeightModelNames,
              .optionNames = {{"const", 0}, {"plane", 1}, {"quadratic", 2}},
              .value = 1,
              .pendingIndex = 1});
    AddField(
        {.id = "x0", .group = "拟合结果", .label = "重心x(m):", .kind = FieldKind::ReadOnlyText});
    AddField(
        {.id = "y0", .group = "拟合结果", .label = "重心y(m):", .kind = FieldKind::ReadOnlyText});
    for (std::size_t i = 0; i < kCoefficientIds.size(); ++i)
        AddField({.id = kCoefficientIds[i],
                  .group = "拟合结果",
                  .label = kCoefficientLabels[i],
                  .kind = FieldKind::ReadOnlyText});
    AddField({.id = "sigma0",
              .group = "拟合结果",
              .label = "单位权中误差(mm):",
              .kind = FieldKind::ReadOnlyText});
}

bool CHeightFit::Solve(const PointRows& points)
{
    const PageField* choice = FindField(kModelField);
    const int index = choice ? choice->value : 1;
    const auto model = static_cast<HeightModel>(index >= 0 && index <= 2 ? index : 1);
    std::vector<HeightPoint> list;
    for (int r = 0; r < points.rows; ++r)
        list.push_back(PointOf(points.Row(r)));
    HeightSurface surface;
    switch (estimation::FitHeightSurface(model, list, surface)) {
    case HeightFitStatus::Ok:
        break;
    case HeightFitStatus::TooFewPoints:
        ShowMessage(FormatMessage(messages::kTooFewHeightPoints,
                                  estimation::HeightModelTerms(model)));
        return false;
    case HeightFitStatus::Collinear:
        ShowMessage(messages::kHeightPointsCollinear);
        return false;
    case HeightFitStatus::Undetermined:
        ShowMessage(messages::kHeightSurfaceUndetermined);
        return false;
    }
    estimation::QualityReport report =
        estimation::AssessFit(estimation::HeightFitModel(model, list));
    m_surface = surface;
    ShowSurface(surface, report.sigma0);
    std::vector<std::array<double, 2>> positions;
    for (const HeightPoint& p : list)
        positions.push_back({p.x, p.y});
    SetQuality(std::move(report), PointNames(points), {"dζ"}, std::move(positions));
    return true;
}

void CHeightFit::ShowSurface(const HeightSurface& surface, double sigma0)
{
    SetFieldText("x0", FormatFixed(surface.cx, kMetreDecimals));
    SetFieldText("y0", FormatFixed(surface.cy, kMetreDecimals));
    const std::array<double, 6> unscaled = surface.Unscaled();
    const int terms = estimation::HeightModelTerms(surface.model);
    for (int i = 0; i < 6; ++i)
        SetFieldText(kCoefficientIds[static_cast<std::size_t>(i)],
                     i < terms ? Significant(unscaled[static_cast<std::size_t>(i)])
                               : std::string());
    SetFieldText("sigma0",
                 std::isfinite(sigma0) ? SolvedParameterText(sigma0 * 1000.0, 1) : std::string());
}

std::string CHeightFit::Residual(std::span<const std::string> row) const
{
    if (!m_surface)
        return {};
    const HeightPoint p = PointOf(row);
    return SolvedParameterText((p.H - p.h - m_surface->Anomaly(p.x, p.y)) * 1000.0, 1);
}

bool CHeightFit::SaveModel()
{
    if (!m_surface) {
        ShowMessage(messages::kNoHeightModel);
        return false;
    }
    platform::FileDialog dialog;
    dialog.filters = Editor().Policy().filters;
    dialog.defaultExtension = "txt";
    std::optional<std::string> path = m_context.prompter.ChooseSaveFile(dialog);
    if (!path)
        return false;
    return SaveModelToFile(*path, ExportEncoding(m_context.profile));
}

bool CHeightFit::SaveModelToFile(const std::string& path, tables::TextEncoding encoding)
{
    if (!m_surface) {
        ShowMessage(messages::kNoHeightModel);
        return false;
    }
    const std::vector<std::string> line = estimation::HeightSurfaceFields(*m_surface);
    return WriteTableFile(m_context.prompter, path, line, 1, static_cast<int>(line.size()), {},
                          encoding);
}

// ---- 正常高计算

CHeightApply::CHeightApply(PageContext context) : ConversionPage(context)
{
    const std::vector<int> widths = {45, 100, 100, 90, 50};
    // Both tables have the same columns; the source's last one is carried into the result's
    // 外推 mark and overwritten there.
    SetLayout({"大地高", {"点号", "x(m)", "y(m)", "大地高H(m)", "备注"}, widths},
              {"正常高", {"点号", "x(m)", "y(m)", "正常高h(m)", "外推"}, widths});
    AddField({.id = kModelField, .label = "拟合模型:", .kind = FieldKind::ReadOnlyText});
    AddCommand({kImportModelCommand, "导入模型", [this] { return ImportModel(); }});
    OfferGisExport();
}

std::optional<GisPoints> CHeightApply::ResultGisPoints() const
{
    return GisPoints{.coordinateColumns = {1, 2, 3},
                     .hasZ = true,
                     .read = [](std::span<const std::string> row) {
                         return ReadPlanePoint(row, 1, 3);
                     }};
}

bool CHeightApply::ImportModel()
{
    platform::FileDialog dialog;
    dialog.filters = {{messages::kTextFileFilterName, messages::kTextFileFilter}};
    dialog.defaultExtension = "txt";
    std::vector<std::string> paths = m_context.prompter.ChooseOpenFiles(dialog);
    if (paths.empty())
        return false;
    return ImportParameterFile(paths.front());
}

bool CHeightApply::ImportParameterFile(const std::string& path)
{
    std::string bytes;
    if (!platform::ReadWholeFile(path, bytes)) {
        ShowMessage(FormatMessage(messages::kCannotReadFile, path));
        return false;
    }
    // One line, its end optional.
    while (!bytes.empty() && (bytes.back() == '\n' || bytes.back() == '\r'))
        bytes.pop_back();
    std::vector<std::string> fields;
    if (!bytes.empty() && bytes.find_first_of("\r\n") == std::string::npos) {
        std::size_t start = 0;
        for (;;) {
            const std::size_t comma = bytes.find(',', start);
            fields.push_back(bytes.substr(start, comma - start));
            if (comma == std::string::npos)
                break;
            start = comma + 1;
        }
    }
    HeightSurface surface;
    if (!estimation::ParseHeightSurface(fields, surface)) {
        ShowMessage(FormatMessage(messages::kDamagedHeightModel, path));
        return false;
    }
    m_surface = surface;
    SetFieldText(kModelField, kHeightModelNames[static_cast<std::size_t>(surface.model)] + "," +
                                  std::to_string(surface.hull.size()) + "个范围点");
    return true;
}

bool CHeightApply::ReadyToConvert()
{
    if (m_surface)
        return true;
    ShowMessage(messages::kNoHeightModelImported);
    return false;
}

void CHeightApply::ConvertRow(std::span<std::string> cells)
{
    // Rows reaching here have column 1; the table has five columns.
    const double x = ParseDouble(cells[1]);
    const double y = ParseDouble(cells[2]);
    const double H = ParseDouble(cells[3]);
    cells[3] = FormatFixed(H - m_surface->Anomaly(x, y), kMetreDecimals);
    cells[4] = m_surface->Inside(x, y) ? "" : kExtrapolated;
}

} // namespace carvento::pages
