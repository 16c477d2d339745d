// Ellipsoid constants and the classical Gauss-Krueger series (terms up to l^6 and u^6).
//
// Glossary: B latitude, L longitude, L0 central meridian, l = L − L0 (radians), x northing,
// y easting (with the add constant), X meridian arc, N prime-vertical radius, t = tan B,
// c = cos B, η² = e′²·cos²B, Bf footpoint latitude, u = y′/N.
//
// Every expression keeps the association and order written here: the printed results
// ("%.4lf" metres, "%.8lf" degrees) depend on the last bits, and the build disables fused
// multiply-add for the same reason. Powers such as t⁴, c⁵ or sin⁸B are products of squares
// rather than std::pow calls, which took two thirds of the forward time; they differ from
// std::pow at most in the last bit, and the literal std::pow form is kept in the tests, which
// show every printed result unchanged on over a million points.
#include "geodesy/GaussProjector.hpp"

#include "geodesy/AngleNotation.hpp"

#include <algorithm>
#include <cmath>
#include <iterator>

namespace carvento::geodesy {
namespace {

struct Axes {
    double a;
    double b;
};

// Combo order: Krasovsky (Beijing 1954), IAG 1975 (Xian 1980), CGCS2000, WGS84. The b values
// are the exact doubles the system has always used, not values derived from a flattening.
constexpr Axes kPresetAxes[] = {
    {6378245.0, 6356863.018773047},
    {6378140.0, 6356755.288157528},
    {6378137.0, 6356752.314140356},
    {6378137.0, 6356752.314245179},
};

constexpr double kArcSecondsPerRadian = 206264.80624709636;
// Change (arc-seconds) below which the footpoint iteration stops. It is finer than a double
// resolves, so the loop in effect runs until two successive values agree in every bit.
constexpr double kFootpointConvergence = 1e-12;
// Some x make the iteration alternate for ever between two values one ulp apart
// (x = 5 460 217.5 m on Krasovsky); convergence otherwise takes well under ten steps.
// The cap returns the last value, which is then as good as any.
constexpr int kFootpointMaxIterations = 100;

constexpr double kOneSixth = 0.16666666666666666;
constexpr double kOneTwelfth = 0.08333333333333333;
constexpr double kOneTwentyFourth = 0.041666666666666664;
constexpr double kOne120th = 0.008333333333333333;
constexpr double kOne360th = 0.002777777777777778;
constexpr double kOne720th = 0.001388888888888889;

} // namespace

bool PresetAxes(int index, double& a, double& b)
{
    if (index < 0 || index > 3)
        return false;
    a = kPresetAxes[index].a;
    b = kPresetAxes[index].b;
    return true;
}

GaussProjector::GaussProjector() { SetEllipsoid(kKrasovsky); }

void GaussProjector::SetEllipsoid(int kind, double a, double b)
{
    if (kind != kUserDefined) {
        int index = (kind >= kIag1975 && kind <= kWgs84) ? kind : kKrasovsky;
        a = kPresetAxes[index].a;
        b = kPresetAxes[index].b;
    }
    Ellipsoid& el = m_ellipsoid;
    el.a = a;
    el.b = b;
    double c = std::sqrt(a * a - b * b);
    el.e = c / a;
    el.ePrime = c / b;

    // Each step multiplies the previous term by e twice, then by the fraction; e² is never
    // formed from a and b again.
    const double e = el.e;
    SeriesConstants& k = m_constants;
    k.p0 = a;
    k.p2 = k.p0 * e * e * 0.5;
    k.p4 = k.p2 * e * e * 0.75;
    k.p6 = k.p4 * e * e * (5.0 / 6.0);
    k.p8 = k.p6 * e * e * 0.875;

    k.m0 = a * (1 - e * e);
    k.m2 = k.m0 * e * e * 1.5;
    k.m4 = k.m2 * e * e * 1.25;
    k.m6 = k.m4 * e * e * (7.0 / 6.0);
    k.m8 = k.m6 * e * e * 1.125;

    k.a0 = k.m0 + k.m2 * 0.5 + 0.375 * k.m4 + 0.3125 * k.m6 + 0.2734375 * k.m8;
    k.a2 = k.m2 * 0.5 + k.m4 * 0.5 + 0.46875 * k.m6 + 0.4375 * k.m8;
    k.a4 = k.m4 * 0.125 + 0.1875 * k.m6 + 0.21875 * k.m8;
    k.a6 = k.m6 * 0.03125 + k.m8 * 0.0625;
    k.a8 = k.m8 * 0.0078125;

    ComputeFootpointStart();
}

// The footpoint iteration converges by a factor of about e² per step, so from x / a0 it takes
// seven or eight steps of four sines each. Started instead from the Fourier series of the
// inverse of this projector's own (truncated) arc, it begins within an ulp or two of its end
// and needs one or two steps; the stopping test and the iteration are unchanged, and so is
// every printed result (verified on over a million points against the plain start).
// The series: Bf(μ) − μ is odd and π-periodic in μ = x / a0, so Σ β_k·sin 2kμ; the β_k come
// from a discrete sine transform of the footpoint solved on a grid in (0, π/2). The terms fall
// off like (a2/a0)^k ≈ 0.005^k, so eight terms are exact to far below an ulp.
void GaussProjector::ComputeFootpointStart()
{
    constexpr int kGrid = 32;
    constexpr double kPi = 3.14159265358979323846;
    double* beta = m_footpointStart;
    std::fill(beta, beta + kFootpointStartTerms, 0.0);
    double samples[kGrid] = {};
    for (int j = 1; j < kGrid; ++j) {
        double mu = j * kPi / (2 * kGrid);
        samples[j] = FootpointLatitude(mu * m_constants.a0) - mu;
    }
    double fitted[kFootpointStartTerms] = {};
    for (int k = 1; k <= kFootpointStartTerms; ++k) {
        double sum = 0.0;
        for (int j = 1; j < kGrid; ++j)
            sum += samples[j] * std::sin(kPi * j * k / kGrid);
        fitted[k - 1] = sum * 2 / kGrid;
    }
    // Degenerate axes give non-numbers; the plain start x / a0 then behaves as before.
    for (double value : fitted)
        if (!std::isfinite(value))
            return;
    std::copy(std::begin(fitted), std::end(fitted), beta);
}

namespace {

// sin 2B, sin 4B, sin 6B and sin 8B from sin B and cos B by the multiple-angle identities:
// one sine/cosine pair instead of four sines. They differ from direct sines by a few units in
// the last place of numbers below 1; weighted by the series coefficients that is below 1e-11 m,
// and no printed result changes (checked on over a million points against direct sines).
struct MultipleSines {
    double s2, s4, s6, s8;
};

MultipleSines SinesOfMultiples(double sinB, double cosB)
{
    double s2 = 2 * sinB * cosB;
    double c2 = (cosB - sinB) * (cosB + sinB);
    double s4 = 2 * s2 * c2;
    double c4 = (c2 - s2) * (c2 + s2);
    return {s2, s4, s4 * c2 + c4 * s2, 2 * s4 * c4};
}

} // namespace

double GaussProjector::ArcFromSines(double bRad, double sinB, double cosB) const
{
    const SeriesConstants& k = m_constants;
    MultipleSines m = SinesOfMultiples(sinB, cosB);
    return k.a0 * bRad - k.a2 * m.s2 * 0.5 + k.a4 * m.s4 * 0.25 - k.a6 * m.s6 * kOneSixth +
           k.a8 * m.s8 * 0.125;
}

double GaussProjector::RadiusFromSine(double sinB) const
{
    const SeriesConstants& k = m_constants;
    double s = sinB;
    double s2 = s * s;
    double s4 = s2 * s2;
    return k.p8 * (s4 * s4) + k.p6 * (s4 * s2) + k.p4 * s4 + k.p2 * s2 + k.p0;
}

double GaussProjector::MeridianArc(double bRad) const
{
    return ArcFromSines(bRad, std::sin(bRad), std::cos(bRad));
}

double GaussProjector::PrimeVerticalRadius(double bRad) const
{
    return RadiusFromSine(std::sin(bRad));
}

double GaussProjector::FootpointLatitude(double x) const
{
    const SeriesConstants& k = m_constants;
    // Starting value: μ + Σ β_k·sin 2kμ by Clenshaw's recurrence (all β are 0 while they are
    // being fitted, which starts at x / a0).
    double mu = x / k.a0;
    double sin2mu = std::sin(2 * mu);
    double twoCos2mu = 2 * std::cos(2 * mu);
    double y1 = 0.0;
    double y2 = 0.0;
    for (int i = kFootpointStartTerms - 1; i >= 0; --i) {
        double y0 = m_footpointStart[i] + twoCos2mu * y1 - y2;
        y2 = y1;
        y1 = y0;
    }
    // Fixed point of X(B) = x: B = (x + F(B)) / a0 with F the periodic part of the arc,
    // each term evaluated in the order MeridianArc uses (coefficient, sine, then fraction).
    double current = mu + y1 * sin2mu;
    double next = current;
    for (int i = 0; i < kFootpointMaxIterations; ++i) {
        MultipleSines m = SinesOfMultiples(std::sin(current), std::cos(current));
        double f = k.a2 * m.s2 * 0.5 - k.a4 * m.s4 * 0.25 + k.a6 * m.s6 * kOneSixth -
                   k.a8 * m.s8 * 0.125;
        next = (x + f) / k.a0;
        // Written as "not yet converged" so that a NaN change ends the loop.
        if (!(std::fabs(next - current) * kArcSecondsPerRadian >= kFootpointConvergence))
            break;
        current = next;
    }
    return next;
}

void GaussProjector::GaussForward(double B, double L, double L0, double yAdd, double& x,
                                  double& y) const
{
    const double ep = m_ellipsoid.ePrime;
    double bRad = DegreesToRadians(B);
    double l = DegreesToRadians(L) - DegreesToRadians(L0);

    // One sine/cosine pair serves tan B, the arc and the radius.
    double s = std::sin(bRad);
    double c = std::cos(bRad);
    double t = s / c;
    double c2 = c * c;
    double eta2 = c2 * ep * ep;

    double arc = ArcFromSines(bRad, s, c);
    double n = RadiusFromSine(s);

    double t2 = t * t;
    double t4 = t2 * t2;
    double eta4 = eta2 * eta2;
    double c4 = c2 * c2;
    double l2 = l * l;
    double l4 = l2 * l2;

    x = arc + n * t *
                  (0.5 * c2 * l * l +
                   kOneTwentyFourth * (5 - t2 + 9 * eta2 + 4 * eta4) * c4 * l4 +
                   kOne720th * (61 - 58 * t2 + t4) * (c4 * c2) * (l4 * l2));
    y = n * (c * l + kOneSixth * (1 - t2 + eta2) * (c2 * c) * (l2 * l) +
             kOne120th * (5 - 18 * t2 + t4 + 14 * eta2 - 58 * eta2 * t2) * (c4 * c) *
                 (l4 * l)) +
        yAdd;
}

void GaussProjector::GaussInverse(double x, double y, double L0, double yAdd, double& B,
                                  double& L) const
{
    const double ep = m_ellipsoid.ePrime;
    // Drop every digit from the millions up (a zone number written before the easting), then
    // the add constant. floor, so a negative y is reduced upward (−100 becomes 999 900).
    double yReduced = y - std::floor(y * 1e-6) * 1e6 - yAdd;

    double bf = FootpointLatitude(x);
    double sf = std::sin(bf);
    double cf = std::cos(bf);
    double eta2 = ep * ep * cf * cf;
    double v = std::sqrt(1 + eta2);
    double t = sf / cf;
    double n = RadiusFromSine(sf);

    double u = yReduced / n;
    double t2 = t * t;
    double t4 = t2 * t2;
    double u2 = u * u;
    double u4 = u2 * u2;

    double bRad = bf - 0.5 * v * v * t *
                           (u * u - kOneTwelfth * (5 + 3 * t2 + eta2 - 9 * eta2 * t2) * u4 +
                            kOne360th * (61 + 90 * t2 + 45 * t4) * (u4 * u2));
    double l = (u - kOneSixth * (1 + 2 * t2 + eta2) * (u2 * u) +
                kOne120th * (5 + 28 * t2 + 24 * t4 + 6 * eta2 + 8 * eta2 * t2) * (u4 * u)) /
               cf;
    B = RadiansToDegrees(bRad);
    L = RadiansToDegrees(l) + L0;
}

void GaussProjector::ChangeZone(double x, double y, double L0old, double L0new, double yAddOld,
                                double yAddNew, double& xNew, double& yNew) const
{
    double B = 0.0;
    double L = 0.0;
    GaussInverse(x, y, L0old, yAddOld, B, L);
    GaussForward(B, L, L0new, yAddNew, xNew, yNew);
}

} // namespace carvento::geodesy
