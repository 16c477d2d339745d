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
#include <bit>
#include <cmath>
#include <cstdint>
#include <iterator>
#include <limits>

namespace carvento::geodesy {
namespace {

// c / d with the IEEE result (±inf, or not a number for 0/0) also when d is zero, without a
// division by zero: axes that are no ellipsoid (a stored value that did not read gives
// a = b = 0) keep constants that are not numbers.
double IeeeQuotient(double c, double d)
{
    if (d != 0.0 || std::isnan(d))
        return c / d;
    if (c == 0.0 || std::isnan(c))
        return std::numeric_limits<double>::quiet_NaN();
    return std::signbit(c) == std::signbit(d) ? std::numeric_limits<double>::infinity()
                                              : -std::numeric_limits<double>::infinity();
}

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
// The cap returns the last value, which is then as good as any; the loop sees a cycle of two
// coming and returns at once what the cap would return.
constexpr int kFootpointMaxIterations = 100;
// Arcs (m) below which the footpoint iteration keeps the plain start x / a0.
constexpr double kPlainStartBelow = 1.0;

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

GaussProjector::GaussProjector()
{
    SetEllipsoid(kKrasovsky);
}

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
    el.e = IeeeQuotient(c, a);
    el.ePrime = IeeeQuotient(c, b);

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

