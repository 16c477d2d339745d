// The angle unit table.
#include "pages/frames/AngleUnits.hpp"

#include "geodesy/AngleNotation.hpp"
#include "platform/NumberText.hpp"

namespace carvento::pages {
namespace {

struct Notation {
    double (*toDegrees)(double);
    double (*fromDegrees)(double);
    int decimals;
};

double Unchanged(double degrees)
{
    return degrees;
}

// Indexed by AngleUnit.
constexpr Notation kNotations[] = {
    {geodesy::PackedToDegrees, geodesy::DegreesToPacked, 4},
    {geodesy::DottedToDegrees, geodesy::DegreesToDotted, 8},
    {Unchanged, Unchanged, 8},
};

const Notation& NotationOf(int unit)
{
    return unit >= kUnitPacked && unit <= kUnitDegrees ? kNotations[unit]
                                                       : kNotations[kUnitDegrees];
}

} // namespace

double AngleToDegrees(double value, int unit)
{
    return NotationOf(unit).toDegrees(value);
}

std::string AngleText(double degrees, int unit)
{
    const Notation& notation = NotationOf(unit);
    return platform::FormatFixed(notation.fromDegrees(degrees), notation.decimals);
}

} // namespace carvento::pages
