// One side of a two-sided datum page: its fields, the reactions between the two sides, and a
// point read from and written to table cells in the side's form.
#include "pages/frames/DatumSide.hpp"

#include "geodesy/AngleNotation.hpp"
#include "platform/NumberText.hpp"

namespace carvento::pages {
namespace {

using platform::FormatFixed;

// An angle notation of the unit list: to and from decimal degrees, and the decimals a
// converted value is written with.
// Column titles after the side's "原" or "新", indexed by CoordinateType.
constexpr const char* kTitleStems[2][3] = {
    {"坐标x(m)", "坐标y(m)", "高程z(m)"},
    {"纬度B", "经度L", "海拔H"},
};

constexpr int kMetreDecimals = 4;

double CellValue(std::span<const std::string> cells, std::size_t index)
{
    return index < cells.size() ? platform::ParseDouble(cells[index]) : 0.0;
}

} // namespace

DatumSide::DatumSide(DatumSideHost& host, DatumRole role, const platform::Profile& profile,
                     std::vector<std::string> unitChoices)
    : m_host(host), m_role(role), m_side(role == DatumRole::Source ? "from" : "to"),
      m_meridianId(m_side + "-meridian"), m_yAddId(m_side + "-y-add"),
      m_coordsId(m_side + "-coords"), m_unitId(m_side + "-unit"), m_panel(m_projector, profile)
{
    const std::string title = role == DatumRole::Source ? kSourcePanelTitle : kTargetPanelTitle;
    if (role == DatumRole::Target)
        m_panel.Select(1);
    m_host.AddSidePanel(
        {.kind = PanelKind::Ellipsoid, .side = m_side, .title = title, .ellipsoid = &m_panel});
    m_host.AddSideField({.id = m_meridianId,
                         .group = title,
                         .label = kDatumMeridianLabel,
                         .value = kDefaultCentralMeridian});
    m_host.AddSideField(
        {.id = m_yAddId, .group = title, .label = kYAddLabel, .value = kDefaultYAdd});
    m_host.AddSideField({.id = m_coordsId,
                         .group = title,
                         .label = kCoordinateTypeLabel,
                         .kind = FieldKind::Radio,
                         .choices = kCoordinateTypeChoices,
                         .optionNames = kCoordinateTypeOptionNames,
                         .value = kPlaneCoordinates});
    m_host.AddSideField({.id = m_unitId,
                         .group = title,
                         .kind = FieldKind::Choice,
                         .choices = std::move(unitChoices),
                         .optionNames = kAngleUnitOptionNames,
                         .value = kUnitDegrees,
                         .visible = false});
}

bool DatumSide::ShowsGeodetic() const
{
    return m_host.SideField(m_coordsId).pendingIndex == kGeodeticCoordinates;
}

std::array<std::string, 3> DatumSide::ColumnTitles() const
{
    const std::string prefix = m_role == DatumRole::Source ? "原" : "新";
    const auto& stems = kTitleStems[ShowsGeodetic() ? kGeodeticCoordinates : kPlaneCoordinates];
    return {prefix + stems[0], prefix + stems[1], prefix + stems[2]};
}

void DatumSide::ShowTitlesIn(tables::CoordinateTable& table, int firstColumn)
{
    m_titleTable = &table;
    m_titleColumn = firstColumn;
    ShowType();
}

bool DatumSide::FieldEdited(const PageField& field, DatumSide& other)
{
    if (field.id == m_coordsId) {
        // "平面坐标" takes the whole form in, as the radio handler always has; a refused
        // integer field is reported by the exchange and does not stop the titles and states
        // below, which depend only on the radio buttons as shown.
        if (field.pendingIndex != kGeodeticCoordinates)
            m_host.ReadForm();
        ShowType();
        // The target zone is the target's own only while both sides are plane; otherwise the
        // target central meridian follows the source field (see Follow) and is not editable.
        DatumSide& target = m_role == DatumRole::Target ? *this : other;
        target.SetMeridianEnabled(!ShowsGeodetic() && !other.ShowsGeodetic());
        return true;
    }
    if (field.id == m_meridianId && m_role == DatumRole::Source) {
        other.Follow(*this);
        return true;
    }
    return false;
}

void DatumSide::Follow(const DatumSide& source)
{
    m_host.SetSideFieldText(m_meridianId, source.m_host.SideField(source.m_meridianId).text);
}

void DatumSide::TakeFields()
{
    m_type = m_host.SideField(m_coordsId).value;
    m_unit = m_host.SideField(m_unitId).value;
    m_L0 = geodesy::PackedToDegrees(m_host.SideField(m_meridianId).value);
    m_yAdd = static_cast<double>(m_host.SideField(m_yAddId).value);
}

GeodeticPoint DatumSide::ReadPoint(std::span<const std::string> cells) const
{
    GeodeticPoint point;
    const double first = CellValue(cells, 0);
    const double second = CellValue(cells, 1);
    point.H = CellValue(cells, 2);
    if (m_type == kGeodeticCoordinates) {
        point.B = AngleToDegrees(first, m_unit);
        point.L = AngleToDegrees(second, m_unit);
    } else {
        m_projector.GaussInverse(first, second, m_L0, m_yAdd, point.B, point.L);
    }
    return point;
}

void DatumSide::WritePoint(const GeodeticPoint& point, std::span<std::string> cells) const
{
    std::array<std::string, 3> texts;
    if (m_type == kGeodeticCoordinates) {
        texts[0] = AngleText(point.B, m_unit);
        texts[1] = AngleText(point.L, m_unit);
    } else {
        double x = 0.0;
        double y = 0.0;
        Project(point.B, point.L, x, y);
        texts[0] = FormatFixed(x, kMetreDecimals);
        texts[1] = FormatFixed(y, kMetreDecimals);
    }
    texts[2] = FormatFixed(point.H, kMetreDecimals);
    for (std::size_t i = 0; i < texts.size() && i < cells.size(); ++i)
        cells[i] = std::move(texts[i]);
}

void DatumSide::ReadPlane(std::span<const std::string> cells, double& x, double& y) const
{
    x = CellValue(cells, 0);
    y = CellValue(cells, 1);
    if (m_type == kGeodeticCoordinates) {
        Project(AngleToDegrees(x, m_unit), AngleToDegrees(y, m_unit), x, y);
    }
}

void DatumSide::Project(double B, double L, double& x, double& y) const
{
    m_projector.GaussForward(B, L, m_L0, m_yAdd, x, y);
}

void DatumSide::ShowType()
{
    if (m_titleTable) {
        const std::array<std::string, 3> titles = ColumnTitles();
        for (int i = 0; i < 3; ++i)
            m_titleTable->SetCell(0, m_titleColumn + i, titles[static_cast<std::size_t>(i)]);
    }
    m_host.SetSideFieldVisible(m_unitId, ShowsGeodetic());
}

void DatumSide::SetMeridianEnabled(bool enabled)
{
    m_host.SetSideFieldEnabled(m_meridianId, enabled);
}

} // namespace carvento::pages
