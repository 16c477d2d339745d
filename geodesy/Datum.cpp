// Geodetic <-> spatial Cartesian conversion and the three- and seven-parameter datum
// transformations built on it.
//
// Glossary: B latitude, L longitude, H ellipsoidal height, X Y Z geocentric Cartesian
// coordinates, P = sqrt(X² + Y²) distance from the polar axis, N = a / sqrt(1 − e²·sin²B)
// prime-vertical radius of curvature. Angles are radians inside, degrees at the interface.
#include "geodesy/Datum.hpp"

#include "geodesy/AngleNotation.hpp"

#include <cmath>
#include <limits>

namespace carvento::geodesy {
namespace {

// Convergence test on successive latitudes, radians (about 0.6 mm on the ground).
constexpr double kLatitudeTolerance = 1e-10;

// Above the surface the iteration gains about two digits per pass (its contraction factor is
// about e²), so real points settle in under ten passes; the cap only bounds the degenerate
// cases: points near the centre of the earth converge slowly, and an ellipsoid typed with
// negative axes makes the iteration alternate between two values for ever.
constexpr int kMaxIterations = 1000;

double PrimeVerticalRadius(double a, double e2, double bRad)
{
    const double s = std::sin(bRad);
    return a / std::sqrt(1.0 - e2 * s * s);
}

} // namespace

void GeodeticToCartesian(const GaussProjector& ellipsoid, double B, double L, double H, double& X,
                         double& Y, double& Z)
{
    const Ellipsoid& el = ellipsoid.GetEllipsoid();
    const double e2 = el.e * el.e;
    const double bRad = DegreesToRadians(B);
    const double lRad = DegreesToRadians(L);
    const double n = PrimeVerticalRadius(el.a, e2, bRad);
    const double cosB = std::cos(bRad);
    X = (n + H) * cosB * std::cos(lRad);
    Y = (n + H) * cosB * std::sin(lRad);
    Z = (n * (1.0 - e2) + H) * std::sin(bRad);
}

void CartesianToGeodetic(const GaussProjector& ellipsoid, double X, double Y, double Z, double& B,
                         double& L, double& H)
{
    const Ellipsoid& el = ellipsoid.GetEllipsoid();
    const double a = el.a;
    const double e2 = el.e * el.e;
    const double lDeg = RadiansToDegrees(std::atan2(Y, X));
    const double p = std::sqrt(X * X + Y * Y);

    // On the equatorial plane the height below is 0/0: the point's latitude is 0, N = a there,
    // and its height is its distance from the axis less a.
    if (Z == 0.0) {
        B = 0.0;
        L = lDeg;
        H = p - a;
        return;
    }

    // On the polar axis the latitude is ±90° and the height comes from Z / sin B, as the
    // iteration below would give after one pass (atan(±inf)), without dividing by P = 0.
    if (p == 0.0) {
        const double pole =
            std::isnan(Z) ? Z
                          : std::atan(std::copysign(std::numeric_limits<double>::infinity(), Z));
        const double n = PrimeVerticalRadius(a, e2, pole);
        B = RadiansToDegrees(pole);
        L = lDeg;
        H = Z / std::sin(pole) - n * (1.0 - e2);
        return;
    }

    // Infinite or not-a-number coordinates have no latitude or height: the iteration below
    // would meet Z / sin 0 (P infinite) or ±inf / ±inf and end with not-a-number. The same
    // results, without dividing by zero.
    if (!std::isfinite(p) || !std::isfinite(Z)) {
        B = std::numeric_limits<double>::quiet_NaN();
        L = lDeg;
        H = std::numeric_limits<double>::quiet_NaN();
        return;
    }

    // Fixed-point iteration. Substituting h into the update gives
    // tan B_new = (Z + N·e²·sin B) / P, which contracts by about e² per pass.
    double bRad = std::atan(Z / p);
    // Z / P below the smallest double: the point lies on the equatorial plane as far as a
    // double can tell, and Z / sin B would divide by zero.
    if (bRad == 0.0) {
        B = 0.0;
        L = lDeg;
        H = p - a;
        return;
    }
    double bNew = bRad;
    double n = 0.0;
    for (int pass = 0; pass < kMaxIterations; ++pass) {
        n = PrimeVerticalRadius(a, e2, bRad);
        const double h = Z / std::sin(bRad) - n * (1.0 - e2);
        bNew = std::atan(Z * (n + h) / (p * (n * (1.0 - e2) + h)));
        // Written so that a difference that is not a number also ends the loop.
        if (!(std::fabs(bNew - bRad) >= kLatitudeTolerance)) {
            break;
        }
        bRad = bNew;
    }

    // Both height formulas are exact at the solution, but Z / sin B magnifies the remaining
    // latitude error by 1 / tan B: a point a millimetre off the equatorial plane would come
    // out kilometres off in height. Below 45° the better-conditioned P / cos B is used. N is
    // the one of the last pass in both.
    double hOut;
    if (std::fabs(Z) >= p) {
        hOut = Z / std::sin(bNew) - n * (1.0 - e2);
    } else {
        hOut = p / std::cos(bNew) - n;
    }
    B = RadiansToDegrees(bNew);
    L = lDeg;
    H = hOut;
}

void TransformThreeParams(const GaussProjector& source, const GaussProjector& target, double B,
                          double L, double H, const ThreeParams& params, double& BOut, double& LOut,
                          double& HOut)
{
    double X, Y, Z;
    GeodeticToCartesian(source, B, L, H, X, Y, Z);
    CartesianToGeodetic(target, X + params.DX, Y + params.DY, Z + params.DZ, BOut, LOut, HOut);
}

void TransformSevenParams(const GaussProjector& source, const GaussProjector& target, double B,
                          double L, double H, const SevenParams& params, double& BOut, double& LOut,
                          double& HOut)
{
    double X, Y, Z;
    GeodeticToCartesian(source, B, L, H, X, Y, Z);
    // Coordinate-frame convention, first-order rotations not scaled (see SevenParams).
    const double s = 1.0 + params.K;
    const double xNew = params.DX + s * X + params.WZ * Y - params.WY * Z;
    const double yNew = params.DY + s * Y - params.WZ * X + params.WX * Z;
    const double zNew = params.DZ + s * Z + params.WY * X - params.WX * Y;
    CartesianToGeodetic(target, xNew, yNew, zNew, BOut, LOut, HOut);
}

void SevenParamsToInternal(SevenParams& params)
{
    params.WX *= kRadiansPerArcSecond;
    params.WY *= kRadiansPerArcSecond;
    params.WZ *= kRadiansPerArcSecond;
    params.K *= 1e-6;
}

void SevenParamsToDisplay(SevenParams& params)
{
    params.WX *= kArcSecondsPerRadian;
    params.WY *= kArcSecondsPerRadian;
    params.WZ *= kArcSecondsPerRadian;
    params.K *= 1000000.0;
}

} // namespace carvento::geodesy
