// A table page with an ellipsoid panel and the page's GaussProjector, and the zone fields
// ("中央子午线", "Y坐标加常数(m)") that projection pages share.
#pragma once

#include "geodesy/EllipsoidPanel.hpp"
#include "geodesy/GaussProjector.hpp"
#include "pages/frames/AngleUnits.hpp"
#include "pages/frames/ConversionPage.hpp"

namespace carvento::pages {

inline constexpr const char* kParameterPanelTitle = "参考椭球及坐标系参数设置";
inline constexpr const char* kYAddLabel = "Y坐标加常数(m)";
inline constexpr int kDefaultCentralMeridian = 1050000;
inline constexpr int kDefaultYAdd = 500000;

class EllipsoidPage : public ConversionPage {
public:
    explicit EllipsoidPage(PageContext context);

    geodesy::EllipsoidPanel& Ellipsoid() { return m_panel; }
    const geodesy::GaussProjector& Projector() const { return m_projector; }

protected:
    // Adds a central meridian field (packed DDDMMSS integer) and a Y add constant field.
    void AddZoneFields(const std::string& idPrefix, const std::string& group,
                       const std::string& meridianLabel);
    // Central meridian of a zone field pair in decimal degrees, and its add constant.
    double MeridianDegrees(const std::string& idPrefix);
    double YAdd(const std::string& idPrefix);

    geodesy::GaussProjector m_projector;
    geodesy::EllipsoidPanel m_panel;
};

} // namespace carvento::pages
