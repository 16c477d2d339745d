// Tests of the parameter estimators: documented shift and rotation examples printed as a page
// prints them, recovery of known parameters from generated common points (with their residuals),
// the effect of noise, pure shifts at survey magnitudes, minimum point counts and singular sets.
#include "estimation/Estimators.hpp"
#include "estimation/ParameterText.hpp"
#include "estimation/Residuals.hpp"

#include "geodesy/Datum.hpp"
#include "geodesy/FourParams.hpp"
#include "geodesy/GaussProjector.hpp"
#include "platform/NumberText.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>
#include <string>
#include <vector>

namespace {

using namespace carvento::estimation;
using namespace carvento::geodesy;
using carvento::platform::FormatFixed;

constexpr double kMicrometre = 1e-6;
constexpr double kTenthMillimetre = 1e-4;
constexpr double kMillimetre = 1e-3;
// Coefficients K and T: 1e-10 is a tenth of a micrometre per kilometre.
constexpr double kCoefficientTolerance = 1e-10;
// Seven parameters recovered from exact generated points, in user units: a millionth of an
// arc-second and of a ppm are some 30 and 6 micrometres at the earth's radius.
constexpr double kHundredthMillimetre = 1e-5;
constexpr double kArcSecondTolerance = 1e-6;
constexpr double kPpmTolerance = 1e-6;

struct PlanePoint {
    double x, y;
};

PointList PlaneList(const std::vector<PlanePoint>& points)
{
    PointList list(static_cast<int>(points.size()), 2);
    for (int i = 0; i < list.m_nRow; ++i) {
        list(i, 0) = points[i].x;
        list(i, 1) = points[i].y;
    }
    return list;
}

std::vector<PlanePoint> Transformed(const std::vector<PlanePoint>& points, const FourParams& params)
{
    std::vector<PlanePoint> result;
    for (const PlanePoint& p : points) {
        PlanePoint q;
        TransformFourParams(p.x, p.y, params, q.x, q.y);
        result.push_back(q);
    }
    return result;
}

// ---------------------------------------------------------------------------------------------
// The documented example: a pure shift (+100, −50) between small coordinates prints exactly,
// whatever the points, with zero residuals and no "-0.0000000000".

struct SmallShiftCase {
    const char* name;
    std::vector<PlanePoint> points;
};

class FourParamsSmallShiftTest : public testing::TestWithParam<SmallShiftCase> {};

TEST_P(FourParamsSmallShiftTest, PrintsTheShiftExactly)
{
    const std::vector<PlanePoint>& oldPoints = GetParam().points;
    std::vector<PlanePoint> newPoints;
    for (const PlanePoint& p : oldPoints) {
        newPoints.push_back({p.x + 100.0, p.y - 50.0});
    }
    FourParams params;
    ASSERT_EQ(SolveFourParams(PlaneList(oldPoints), PlaneList(newPoints),
                              static_cast<int>(oldPoints.size()), params),
              1);
    EXPECT_EQ(FormatParameter(params.DX), "100.0000000000");
    EXPECT_EQ(FormatParameter(params.DY), "-50.0000000000");
    EXPECT_EQ(FormatParameter(params.K), "1.0000000000");
    EXPECT_EQ(FormatParameter(params.T), "0.0000000000");
    for (std::size_t i = 0; i < oldPoints.size(); ++i) {
        EXPECT_EQ(FormatFixed(FourParamsResidual(oldPoints[i].x, oldPoints[i].y, newPoints[i].x,
                                                 newPoints[i].y, params),
                              4),
                  "0.0000");
    }
}

INSTANTIATE_TEST_SUITE_P(
    PointSets, FourParamsSmallShiftTest,
    testing::Values(SmallShiftCase{"TwoPoints", {{0, 0}, {10, 20}}},
                    SmallShiftCase{"DecimalFractions", {{0.1, 0.2}, {0.3, 0.7}}},
                    SmallShiftCase{"NegativeCoordinates", {{-12.5, 7.25}, {-3, -40}, {8, 1}}}),
    [](const testing::TestParamInfo<SmallShiftCase>& info) {
        return std::string(info.param.name);
    });

// Two points 100 m apart at Gauss-Krueger magnitudes: the literal normal equations missed the
// shift by metres and T by 1e-6 here, and printed T as "-0.0000000000" for about half the pairs.
TEST(FourParamsTest, PureShiftAtGaussKruegerMagnitudesIsExactToAMillimetre)
{
    std::mt19937_64 random(20260314);
    std::uniform_real_distribution<double> northing(2500000.0, 4500000.0);
    std::uniform_real_distribution<double> easting(350000.0, 650000.0);
    std::uniform_real_distribution<double> shift(-500.0, 500.0);
    std::uniform_real_distribution<double> direction(0.0, 6.283185307179586);
    for (int pair = 0; pair < 500; ++pair) {
        const double x = northing(random), y = easting(random);
        const double angle = direction(random);
        const std::vector<PlanePoint> oldPoints{
            {x, y}, {x + 100.0 * std::cos(angle), y + 100.0 * std::sin(angle)}};
        const double dx = shift(random), dy = shift(random);
        const std::vector<PlanePoint> newPoints{{oldPoints[0].x + dx, oldPoints[0].y + dy},
                                                {oldPoints[1].x + dx, oldPoints[1].y + dy}};
        FourParams params;
        ASSERT_EQ(SolveFourParams(PlaneList(oldPoints), PlaneList(newPoints), 2, params), 1);
        EXPECT_NEAR(params.DX, dx, kMillimetre) << "pair " << pair;
        EXPECT_NEAR(params.DY, dy, kMillimetre) << "pair " << pair;
        EXPECT_NEAR(params.K, 1.0, kCoefficientTolerance) << "pair " << pair;
        EXPECT_NEAR(params.T, 0.0, kCoefficientTolerance) << "pair " << pair;
        EXPECT_EQ(FormatParameter(params.K), "1.0000000000") << "pair " << pair;
        EXPECT_EQ(FormatParameter(params.T), "0.0000000000") << "pair " << pair;
    }
}

TEST(FourParamsTest, QuarterTurnAboutTheOriginGivesKZeroAndTOne)
{
    const std::vector<PlanePoint> oldPoints{{100, 0}, {0, 100}, {250, -40}};
    std::vector<PlanePoint> newPoints;
    for (const PlanePoint& p : oldPoints) {
        newPoints.push_back({-p.y, p.x});
    }
    FourParams params;
    ASSERT_EQ(SolveFourParams(PlaneList(oldPoints), PlaneList(newPoints), 3, params), 1);
    EXPECT_EQ(FormatParameter(params.K), "0.0000000000");
    EXPECT_EQ(FormatParameter(params.T), "1.0000000000");
    EXPECT_EQ(FormatParameter(params.DX), "0.0000000000");
    EXPECT_EQ(FormatParameter(params.DY), "0.0000000000");
}

// ---------------------------------------------------------------------------------------------
// Recovery of known four parameters from points generated with them.

std::vector<PlanePoint> SurveyArea()
{
    // Eight control points spread over some 10 km near x = 3 376 000, y = 625 000.
    return {{3376320.4035, 624805.9342}, {3381204.1170, 621932.5518}, {3372011.9856, 629544.0203},
            {3385967.3321, 630118.7745}, {3369876.5502, 619023.1187}, {3378450.0019, 634870.2261},
            {3383312.7788, 616544.9002}, {3374101.4410, 626677.3385}};
}

FourParams SimilarityOf(double dx, double dy, double scalePpm, double rotationArcSec)
{
    const double scale = 1.0 + scalePpm * 1e-6;
    const double angle = rotationArcSec * kRadiansPerArcSecond;
    return {dx, dy, scale * std::cos(angle), scale * std::sin(angle)};
}

TEST(FourParamsTest, RecoversKnownParametersWithZeroResiduals)
{
    const FourParams truth = SimilarityOf(215.3, -1520.8, -8.5, 20.0);
    const std::vector<PlanePoint> oldPoints = SurveyArea();
    const std::vector<PlanePoint> newPoints = Transformed(oldPoints, truth);
    const int n = static_cast<int>(oldPoints.size());
    FourParams params;
    ASSERT_EQ(SolveFourParams(PlaneList(oldPoints), PlaneList(newPoints), n, params), 1);
    EXPECT_NEAR(params.DX, truth.DX, kMillimetre);
    EXPECT_NEAR(params.DY, truth.DY, kMillimetre);
    EXPECT_NEAR(params.K, truth.K, kCoefficientTolerance);
    EXPECT_NEAR(params.T, truth.T, kCoefficientTolerance);
    for (int i = 0; i < n; ++i) {
        EXPECT_LT(FourParamsResidual(oldPoints[i].x, oldPoints[i].y, newPoints[i].x, newPoints[i].y,
                                     params),
                  kMicrometre)
            << "point " << i;
    }
}

// Noise of 1 cm on the new points shows in the residuals at that size.
TEST(FourParamsTest, ResidualsReflectNoiseInTheCommonPoints)
{
    constexpr double kNoiseSigma = 0.01;
    const FourParams truth = SimilarityOf(-35.12, 72.45, 3.2, -4.5);
    const std::vector<PlanePoint> oldPoints = SurveyArea();
    const int n = static_cast<int>(oldPoints.size());
    std::mt19937_64 random(77);
    std::normal_distribution<double> noise(0.0, kNoiseSigma);
    std::vector<PlanePoint> noisy = Transformed(oldPoints, truth);
    for (PlanePoint& p : noisy) {
        p.x += noise(random);
        p.y += noise(random);
    }
    FourParams params;
    ASSERT_EQ(SolveFourParams(PlaneList(oldPoints), PlaneList(noisy), n, params), 1);
    double sum = 0.0;
    for (int i = 0; i < n; ++i) {
        sum += FourParamsResidual(oldPoints[i].x, oldPoints[i].y, noisy[i].x, noisy[i].y, params);
    }
    EXPECT_GT(sum / n, 0.3 * kNoiseSigma);
    EXPECT_LT(sum / n, 3.0 * kNoiseSigma);
    // Over some 10 km, 1 cm of noise leaves K and T uncertain at a few 1e-6 (mm per km).
    EXPECT_NEAR(params.K, truth.K, 1e-5);
    EXPECT_NEAR(params.T, truth.T, 1e-5);
}

// ---------------------------------------------------------------------------------------------
// Seven parameters from points generated through the Cartesian and geodetic conversions.

struct GeodeticPoint {
    double B, L, H;
};

struct SevenCase {
    const char* name;
    int sourceKind;
    int targetKind;
    SevenParams user; // arc-seconds and ppm
    std::vector<GeodeticPoint> points;
    double noiseSigma; // metres
};

PointList CartesianList(const GaussProjector& ellipsoid, const std::vector<GeodeticPoint>& points)
{
    PointList list(static_cast<int>(points.size()), 3);
    for (int i = 0; i < list.m_nRow; ++i) {
        GeodeticToCartesian(ellipsoid, points[i].B, points[i].L, points[i].H, list(i, 0),
                            list(i, 1), list(i, 2));
    }
    return list;
}

// The residual of the page chain: transform the old point with the estimate, project it on the
// target ellipsoid (the point's 3° zone, add constant 500 000 m), and compare it with the new
// point projected with its zone number 38 in front of y.
double ChainResidual(const GaussProjector& source, const GaussProjector& target,
                     const GeodeticPoint& oldPoint, const GeodeticPoint& newPoint,
                     const SevenParams& params)
{
    double B, L, H, x, y, xNew, yNew;
    TransformSevenParams(source, target, oldPoint.B, oldPoint.L, oldPoint.H, params, B, L, H);
    const double L0 = 3.0 * std::round(oldPoint.L / 3.0);
    target.GaussForward(B, L, L0, 500000.0, x, y);
    target.GaussForward(newPoint.B, newPoint.L, L0, 38500000.0, xNew, yNew);
    return SpatialResidual(x, y, H, xNew, yNew, newPoint.H);
}

class SevenParamsRecoveryTest : public testing::TestWithParam<SevenCase> {};

// New points made from the old ones with known parameters, then given Gaussian noise of
// noiseSigma metres on each Cartesian coordinate.
TEST_P(SevenParamsRecoveryTest, RecoversKnownParametersAndShowsTheNoise)
{
    const SevenCase& c = GetParam();
    GaussProjector source, target;
    source.SetEllipsoid(c.sourceKind);
    target.SetEllipsoid(c.targetKind);
    SevenParams truth = c.user;
    SevenParamsToInternal(truth);

    const int n = static_cast<int>(c.points.size());
    const PointList oldList = CartesianList(source, c.points);
    PointList newList(oldList);
    std::vector<GeodeticPoint> newPoints(c.points.size());
    std::mt19937_64 random(4242);
    std::normal_distribution<double> noise(0.0, 1.0);
    for (int i = 0; i < n; ++i) {
        GeodeticPoint& q = newPoints[i];
        TransformSevenParams(source, target, c.points[i].B, c.points[i].L, c.points[i].H, truth,
                             q.B, q.L, q.H);
        GeodeticToCartesian(target, q.B, q.L, q.H, newList(i, 0), newList(i, 1), newList(i, 2));
        if (c.noiseSigma > 0.0) {
            for (int k = 0; k < 3; ++k) {
                newList(i, k) += c.noiseSigma * noise(random);
            }
            CartesianToGeodetic(target, newList(i, 0), newList(i, 1), newList(i, 2), q.B, q.L, q.H);
        }
    }
    SevenParams params;
    ASSERT_EQ(SolveSevenParams(oldList, newList, n, params), 1);

    double sum = 0.0;
    for (int i = 0; i < n; ++i) {
        sum += ChainResidual(source, target, c.points[i], newPoints[i], params);
    }
    if (c.noiseSigma > 0.0) {
        EXPECT_GT(sum / n, 0.3 * c.noiseSigma);
        EXPECT_LT(sum / n, 3.0 * c.noiseSigma);
        return;
    }
    EXPECT_LT(sum, kTenthMillimetre);
    SevenParamsToDisplay(params);
    EXPECT_NEAR(params.DX, c.user.DX, kHundredthMillimetre);
    EXPECT_NEAR(params.DY, c.user.DY, kHundredthMillimetre);
    EXPECT_NEAR(params.DZ, c.user.DZ, kHundredthMillimetre);
    EXPECT_NEAR(params.WX, c.user.WX, kArcSecondTolerance);
    EXPECT_NEAR(params.WY, c.user.WY, kArcSecondTolerance);
    EXPECT_NEAR(params.WZ, c.user.WZ, kArcSecondTolerance);
    EXPECT_NEAR(params.K, c.user.K, kPpmTolerance);
}

const std::vector<GeodeticPoint> kProvince{{30.12, 113.05, 25.0},  {30.95, 114.88, 310.5},
                                           {31.74, 113.62, 88.2},  {29.41, 115.20, 1204.0},
                                           {30.55, 112.31, 46.7},  {31.20, 115.91, 520.3},
                                           {30.02, 114.12, 150.0}, {31.48, 112.77, 75.0}};

INSTANTIATE_TEST_SUITE_P(
    PointSets, SevenParamsRecoveryTest,
    testing::Values(
        SevenCase{"Province",
                  kIag1975,
                  kCgcs2000,
                  {-112.4, 25.6, 68.9, 2.1, -1.4, 3.3, 2.7},
                  kProvince,
                  0.0},
        SevenCase{"MinimumThreePoints",
                  kKrasovsky,
                  kWgs84,
                  {15.8, -154.4, -82.3, 0.25, -0.37, -1.2, -3.1},
                  {{22.8, 113.1, 12.0}, {23.4, 114.9, 240.0}, {24.1, 113.7, 60.0}},
                  0.0},
        SevenCase{"NationwideEightSecondsAndFourPpm",
                  kKrasovsky,
                  kCgcs2000,
                  {-300.0, 280.0, 150.0, 8.0, -8.0, 8.0, 4.0},
                  {{39.90, 116.41, 43.5},
                   {23.13, 113.26, 21.0},
                   {45.80, 126.54, 150.0},
                   {29.65, 91.17, 3656.0},
                   {43.83, 87.62, 800.0},
                   {30.57, 104.07, 500.0}},
                  0.0},
        SevenCase{"ShiftOnly",
                  kCgcs2000,
                  kCgcs2000,
                  {-12.345, 130.5, 78.25, 0, 0, 0, 0},
                  {{34.26, 108.94, 405.0}, {34.80, 109.51, 380.0}, {33.95, 109.12, 612.0}},
                  0.0},
        SevenCase{"ProvinceWithOneCentimetreNoise",
                  kIag1975,
                  kCgcs2000,
                  {-112.4, 25.6, 68.9, 2.1, -1.4, 3.3, 2.7},
                  kProvince,
                  0.01}),
    [](const testing::TestParamInfo<SevenCase>& info) { return std::string(info.param.name); });

// ---------------------------------------------------------------------------------------------
// Three parameters: the shift of the first point, reproducing it through the transformation.

TEST(ThreeParamsTest, ShiftOfTheFirstPointReproducesIt)
{
    GaussProjector source, target;
    source.SetEllipsoid(kKrasovsky);
    target.SetEllipsoid(kWgs84);
    const std::vector<GeodeticPoint> oldPoints{{36.06, 103.83, 1520.0}, {36.5, 104.2, 1800.0}};
    const std::vector<GeodeticPoint> newPoints{{36.0601, 103.8312, 1498.3}, {10.0, 10.0, 0.0}};
    const PointList oldList = CartesianList(source, oldPoints);
    const PointList newList = CartesianList(target, newPoints);
    ThreeParams params;
    ASSERT_EQ(SolveThreeParams(oldList, newList, params), 1);
    EXPECT_EQ(params.DX, newList(0, 0) - oldList(0, 0));
    EXPECT_EQ(params.DY, newList(0, 1) - oldList(0, 1));
    EXPECT_EQ(params.DZ, newList(0, 2) - oldList(0, 2));

    double B, L, H, x, y, xNew, yNew;
    TransformThreeParams(source, target, oldPoints[0].B, oldPoints[0].L, oldPoints[0].H, params, B,
                         L, H);
    target.GaussForward(B, L, 105.0, 500000.0, x, y);
    target.GaussForward(newPoints[0].B, newPoints[0].L, 105.0, 500000.0, xNew, yNew);
    EXPECT_LT(SpatialResidual(x, y, H, xNew, yNew, newPoints[0].H), kTenthMillimetre);
}

// ---------------------------------------------------------------------------------------------
// Too few points and singular sets: status 0 and the record untouched.

constexpr FourParams kFourSentinel{1.5, 2.5, 3.5, 4.5};
constexpr SevenParams kSevenSentinel{1.5, 2.5, 3.5, 4.5, 5.5, 6.5, 7.5};

// The records are plain doubles without padding: compare them byte for byte.
template <typename Params>
void ExpectUntouched(const Params& params, const Params& sentinel)
{
    EXPECT_EQ(std::memcmp(&params, &sentinel, sizeof params), 0);
}

struct RefusedFourCase {
    const char* name;
    std::vector<PlanePoint> oldPoints;
    std::vector<PlanePoint> newPoints;
    int n;
};

class FourParamsRefusedTest : public testing::TestWithParam<RefusedFourCase> {};

TEST_P(FourParamsRefusedTest, ReturnsZeroAndLeavesTheRecord)
{
    const RefusedFourCase& c = GetParam();
    FourParams params = kFourSentinel;
    EXPECT_EQ(SolveFourParams(PlaneList(c.oldPoints), PlaneList(c.newPoints), c.n, params), 0);
    ExpectUntouched(params, kFourSentinel);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FourParamsRefusedTest,
    testing::Values(
        RefusedFourCase{"OnePoint",
                        {{3376320.4, 624805.9}, {3376420.4, 624905.9}},
                        {{3376420.4, 624755.9}, {3376520.4, 624855.9}},
                        1},
        RefusedFourCase{"NoPoint", {{0, 0}}, {{0, 0}}, 0},
        RefusedFourCase{"CoincidentPoints",
                        {{3376320.3, 624805.7}, {3376320.3, 624805.7}, {3376320.3, 624805.7}},
                        {{3376420.1, 624755.7}, {3376420.3, 624755.9}, {3376419.8, 624755.1}},
                        3}),
    [](const testing::TestParamInfo<RefusedFourCase>& info) {
        return std::string(info.param.name);
    });

TEST(SevenParamsTest, TooFewOrCoincidentPointsAreRefused)
{
    GaussProjector ellipsoid;
    const PointList distinct = CartesianList(
        ellipsoid, {{34.26, 108.94, 405.0}, {34.80, 109.51, 380.0}, {33.95, 109.12, 612.0}});
    const PointList coincident = CartesianList(
        ellipsoid, {{34.1, 108.9, 405.3}, {34.1, 108.9, 405.3}, {34.1, 108.9, 405.3}});
    SevenParams params = kSevenSentinel;
    EXPECT_EQ(SolveSevenParams(distinct, distinct, 2, params), 0);
    ExpectUntouched(params, kSevenSentinel);
    EXPECT_EQ(SolveSevenParams(coincident, distinct, 3, params), 0);
    ExpectUntouched(params, kSevenSentinel);
}

// Points that differ only by rounding, or that leave a parameter free, are refused even though
// the normal matrix is not exactly singular; points on one line still fix four parameters.

TEST(FourParamsTest, PointsCoincidingWithinRoundingAreRefused)
{
    // A hundredth of a micrometre apart at 3 000 000 m: the differences are rounding only.
    const std::vector<PlanePoint> oldPoints{{3376320.3, 624805.7}, {3376320.30000001, 624805.7}};
    const std::vector<PlanePoint> newPoints{{3376420.3, 624755.7}, {3376420.4, 624755.9}};
    FourParams params = kFourSentinel;
    EXPECT_EQ(SolveFourParams(PlaneList(oldPoints), PlaneList(newPoints), 2, params), 0);
    ExpectUntouched(params, kFourSentinel);
}

TEST(FourParamsTest, CollinearPointsStillDetermineTheSimilarity)
{
    const FourParams truth{120.5, -80.25, 0.99999, 0.00002};
    const std::vector<PlanePoint> oldPoints{{3376320.0, 624800.0},
                                            {3376420.0, 624900.0},
                                            {3376520.0, 625000.0}};
    FourParams params;
    ASSERT_EQ(SolveFourParams(PlaneList(oldPoints), PlaneList(Transformed(oldPoints, truth)), 3,
                              params),
              1);
    EXPECT_NEAR(params.K, truth.K, kCoefficientTolerance);
    EXPECT_NEAR(params.T, truth.T, kCoefficientTolerance);
    EXPECT_NEAR(params.DX, truth.DX, kMillimetre);
    EXPECT_NEAR(params.DY, truth.DY, kMillimetre);
}

TEST(SevenParamsTest, CollinearOrNearlyCollinearPointsAreRefused)
{
    // Points on one straight line in space leave the rotation about that line free.
    PointList line(4, 3);
    const double start[3] = {-1700000.0, 4900000.0, 3600000.0};
    const double step[3] = {812.5, -400.25, 1000.0};
    for (int i = 0; i < 4; ++i)
        for (int k = 0; k < 3; ++k)
            line(i, k) = start[k] + i * step[k];
    PointList moved = line;
    for (int i = 0; i < 4; ++i) {
        moved(i, 0) += 10.0;
        moved(i, 1) -= 20.0;
        moved(i, 2) += 30.0;
    }
    SevenParams params = kSevenSentinel;
    EXPECT_EQ(SolveSevenParams(line, moved, 4, params), 0);
    ExpectUntouched(params, kSevenSentinel);

    // A micrometre off the line over three kilometres: the matrix has no exactly zero pivot,
    // but the rotation about the line rests on that micrometre alone.
    line(1, 0) += 1e-6;
    EXPECT_EQ(SolveSevenParams(line, moved, 4, params), 0);
    ExpectUntouched(params, kSevenSentinel);

    // A real triangle with the same points is solved.
    line(1, 0) += 500.0;
    EXPECT_EQ(SolveSevenParams(line, moved, 4, params), 1);
}

} // namespace
