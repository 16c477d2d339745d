// Tests of the four-parameter plane transformation.
#include "geodesy/FourParams.hpp"

#include <gtest/gtest.h>

#include <string>

namespace {

using carvento::geodesy::FourParams;
using carvento::geodesy::TransformFourParams;

struct FourParamsCase {
    const char* name;
    FourParams params;
    double x, y;
    double xExpected, yExpected;
};

class TransformFourParamsTest : public testing::TestWithParam<FourParamsCase> {};

TEST_P(TransformFourParamsTest, MapsThePoint)
{
    const FourParamsCase& c = GetParam();
    double x, y;
    TransformFourParams(c.x, c.y, c.params, x, y);
    EXPECT_EQ(x, c.xExpected);
    EXPECT_EQ(y, c.yExpected);

    // The same with the outputs in the input variables.
    x = c.x;
    y = c.y;
    TransformFourParams(x, y, c.params, x, y);
    EXPECT_EQ(x, c.xExpected);
    EXPECT_EQ(y, c.yExpected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, TransformFourParamsTest,
    testing::Values(
        FourParamsCase{"IdentityAtGaussKruegerMagnitude",
                       {0, 0, 1, 0},
                       3376320.4035,
                       624805.9342,
                       3376320.4035,
                       624805.9342},
        FourParamsCase{"Shift", {10, -5, 1, 0}, 3376320.5, 624805.25, 3376330.5, 624800.25},
        FourParamsCase{"QuarterTurnOfXAxis", {0, 0, 0, 1}, 1, 0, 0, 1},
        FourParamsCase{"QuarterTurnOfYAxis", {0, 0, 0, 1}, 0, 1, -1, 0},
        FourParamsCase{"ScaleTwoAndQuarterTurn", {0, 0, 0, 2}, 3, 4, -8, 6},
        FourParamsCase{"OriginGoesToTheShift",
                       {-125.5, 38.25, 0.99999, 0.0003},
                       0,
                       0,
                       -125.5,
                       38.25},
        FourParamsCase{"ShiftScaleAndRotation", {100, 200, 2, 1}, 10, 20, 100, 250}),
    [](const testing::TestParamInfo<FourParamsCase>& info) {
        return std::string(info.param.name);
    });

} // namespace
