// Four-parameter plane transformation: a two-dimensional similarity (shift, rotation, scale)
// between the plane coordinates of two local grids. No ellipsoid or projection is involved.
#pragma once

namespace carvento::geodesy {

// Parameters in the order used in memory, in parameter files and by the estimator.
//   DX, DY  shifts added to x' and y', metres
//   K       scale · cos(rotation), dimensionless (close to 1 for similar grids)
//   T       scale · sin(rotation), dimensionless (close to 0 for similar grids)
// K and T stay in this coefficient form everywhere; they are never turned into an angle.
struct FourParams {
    double DX = 0.0;
    double DY = 0.0;
    double K = 0.0;
    double T = 0.0;
};

// x' = DX + K·x − T·y, y' = DY + T·x + K·y (x the first, northing-like column, metres).
// Outputs may be the input variables. Non-numbers propagate.
void TransformFourParams(double x, double y, const FourParams& params, double& xOut, double& yOut);

} // namespace carvento::geodesy
