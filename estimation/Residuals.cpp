// Per-point residuals.
#include "estimation/Residuals.hpp"

#include <cmath>

namespace carvento::estimation {

// Only eastings of a million metres or more carry a zone number. Reducing every value, as
// floor(y·1e-6) would for a negative y, turned y = −100 into 999 900 and added a million
// metres to the residual.
double ReduceZoneMillions(double y)
{
    if (!(y >= 1000000.0)) {
        return y;
    }
    return y - std::floor(y * 1e-6) * 1e6;
}

// The computed y' comes from parameters fitted to the new points, so it carries the same
// millions as the new y; reducing only one of the two would turn a zone number into a
// residual of millions of metres, so neither is reduced here.
double FourParamsResidual(double x, double y, double xNew, double yNew,
                          const geodesy::FourParams& params)
{
    double xComputed, yComputed;
    geodesy::TransformFourParams(x, y, params, xComputed, yComputed);
    const double dx = xComputed - xNew;
    const double dy = yComputed - yNew;
    return std::sqrt(dx * dx + dy * dy);
}

double SpatialResidual(double xComputed, double yComputed, double hComputed, double xNew,
                       double yNew, double hNew)
{
    const double dx = xComputed - xNew;
    const double dy = yComputed - ReduceZoneMillions(yNew);
    const double dh = hComputed - hNew;
    return std::sqrt(dx * dx + dy * dy + dh * dh);
}

} // namespace carvento::estimation
