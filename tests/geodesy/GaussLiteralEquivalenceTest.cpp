// GaussProjector computes powers by products, takes sin 2B … sin 8B and tan B from one sine and
// cosine of B, and starts the footpoint iteration close to its end. These are allowed only
// because no printed result changes: this test runs the formulas with std::pow, direct sines,
// std::tan and the plain start x / a0 beside it on well over a million points and compares the
// texts a page writes ("%.4lf" metres, "%.8lf" degrees).
#include "geodesy/GaussProjector.hpp"

#include "geodesy/AngleNotation.hpp"
#include "platform/NumberText.hpp"

#include <gtest/gtest.h>

#include <cmath>
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
                       k.a6 * std::sin(6 * current) * kSixth -
                       k.a8 * std::sin(8 * current) * 0.125;
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
        x = arc + n * t *
                      (0.5 * c2 * l * l +
                       0.041666666666666664 * (5 - t2 + 9 * eta2 + 4 * eta4) * std::pow(c, 4) *
                           std::pow(l, 4) +
                       0.001388888888888889 * (61 - 58 * t2 + t4) * std::pow(c, 6) *
                           std::pow(l, 6));
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
        double b = bf - 0.5 * v * v * t *
                            (u * u -
                             0.08333333333333333 * (5 + 3 * t2 + eta2 - 9 * eta2 * t2) *
                                 std::pow(u, 4) +
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

constexpr int kPointsPerEllipsoid = 300000; // 1.2 million over the four presets

std::string Metres(double v) { return FormatFixed(v, 4); }
std::string Degrees(double v) { return FormatFixed(v, 8); }

class LiteralEquivalence : public ::testing::TestWithParam<int> {};

// Latitudes −10° to 80°, longitudes up to 3.5° from central meridians of 3° and 6° zones; the
// inverse reads the forward's printed text, as a page would, with and without a zone prefix.
TEST_P(LiteralEquivalence, EveryPrintedResultMatchesPowAndPlainStart)
{
    GaussProjector projector;
    projector.SetEllipsoid(GetParam());
    LiteralGauss literal(projector);

    std::mt19937_64 random(7100 + GetParam());
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
            ADD_FAILURE() << "inverse x " << xText << " y " << yText << ": " << Degrees(B2)
                          << " " << Degrees(L2) << " vs " << Degrees(refB) << " "
                          << Degrees(refL);
        }
    }
    EXPECT_EQ(0, mismatches);
}

INSTANTIATE_TEST_SUITE_P(Presets, LiteralEquivalence,
                         ::testing::Values(kKrasovsky, kIag1975, kCgcs2000, kWgs84));

} // namespace
