// Spatial Cartesian coordinates on an ellipsoid and datum transformations between ellipsoids:
// the three-parameter shift and the linearised seven-parameter similarity transformation.
#pragma once

#include "geodesy/GaussProjector.hpp"

namespace carvento::geodesy {

// Three-parameter shift, metres, used as stored.
struct ThreeParams {
    double DX = 0.0;
    double DY = 0.0;
    double DZ = 0.0;
};

// Seven-parameter similarity transformation. The record carries no unit flag; its owner knows
// which units it holds and switches them only with SevenParamsToInternal / SevenParamsToDisplay.
//   DX, DY, DZ  translations, metres (in both unit sets)
//   WX, WY, WZ  rotations about the X, Y, Z axes: arc-seconds for the user, radians inside
//   K           scale difference: ppm for the user, a plain factor m inside (scale 1 + m)
//
// Sign convention (the one people get wrong). With s = 1 + m and rotations in radians:
//   X' = DX + s·X + WZ·Y − WY·Z
//   Y' = DY + s·Y − WZ·X + WX·Z
//   Z' = DZ + s·Z + WY·X − WX·Y
// so a positive WZ adds +WZ·Y to X'. This is the coordinate-frame rotation convention (EPSG
// method 1032/9607; PROJ's helmert with +convention=coordinate_frame), not the position-vector
// convention, whose rotations have the opposite sign. Parameters published as position vector
// must have WX, WY, WZ negated before use.
// The rotation terms are first order and not multiplied by the scale: PROJ computes
// s·(R·X), which differs from this by m·(rotation terms), under a millimetre for realistic
// parameters (1 mm for 8″ rotations with 4 ppm). The least-squares estimator fits this exact
// model, so parameters it solves reproduce their common points through TransformSevenParams.
struct SevenParams {
    double DX = 0.0;
    double DY = 0.0;
    double DZ = 0.0;
    double WX = 0.0;
    double WY = 0.0;
    double WZ = 0.0;
    double K = 0.0;
};

// One arc-second in radians, and arc-seconds per radian.
inline constexpr double kRadiansPerArcSecond = 4.84813681109536e-6;
inline constexpr double kArcSecondsPerRadian = 206264.80624709636;

// Geodetic B, L (decimal degrees) and ellipsoidal height H (m) to spatial Cartesian X, Y, Z (m)
// on the ellipsoid of `ellipsoid` (its a and e). No input is refused; non-numbers propagate.
void GeodeticToCartesian(const GaussProjector& ellipsoid, double B, double L, double H, double& X,
                         double& Y, double& Z);

// Spatial Cartesian X, Y, Z (m) to B (degrees, −90..90), L (degrees, −180..180) and H (m).
// Points on the polar axis give B = ±90 and L = 0; points on the equatorial plane (Z = 0) give
// B = 0 and H = P − a, P being the distance from the axis. The iteration is capped, so
// degenerate ellipsoids (e.g. negative axes) still return, with an unconverged value. Infinite
// or not-a-number X, Y, Z give B and H not-a-number; nothing is divided by zero.
void CartesianToGeodetic(const GaussProjector& ellipsoid, double X, double Y, double Z, double& B,
                         double& L, double& H);

// Moves a point B, L (degrees), H (m) on `source` to `target` by adding the shift to its
// Cartesian coordinates. Outputs may be the input variables.
void TransformThreeParams(const GaussProjector& source, const GaussProjector& target, double B,
                          double L, double H, const ThreeParams& params, double& BOut, double& LOut,
                          double& HOut);

// Moves a point B, L (degrees), H (m) on `source` to `target` with the seven-parameter model
// above; `params` must hold internal units (radians, plain factor). Outputs may be the input
// variables.
void TransformSevenParams(const GaussProjector& source, const GaussProjector& target, double B,
                          double L, double H, const SevenParams& params, double& BOut, double& LOut,
                          double& HOut);

// Arc-seconds and ppm to radians and a plain factor, in place; DX, DY, DZ are untouched.
void SevenParamsToInternal(SevenParams& params);
// Radians and a plain factor to arc-seconds and ppm, in place; DX, DY, DZ are untouched.
void SevenParamsToDisplay(SevenParams& params);

} // namespace carvento::geodesy
