// Four-parameter plane transformation.
#include "geodesy/FourParams.hpp"

namespace carvento::geodesy {

void TransformFourParams(double x, double y, const FourParams& params, double& xOut, double& yOut)
{
    const double xNew = params.DX + params.K * x - params.T * y;
    const double yNew = params.DY + params.T * x + params.K * y;
    xOut = xNew;
    yOut = yNew;
}

} // namespace carvento::geodesy