    FitFootpointStart();
}

namespace {

// sin 2B, sin 4B, sin 6B and sin 8B from sin B and cos B by the multiple-angle identities:
// one sine/cosine pair instead of four sines. They differ from direct sines by a few units in
// the last place of numbers below 1; weighted by the series coefficients that is below 1e-11 m,
// and no printed result changes (checked on over a million points against direct sines).
struct MultipleSines {
    double s2, s4, s6, s8;
};

bool SameBits(double a, double b)
{
    return std::bit_cast<std::uint64_t>(a) == std::bit_cast<std::uint64_t>(b);
}

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

// Starting value of the footpoint iteration.
//
// From x / a0 the iteration gains a factor of about e² per step: seven or eight steps of a
// sine/cosine pair each. Its end point, though, can be foreseen. Near the footpoint the
// periodic part F changes by about 4e-12 m per ulp of B, far below the spacing of doubles near
// x (up to 9.3e-10 m), so the rounded sum x + F(B) is the same for every B within a few ulps of
// the footpoint: it is x + F(Bf) rounded, and the fixed point is that sum divided by a0. The
// start is computed exactly so, from F(Bf(x)) given by a polynomial accurate to about 1e-12 m;
// in all but about one case in a thousand (sums that close to a rounding tie, and the last
// ulps of the sines) the first step returns its own argument and ends the loop. The iteration
// and its stopping test are unchanged: the start only decides how soon they end, and every
// printed result stays as it was (checked against the plain start on over a million points).
//
// The quadrant of arc is cut into kStartPieces pieces; on each, F(Bf(x)) = a0·Bf(x) − x is
// interpolated at the Chebyshev points of degree kStartDegree. It is a sine series falling off
// like (a2/a0)^k, and over a piece of 0.1 rad the interpolation error is some 1e-13 m on the
// presets. The footpoints at the nodes come from Newton steps on the arc finished in long
// double, whose 64-bit significand (x86-64) leaves some 1e-13 m of error in a0·Bf − x. Where
// long double is no wider than double the error is some 1e-10 m; the first step then ends the
// loop about three times in five, and otherwise the second does.
//
// Below 1 m of arc, beyond the quadrant and for non-numbers the start stays x / a0. Near the
// equator the loop stops on the absolute change before it reaches the fixed point, and there the
// plain start keeps the results as they always were, the sign of zero included.
void GaussProjector::FitFootpointStart()
{
    using Wide = long double;
    constexpr int kNodes = kStartDegree + 1;
    constexpr Wide kWidePi = 3.141592653589793238462643383279502884L;
    // A start further than this from the plain iteration's result (radians) is not used.
    constexpr double kStartTolerance = 1e-12;

    // Until the fit is in place FootpointLatitude starts at x / a0, which the check below needs.
    m_startPieceCount = 0;
    const SeriesConstants& k = m_constants;
    double quadrant = static_cast<double>(k.a0 * kWidePi / 2);
    double pieceLength = quadrant / kStartPieces;
    double piecesPerMetre = kStartPieces / quadrant;
    double tauPerMetre = 2 / pieceLength;
    if (!(quadrant > 0) || !std::isfinite(piecesPerMetre) || !std::isfinite(tauPerMetre))
        return;

    // One Newton step on the arc X(b) = x, in the precision of T.
    auto newtonStep = [&]<typename T>(T b, T x) {
        T s = std::sin(b);
        T c = std::cos(b);
        T s2 = 2 * s * c, c2 = (c - s) * (c + s);
        T s4 = 2 * s2 * c2, c4 = (c2 - s2) * (c2 + s2);
        T s6 = s4 * c2 + c4 * s2, c6 = c4 * c2 - s4 * s2;
        T s8 = 2 * s4 * c4, c8 = (c4 - s4) * (c4 + s4);
        T arc = T(k.a0) * b - T(k.a2) * s2 / 2 + T(k.a4) * s4 / 4 - T(k.a6) * s6 * T(kOneSixth) +
                T(k.a8) * s8 / 8;
        T slope = T(k.a0) - T(k.a2) * c2 + T(k.a4) * c4 - T(k.a6) * c6 + T(k.a8) * c8;
        return b - (arc - x) / slope;
    };
    // a0·Bf(x) − x. From x / a0, three steps in double bring Bf within an ulp or so; the last
    // step, in long double, leaves some 1e-13 m. (Long double sines cost ten double ones.)
    auto periodicAtFoot = [&](Wide x) {
        double b = static_cast<double>(x / k.a0);
        for (int step = 0; step < 3; ++step)
            b = newtonStep(b, static_cast<double>(x));
        return Wide(k.a0) * newtonStep(Wide(b), x) - x;
    };

    // T_m(τ_i) at the nodes τ_i = cos θ_i, θ_i = π(i + ½)/n, and the monomial coefficients of T_m.
    Wide chebyshevAtNode[kNodes][kNodes];
    for (int i = 0; i < kNodes; ++i) {
        Wide tau = std::cos(kWidePi * (i + 0.5L) / kNodes);
        chebyshevAtNode[i][0] = 1;
        chebyshevAtNode[i][1] = tau;
        for (int m = 2; m < kNodes; ++m)
            chebyshevAtNode[i][m] = 2 * tau * chebyshevAtNode[i][m - 1] - chebyshevAtNode[i][m - 2];
    }
    Wide chebyshevPowers[kNodes][kNodes] = {};
    chebyshevPowers[0][0] = 1;
    chebyshevPowers[1][1] = 1;
    for (int m = 2; m < kNodes; ++m)
        for (int p = 0; p < kNodes; ++p)
            chebyshevPowers[m][p] = (p > 0 ? 2 * chebyshevPowers[m - 1][p - 1] : 0) -
                                    chebyshevPowers[m - 2][p];

    StartPiece pieces[kStartPieces];
    for (int j = 0; j < kStartPieces; ++j) {
        StartPiece& piece = pieces[j];
        piece.centre = (j + 0.5) * pieceLength;
        Wide coefficient[kNodes] = {};
        for (int i = 0; i < kNodes; ++i) {
            Wide value = periodicAtFoot(piece.centre + chebyshevAtNode[i][1] / tauPerMetre);
            for (int m = 0; m < kNodes; ++m)
                coefficient[m] += value * chebyshevAtNode[i][m] * 2 / kNodes;
        }
        coefficient[0] /= 2;
        Wide power[kNodes] = {};
        for (int m = 0; m < kNodes; ++m)
            for (int p = 0; p < kNodes; ++p)
                power[p] += coefficient[m] * chebyshevPowers[m][p];
        piece.value = static_cast<double>(power[0]);
        for (int p = 1; p < kNodes; ++p)
            piece.power[p - 1] = static_cast<double>(power[p]);

        // Non-numbers, or a shape too far from a sphere for the series: keep the plain start.
        for (double edge : {piece.centre - pieceLength / 2, piece.centre + pieceLength / 2}) {
            double tau = (edge - piece.centre) * tauPerMetre;
            double start = (edge + EvaluatePiece(piece, tau)) / k.a0;
            if (!(std::fabs(start - FootpointLatitude(edge)) <= kStartTolerance))
                return;
        }
    }
    std::copy(std::begin(pieces), std::end(pieces), std::begin(m_startPieces));
    m_startPiecesPerMetre = piecesPerMetre;
    m_startTauPerMetre = tauPerMetre;
    m_startPieceCount = kStartPieces;
}

// Estrin's scheme: half the dependent steps of Horner's. The start need not be bit-exact, only
// within about 1e-12 m, and the rounding errors of either scheme are some 1e-13 m.
double GaussProjector::EvaluatePiece(const StartPiece& piece, double tau)
{
    const double* q = piece.power;
    double tau2 = tau * tau;
    double tau4 = tau2 * tau2;
    double sum = (q[0] + q[1] * tau) + tau2 * (q[2] + q[3] * tau) +
                 tau4 * ((q[4] + q[5] * tau) + tau2 * (q[6] + q[7] * tau));
    return piece.value + tau * sum;
}

// The last step of the iteration, (x + F) / a0, with F the periodic part at the foot.
double GaussProjector::FootpointStart(double x, double& numerator) const
{
    double ax = std::fabs(x);
    double index = ax * m_startPiecesPerMetre;
    if (!(ax >= kPlainStartBelow && index < m_startPieceCount)) {
        numerator = x;
    } else {
        const StartPiece& piece = m_startPieces[static_cast<int>(index)];
        double periodic = EvaluatePiece(piece, (ax - piece.centre) * m_startTauPerMetre);
        numerator = std::copysign(ax + periodic, x);
    }
    return numerator / m_constants.a0;
}

double GaussProjector::FootpointLatitude(double x) const
{
    double sinBf = 0.0;
    double cosBf = 0.0;
    return Footpoint(x, sinBf, cosBf);
}

double GaussProjector::Footpoint(double x, double& sinBf, double& cosBf) const
{
    const SeriesConstants& k = m_constants;
    // Fixed point of X(B) = x: B = (x + F(B)) / a0 with F the periodic part of the arc,
    // each term evaluated in the order MeridianArc uses (coefficient, sine, then fraction).
    double numerator = 0.0;
    double current = FootpointStart(x, numerator);
    double previous = 0.0;
    double sinPrevious = 0.0;
    double cosPrevious = 0.0;
    for (int i = 1;; ++i) {
        double s = std::sin(current);
        double c = std::cos(current);
        MultipleSines m = SinesOfMultiples(s, c);
        double f = k.a2 * m.s2 * 0.5 - k.a4 * m.s4 * 0.25 + k.a6 * m.s6 * kOneSixth -
                   k.a8 * m.s8 * 0.125;
        double sum = x + f;
        // current is numerator / a0, so the same sum, bit for bit, divides to current again:
        // the step returned its own argument, known without waiting for the division.
        if (SameBits(sum, numerator)) {
            sinBf = s;
            cosBf = c;
            return current;
        }
        double next = sum / k.a0;
        // Written as "not yet converged" so that a NaN change ends the loop.
        if (!(std::fabs(next - current) * kArcSecondsPerRadian >= kFootpointConvergence) ||
            i == kFootpointMaxIterations) {
            // Usually the last step returned its own argument, whose sine and cosine are at
            // hand. Compared bit for bit: +0 and −0 have different sines.
            if (SameBits(next, current)) {
                sinBf = s;
                cosBf = c;
            } else {
                sinBf = std::sin(next);
                cosBf = std::cos(next);
            }
            return next;
        }
        // Back at the value before: from here the iteration alternates between `previous` and
        // `current` for ever (the change never shrinks) and the cap decides which it returns,
        // previous if the steps left are even in number. Return that now.
        if (i > 1 && SameBits(next, previous)) {
            bool endsOnPrevious = (kFootpointMaxIterations - i) % 2 == 0;
            sinBf = endsOnPrevious ? sinPrevious : s;
            cosBf = endsOnPrevious ? cosPrevious : c;
            return endsOnPrevious ? previous : current;
        }
        previous = current;
        sinPrevious = s;
        cosPrevious = c;
        numerator = sum;
        current = next;
    }
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
                  (0.5 * c2 * l * l + kOneTwentyFourth * (5 - t2 + 9 * eta2 + 4 * eta4) * c4 * l4 +
                   kOne720th * (61 - 58 * t2 + t4) * (c4 * c2) * (l4 * l2));
    y = n * (c * l + kOneSixth * (1 - t2 + eta2) * (c2 * c) * (l2 * l) +
             kOne120th * (5 - 18 * t2 + t4 + 14 * eta2 - 58 * eta2 * t2) * (c4 * c) * (l4 * l)) +
        yAdd;
}

void GaussProjector::GaussInverse(double x, double y, double L0, double yAdd, double& B,
                                  double& L) const
{
    const double ep = m_ellipsoid.ePrime;
    // Drop every digit from the millions up (a zone number written before the easting), then
    // the add constant. floor, so a negative y is reduced upward (−100 becomes 999 900).
    double yReduced = y - std::floor(y * 1e-6) * 1e6 - yAdd;

    double sf = 0.0;
    double cf = 0.0;
    double bf = Footpoint(x, sf, cf);
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
