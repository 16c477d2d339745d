// Ellipsoid and zone fields shared by the projection pages.
#include "pages/EllipsoidPage.hpp"

#include "geodesy/AngleNotation.hpp"

namespace carvento::pages {

EllipsoidPage::EllipsoidPage(PageContext context)
    : TablePage(context), m_panel(m_projector, context.profile)
{
}

void EllipsoidPage::AddZoneFields(const std::string& idPrefix, const std::string& group,
                                  const std::string& meridianLabel)
{
    AddField({idPrefix + "meridian", group, meridianLabel, FieldKind::Integer, {},
              kDefaultCentralMeridian, {}, 0});
    AddField({idPrefix + "y-add", group, kYAddLabel, FieldKind::Integer, {}, kDefaultYAdd, {}, 0});
}

double EllipsoidPage::MeridianDegrees(const std::string& idPrefix)
{
    return geodesy::PackedToDegrees(Field(idPrefix + "meridian").value);
}

double EllipsoidPage::YAdd(const std::string& idPrefix)
{
    return static_cast<double>(Field(idPrefix + "y-add").value);
}

} // namespace carvento::pages
