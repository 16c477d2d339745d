// GaussProjector computes powers by products, takes sin 2B … sin 8B and tan B from one sine and
// cosine of B, and starts the footpoint iteration at its expected end. These are allowed only
// because no printed result changes: this test runs the formulas with std::pow, direct sines,
// std::tan and the plain start x / a0 beside it on well over a million points and compares the
// texts a page writes ("%.4lf" metres, "%.8lf" degrees). It also pins the footpoint's end state
// against the plain start's, bit for bit up to the iteration's own ambiguity.
#include "geodesy/GaussProjector.hpp"

#include "geodesy/AngleNotation.hpp"
#include "platform/NumberText.hpp"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <random>
#include <string>

using namespace carvento::geodesy;
using carvento::platform::FormatFixed;
using carvento::platform::ParseDouble;

namespace {

// The projection with every power a std::pow call and the footpoint iteration started at
// x / a0, evaluated in the same order as GaussProjector; the reference for the check.
class LiteralGauss {
public:
    explicit LiteralGauss(const GaussProjector& projector)
        : k(projector.Constants()), ep(projector.GetEllipsoid().ePrime)
    {
    }

    double MeridianArc(double b) const
    {
        return k.a0 * b - k.a2 * std::sin(2 * b) * 0.5 + k.a4 * std::sin(4 * b) * 0.25 -
               k.a6 * std::sin(6 * b) * kSixth + k.a8 * std::sin(8 * b) * 0.125;
    }

    double PrimeVerticalRadius(double b) const
    {
        double s = std::sin(b);
        return k.p8 * std::pow(s, 8) + k.p6 * std::pow(s, 6) + k.p4 * std::pow(s, 4) +
               k.p2 * std::pow(s, 2) + k.p0;
    }

    double FootpointLatitude(double x) const
    {
        double current = x / k.a0;
        double next = current;
        for (int i = 0; i < 100; ++i) {
            double f = k.a2 * std::sin(2 * current) * 0.5 - k.a4 * std::sin(4 * current) * 0.25 +
                       k.a6 * std::sin(6 * current) * kSixth - k.a8 * std::sin(8 * current) * 0.125;
            next = (x + f) / k.a0;
            if (!(std::fabs(next - current) * 206264.80624709636 >= 1e-12))
                break;
            current = next;
        }
        return next;
    }

    void Forward(double B, double L, double L0, double yAdd, double& x, double& y) const
    {
        double b = DegreesToRadians(B);
        double l = DegreesToRadians(L) - DegreesToRadians(L0);
        double t = std::tan(b);
        double c = std::cos(b);
        double c2 = c * c;
        double eta2 = c2 * ep * ep;
        double arc = MeridianArc(b);
        double n = PrimeVerticalRadius(b);
        double t2 = t * t;
        double t4 = std::pow(t, 4);
        double eta4 = std::pow(eta2, 2);
        x = arc +
            n * t *
                (0.5 * c2 * l * l +
                 0.041666666666666664 * (5 - t2 + 9 * eta2 + 4 * eta4) * std::pow(c, 4) *
                     std::pow(l, 4) +
                 0.001388888888888889 * (61 - 58 * t2 + t4) * std::pow(c, 6) * std::pow(l, 6));
        y = n * (c * l + kSixth * (1 - t2 + eta2) * std::pow(c, 3) * std::pow(l, 3) +
                 0.008333333333333333 * (5 - 18 * t2 + t4 + 14 * eta2 - 58 * eta2 * t2) *
                     std::pow(c, 5) * std::pow(l, 5)) +
            yAdd;
    }

