// Forward and inverse Gauss-Krueger pages.
#include "pages/coordinates/GaussPages.hpp"

#include "geodesy/AngleNotation.hpp"
#include "platform/NumberText.hpp"

namespace carvento::pages {
namespace {

using platform::FormatFixed;
using platform::ParseDouble;

const TableLayout kGeodeticTable{"地理坐标(B,L)", {"序号", "纬度B", "经度L"}, {35, 85, 90}};
const TableLayout kPlaneTable{"平面坐标(x,y)", {"序号", "坐标x(m)", "坐标y(m)"}, {35, 85, 90}};

} // namespace

GaussPage::GaussPage(PageContext context, const TableLayout& source, const TableLayout& result,
                     const std::string& meridianLabel, FieldPlacement unitPlacement)
    : EllipsoidPage(context)
{
    SetLayout(source, result);
    AddZoneFields("", "", meridianLabel);
    AddField({.id = "unit",
              .label = "单位:",
              .kind = FieldKind::Choice,
              .choices = kAngleUnitChoices,
              .optionNames = kAngleUnitOptionNames,
              .value = kUnitPacked,
              .placement = unitPlacement});
}

void GaussPage::PrepareConvert()
{
    m_L0 = MeridianDegrees("");
    m_yAdd = YAdd("");
    m_unit = Field("unit").value;
}

ProjSide GaussPage::ResultSide(bool geodetic) const
{
    ProjSide side;
    side.a = m_projector.GetEllipsoid().a;
    side.b = m_projector.GetEllipsoid().b;
    side.centralMeridian = m_L0;
    side.yAdd = m_yAdd;
    side.geodetic = geodetic;
    return side;
}

CGSZSDlg::CGSZSDlg(PageContext context)
    : GaussPage(context, kGeodeticTable, kPlaneTable, "中央子午线(dms)",
                FieldPlacement::BelowSource)
{
    OfferGisExport();
}

void CGSZSDlg::ConvertRow(std::span<std::string> cells)
{
    double B = AngleToDegrees(ParseDouble(cells[1]), m_unit);
    double L = AngleToDegrees(ParseDouble(cells[2]), m_unit);
    double x = 0.0;
    double y = 0.0;
    m_projector.GaussForward(B, L, m_L0, m_yAdd, x, y);
    cells[1] = FormatFixed(x, 4);
    cells[2] = FormatFixed(y, 4);
}

std::optional<GisPoints> CGSZSDlg::ResultGisPoints() const
{
    return GisPoints{
        .coordinateColumns = {1, 2},
        .read = [](std::span<const std::string> row) { return ReadPlanePoint(row, 1, -1); },
        .crs = ResultSide(false)};
}

CGSFSDlg::CGSFSDlg(PageContext context)
    : GaussPage(context, kPlaneTable, kGeodeticTable, "中央子午线(dfm)",
                FieldPlacement::BelowResult)
{
    OfferGisExport();
}

void CGSFSDlg::ConvertRow(std::span<std::string> cells)
{
    double B = 0.0;
    double L = 0.0;
    m_projector.GaussInverse(ParseDouble(cells[1]), ParseDouble(cells[2]), m_L0, m_yAdd, B, L);
    cells[1] = AngleText(B, m_unit);
    cells[2] = AngleText(L, m_unit);
}

std::optional<GisPoints> CGSFSDlg::ResultGisPoints() const
{
    // B and L as the unit list wrote them.
    const int unit = m_unit;
    return GisPoints{.geodetic = true,
                     .coordinateColumns = {1, 2},
                     .read = [unit](std::span<const std::string> row) -> std::optional<GisPoint> {
                         if (row.size() < 3 || !platform::IsNumberText(row[1]) ||
                             !platform::IsNumberText(row[2]))
                             return std::nullopt;
                         return GisPoint{AngleToDegrees(ParseDouble(row[1]), unit),
                                         AngleToDegrees(ParseDouble(row[2]), unit)};
                     },
                     .crs = ResultSide(true)};
}

} // namespace carvento::pages
