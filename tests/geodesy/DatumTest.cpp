// Tests of the Cartesian conversion and the datum transformations: round trips, the equator,
// the poles and the equatorial plane, the 1 ppm scale, parameter units and aliased outputs.
#include "geodesy/AngleNotation.hpp"
#include "geodesy/Datum.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <ostream>
#include <string>

namespace {

using namespace carvento::geodesy;

constexpr double kMicrometre = 1e-6;
constexpr double kTenthMillimetre = 1e-4;
// The convergence test of the latitude iteration, radians.
constexpr double kLatitudeToleranceRad = 1e-10;
// Longitudes come from one atan2 call: a few units in the last place, degrees.
constexpr double kLongitudeRoundingDeg = 1e-12;

GaussProjector Projector(int kind)
{
    GaussProjector projector;
    projector.SetEllipsoid(kind);
    return projector;
}

double SquaredEccentricity(const GaussProjector& projector)
{
    const double e = projector.GetEllipsoid().e;
    return e * e;
}

// ---------------------------------------------------------------------------------------------
// A point on the equator at zero height lies on the circle of radius a.

struct EquatorCase {
    int kind;
    double L;
    double cosL;
    double sinL;
};

void PrintTo(const EquatorCase& c, std::ostream* os)
{
    *os << "kind=" << c.kind << ",L=" << c.L;
}

class EquatorTest : public testing::TestWithParam<EquatorCase> {};

TEST_P(EquatorTest, LiesOnTheCircleOfRadiusA)
{
    const EquatorCase& c = GetParam();
    const GaussProjector projector = Projector(c.kind);
    const double a = projector.GetEllipsoid().a;
    double X, Y, Z;
    GeodeticToCartesian(projector, 0.0, c.L, 0.0, X, Y, Z);
    EXPECT_NEAR(X, a * c.cosL, kMicrometre);
    EXPECT_NEAR(Y, a * c.sinL, kMicrometre);
    EXPECT_EQ(Z, 0.0);
}

INSTANTIATE_TEST_SUITE_P(
    Presets, EquatorTest,
    testing::Values(EquatorCase{kKrasovsky, 0.0, 1.0, 0.0}, EquatorCase{kIag1975, 90.0, 0.0, 1.0},
                    EquatorCase{kCgcs2000, 180.0, -1.0, 0.0}, EquatorCase{kWgs84, -90.0, 0.0, -1.0},
                    EquatorCase{kKrasovsky, 45.0, std::sqrt(0.5), std::sqrt(0.5)}));

// ---------------------------------------------------------------------------------------------
// Geodetic -> Cartesian -> geodetic on one ellipsoid returns the point.

struct RoundTripCase {
    const char* name;
    int kind;
    double B;
    double L;
    double H;
};

class CartesianRoundTripTest : public testing::TestWithParam<RoundTripCase> {};

// Also: all seven parameters zero on one ellipsoid is the same round trip.
TEST_P(CartesianRoundTripTest, ReturnsThePoint)
{
    const RoundTripCase& c = GetParam();
    const GaussProjector projector = Projector(c.kind);
    double X, Y, Z, B[2], L[2], H[2];
    GeodeticToCartesian(projector, c.B, c.L, c.H, X, Y, Z);
    CartesianToGeodetic(projector, X, Y, Z, B[0], L[0], H[0]);
    TransformSevenParams(projector, projector, c.B, c.L, c.H, SevenParams{}, B[1], L[1], H[1]);
    for (int i = 0; i < 2; ++i) {
        EXPECT_NEAR(DegreesToRadians(B[i]), DegreesToRadians(c.B), kLatitudeToleranceRad);
        EXPECT_NEAR(L[i], c.L, kLongitudeRoundingDeg);
        EXPECT_NEAR(H[i], c.H, kTenthMillimetre);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Points, CartesianRoundTripTest,
    testing::Values(RoundTripCase{"Beijing", kKrasovsky, 39.9042, 116.4074, 43.5},
                    RoundTripCase{"Lhasa", kIag1975, 29.6520, 91.1721, 3656.0},
                    RoundTripCase{"Mohe", kCgcs2000, 52.9727, 122.5386, 296.0},
                    RoundTripCase{"SouthernHemisphere", kWgs84, -33.8688, 151.2093, 58.0},
                    RoundTripCase{"BelowTheEllipsoid", kKrasovsky, 31.2, 121.5, -150.0},
                    RoundTripCase{"LowOrbit", kWgs84, 12.5, 100.0, 400000.0},
                    RoundTripCase{"NearTheSouthPole", kCgcs2000, -89.999, -170.0, 2800.0},
                    // About 1 mm off the equatorial plane: a height taken from Z / sin B
                    // is kilometres off here.
                    RoundTripCase{"MillimetreNorthOfTheEquator", kKrasovsky, 1e-8, 105.0, 20.0},
                    RoundTripCase{"MetreSouthOfTheEquator", kKrasovsky, -1e-5, 105.0, 20.0}),
    [](const testing::TestParamInfo<RoundTripCase>& info) { return std::string(info.param.name); });

// ---------------------------------------------------------------------------------------------
// Special positions of CartesianToGeodetic.

TEST(CartesianToGeodeticTest, PolarAxisGivesNinetyDegreesAndLongitudeZero)
{
    const GaussProjector projector = Projector(kKrasovsky);
    const double b = projector.GetEllipsoid().b;
    for (const double sign : {1.0, -1.0}) {
        double B, L, H;
        CartesianToGeodetic(projector, 0.0, 0.0, sign * (b + 250.0), B, L, H);
        EXPECT_EQ(B, sign * 90.0);
        EXPECT_EQ(L, 0.0);
        EXPECT_NEAR(H, 250.0, kMicrometre);
    }
}

TEST(CartesianToGeodeticTest, EquatorialPlaneGivesLatitudeZeroAndFiniteHeight)
{
    const GaussProjector projector = Projector(kWgs84);
    const double a = projector.GetEllipsoid().a;
    struct Case {
        double X, Y, L, H;
    };
    for (const Case& c : {Case{a + 100.0, 0.0, 0.0, 100.0}, Case{0.0, a - 30.0, 90.0, -30.0},
                          Case{-(a + 5.0), 0.0, 180.0, 5.0}, Case{0.0, 0.0, 0.0, -a}}) {
        for (const double z : {0.0, -0.0}) {
            double B, L, H;
            CartesianToGeodetic(projector, c.X, c.Y, z, B, L, H);
            EXPECT_EQ(B, 0.0) << c.X << " " << c.Y << " " << z;
            EXPECT_FALSE(std::signbit(B));
            EXPECT_NEAR(L, c.L, kLongitudeRoundingDeg);
            EXPECT_NEAR(H, c.H, kMicrometre);
        }
    }
}

// With negative axes (a user-typed ellipsoid is not refused) the latitude iteration alternates
// between two values for ever near the axis; without its cap this test never returns.
TEST(CartesianToGeodeticTest, ReturnsForAnEllipsoidThatNeverConverges)
{
    GaussProjector projector;
    projector.SetEllipsoid(kUserDefined, -6378245.0, -6356863.018773047);
    double B = 0.0, L = 0.0, H = 0.0;
    CartesianToGeodetic(projector, 1000.0, 0.0, 1.0, B, L, H);
    EXPECT_TRUE(std::isfinite(B));
    EXPECT_EQ(L, 0.0);
    EXPECT_TRUE(std::isfinite(H));
}

// ---------------------------------------------------------------------------------------------
// Seven parameters.

// Scaling by 1 + m moves a point by m·r. Along the ellipsoid normal r has the length
// N + H − N·e²·sin²B, so the height grows by about 6.4 m per ppm; towards north it has the
// length −N·e²·sin B·cos B, a couple of centimetres per ppm; towards east nothing.
TEST(TransformSevenParamsTest, OnePpmRaisesTheHeightByAboutSixMetres)
{
    const GaussProjector projector = Projector(kKrasovsky);
    const double a = projector.GetEllipsoid().a;
    const double e2 = SquaredEccentricity(projector);
    SevenParams params;
    params.K = 1.0;
    SevenParamsToInternal(params);
    for (const double B0 : {0.5, 23.4, 39.9, 53.5, 80.0}) {
        const double L0 = 116.4, H0 = 120.0;
        double B, L, H;
        TransformSevenParams(projector, projector, B0, L0, H0, params, B, L, H);

        const double bRad = DegreesToRadians(B0);
        const double w2 = 1.0 - e2 * std::sin(bRad) * std::sin(bRad);
        const double n = a / std::sqrt(w2);
        const double meridianRadius = a * (1.0 - e2) / (w2 * std::sqrt(w2));
        const double expectedRise = 1e-6 * (n + H0 - n * e2 * std::sin(bRad) * std::sin(bRad));
        const double expectedNorth = -1e-6 * n * e2 * std::sin(bRad) * std::cos(bRad);

        EXPECT_GT(H - H0, 6.3);
        EXPECT_LT(H - H0, 6.42);
        EXPECT_NEAR(H - H0, expectedRise, kTenthMillimetre) << "B " << B0;
        EXPECT_NEAR(DegreesToRadians(B - B0) * (meridianRadius + H0), expectedNorth,
                    kTenthMillimetre)
            << "B " << B0;
        EXPECT_NEAR(L, L0, kLongitudeRoundingDeg);
    }
}

TEST(SevenParamsUnitsTest, InternalAndBackReturnTheUserValues)
{
    const SevenParams user{-15.5, 148.25, 87.0, 0.35, -2.75, 8.0, 4.5};
    SevenParams params = user;
    SevenParamsToInternal(params);
    EXPECT_NEAR(params.WZ, DegreesToRadians(8.0 / 3600.0), 1e-18);
    EXPECT_NEAR(params.K, 4.5e-6, 1e-20);
    SevenParamsToDisplay(params);
    const double before[] = {user.DX, user.DY, user.DZ, user.WX, user.WY, user.WZ, user.K};
    const double after[] = {params.DX, params.DY, params.DZ, params.WX,
                            params.WY, params.WZ, params.K};
    for (int i = 0; i < 7; ++i) {
        EXPECT_NEAR(after[i], before[i], 4e-16 * std::fabs(before[i])) << i;
    }
}

// ---------------------------------------------------------------------------------------------
// Three parameters.

TEST(TransformThreeParamsTest, OppositeShiftBackOntoTheSourceEllipsoidReturnsThePoint)
{
    const GaussProjector krasovsky = Projector(kKrasovsky);
    const GaussProjector wgs84 = Projector(kWgs84);
    const ThreeParams there{15.8, -154.4, -82.3};
    const ThreeParams back{-15.8, 154.4, 82.3};
    const double B0 = 34.26, L0 = 108.94, H0 = 405.0;
    double B, L, H;
    TransformThreeParams(krasovsky, wgs84, B0, L0, H0, there, B, L, H);
    EXPECT_GT(std::fabs(H - H0), 1.0);
    TransformThreeParams(wgs84, krasovsky, B, L, H, back, B, L, H);
    EXPECT_NEAR(DegreesToRadians(B), DegreesToRadians(B0), kLatitudeToleranceRad);
    EXPECT_NEAR(L, L0, kLongitudeRoundingDeg);
    EXPECT_NEAR(H, H0, kTenthMillimetre);
}

// ---------------------------------------------------------------------------------------------
// Outputs that are the input variables give the same result as separate outputs.

TEST(DatumAliasingTest, OutputsMayBeTheInputs)
{
    const GaussProjector source = Projector(kIag1975);
    const GaussProjector target = Projector(kCgcs2000);
    SevenParams seven{-112.4, 25.6, 68.9, 2.1, -1.4, 3.3, 2.7};
    SevenParamsToInternal(seven);
    const ThreeParams three{-112.4, 25.6, 68.9};

    double B1, L1, H1;
    TransformSevenParams(source, target, 30.5, 114.3, 25.0, seven, B1, L1, H1);
    double B = 30.5, L = 114.3, H = 25.0;
    TransformSevenParams(source, target, B, L, H, seven, B, L, H);
    EXPECT_EQ(B, B1);
    EXPECT_EQ(L, L1);
    EXPECT_EQ(H, H1);

    TransformThreeParams(source, target, 30.5, 114.3, 25.0, three, B1, L1, H1);
    B = 30.5, L = 114.3, H = 25.0;
    TransformThreeParams(source, target, B, L, H, three, B, L, H);
    EXPECT_EQ(B, B1);
    EXPECT_EQ(L, L1);
    EXPECT_EQ(H, H1);
}

} // namespace
