// Ellipsoid and zone fields shared by the projection pages.
#include "pages/frames/EllipsoidPage.hpp"

#include "geodesy/AngleNotation.hpp"

namespace carvento::pages {

EllipsoidPage::EllipsoidPage(PageContext context)
    : ConversionPage(context), m_panel(m_projector, context.profile)
{
    AddPanel({.kind = PanelKind::Ellipsoid,
              .side = "",
              .title = kParameterPanelTitle,
              .ellipsoid = &m_panel});
}

void EllipsoidPage::AddZoneFields(const std::string& idPrefix, const std::string& group,
                                  const std::string& meridianLabel)
{
    AddField({.id = idPrefix + "meridian",
              .group = group,
              .label = meridianLabel,
              .value = kDefaultCentralMeridian});
    AddField(
        {.id = idPrefix + "y-add", .group = group, .label = kYAddLabel, .value = kDefaultYAdd});
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
