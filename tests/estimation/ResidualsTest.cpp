// Tests of the per-point residuals (the easting reduction above all) and of the parameter text.
#include "estimation/ParameterText.hpp"
#include "estimation/Residuals.hpp"

#include "platform/NumberText.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <ostream>
#include <string>

namespace {

using namespace carvento::estimation;
using carvento::geodesy::FourParams;

constexpr double kMicrometre = 1e-6;

struct ReduceCase {
    double y;
    double expected;
};

void PrintTo(const ReduceCase& c, std::ostream* os)
{
    *os << "y=" << c.y;
}

class ReduceZoneMillionsTest : public testing::TestWithParam<ReduceCase> {};

TEST_P(ReduceZoneMillionsTest, DropsOnlyAZoneNumber)
{
    EXPECT_NEAR(ReduceZoneMillions(GetParam().y), GetParam().expected, kMicrometre);
}

INSTANTIATE_TEST_SUITE_P(Eastings, ReduceZoneMillionsTest,
                         testing::Values(ReduceCase{38500000.0, 500000.0},
                                         ReduceCase{38512345.678, 512345.678},
                                         ReduceCase{1000000.0, 0.0}, ReduceCase{999999.0, 999999.0},
                                         ReduceCase{0.0, 0.0}, ReduceCase{-100.0, -100.0},
                                         ReduceCase{-38500000.0, -38500000.0}));

struct SpatialCase {
    const char* name;
    double x, y, h;
    double xNew, yNew, hNew;
    double expected;
};

class SpatialResidualTest : public testing::TestWithParam<SpatialCase> {};

TEST_P(SpatialResidualTest, IsTheDistanceAfterReducingTheKnownEasting)
{
    const SpatialCase& c = GetParam();
    EXPECT_NEAR(SpatialResidual(c.x, c.y, c.h, c.xNew, c.yNew, c.hNew), c.expected, kMicrometre);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SpatialResidualTest,
    testing::Values(
        SpatialCase{"ThreeFourFive", 3376320.0, 624805.0, 100.0, 3376323.0, 624801.0, 100.0, 5.0},
        SpatialCase{"HeightCounts", 3376320.0, 624805.0, 100.0, 3376320.0, 624805.0, 112.0, 12.0},
        SpatialCase{"ZoneNumberOnTheKnownPoint", 3376320.0, 624805.0, 100.0, 3376320.0, 38624805.03,
                    100.04, 0.05},
        SpatialCase{"NegativeEasting", 1200.0, -100.0, 5.0, 1200.03, -100.04, 5.0, 0.05}),
    [](const testing::TestParamInfo<SpatialCase>& info) { return std::string(info.param.name); });

TEST(FourParamsResidualTest, ComparesBothEastingsWithTheirZoneNumber)
{
    // Both grids carry the zone number 38; the fitted parameters keep it.
    const FourParams params{12.0, -7.0, 1.0, 0.0};
    EXPECT_NEAR(FourParamsResidual(3376320.0, 38624805.0, 3376332.03, 38624798.04, params), 0.05,
                kMicrometre);
}

struct TextCase {
    double value;
    const char* expected;
};

void PrintTo(const TextCase& c, std::ostream* os)
{
    *os << c.expected;
}

class FormatParameterTest : public testing::TestWithParam<TextCase> {};

TEST_P(FormatParameterTest, PrintsTenDecimalsWithoutANegativeZero)
{
    EXPECT_EQ(FormatParameter(GetParam().value), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Values, FormatParameterTest,
    testing::Values(TextCase{-0.0, "0.0000000000"}, TextCase{-4e-11, "0.0000000000"},
                    TextCase{4e-11, "0.0000000000"}, TextCase{-6e-11, "-0.0000000001"},
                    TextCase{-50.0, "-50.0000000000"}, TextCase{100.0, "100.0000000000"},
                    TextCase{0.99999999996, "1.0000000000"}, TextCase{-1.5, "-1.5000000000"}));

TEST(FormatParameterTest, LeavesNonNumbersAsPrintfPrintsThem)
{
    const double values[] = {std::numeric_limits<double>::quiet_NaN(),
                             -std::numeric_limits<double>::quiet_NaN(),
                             -std::numeric_limits<double>::infinity()};
    for (const double v : values) {
        EXPECT_EQ(FormatParameter(v), carvento::platform::FormatFixed(v, 10));
    }
}

} // namespace
