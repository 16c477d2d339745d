// Per-point residuals of fitted transformations: the distance between a common point's known
// new coordinates and the coordinates computed from its old ones with the estimated parameters.
// Each value stands alone; there is no pooled or mean-square figure.
#pragma once

#include "geodesy/FourParams.hpp"

namespace carvento::estimation {

// Drops the millions of an easting (a zone number written in front of it): 38 500 000 becomes
// 500 000. Values below 1 000 000, negative ones included, are returned unchanged.
double ReduceZoneMillions(double y);

// Plane distance (m) between TransformFourParams(x, y) and the known new point xNew, yNew.
// Both sides are in the new grid, millions included, so y is compared as it stands.
double FourParamsResidual(double x, double y, double xNew, double yNew,
                          const geodesy::FourParams& params);

// Distance (m) between a computed target point (x, y, H, from the three- or seven-parameter
// chain ending in a Gauss-Krueger projection) and the known new point. The known y is reduced
// by its millions first (ReduceZoneMillions); the computed y is taken as it is.
double SpatialResidual(double xComputed, double yComputed, double hComputed, double xNew,
                       double yNew, double hNew);

} // namespace carvento::estimation
