// Height anomaly surfaces by least squares.
#include "estimation/HeightFit.hpp"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <memory>

namespace carvento::estimation {
namespace {

constexpr const char* kKindNames[] = {"constant", "plane", "quadratic"};

// Points spread less than this fraction of their scale across their main direction lie on
// one line: at a scale of 10 km that is 0.1 mm.
constexpr double kCollinearRatio = 1e-8;
// A Cholesky pivot below this fraction of the largest diagonal element counts as zero: the
// design columns are of order one, so such a pivot is rounding noise (see Estimators.cpp).
constexpr double kNegligiblePivot = 1e-10;

std::array<double, 6> Terms(double u, double v)
{
    return {1.0, u, v, u * u, u * v, v * v};
}

// Solves N·x = b (n×n, symmetric) by Cholesky; false when a pivot is negligible.
bool SolveCholesky(std::array<std::array<double, 6>, 6> n, std::array<double, 6> b, int size,
                   std::array<double, 6>& x)
{
    double largest = 0.0;
    for (int i = 0; i < size; ++i)
        largest = std::max(largest, std::fabs(n[i][i]));
    if (!(largest > 0.0))
        return false;
    for (int j = 0; j < size; ++j) {
        double pivot = n[j][j];
        for (int k = 0; k < j; ++k)
            pivot -= n[j][k] * n[j][k];
        if (!(pivot > kNegligiblePivot * largest))
            return false;
        n[j][j] = std::sqrt(pivot);
        for (int i = j + 1; i < size; ++i) {
            double s = n[i][j];
            for (int k = 0; k < j; ++k)
                s -= n[i][k] * n[j][k];
            n[i][j] = s / n[j][j];
        }
    }
    for (int i = 0; i < size; ++i) { // L·z = b
        for (int k = 0; k < i; ++k)
            b[i] -= n[i][k] * b[k];
        b[i] /= n[i][i];
    }
    for (int i = size - 1; i >= 0; --i) { // Lᵀ·x = z
        for (int k = i + 1; k < size; ++k)
            b[i] -= n[k][i] * b[k];
        b[i] /= n[i][i];
    }
    x = {};
    for (int i = 0; i < size; ++i)
        x[i] = b[i];
    return std::all_of(x.begin(), x.end(), [](double value) { return std::isfinite(value); });
}

double Cross(const std::array<double, 2>& o, const std::array<double, 2>& a,
             const std::array<double, 2>& b)
{
    return (a[0] - o[0]) * (b[1] - o[1]) - (a[1] - o[1]) * (b[0] - o[0]);
}

// Andrew's monotone chain; collinear points on the edges are dropped.
std::vector<std::array<double, 2>> ConvexHull(std::vector<std::array<double, 2>> p)
{
    std::sort(p.begin(), p.end());
    p.erase(std::unique(p.begin(), p.end()), p.end());
    if (p.size() < 3)
        return p;
    std::vector<std::array<double, 2>> hull(2 * p.size());
    std::size_t k = 0;
    for (std::size_t i = 0; i < p.size(); ++i) {
        while (k >= 2 && Cross(hull[k - 2], hull[k - 1], p[i]) <= 0.0)
            --k;
        hull[k++] = p[i];
    }
    for (std::size_t i = p.size() - 1, t = k + 1; i > 0; --i) {
        while (k >= t && Cross(hull[k - 2], hull[k - 1], p[i - 1]) <= 0.0)
            --k;
        hull[k++] = p[i - 1];
    }
    hull.resize(k - 1);
    return hull;
}

// Distance from p to the segment a–b.
double SegmentDistance(const std::array<double, 2>& p, const std::array<double, 2>& a,
                       const std::array<double, 2>& b)
{
    const double dx = b[0] - a[0], dy = b[1] - a[1];
    const double length2 = dx * dx + dy * dy;
    double t = length2 > 0.0 ? ((p[0] - a[0]) * dx + (p[1] - a[1]) * dy) / length2 : 0.0;
    t = std::clamp(t, 0.0, 1.0);
    return std::hypot(p[0] - (a[0] + t * dx), p[1] - (a[1] + t * dy));
}

std::string Number(double value)
{
    char text[40];
    std::snprintf(text, sizeof text, "%.17g", value);
    return text;
}

bool ParseNumber(const std::string& field, double& value)
{
    const std::size_t first = field.find_first_not_of(" \t\r\n");
    if (first == std::string::npos)
        return false;
    const std::size_t last = field.find_last_not_of(" \t\r\n");
    const std::string text = field.substr(first, last - first + 1);
    char* end = nullptr;
    value = std::strtod(text.c_str(), &end);
    return end == text.c_str() + text.size() && std::isfinite(value);
}

} // namespace

int HeightModelTerms(HeightModel model)
{
    switch (model) {
    case HeightModel::Constant:
        return 1;
    case HeightModel::Plane:
        return 3;
    case HeightModel::Quadratic:
        return 6;
    }
    return 1;
}

double HeightSurface::Anomaly(double x, double y) const
{
    const std::array<double, 6> t = Terms((x - cx) / scale, (y - cy) / scale);
    double zeta = 0.0;
    for (int i = 0; i < HeightModelTerms(model); ++i)
        zeta += c[static_cast<std::size_t>(i)] * t[static_cast<std::size_t>(i)];
    return zeta;
}

std::array<double, 6> HeightSurface::Unscaled() const
{
    const double s2 = scale * scale;
    return {c[0], c[1] / scale, c[2] / scale, c[3] / s2, c[4] / s2, c[5] / s2};
}

bool HeightSurface::Inside(double x, double y) const
{
    constexpr double kEdge = 1e-3;
    const std::array<double, 2> p{x, y};
    if (hull.empty())
        return false;
    if (hull.size() == 1)
        return std::hypot(x - hull[0][0], y - hull[0][1]) <= kEdge;
    for (std::size_t i = 0; i < hull.size(); ++i)
        if (SegmentDistance(p, hull[i], hull[(i + 1) % hull.size()]) <= kEdge)
            return true;
    if (hull.size() == 2)
        return false;
    for (std::size_t i = 0; i < hull.size(); ++i)
        if (Cross(hull[i], hull[(i + 1) % hull.size()], p) < 0.0)
            return false;
    return true;
}

HeightFitStatus FitHeightSurface(HeightModel model, std::span<const HeightPoint> points,
                                 HeightSurface& surface)
{
    const int terms = HeightModelTerms(model);
    if (static_cast<int>(points.size()) < terms)
        return HeightFitStatus::TooFewPoints;
    // The centroid as the first point plus the mean offset from it: coincident points then
    // reduce to exact zeros.
    HeightSurface fit;
    fit.model = model;
    double sx = 0.0, sy = 0.0;
    for (const HeightPoint& p : points) {
        sx += p.x - points[0].x;
        sy += p.y - points[0].y;
    }
    const auto count = static_cast<double>(points.size());
    fit.cx = points[0].x + sx / count;
    fit.cy = points[0].y + sy / count;
    double scale = 0.0, suu = 0.0, suv = 0.0, svv = 0.0;
    for (const HeightPoint& p : points)
        scale = std::max(scale, std::hypot(p.x - fit.cx, p.y - fit.cy));
    fit.scale = scale > 0.0 && std::isfinite(scale) ? scale : 1.0;
    for (const HeightPoint& p : points) {
        const double u = (p.x - fit.cx) / fit.scale, v = (p.y - fit.cy) / fit.scale;
        suu += u * u;
        suv += u * v;
        svv += v * v;
    }
    if (model != HeightModel::Constant) {
        // The smaller eigenvalue of the points' second moments: their spread across the line
        // that fits them best.
        const double mean = 0.5 * (suu + svv);
        const double root = std::hypot(0.5 * (suu - svv), suv);
        const double across = mean - root;
        if (!(scale > 0.0) || !(across > kCollinearRatio * kCollinearRatio * count))
            return HeightFitStatus::Collinear;
    }
    std::array<std::array<double, 6>, 6> n{};
    std::array<double, 6> b{};
    for (const HeightPoint& p : points) {
        const std::array<double, 6> t = Terms((p.x - fit.cx) / fit.scale,
                                              (p.y - fit.cy) / fit.scale);
        const double zeta = p.H - p.h;
        for (int i = 0; i < terms; ++i) {
            b[i] += t[i] * zeta;
            for (int j = 0; j < terms; ++j)
                n[i][j] += t[i] * t[j];
        }
    }
    if (!SolveCholesky(n, b, terms, fit.c))
        return HeightFitStatus::Undetermined;
    std::vector<std::array<double, 2>> xy;
    for (const HeightPoint& p : points)
        xy.push_back({p.x, p.y});
    fit.hull = ConvexHull(std::move(xy));
    surface = std::move(fit);
    return HeightFitStatus::Ok;
}

FitModel HeightFitModel(HeightModel model, std::span<const HeightPoint> points)
{
    auto surface = std::make_shared<HeightSurface>();
    FitModel fit;
    fit.points = static_cast<int>(points.size());
    fit.unknowns = HeightModelTerms(model);
    fit.components = 1;
    fit.solve = [model, points, surface](const std::vector<int>& used) {
        std::vector<HeightPoint> subset;
        for (int i : used)
            subset.push_back(points[static_cast<std::size_t>(i)]);
        return FitHeightSurface(model, subset, *surface) == HeightFitStatus::Ok;
    };
    fit.misclosure = [points, surface](int i) {
        const HeightPoint& p = points[static_cast<std::size_t>(i)];
        return std::array<double, 3>{p.H - p.h - surface->Anomaly(p.x, p.y), 0.0, 0.0};
    };
    return fit;
}

std::vector<std::string> HeightSurfaceFields(const HeightSurface& surface)
{
    std::vector<std::string> fields{kKindNames[static_cast<int>(surface.model)], Number(surface.cx),
                                    Number(surface.cy), Number(surface.scale)};
    for (double value : surface.c)
        fields.push_back(Number(value));
    fields.push_back(std::to_string(surface.hull.size()));
    for (const std::array<double, 2>& p : surface.hull) {
        fields.push_back(Number(p[0]));
        fields.push_back(Number(p[1]));
    }
    return fields;
}

bool ParseHeightSurface(std::span<const std::string> fields, HeightSurface& surface)
{
    constexpr std::size_t kFixed = 11; // kind, cx, cy, scale, six coefficients, hull count
    if (fields.size() < kFixed)
        return false;
    HeightSurface read;
    std::string kind = fields[0];
    std::erase_if(kind, [](char ch) { return ch == ' ' || ch == '\t'; });
    const auto known = std::find(std::begin(kKindNames), std::end(kKindNames), kind);
    if (known == std::end(kKindNames))
        return false;
    read.model = static_cast<HeightModel>(known - std::begin(kKindNames));
    std::vector<double> values;
    for (std::size_t i = 1; i < fields.size(); ++i) {
        double value = 0.0;
        if (!ParseNumber(fields[i], value))
            return false;
        values.push_back(value);
    }
    read.cx = values[0];
    read.cy = values[1];
    read.scale = values[2];
    if (!(read.scale > 0.0))
        return false;
    for (std::size_t i = 0; i < 6; ++i)
        read.c[i] = values[3 + i];
    const double hullCount = values[9];
    if (hullCount < 1.0 || hullCount > static_cast<double>(fields.size()) ||
        hullCount != std::floor(hullCount) ||
        fields.size() != kFixed + 2 * static_cast<std::size_t>(hullCount))
        return false;
    for (std::size_t i = 10; i + 1 < values.size(); i += 2)
        read.hull.push_back({values[i], values[i + 1]});
    surface = std::move(read);
    return true;
}

} // namespace carvento::estimation