    void Inverse(double x, double y, double L0, double yAdd, double& B, double& L) const
    {
        double yReduced = y - std::floor(y * 1e-6) * 1e6 - yAdd;
        double bf = FootpointLatitude(x);
        double cf = std::cos(bf);
        double eta2 = ep * ep * cf * cf;
        double v = std::sqrt(1 + eta2);
        double t = std::tan(bf);
        double n = PrimeVerticalRadius(bf);
        double u = yReduced / n;
        double t2 = t * t;
        double t4 = std::pow(t, 4);
        double b = bf -
                   0.5 * v * v * t *
                       (u * u -
                        0.08333333333333333 * (5 + 3 * t2 + eta2 - 9 * eta2 * t2) * std::pow(u, 4) +
                        0.002777777777777778 * (61 + 90 * t2 + 45 * t4) * std::pow(u, 6));
        double l = (u - kSixth * (1 + 2 * t2 + eta2) * std::pow(u, 3) +
                    0.008333333333333333 * (5 + 28 * t2 + 24 * t4 + 6 * eta2 + 8 * eta2 * t2) *
                        std::pow(u, 5)) /
                   cf;
        B = RadiansToDegrees(b);
        L = RadiansToDegrees(l) + L0;
    }

private:
    static constexpr double kSixth = 0.16666666666666666;
    const SeriesConstants& k;
    double ep;
};

constexpr int kPointsPerEllipsoid = 300000; // 1.5 million over the four presets and Bessel

std::string Metres(double v)
{
    return FormatFixed(v, 4);
}
std::string Degrees(double v)
{
    return FormatFixed(v, 8);
}

struct EllipsoidCase {
    const char* name;
    int kind;
    double a, b; // metres, for kUserDefined
    int seed;
};

// The presets and a user-defined ellipsoid (Bessel 1841), whose footpoint start is fitted
// when it is selected like any other.
const EllipsoidCase kEllipsoids[] = {
    {"Krasovsky", kKrasovsky, 0, 0, 0},
    {"Iag1975", kIag1975, 0, 0, 1},
    {"Cgcs2000", kCgcs2000, 0, 0, 2},
    {"Wgs84", kWgs84, 0, 0, 3},
    {"Bessel", kUserDefined, 6377397.155, 6356078.962818, 4},
};

std::string CaseName(const ::testing::TestParamInfo<EllipsoidCase>& info)
{
    return info.param.name;
}

class LiteralEquivalence : public ::testing::TestWithParam<EllipsoidCase> {
protected:
    void SetUp() override { projector.SetEllipsoid(GetParam().kind, GetParam().a, GetParam().b); }
    GaussProjector projector;
};

// Latitudes −10° to 80°, longitudes up to 3.5° from central meridians of 3° and 6° zones; the
// inverse reads the forward's printed text, as a page would, with and without a zone prefix.
TEST_P(LiteralEquivalence, EveryPrintedResultMatchesPowAndPlainStart)
{
    LiteralGauss literal(projector);

    std::mt19937_64 random(7100 + GetParam().seed);
    std::uniform_real_distribution<double> latitude(-10.0, 80.0);
    std::uniform_real_distribution<double> offset(-3.5, 3.5);
    std::uniform_int_distribution<int> zone(25, 45);
    int mismatches = 0;
    for (int i = 0; i < kPointsPerEllipsoid && mismatches < 10; ++i) {
        double L0 = (i % 2 ? 3.0 : 6.0) * zone(random);
        double yAdd = i % 3 ? 500000.0 : 38500000.0;
        double B = latitude(random);
        double L = L0 + offset(random);

        double x = 0, y = 0, refX = 0, refY = 0;
        projector.GaussForward(B, L, L0, yAdd, x, y);
        literal.Forward(B, L, L0, yAdd, refX, refY);
        std::string xText = Metres(x);
        std::string yText = Metres(y);
        if (xText != Metres(refX) || yText != Metres(refY)) {
            ++mismatches;
            ADD_FAILURE() << "forward B " << B << " L " << L << ": " << xText << " " << yText
                          << " vs " << Metres(refX) << " " << Metres(refY);
        }

        double B2 = 0, L2 = 0, refB = 0, refL = 0;
        projector.GaussInverse(ParseDouble(xText), ParseDouble(yText), L0, 500000.0, B2, L2);
        literal.Inverse(ParseDouble(xText), ParseDouble(yText), L0, 500000.0, refB, refL);
        if (Degrees(B2) != Degrees(refB) || Degrees(L2) != Degrees(refL)) {
            ++mismatches;
            ADD_FAILURE() << "inverse x " << xText << " y " << yText << ": " << Degrees(B2) << " "
                          << Degrees(L2) << " vs " << Degrees(refB) << " " << Degrees(refL);
        }
    }
    EXPECT_EQ(0, mismatches);
}

// One step of the footpoint iteration exactly as GaussProjector evaluates it (multiple-angle
// sines from one sine/cosine pair), and the plain iteration from x / a0 with its stopping test
// and cap. Unlike LiteralGauss these must agree with the projector in every bit.
double FootpointStep(const SeriesConstants& k, double x, double b)
{
    double s = std::sin(b);
    double c = std::cos(b);
    double s2 = 2 * s * c;
    double c2 = (c - s) * (c + s);
    double s4 = 2 * s2 * c2;
    double c4 = (c2 - s2) * (c2 + s2);
    double s6 = s4 * c2 + c4 * s2;
    double s8 = 2 * s4 * c4;
    double f = k.a2 * s2 * 0.5 - k.a4 * s4 * 0.25 + k.a6 * s6 * 0.16666666666666666 -
               k.a8 * s8 * 0.125;
    return (x + f) / k.a0;
}

bool Converged(double next, double current)
{
    return !(std::fabs(next - current) * 206264.80624709636 >= 1e-12);
}

double PlainFootpoint(const SeriesConstants& k, double x)
{
    double current = x / k.a0;
    for (int i = 1;; ++i) {
        double next = FootpointStep(k, x, current);
        if (Converged(next, current) || i == 100)
            return next;
        current = next;
    }
}

// Two ends of the iteration may differ by this much (radians, some ulps of B; 6 nm of arc).
constexpr double kEndsApart = 1e-15;
// The step has neighbouring fixed points or two-value cycles for some x, and near the equator
// the loop stops on the absolute change; only there may the start change which end is reached.
constexpr double kMostEndsDiffer = 0.005;

// Arcs across both quadrants and a little beyond, written to 0.1 mm as a page reads them.
TEST_P(LiteralEquivalence, FootpointEndsWhereThePlainStartEndsUpToTheStepsOwnAmbiguity)
{
    const SeriesConstants& k = projector.Constants();
    double quadrant = k.a0 * 1.5707963267948966;
    std::mt19937_64 random(8200 + GetParam().seed);
    std::uniform_real_distribution<double> arc(-1.02 * quadrant, 1.02 * quadrant);
    constexpr int kArcs = 200000;
    int differing = 0;
    int failures = 0;
    for (int i = 0; i < kArcs && failures < 10; ++i) {
        double x = std::round(arc(random) * 1e4) / 1e4;
        double bf = projector.FootpointLatitude(x);
        double plain = PlainFootpoint(k, x);
        if (std::bit_cast<std::uint64_t>(bf) == std::bit_cast<std::uint64_t>(plain))
            continue;
        ++differing;
        double step = FootpointStep(k, x, bf);
        bool isEnd = Converged(step, bf) || FootpointStep(k, x, step) == bf;
        if (!isEnd || !(std::fabs(bf - plain) <= kEndsApart)) {
            ++failures;
            ADD_FAILURE() << "x " << Metres(x) << ": " << std::hexfloat << bf << " vs plain "
                          << plain << std::defaultfloat << (isEnd ? "" : ", not an end");
        }
    }
    EXPECT_EQ(0, failures);
    EXPECT_LT(differing, kMostEndsDiffer * kArcs);
}

INSTANTIATE_TEST_SUITE_P(Ellipsoids, LiteralEquivalence, ::testing::ValuesIn(kEllipsoids),
                         CaseName);

// x = 5 460 217.5 m on Krasovsky makes the step alternate between two neighbouring doubles; the
// loop returns one of them (the one the cap of 100 steps reaches) instead of running on.
TEST(FootpointCycle, EndsOnAMemberOfTheCycle)
{
    GaussProjector projector;
    const SeriesConstants& k = projector.Constants();
    constexpr double kCycling = 5460217.5;
    double bf = projector.FootpointLatitude(kCycling);
    double other = FootpointStep(k, kCycling, bf);
    EXPECT_NE(bf, other);
    EXPECT_EQ(bf, FootpointStep(k, kCycling, other));
    EXPECT_LE(std::fabs(bf - PlainFootpoint(k, kCycling)), kEndsApart);
}

} // namespace
