// Zone change page.
#include "pages/coordinates/ZoneChangePage.hpp"

#include "platform/NumberText.hpp"

namespace carvento::pages {

CZBHDDlg::CZBHDDlg(PageContext context) : EllipsoidPage(context)
{
    const std::vector<std::string> titles{"序号", "坐标x(m)", "坐标y(m)"};
    SetLayout({"原投影带坐标(x,y)", titles, {35, 85, 90}},
              {"新投影带坐标(x,y)", titles, {35, 85, 90}});
    // Exchange order: old meridian, new meridian, old add constant, new add constant.
    AddField({.id = "from-meridian",
              .group = "原投影带参数",
              .label = "中央子午线(dfm)",
              .value = kDefaultCentralMeridian});
    AddField({.id = "to-meridian",
              .group = "新投影带参数",
              .label = "中央子午线(dfm)",
              .value = kDefaultCentralMeridian});
    AddField(
        {.id = "from-y-add", .group = "原投影带参数", .label = kYAddLabel, .value = kDefaultYAdd});
    AddField(
        {.id = "to-y-add", .group = "新投影带参数", .label = kYAddLabel, .value = kDefaultYAdd});
    OfferGisExport();
}

void CZBHDDlg::PrepareConvert()
{
    m_L0old = MeridianDegrees("from-");
    m_L0new = MeridianDegrees("to-");
    m_yAddOld = YAdd("from-");
    m_yAddNew = YAdd("to-");
}

void CZBHDDlg::ConvertRow(std::span<std::string> cells)
{
    double x = 0.0;
    double y = 0.0;
    m_projector.ChangeZone(platform::ParseDouble(cells[1]), platform::ParseDouble(cells[2]),
                           m_L0old, m_L0new, m_yAddOld, m_yAddNew, x, y);
    cells[1] = platform::FormatFixed(x, 4);
    cells[2] = platform::FormatFixed(y, 4);
}

std::optional<GisPoints> CZBHDDlg::ResultGisPoints() const
{
    ProjSide side;
    side.a = m_projector.GetEllipsoid().a;
    side.b = m_projector.GetEllipsoid().b;
    side.centralMeridian = m_L0new;
    side.yAdd = m_yAddNew;
    return GisPoints{
        .coordinateColumns = {1, 2},
        .read = [](std::span<const std::string> row) { return ReadPlanePoint(row, 1, -1); },
        .crs = side};
}

} // namespace carvento::pages
