// The datum parameter kinds (three and seven parameters) as one table: how a kind estimates
// its parameters from common points, moves a point with them, shows and reads them, and
// writes them for PROJ. The computation and transformation pages of a kind are descriptions
// over its row; a new kind is one more row.
#pragma once

#include "estimation/Estimators.hpp"
#include "geodesy/Datum.hpp"
#include "pages/frames/DatumSide.hpp"
#include "pages/frames/ParameterSet.hpp"
#include "pages/frames/ProjExport.hpp"

#include <optional>
#include <string>
#include <string_view>
#include <variant>

namespace carvento::pages {

// The parameters of a datum kind in internal units (radians, plain scale factor).
using DatumParams = std::variant<geodesy::ThreeParams, geodesy::SevenParams>;

struct DatumKind {
    ParameterKind kind;
    // The class of the transformation page that applies the kind ("CTrans7Dlg").
    std::string_view transformPageClass;
    // How many leading common points the estimate reads (0: all); the others count only for
    // the residuals. Three parameters are the shift of the first point.
    int rowsEstimated;
    int minimumPoints;
    const char* tooFewPointsMessage;
    // Parameters from Cartesian point pairs, old on the source ellipsoid and new on the
    // target; nothing when the points do not determine them.
    std::optional<DatumParams> (*estimate)(const estimation::PointList& oldPoints,
                                           const estimation::PointList& newPoints);
    // The parameters as the result fields and the parameter file carry them.
    ParameterSet (*shown)(const DatumParams& params);
    // The parameters a read parameter file stands for.
    DatumParams (*fromSet)(const ParameterSet& set);
    // B, L (degrees), H (m) from the source ellipsoid to the target one.
    GeodeticPoint (*move)(const geodesy::GaussProjector& from, const geodesy::GaussProjector& to,
                          const DatumParams& params, const GeodeticPoint& point);
    // The PROJ export between two sides.
    std::string (*projText)(const ProjSide& from, const ProjSide& to, const DatumParams& params);
};

// The row of a datum kind; nothing for the plane kind (four parameters).
const DatumKind* DatumKindOf(ParameterKind kind);

} // namespace carvento::pages
