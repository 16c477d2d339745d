// GaussProjector: ellipsoid constants, arc and radius series, the documented projection and zone
// change examples (compared as the text a page writes), the inverse's easting reduction and the
// footpoint iteration's end, its start and the ellipsoid changes that refit it.
#include "geodesy/GaussProjector.hpp"

#include "geodesy/AngleNotation.hpp"
#include "platform/NumberText.hpp"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <string>

using namespace carvento::geodesy;
using carvento::platform::FormatFixed;

namespace {

constexpr double kMicrometre = 1e-6;
// The radius series stops at sin⁸B; the first omitted term, (63/256)·a·e¹⁰·sin¹⁰B, is about
// 20 µm at the pole and below a micrometre up to 45°.
constexpr double kRadiusSeriesTruncation = 25e-6;
constexpr double kMillimetre = 1e-3;
constexpr double kOneE8Degree = 1e-8;

constexpr double kL0 = 105.0;
constexpr double kYAdd = 500000.0;

std::string Metres(double v)
{
    return FormatFixed(v, 4);
}
std::string Degrees(double v)
{
    return FormatFixed(v, 8);
}

struct ConstantCase {
    const char* name;
    double (*get)(const GaussProjector&);
    int decimals;
    const char* expected;
};

class KrasovskyConstant : public ::testing::TestWithParam<ConstantCase> {};

TEST_P(KrasovskyConstant, MatchesReferenceAtPrintedPrecision)
{
    const ConstantCase& c = GetParam();
    GaussProjector projector;
    EXPECT_EQ(c.expected, FormatFixed(c.get(projector), c.decimals)) << c.name;
}

INSTANTIATE_TEST_SUITE_P(
    Reference, KrasovskyConstant,
    ::testing::Values(
        ConstantCase{"e", [](const GaussProjector& p) { return p.GetEllipsoid().e; }, 13,
                     "0.0818133340169"},
        ConstantCase{"e'", [](const GaussProjector& p) { return p.GetEllipsoid().ePrime; }, 13,
                     "0.0820885218206"},
        ConstantCase{"a0", [](const GaussProjector& p) { return p.Constants().a0; }, 4,
                     "6367558.4968"},
        ConstantCase{"a2", [](const GaussProjector& p) { return p.Constants().a2; }, 4,
                     "32072.9604"},
        ConstantCase{"a4", [](const GaussProjector& p) { return p.Constants().a4; }, 4, "67.3122"},
        ConstantCase{"a6", [](const GaussProjector& p) { return p.Constants().a6; }, 6, "0.131831"},
        ConstantCase{"a8", [](const GaussProjector& p) { return p.Constants().a8; }, 9,
                     "0.000244494"}));

TEST(GaussProjector, KindSelectsPresetAndIgnoresAxesExceptForUserDefined)
{
    struct Case {
        int kind;
        int preset;
    };
    for (Case c :
         {Case{0, 0}, Case{1, 1}, Case{2, 2}, Case{3, 3}, Case{-1, 0}, Case{5, 0}, Case{99, 0}}) {
        GaussProjector projector;
        projector.SetEllipsoid(kUserDefined, 7000000.0, 6900000.0);
        projector.SetEllipsoid(c.kind, 1.0, 2.0);
        double a = 0.0;
        double b = 0.0;
        ASSERT_TRUE(PresetAxes(c.preset, a, b));
        EXPECT_EQ(a, projector.GetEllipsoid().a) << c.kind;
        EXPECT_EQ(b, projector.GetEllipsoid().b) << c.kind;
    }
    GaussProjector projector;
    projector.SetEllipsoid(kUserDefined, 7000000.0, 6900000.0);
    EXPECT_EQ(7000000.0, projector.GetEllipsoid().a);
    EXPECT_EQ(6900000.0, projector.GetEllipsoid().b);

    double a = -1.0;
    double b = -2.0;
    EXPECT_FALSE(PresetAxes(4, a, b));
    EXPECT_FALSE(PresetAxes(-1, a, b));
    EXPECT_EQ(-1.0, a);
    EXPECT_EQ(-2.0, b);
}

TEST(GaussProjector, SphereHasOnlyLeadingCoefficients)
{
    GaussProjector projector;
    projector.SetEllipsoid(kUserDefined, 6371000.0, 6371000.0);
    const SeriesConstants& k = projector.Constants();
    EXPECT_EQ(0.0, projector.GetEllipsoid().e);
    EXPECT_EQ(0.0, projector.GetEllipsoid().ePrime);
    EXPECT_EQ(6371000.0, k.p0);
    EXPECT_EQ(6371000.0, k.m0);
    EXPECT_EQ(6371000.0, k.a0);
    for (double v : {k.p2, k.p4, k.p6, k.p8, k.m2, k.m4, k.m6, k.m8, k.a2, k.a4, k.a6, k.a8})
        EXPECT_EQ(0.0, v);
}

TEST(GaussProjector, ArcAndRadiusAtFortyFiveDegrees)
{
    GaussProjector projector;
    double b = DegreesToRadians(45.0);
    EXPECT_EQ("4985032.2905", Metres(projector.MeridianArc(b)));
    EXPECT_EQ("6388944.9354", Metres(projector.PrimeVerticalRadius(b)));
}

// The power series of N agrees with the closed form a / sqrt(1 − e² sin²B) on every preset.
TEST(GaussProjector, RadiusSeriesMatchesClosedFormWithinTruncation)
{
    for (int kind = 0; kind < 4; ++kind) {
        GaussProjector projector;
        projector.SetEllipsoid(kind);
        const Ellipsoid& el = projector.GetEllipsoid();
        for (double deg = 0.0; deg <= 90.0; deg += 0.5) {
            double s = std::sin(DegreesToRadians(deg));
            double closed = el.a / std::sqrt(1 - el.e * el.e * s * s);
            EXPECT_NEAR(closed, projector.PrimeVerticalRadius(DegreesToRadians(deg)),
                        deg <= 45.0 ? kMicrometre : kRadiusSeriesTruncation)
                << kind << " " << deg;
        }
    }
}

TEST(GaussProjector, ForwardDocumentedExample)
{
    GaussProjector projector;
    double x = 0.0;
    double y = 0.0;
    projector.GaussForward(30.5, 106.3, kL0, kYAdd, x, y);
    EXPECT_EQ("3376320.4035", Metres(x));
    EXPECT_EQ("624805.9342", Metres(y));

    double B = 0.0;
    double L = 0.0;
    projector.GaussInverse(3376320.4035, 624805.9342, kL0, kYAdd, B, L);
    EXPECT_EQ("30.50000000", Degrees(B));
    EXPECT_EQ("106.30000000", Degrees(L));
}

// On the central meridian every term of y vanishes, so y is the add constant to the bit, and
// x is the meridian arc.
TEST(GaussProjector, CentralMeridianGivesAddConstantExactly)
{
    GaussProjector projector;
    for (double B : {0.0, 0.1, 17.25, 30.5, 45.0, 60.0, 84.0, -33.3}) {
        double x = -1.0;
        double y = -1.0;
        projector.GaussForward(B, kL0, kL0, kYAdd, x, y);
        EXPECT_EQ(kYAdd, y) << B;
        EXPECT_EQ(projector.MeridianArc(DegreesToRadians(B)), x) << B;
    }
    double x = -1.0;
    double y = -1.0;
    projector.GaussForward(0.0, kL0, kL0, kYAdd, x, y);
    EXPECT_EQ(0.0, x);
}

// The millions of y (a zone number written in front) are dropped before the add constant,
// floor-wise, so a negative easting is reduced upward.
TEST(GaussProjector, InverseDropsMillionsOfEasting)
{
    GaussProjector projector;
    struct Case {
        double y;
        double reducedY;
    };
    for (Case c : {Case{38624805.9342, 624805.9342}, Case{38512345.678, 512345.678},
                   Case{-100.0, 999900.0}}) {
        double B1 = 0.0, L1 = 0.0, B2 = 0.0, L2 = 0.0;
        projector.GaussInverse(3376320.4035, c.y, kL0, kYAdd, B1, L1);
        projector.GaussInverse(3376320.4035, c.reducedY, kL0, kYAdd, B2, L2);
        EXPECT_EQ(Degrees(B2), Degrees(B1)) << c.y;
        EXPECT_EQ(Degrees(L2), Degrees(L1)) << c.y;
    }
}

// The stopping test asks for a change below 1e-12″, finer than a double resolves; some x make
// the iteration alternate between two neighbouring doubles. It must still end, at the foot.
TEST(GaussProjector, FootpointEndsWhereIterationWouldCycle)
{
    GaussProjector projector;
    double bf = projector.FootpointLatitude(5460217.5);
    ASSERT_TRUE(std::isfinite(bf));
    EXPECT_NEAR(5460217.5, projector.MeridianArc(bf), kMicrometre);
}

TEST(GaussProjector, FootpointEndsAndSolvesArcAcrossTheQuadrant)
{
    for (int kind = 0; kind < 4; ++kind) {
        GaussProjector projector;
        projector.SetEllipsoid(kind);
        for (int i = 0; i <= 100000; ++i) {
            double x = 100.0 * i + 0.5 * (i % 2);
            double bf = projector.FootpointLatitude(x);
            ASSERT_NEAR(x, projector.MeridianArc(bf), kMicrometre) << kind << " " << x;
        }
    }
}

TEST(GaussProjector, NotANumberEndsFootpointIteration)
{
    GaussProjector projector;
    EXPECT_TRUE(std::isnan(projector.FootpointLatitude(std::numeric_limits<double>::quiet_NaN())));
}

std::uint64_t Bits(double v)
{
    return std::bit_cast<std::uint64_t>(v);
}

// Near the equator the loop stops on the absolute change, so its start shows in the result. The
// plain start keeps x = ±0 at +0 and the smallest arcs as they were; a fitted start there would
// leave some 1e-17 rad, a tiny negative latitude printing as "-0.00000000".
TEST(GaussProjector, FootpointOfZeroArcIsPositiveZero)
{
    GaussProjector projector;
    EXPECT_EQ(Bits(0.0), Bits(projector.FootpointLatitude(0.0)));
    EXPECT_EQ(Bits(0.0), Bits(projector.FootpointLatitude(-0.0)));
    for (double x : {1e-12, 1e-9, 1e-6}) {
        double mu = x / projector.Constants().a0;
        EXPECT_NEAR(mu, projector.FootpointLatitude(x), 0.01 * mu) << x;
    }
    double B = 0.0, L = 0.0;
    projector.GaussInverse(-0.0, 612345.6789, kL0, kYAdd, B, L);
    EXPECT_EQ("0.00000000", Degrees(B));
}

// Selecting axes refits the footpoint start: unusable axes leave the plain start (NaN in, NaN
// out), a sphere starts and ends at x / a, and a preset chosen afterwards works again.
TEST(GaussProjector, FootpointFollowsEveryEllipsoidChange)
{
    GaussProjector projector;
    projector.SetEllipsoid(kUserDefined, 6378137.0, 6400000.0); // b > a
    EXPECT_TRUE(std::isnan(projector.FootpointLatitude(3000000.0)));

    projector.SetEllipsoid(kUserDefined, 6371000.0, 6371000.0);
    for (double x : {1.0, 123456.7891, 3000000.0, 9999999.9999})
        EXPECT_EQ(Bits(x / 6371000.0), Bits(projector.FootpointLatitude(x))) << x;

    projector.SetEllipsoid(kWgs84);
    for (double x : {1.5, 654321.0987, 3000000.0, 7000000.0, 9990000.0}) {
        double bf = projector.FootpointLatitude(x);
        EXPECT_NEAR(x, projector.MeridianArc(bf), kMicrometre) << x;
    }
}

TEST(GaussProjector, ZoneChangeDocumentedExample)
{
    GaussProjector projector;
    double x = 0.0;
    double y = 0.0;
    projector.ChangeZone(3376320.4035, 624805.9342, 105.0, 108.0, kYAdd, kYAdd, x, y);
    EXPECT_EQ("3376830.85", FormatFixed(x, 2));
    EXPECT_EQ("336787.38", FormatFixed(y, 2));

    // A zone number in front of the input easting is dropped; none is added to the result.
    double xPrefixed = 0.0;
    double yPrefixed = 0.0;
    projector.ChangeZone(3376320.4035, 38624805.9342, 105.0, 108.0, kYAdd, kYAdd, xPrefixed,
                         yPrefixed);
    EXPECT_EQ(Metres(x), Metres(xPrefixed));
    EXPECT_EQ(Metres(y), Metres(yPrefixed));
}

TEST(GaussProjector, ZoneChangeToSameZoneReturnsInputWithinMillimetre)
{
    for (int kind = 0; kind < 4; ++kind) {
        GaussProjector projector;
        projector.SetEllipsoid(kind);
        for (double B = 0.0; B <= 60.0; B += 5.0) {
            for (double dl = -3.0; dl <= 3.0; dl += 0.75) {
                double x = 0.0, y = 0.0, x2 = 0.0, y2 = 0.0;
                projector.GaussForward(B, kL0 + dl, kL0, kYAdd, x, y);
                projector.ChangeZone(x, y, kL0, kL0, kYAdd, kYAdd, x2, y2);
                EXPECT_NEAR(x, x2, kMillimetre) << kind << " " << B << " " << dl;
                EXPECT_NEAR(y, y2, kMillimetre) << kind << " " << B << " " << dl;
            }
        }
    }
}

} // namespace
