// TransformSevenParams checked against PROJ's helmert transformation, as an independent oracle
// of the formulas and, above all, of the rotation sign convention.
//
// The PROJ call is the pipeline
//   +proj=pipeline +step +proj=cart +a=<a> +b=<b>
//   +step +proj=helmert +x=DX +y=DY +z=DZ +rx=WX +ry=WY +rz=WZ +s=K +convention=coordinate_frame
//   +step +inv +proj=cart +a=<a'> +b=<b'>
// with rotations in arc-seconds and scale in ppm, run with proj_trans on lon, lat in radians.
// PROJ multiplies the rotated vector by the scale, s·(R·X); our first-order model leaves the
// rotation terms unscaled, so the two differ by exactly m·(rotation terms): about 0.06 mm for
// typical parameters and up to 1.7 mm for 8″ rotations about all three axes with 4 ppm. The
// test computes that difference for each point and expects the distance between the two
// results to match it within a micrometre (the latitude iterations and rounding).
#include "geodesy/AngleNotation.hpp"
#include "geodesy/Datum.hpp"

#include <gtest/gtest.h>
#include <proj.h>

#include <charconv>
#include <cmath>
#include <string>
#include <tuple>

namespace {

using namespace carvento::geodesy;

constexpr double kMicrometre = 1e-6;
// The other rotation convention must be off by far more than our tolerance, or this oracle
// could not tell the two apart.
constexpr double kConventionSeparation = 0.5;

std::string Number(double value)
{
    char buffer[64];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    return std::string(buffer, result.ptr);
}

struct ParamCase {
    const char* name;
    int sourceKind;
    int targetKind;
    SevenParams user; // arc-seconds and ppm
};

struct PointCase {
    const char* name;
    double B, L, H;
};

std::string Pipeline(const GaussProjector& source, const GaussProjector& target,
                     const SevenParams& user, const char* convention)
{
    return "+proj=pipeline +step +proj=cart +a=" + Number(source.GetEllipsoid().a) +
           " +b=" + Number(source.GetEllipsoid().b) + " +step +proj=helmert +x=" + Number(user.DX) +
           " +y=" + Number(user.DY) + " +z=" + Number(user.DZ) + " +rx=" + Number(user.WX) +
           " +ry=" + Number(user.WY) + " +rz=" + Number(user.WZ) + " +s=" + Number(user.K) +
           " +convention=" + convention +
           " +step +inv +proj=cart +a=" + Number(target.GetEllipsoid().a) +
           " +b=" + Number(target.GetEllipsoid().b);
}

// Runs the pipeline on one point; returns false when PROJ refuses it.
bool ProjTransform(const std::string& pipeline, double B, double L, double H, double& BOut,
                   double& LOut, double& HOut)
{
    PJ_CONTEXT* context = proj_context_create();
    PJ* operation = proj_create(context, pipeline.c_str());
    if (operation == nullptr) {
        proj_context_destroy(context);
        return false;
    }
    const PJ_COORD in = proj_coord(proj_torad(L), proj_torad(B), H, 0.0);
    const PJ_COORD out = proj_trans(operation, PJ_FWD, in);
    proj_destroy(operation);
    proj_context_destroy(context);
    LOut = proj_todeg(out.lpzt.lam);
    BOut = proj_todeg(out.lpzt.phi);
    HOut = out.lpzt.z;
    return std::isfinite(BOut) && std::isfinite(LOut) && std::isfinite(HOut);
}

// Distance (m) between two geodetic points on one ellipsoid, through their Cartesian form.
double Distance(const GaussProjector& ellipsoid, double B1, double L1, double H1, double B2,
                double L2, double H2)
{
    double X1, Y1, Z1, X2, Y2, Z2;
    GeodeticToCartesian(ellipsoid, B1, L1, H1, X1, Y1, Z1);
    GeodeticToCartesian(ellipsoid, B2, L2, H2, X2, Y2, Z2);
    return std::sqrt((X1 - X2) * (X1 - X2) + (Y1 - Y2) * (Y1 - Y2) + (Z1 - Z2) * (Z1 - Z2));
}

class SevenParamsAgainstProjTest : public testing::TestWithParam<std::tuple<ParamCase, PointCase>> {
};

TEST_P(SevenParamsAgainstProjTest, AgreesWithCoordinateFrameHelmert)
{
    const ParamCase& p = std::get<0>(GetParam());
    const PointCase& point = std::get<1>(GetParam());
    GaussProjector source, target;
    source.SetEllipsoid(p.sourceKind);
    target.SetEllipsoid(p.targetKind);
    SevenParams internal = p.user;
    SevenParamsToInternal(internal);

    double B, L, H;
    TransformSevenParams(source, target, point.B, point.L, point.H, internal, B, L, H);

    double projB, projL, projH;
    ASSERT_TRUE(ProjTransform(Pipeline(source, target, p.user, "coordinate_frame"), point.B,
                              point.L, point.H, projB, projL, projH));

    // The part of PROJ's result our unscaled rotation terms leave out: m·Ω·X.
    double X, Y, Z;
    GeodeticToCartesian(source, point.B, point.L, point.H, X, Y, Z);
    const double rx = internal.WZ * Y - internal.WY * Z;
    const double ry = -internal.WZ * X + internal.WX * Z;
    const double rz = internal.WY * X - internal.WX * Y;
    const double explained = std::fabs(internal.K) * std::sqrt(rx * rx + ry * ry + rz * rz);

    EXPECT_NEAR(Distance(target, B, L, H, projB, projL, projH), explained, kMicrometre)
        << "explained difference " << explained << " m";

    double pvB, pvL, pvH;
    ASSERT_TRUE(ProjTransform(Pipeline(source, target, p.user, "position_vector"), point.B, point.L,
                              point.H, pvB, pvL, pvH));
    EXPECT_GT(Distance(target, B, L, H, pvB, pvL, pvH), kConventionSeparation);
}

INSTANTIATE_TEST_SUITE_P(
    RealisticParameters, SevenParamsAgainstProjTest,
    testing::Combine(testing::Values(ParamCase{"Beijing54ToWgs84",
                                               kKrasovsky,
                                               kWgs84,
                                               {15.8, -154.4, -82.3, 0.25, -0.37, -1.2, -3.1}},
                                     ParamCase{"Xian80ToCgcs2000",
                                               kIag1975,
                                               kCgcs2000,
                                               {-112.4, 25.6, 68.9, 2.1, -1.4, 3.3, 2.7}},
                                     ParamCase{"LocalGridOnOneEllipsoid",
                                               kCgcs2000,
                                               kCgcs2000,
                                               {31.2, -8.7, 12.5, -0.8, 0.6, 1.5, -1.8}},
                                     ParamCase{"EightSecondsAndFourPpm",
                                               kKrasovsky,
                                               kCgcs2000,
                                               {-300.0, 280.0, 150.0, 8.0, -8.0, 8.0, 4.0}}),
                     testing::Values(PointCase{"Beijing", 39.9042, 116.4074, 43.5},
                                     PointCase{"Guangzhou", 23.1291, 113.2644, 21.0},
                                     PointCase{"Harbin", 45.8038, 126.5350, 150.0},
                                     PointCase{"Lhasa", 29.6520, 91.1721, 3656.0},
                                     PointCase{"Urumqi", 43.8256, 87.6168, 800.0})),
    [](const testing::TestParamInfo<std::tuple<ParamCase, PointCase>>& info) {
        return std::string(std::get<0>(info.param).name) + "_" + std::get<1>(info.param).name;
    });

} // namespace
