// Least-squares estimation of transformation parameters.
//
// Both estimators fit the models of geodesy/FourParams.hpp and geodesy/Datum.hpp on coordinates
// reduced to the centroid of each point list, then carry the shift back to the original origin.
// The model is linear, so in exact arithmetic this is the same estimate as the literal normal
// equations. In doubles it is not: at Gauss-Krueger and geocentric magnitudes (millions of
// metres) the literal normal matrix mixes entries of order 1 with entries of order 1e13, and
// two points 100 m apart related by a pure shift came out with DX metres off and T around
// ±1e-6. Reduced coordinates keep the shift unknowns decoupled from the others and the
// estimate as good as the data allow.
//
// The normal equations are solved here rather than by the matrix's LeastSquares, which refuses
// only an exactly zero pivot: nearly coincident or nearly collinear points passed that test and
// came back with status 1 and meaningless parameters. See SolveNormal for the tolerance.
#include "estimation/Estimators.hpp"

#include <algorithm>
#include <array>
#include <cmath>

namespace carvento::estimation {
namespace {

using geodesy::FourParams;
using geodesy::SevenParams;
using geodesy::ThreeParams;

// Centroid of the first n rows, formed as the first point plus the mean offset from it: coincident
// points then reduce to exact zeros (a plain mean of three copies of 0.1 is 0.10000000000000002),
// so their normal matrix has exactly zero columns and Solve reports it singular without relying
// on rounding errors to cancel.
template <int Dim>
std::array<double, Dim> Centroid(const PointList& points, int n)
{
    std::array<double, Dim> centroid{};
    for (int k = 0; k < Dim; ++k) {
        const double origin = points(0, k);
        double sum = 0.0;
        for (int i = 0; i < n; ++i) {
            sum += points(i, k) - origin;
        }
        centroid[k] = origin + sum / n;
    }
    return centroid;
}

// Root-mean-square distance of the first n points from their centroid, and the largest
// absolute centroid coordinate.
template <int Dim>
void Spread(const PointList& points, int n, const std::array<double, Dim>& centroid, double& spread,
            double& magnitude)
{
    double sum = 0.0;
    for (int i = 0; i < n; ++i)
        for (int k = 0; k < Dim; ++k) {
            const double d = points(i, k) - centroid[k];
            sum += d * d;
        }
    spread = std::sqrt(sum / n);
    magnitude = 0.0;
    for (int k = 0; k < Dim; ++k)
        magnitude = std::max(magnitude, std::fabs(centroid[k]));
}

// Points whose spread about their centroid is below this fraction of their distance from the
// origin are taken as one point. Coordinates travel as text with four decimals (0.1 mm); at
// Gauss-Krueger and geocentric magnitudes (3e6 to 6.4e6 m) 1e-10 is 0.3 to 0.6 mm, so such
// points coincide within the precision they were written with, and their differences carry
// nothing but rounding. Dividing by such a spread (below) would hide that.
constexpr double kCoincidentSpread = 1e-10;

// Whether the old points spread enough to determine rotation and scale; `spread` is then the
// unit the reduced coordinates are divided by, so every column of the design matrix is of
// order one and the pivots below compare like with like.
template <int Dim>
bool Spreads(const PointList& points, int n, const std::array<double, Dim>& centroid,
             double& spread)
{
    double magnitude = 0.0;
    Spread<Dim>(points, n, centroid, spread, magnitude);
    return std::isfinite(spread) && spread > 0.0 && spread > kCoincidentSpread * magnitude;
}

// A pivot of the normal matrix below this fraction of its largest diagonal element counts as
// zero. The design columns are scaled to order one (Spreads), so the normal matrix's entries
// are of order n and forming and eliminating it leaves rounding errors of about n·1e-16 of its
// largest element. A pivot within 1e-10 of that element is at most a few hundred thousand
// times the rounding noise; the unknowns along its direction would be amplified by 1e10 or
// more and mean nothing: this is the case of coincident points (seven or four parameters),
// points on one line (seven parameters: the rotation about the line is free), and sets that
// come within rounding of either.
constexpr double kNegligiblePivot = 1e-10;

// Solves the symmetric normal system N·x = b (N = AᵀA, b = AᵀL) by Cholesky elimination,
// refusing it (false, x untouched) when a pivot is negligible relative to the matrix.
template <int U>
bool SolveNormal(const PointList& a, const PointList& l, std::array<double, U>& x)
{
    std::array<std::array<double, U>, U> n{};
    std::array<double, U> b{};
    for (int r = 0; r < a.m_nRow; ++r)
        for (int i = 0; i < U; ++i) {
            const double ai = a(r, i);
            if (ai == 0.0)
                continue;
            b[i] += ai * l(r, 0);
            for (int j = 0; j < U; ++j)
                n[i][j] += ai * a(r, j);
        }
    double largest = 0.0;
    for (int i = 0; i < U; ++i)
        largest = std::max(largest, std::fabs(n[i][i]));
    const double tolerance = kNegligiblePivot * largest;
    // N = G·Gᵀ, G lower triangular, stored over the lower half of n.
    for (int j = 0; j < U; ++j) {
        double pivot = n[j][j];
        for (int k = 0; k < j; ++k)
            pivot -= n[j][k] * n[j][k];
        if (!(pivot > tolerance))
            return false;
        const double g = std::sqrt(pivot);
        n[j][j] = g;
        for (int i = j + 1; i < U; ++i) {
            double sum = n[i][j];
            for (int k = 0; k < j; ++k)
                sum -= n[i][k] * n[j][k];
            n[i][j] = sum / g;
        }
    }
    std::array<double, U> y{};
    for (int i = 0; i < U; ++i) {
        double sum = b[i];
        for (int k = 0; k < i; ++k)
            sum -= n[i][k] * y[k];
        y[i] = sum / n[i][i];
    }
    std::array<double, U> solution{};
    for (int i = U - 1; i >= 0; --i) {
        double sum = y[i];
        for (int k = i + 1; k < U; ++k)
            sum -= n[k][i] * solution[k];
        solution[i] = sum / n[i][i];
    }
    for (double value : solution)
        if (!std::isfinite(value))
            return false;
    x = solution;
    return true;
}

} // namespace

int SolveFourParams(const PointList& oldPoints, const PointList& newPoints, int n,
                    FourParams& params)
{
    if (n < 2) {
        return 0;
    }
    const auto c = Centroid<2>(oldPoints, n);
    const auto cn = Centroid<2>(newPoints, n);

    double s = 0.0;
    if (!Spreads<2>(oldPoints, n, c, s)) {
        return 0;
    }

    // Unknowns dx, dy, K·s, T·s of u' = dx + K·u − T·v, v' = dy + T·u + K·v on reduced
    // coordinates, the design taking u and v in units of the spread s.
    PointList a(2 * n, 4);
    PointList l(2 * n, 1);
    for (int i = 0; i < n; ++i) {
        const double u = (oldPoints(i, 0) - c[0]) / s;
        const double v = (oldPoints(i, 1) - c[1]) / s;
        a(2 * i, 0) = 1.0;
        a(2 * i, 2) = u;
        a(2 * i, 3) = -v;
        l(2 * i, 0) = newPoints(i, 0) - cn[0];
        a(2 * i + 1, 1) = 1.0;
        a(2 * i + 1, 2) = v;
        a(2 * i + 1, 3) = u;
        l(2 * i + 1, 0) = newPoints(i, 1) - cn[1];
    }
    std::array<double, 4> x{};
    if (!SolveNormal<4>(a, l, x)) {
        return 0;
    }
    const double k = x[2] / s;
    const double t = x[3] / s;
    // x' = cn + d + (K, −T; T, K)·(x − c), so DX, DY = cn + d − (K, −T; T, K)·c.
    params.DX = cn[0] + x[0] - (k * c[0] - t * c[1]);
    params.DY = cn[1] + x[1] - (t * c[0] + k * c[1]);
    params.K = k;
    params.T = t;
    return 1;
}

int SolveSevenParams(const PointList& oldPoints, const PointList& newPoints, int n,
                     SevenParams& params)
{
    if (n < 3) {
        return 0;
    }
    const auto c = Centroid<3>(oldPoints, n);
    const auto cn = Centroid<3>(newPoints, n);

    double s = 0.0;
    if (!Spreads<3>(oldPoints, n, c, s)) {
        return 0;
    }

    // Unknowns dx, dy, dz, εx·s, εy·s, εz·s, m·s; observations are new − old on reduced
    // coordinates (metres), the design rows the linearised model of TransformSevenParams with
    // the coordinates in units of the spread s.
    PointList a(3 * n, 7);
    PointList l(3 * n, 1);
    for (int i = 0; i < n; ++i) {
        const double u = oldPoints(i, 0) - c[0];
        const double v = oldPoints(i, 1) - c[1];
        const double w = oldPoints(i, 2) - c[2];
        const double us = u / s;
        const double vs = v / s;
        const double ws = w / s;
        const int r = 3 * i;
        a(r, 0) = 1.0;
        a(r, 4) = -ws;
        a(r, 5) = vs;
        a(r, 6) = us;
        l(r, 0) = (newPoints(i, 0) - cn[0]) - u;
        a(r + 1, 1) = 1.0;
        a(r + 1, 3) = ws;
        a(r + 1, 5) = -us;
        a(r + 1, 6) = vs;
        l(r + 1, 0) = (newPoints(i, 1) - cn[1]) - v;
        a(r + 2, 2) = 1.0;
        a(r + 2, 3) = -vs;
        a(r + 2, 4) = us;
        a(r + 2, 6) = ws;
        l(r + 2, 0) = (newPoints(i, 2) - cn[2]) - w;
    }
    std::array<double, 7> x{};
    if (!SolveNormal<7>(a, l, x)) {
        return 0;
    }
    const double ex = x[3] / s;
    const double ey = x[4] / s;
    const double ez = x[5] / s;
    const double m = x[6] / s;
    // X' − X = D + (m·I + Ω)·X with Ω the rotation terms; on reduced coordinates the shift is
    // d = D + (m·I + Ω)·c − (cn − c), so D = (cn − c) + d − (m·I + Ω)·c.
    params.DX = (cn[0] - c[0]) + x[0] - (m * c[0] + ez * c[1] - ey * c[2]);
    params.DY = (cn[1] - c[1]) + x[1] - (m * c[1] - ez * c[0] + ex * c[2]);
    params.DZ = (cn[2] - c[2]) + x[2] - (m * c[2] + ey * c[0] - ex * c[1]);
    params.WX = ex;
    params.WY = ey;
    params.WZ = ez;
    params.K = m;
    return 1;
}

int SolveThreeParams(const PointList& oldPoints, const PointList& newPoints, ThreeParams& params)
{
    params.DX = newPoints(0, 0) - oldPoints(0, 0);
    params.DY = newPoints(0, 1) - oldPoints(0, 1);
    params.DZ = newPoints(0, 2) - oldPoints(0, 2);
    return 1;
}

} // namespace carvento::estimation
