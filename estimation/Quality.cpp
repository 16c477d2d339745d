// Fit quality of the estimated transformation parameters.
#include "estimation/Quality.hpp"

#include "platform/NumberText.hpp"

#include <cmath>
#include <limits>

namespace carvento::estimation {
namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

std::vector<int> Leading(std::vector<int> used, int estimated)
{
    if (estimated > 0 && static_cast<int>(used.size()) > estimated)
        used.resize(static_cast<std::size_t>(estimated));
    return used;
}

double Length(const std::array<double, 3>& v, int components)
{
    double sum = 0.0;
    for (int k = 0; k < components; ++k)
        sum += v[static_cast<std::size_t>(k)] * v[static_cast<std::size_t>(k)];
    return std::sqrt(sum);
}

std::string Millimetres(double metres)
{
    if (!std::isfinite(metres))
        return "-";
    return platform::FormatFixed(metres * 1000.0, 1);
}

PointList Rows(const PointList& list, const std::vector<int>& used)
{
    PointList rows(static_cast<int>(used.size()), list.m_nCol);
    for (int r = 0; r < rows.m_nRow; ++r)
        for (int c = 0; c < list.m_nCol; ++c)
            rows(r, c) = list(used[static_cast<std::size_t>(r)], c);
    return rows;
}

} // namespace

int QualityReport::Marked() const
{
    int marked = 0;
    for (const PointQuality& row : rows)
        marked += row.beyond3Sigma ? 1 : 0;
    return marked;
}

QualityReport AssessFit(const FitModel& model)
{
    QualityReport report;
    report.points = model.points;
    report.components = model.components;
    std::vector<int> all;
    for (int i = 0; i < model.points; ++i)
        all.push_back(i);
    const std::vector<int> estimated = Leading(all, model.estimatedPoints);
    if (model.points == 0 || !model.solve(estimated))
        return report;
    report.redundancy = static_cast<int>(estimated.size()) * model.components - model.unknowns;
    double sum = 0.0;
    for (int i = 0; i < model.points; ++i) {
        PointQuality row;
        row.residual = model.misclosure(i);
        for (int k = model.components; k < 3; ++k)
            row.residual[static_cast<std::size_t>(k)] = 0.0;
        row.length = Length(row.residual, model.components);
        report.rows.push_back(row);
    }
    // σ0 from the points the estimate read; the others are checks, not observations.
    for (int i : estimated)
        sum += report.rows[static_cast<std::size_t>(i)].length *
               report.rows[static_cast<std::size_t>(i)].length;
    report.sigma0 = report.redundancy > 0 ? std::sqrt(sum / report.redundancy) : kNaN;
    for (PointQuality& row : report.rows)
        for (int k = 0; k < model.components; ++k)
            if (std::fabs(row.residual[static_cast<std::size_t>(k)]) > 3.0 * report.sigma0)
                row.beyond3Sigma = true;
    for (int i = 0; i < model.points; ++i) {
        if (model.points > kLeaveOneOutLimit) {
            report.rows[static_cast<std::size_t>(i)].leaveOneOut = kNaN;
            continue;
        }
        std::vector<int> others;
        for (int k = 0; k < model.points; ++k)
            if (k != i)
                others.push_back(k);
        others = Leading(std::move(others), model.estimatedPoints);
        PointQuality& row = report.rows[static_cast<std::size_t>(i)];
        row.leaveOneOut = !others.empty() && model.solve(others)
                              ? Length(model.misclosure(i), model.components)
                              : kNaN;
    }
    return report;
}

std::string QualityReportText(const QualityReport& report, const std::vector<std::string>& names,
                              const std::vector<std::string>& componentNames)
{
    std::string text = "公共点数: " + std::to_string(report.points) +
                       "  多余观测数: " + std::to_string(report.redundancy) + "  单位权中误差σ0: ";
    text += std::isfinite(report.sigma0) ? platform::FormatFixed(report.sigma0 * 1000.0, 1) + " mm"
                                         : std::string("- (无多余观测)");
    text += "  超限(>3σ0)点数: " + std::to_string(report.Marked()) + "\n";
    text += "点号";
    for (int k = 0; k < report.components && k < static_cast<int>(componentNames.size()); ++k)
        text += "\t" + componentNames[static_cast<std::size_t>(k)] + "(mm)";
    text += "\t残差(mm)\t留一残差(mm)\t标记\n";
    for (std::size_t i = 0; i < report.rows.size(); ++i) {
        const PointQuality& row = report.rows[i];
        text += i < names.size() && !names[i].empty() ? names[i] : std::to_string(i + 1);
        for (int k = 0; k < report.components; ++k)
            text += "\t" + Millimetres(row.residual[static_cast<std::size_t>(k)]);
        text += "\t" + Millimetres(row.length) + "\t" + Millimetres(row.leaveOneOut);
        text += row.beyond3Sigma ? "\t超限\n" : "\t\n";
    }
    return text;
}

QualityReport AssessFourParams(const PointList& oldPoints, const PointList& newPoints, int n)
{
    geodesy::FourParams params;
    FitModel model;
    model.points = n;
    model.unknowns = 4;
    model.components = 2;
    model.solve = [&](const std::vector<int>& used) {
        return SolveFourParams(Rows(oldPoints, used), Rows(newPoints, used),
                               static_cast<int>(used.size()), params) == 1;
    };
    model.misclosure = [&](int i) {
        double x = 0.0, y = 0.0;
        geodesy::TransformFourParams(oldPoints(i, 0), oldPoints(i, 1), params, x, y);
        return std::array<double, 3>{newPoints(i, 0) - x, newPoints(i, 1) - y, 0.0};
    };
    return AssessFit(model);
}

QualityReport AssessSevenParams(const PointList& oldPoints, const PointList& newPoints, int n)
{
    geodesy::SevenParams p;
    FitModel model;
    model.points = n;
    model.unknowns = 7;
    model.components = 3;
    model.solve = [&](const std::vector<int>& used) {
        return SolveSevenParams(Rows(oldPoints, used), Rows(newPoints, used),
                                static_cast<int>(used.size()), p) == 1;
    };
    model.misclosure = [&](int i) {
        // The model of geodesy/Datum.hpp on Cartesian coordinates.
        const double X = oldPoints(i, 0), Y = oldPoints(i, 1), Z = oldPoints(i, 2);
        const double s = 1.0 + p.K;
        return std::array<double, 3>{newPoints(i, 0) - (p.DX + s * X + p.WZ * Y - p.WY * Z),
                                     newPoints(i, 1) - (p.DY + s * Y - p.WZ * X + p.WX * Z),
                                     newPoints(i, 2) - (p.DZ + s * Z + p.WY * X - p.WX * Y)};
    };
    return AssessFit(model);
}

} // namespace carvento::estimation
