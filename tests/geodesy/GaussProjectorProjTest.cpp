// GaussProjector against PROJ's transverse Mercator as an independent oracle, on every preset
// ellipsoid, within a 3° half zone from the equator to 60°.
#include "geodesy/GaussProjector.hpp"

#include "platform/NumberText.hpp"

#include <gtest/gtest.h>
#include <proj.h>

#include <string>

using namespace carvento::geodesy;

namespace {

// Our series stops at l⁶; PROJ's default tmerc is accurate to a few nanometres here. The
// series' own error at 3° from the central meridian and 60° latitude is about 0.4 mm.
constexpr double kMillimetre = 1e-3;
constexpr double kOneE8Degree = 1e-8;

constexpr double kL0 = 105.0;
constexpr double kYAdd = 500000.0;

// The PROJ operation for the projector's ellipsoid:
//   +proj=tmerc +k=1 +lon_0=105 +x_0=500000 +y_0=0 +a=<a> +b=<b>
// It takes (longitude, latitude) in radians and gives (easting, northing) in metres.
class ProjTmerc {
public:
    explicit ProjTmerc(const Ellipsoid& el)
    {
        using carvento::platform::FormatFixed;
        std::string definition =
            "+proj=tmerc +k=1 +lon_0=" + FormatFixed(kL0, 0) + " +x_0=" + FormatFixed(kYAdd, 0) +
            " +y_0=0 +a=" + FormatFixed(el.a, 9) + " +b=" + FormatFixed(el.b, 9);
        m_context = proj_context_create();
        m_operation = proj_create(m_context, definition.c_str());
    }
    ~ProjTmerc()
    {
        proj_destroy(m_operation);
        proj_context_destroy(m_context);
    }
    ProjTmerc(const ProjTmerc&) = delete;
    ProjTmerc& operator=(const ProjTmerc&) = delete;

    bool Valid() const { return m_operation != nullptr; }

    // B, L in degrees to northing x and easting y in metres.
    void Forward(double B, double L, double& x, double& y) const
    {
        PJ_COORD in = proj_coord(proj_torad(L), proj_torad(B), 0, 0);
        PJ_COORD out = proj_trans(m_operation, PJ_FWD, in);
        y = out.xy.x;
        x = out.xy.y;
    }

private:
    PJ_CONTEXT* m_context = nullptr;
    PJ* m_operation = nullptr;
};

class AgainstProj : public ::testing::TestWithParam<int> {};

TEST_P(AgainstProj, ForwardAgreesWithinMillimetre)
{
    GaussProjector projector;
    projector.SetEllipsoid(GetParam());
    ProjTmerc proj(projector.GetEllipsoid());
    ASSERT_TRUE(proj.Valid());
    for (double B = 0.0; B <= 60.0; B += 1.25) {
        for (double dl = -3.0; dl <= 3.0; dl += 0.25) {
            double x = 0.0, y = 0.0, projX = 0.0, projY = 0.0;
            projector.GaussForward(B, kL0 + dl, kL0, kYAdd, x, y);
            proj.Forward(B, kL0 + dl, projX, projY);
            EXPECT_NEAR(projX, x, kMillimetre) << "B " << B << " l " << dl;
            EXPECT_NEAR(projY, y, kMillimetre) << "B " << B << " l " << dl;
        }
    }
}

TEST_P(AgainstProj, InverseReturnsForwardInputWithinOneE8Degree)
{
    GaussProjector projector;
    projector.SetEllipsoid(GetParam());
    for (double B = 0.0; B <= 60.0; B += 1.25) {
        for (double dl = -3.0; dl <= 3.0; dl += 0.25) {
            double x = 0.0, y = 0.0, B2 = 0.0, L2 = 0.0;
            projector.GaussForward(B, kL0 + dl, kL0, kYAdd, x, y);
            projector.GaussInverse(x, y, kL0, kYAdd, B2, L2);
            EXPECT_NEAR(B, B2, kOneE8Degree) << "B " << B << " l " << dl;
            EXPECT_NEAR(kL0 + dl, L2, kOneE8Degree) << "B " << B << " l " << dl;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Presets, AgainstProj,
                         ::testing::Values(kKrasovsky, kIag1975, kCgcs2000, kWgs84));

} // namespace
