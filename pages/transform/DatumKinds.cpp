// The three- and seven-parameter rows.
#include "pages/transform/DatumKinds.hpp"

#include <array>

namespace carvento::pages {
namespace {

template <class Params>
GeodeticPoint Move(const geodesy::GaussProjector& from, const geodesy::GaussProjector& to,
                   const DatumParams& params, const GeodeticPoint& point)
{
    GeodeticPoint moved;
    if constexpr (std::is_same_v<Params, geodesy::SevenParams>)
        geodesy::TransformSevenParams(from, to, point.B, point.L, point.H, std::get<Params>(params),
                                      moved.B, moved.L, moved.H);
    else
        geodesy::TransformThreeParams(from, to, point.B, point.L, point.H, std::get<Params>(params),
                                      moved.B, moved.L, moved.H);
    return moved;
}

template <class Params>
std::string ProjText(const ProjSide& from, const ProjSide& to, const DatumParams& params)
{
    return DatumExportText(from, to, std::get<Params>(params));
}

std::optional<DatumParams> EstimateSeven(const estimation::PointList& oldPoints,
                                         const estimation::PointList& newPoints)
{
    geodesy::SevenParams params;
    if (estimation::SolveSevenParams(oldPoints, newPoints, oldPoints.m_nRow, params) != 1)
        return std::nullopt;
    return params;
}

std::optional<DatumParams> EstimateThree(const estimation::PointList& oldPoints,
                                         const estimation::PointList& newPoints)
{
    if (oldPoints.m_nRow < 1)
        return std::nullopt;
    geodesy::ThreeParams params;
    estimation::SolveThreeParams(oldPoints, newPoints, params);
    return params;
}

const std::array<DatumKind, 2> kDatumKinds = {{
    {.kind = ParameterKind::Seven,
     .transformPageClass = "CTrans7Dlg",
     .rowsEstimated = 0,
     .minimumPoints = 3,
     .tooFewPointsMessage = "公共点个数不足3个!",
     .estimate = EstimateSeven,
     .shown =
         [](const DatumParams& params) {
             return ParameterSet::FromInternal(std::get<geodesy::SevenParams>(params));
         },
     .fromSet = [](const ParameterSet& set) -> DatumParams { return set.ToInternalSevenParams(); },
     .move = Move<geodesy::SevenParams>,
     .projText = ProjText<geodesy::SevenParams>},
    {.kind = ParameterKind::Three,
     .transformPageClass = "CTrans3Dlg",
     .rowsEstimated = 1,
     .minimumPoints = 1,
     .tooFewPointsMessage = "公共点个数不足1个!",
     .estimate = EstimateThree,
     .shown =
         [](const DatumParams& params) {
             return ParameterSet::From(std::get<geodesy::ThreeParams>(params));
         },
     .fromSet = [](const ParameterSet& set) -> DatumParams { return set.ToThreeParams(); },
     .move = Move<geodesy::ThreeParams>,
     .projText = ProjText<geodesy::ThreeParams>},
}};

} // namespace

const DatumKind* DatumKindOf(ParameterKind kind)
{
    for (const DatumKind& row : kDatumKinds)
        if (row.kind == kind)
            return &row;
    return nullptr;
}

} // namespace carvento::pages
