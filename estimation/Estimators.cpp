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
#include "estimation/Estimators.hpp"

#include <array>

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

} // namespace

int SolveFourParams(const PointList& oldPoints, const PointList& newPoints, int n,
                    FourParams& params)
{
    if (n < 2) {
        return 0;
    }
    const auto c = Centroid<2>(oldPoints, n);
    const auto cn = Centroid<2>(newPoints, n);

    // Unknowns dx, dy, K, T of u' = dx + K·u − T·v, v' = dy + T·u + K·v on reduced coordinates.
    PointList a(2 * n, 4);
    PointList l(2 * n, 1);
    for (int i = 0; i < n; ++i) {
        const double u = oldPoints(i, 0) - c[0];
        const double v = oldPoints(i, 1) - c[1];
        a(2 * i, 0) = 1.0;
        a(2 * i, 2) = u;
        a(2 * i, 3) = -v;
        l(2 * i, 0) = newPoints(i, 0) - cn[0];
        a(2 * i + 1, 1) = 1.0;
        a(2 * i + 1, 2) = v;
        a(2 * i + 1, 3) = u;
        l(2 * i + 1, 0) = newPoints(i, 1) - cn[1];
    }
    const PointList x = a.LeastSquares(l);
    if (x.IsEmpty()) {
        return 0;
    }
    const double k = x(2, 0);
    const double t = x(3, 0);
    // x' = cn + d + (K, −T; T, K)·(x − c), so DX, DY = cn + d − (K, −T; T, K)·c.
    params.DX = cn[0] + x(0, 0) - (k * c[0] - t * c[1]);
    params.DY = cn[1] + x(1, 0) - (t * c[0] + k * c[1]);
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

    // Unknowns dx, dy, dz, εx, εy, εz, m; observations are new − old on reduced coordinates,
    // the design rows the linearised model of TransformSevenParams.
    PointList a(3 * n, 7);
    PointList l(3 * n, 1);
    for (int i = 0; i < n; ++i) {
        const double u = oldPoints(i, 0) - c[0];
        const double v = oldPoints(i, 1) - c[1];
        const double w = oldPoints(i, 2) - c[2];
        const int r = 3 * i;
        a(r, 0) = 1.0;
        a(r, 4) = -w;
        a(r, 5) = v;
        a(r, 6) = u;
        l(r, 0) = (newPoints(i, 0) - cn[0]) - u;
        a(r + 1, 1) = 1.0;
        a(r + 1, 3) = w;
        a(r + 1, 5) = -u;
        a(r + 1, 6) = v;
        l(r + 1, 0) = (newPoints(i, 1) - cn[1]) - v;
        a(r + 2, 2) = 1.0;
        a(r + 2, 3) = -v;
        a(r + 2, 4) = u;
        a(r + 2, 6) = w;
        l(r + 2, 0) = (newPoints(i, 2) - cn[2]) - w;
    }
    const PointList x = a.LeastSquares(l);
    if (x.IsEmpty()) {
        return 0;
    }
    const double ex = x(3, 0);
    const double ey = x(4, 0);
    const double ez = x(5, 0);
    const double m = x(6, 0);
    // X' − X = D + (m·I + Ω)·X with Ω the rotation terms; on reduced coordinates the shift is
    // d = D + (m·I + Ω)·c − (cn − c), so D = (cn − c) + d − (m·I + Ω)·c.
    params.DX = (cn[0] - c[0]) + x(0, 0) - (m * c[0] + ez * c[1] - ey * c[2]);
    params.DY = (cn[1] - c[1]) + x(1, 0) - (m * c[1] - ez * c[0] + ex * c[2]);
    params.DZ = (cn[2] - c[2]) + x(2, 0) - (m * c[2] + ey * c[0] - ex * c[1]);
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
