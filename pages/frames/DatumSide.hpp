// One side of a two-sided datum page (three- and seven-parameter transformation and
// computation): its ellipsoid panel and GaussProjector, projection zone, coordinate type and
// angle notation, and the reading and writing of a table point in the side's form.
#pragma once

#include "geodesy/EllipsoidPanel.hpp"
#include "geodesy/GaussProjector.hpp"
#include "pages/frames/EllipsoidPage.hpp"
#include "pages/frames/ToolPage.hpp"
#include "tables/CoordinateTable.hpp"

#include <array>
#include <span>
#include <string>
#include <vector>

namespace carvento::pages {

// Which side: the source ("from-" fields, "原…" titles) or the target ("to-", "新…").
enum class DatumRole { Source, Target };

// Values of the "坐标类型:" radio buttons.
enum CoordinateType : int { kPlaneCoordinates = 0, kGeodeticCoordinates = 1 };
inline const std::vector<std::string> kCoordinateTypeChoices = {"平面坐标", "大地坐标"};
inline const std::vector<std::pair<std::string, int>> kCoordinateTypeOptionNames = {{"plane", 0},
                                                                                    {"geodetic",
                                                                                     1}};
// The notation list as the computation pages and the target side of the transformation pages
// label it; its second entry is the DDD.MMSSSS notation all the same.
inline const std::vector<std::string> kShortAngleUnitChoices = {"DDDMMSS.SS", "DDD.MMSS", "度"};

inline constexpr const char* kSourcePanelTitle = "原椭球及坐标系参数设置";
inline constexpr const char* kTargetPanelTitle = "新椭球及坐标系参数设置";
inline constexpr const char* kDatumMeridianLabel = "中央子午线(dfm)";
inline constexpr const char* kCoordinateTypeLabel = "坐标类型:";

// A point on a side's ellipsoid: B, L in decimal degrees, H in metres.
struct GeodeticPoint {
    double B = 0.0;
    double L = 0.0;
    double H = 0.0;
};

class DatumSide;

// What a side needs of the page that shows it. TwoSidedPage below implements it for any page
// frame; the page's protected field operations are reached only through it.
class DatumSideHost {
public:
    // The field `id`, which the side declared.
    virtual const PageField& SideField(const std::string& id) const = 0;
    virtual void AddSideField(PageField field) = 0;
    virtual void AddSidePanel(PagePanel panel) = 0;
    // Page → view, as ToolPage::SetFieldText / SetFieldEnabled / SetFieldVisible.
    virtual void SetSideFieldText(const std::string& id, std::string text) = 0;
    virtual void SetSideFieldEnabled(const std::string& id, bool enabled) = 0;
    virtual void SetSideFieldVisible(const std::string& id, bool visible) = 0;
    // Takes the window's field texts into the values (ToolPage::ExchangeFields); false when a
    // field was refused (the page has shown why).
    virtual bool ReadForm() = 0;

protected:
    ~DatumSideHost() = default;
};

class DatumSide {
public:
    // Declares the side on `host`: the ellipsoid panel (side "from" or "to", titled
    // "原椭球及坐标系参数设置" or "新椭球及坐标系参数设置"), then the fields <p>meridian
    // ("中央子午线(dfm)", packed DDDMMSS, 1050000), <p>y-add ("Y坐标加常数(m)", 500000),
    // <p>coords ("坐标类型:", plane) and <p>unit (notation list `unitChoices`, "度", hidden
    // while the type is plane), <p> being "from-" or "to-". The source ellipsoid starts on
    // the first entry, the target on the second. `host` and `profile` must outlive the side.
    DatumSide(DatumSideHost& host, DatumRole role, const platform::Profile& profile,
              std::vector<std::string> unitChoices);
    DatumSide(const DatumSide&) = delete;
    DatumSide& operator=(const DatumSide&) = delete;

    DatumRole Role() const { return m_role; }
    // "from" or "to": the panel's side, and the field ids' prefix without its "-".
    const std::string& Side() const { return m_side; }
    const std::string& MeridianId() const { return m_meridianId; }
    const std::string& YAddId() const { return m_yAddId; }
    const std::string& CoordsId() const { return m_coordsId; }
    const std::string& UnitId() const { return m_unitId; }

    geodesy::EllipsoidPanel& Ellipsoid() { return m_panel; }
    const geodesy::GaussProjector& Projector() const { return m_projector; }

    // Whether the window shows "大地坐标" now (the radio buttons as set, exchanged or not).
    bool ShowsGeodetic() const;
    // Titles of the side's three coordinate columns for the type shown now: "原坐标x(m)",
    // "原坐标y(m)", "原高程z(m)" or "原纬度B", "原经度L", "原海拔H" ("新…" on the target side).
    std::array<std::string, 3> ColumnTitles() const;
    // Writes the titles into the header row of `table` from `firstColumn` on, now and whenever
    // the type changes. `table` must outlive the side.
    void ShowTitlesIn(tables::CoordinateTable& table, int firstColumn);

    // Reacts to an edit of one of the page's fields; false when `field` is none of the fields
    // this side reacts to. The coordinate type: titles, notation list shown only for
    // "大地坐标", and the target central meridian enabled exactly while both sides are plane
    // ("平面坐标" also reads the form first). The source central meridian: the target follows.
    // `other` is the page's other side.
    bool FieldEdited(const PageField& field, DatumSide& other);
    // Copies the source's central meridian text into this side's field.
    void Follow(const DatumSide& source);

    // Takes the exchanged field values for the rows that follow: zone, type and notation.
    void TakeFields();
    // Reads three coordinate cells (column 1, 2, 3 of a row; atof semantics, missing cells
    // read as 0) as a point on this side's ellipsoid: plane x, y through GaussInverse with the
    // side's zone, geodetic B, L from the side's notation; the third cell is H unchanged.
    GeodeticPoint ReadPoint(std::span<const std::string> cells) const;
    // Writes a point into three cells in the side's form: plane x, y by GaussForward with the
    // side's zone, "%.4lf"; geodetic B, L in the notation (packed "%.4lf", dotted and degrees
    // "%.8lf"); H "%.4lf". Cells beyond the span's size are not written.
    void WritePoint(const GeodeticPoint& point, std::span<std::string> cells) const;
    // Plane coordinates (m) of the two cells in the side's zone: as read for a plane side;
    // geodetic values from the notation through GaussForward.
    void ReadPlane(std::span<const std::string> cells, double& x, double& y) const;
    // GaussForward of B, L (degrees) on this side's ellipsoid and zone: x, y in metres.
    void Project(double B, double L, double& x, double& y) const;

private:
    // Titles and notation list for the type shown now.
    void ShowType();
    void SetMeridianEnabled(bool enabled);

    DatumSideHost& m_host;
    DatumRole m_role;
    std::string m_side;
    std::string m_meridianId, m_yAddId, m_coordsId, m_unitId;
    geodesy::GaussProjector m_projector;
    geodesy::EllipsoidPanel m_panel;
    tables::CoordinateTable* m_titleTable = nullptr;
    int m_titleColumn = 0;

    // Taken by TakeFields.
    int m_type = kPlaneCoordinates;
    int m_unit = kUnitDegrees;
    double m_L0 = 0.0;   // central meridian, degrees
    double m_yAdd = 0.0; // m
};

// A page frame (ToolPage, ConversionPage, CommonPointPage) with a source and a target side.
// Edits of the sides' fields are handled here; the rest go to the frame.
template <class Frame>
class TwoSidedPage : public Frame, private DatumSideHost {
public:
    DatumSide& From() { return m_from; }
    DatumSide& To() { return m_to; }
    const DatumSide& From() const { return m_from; }
    const DatumSide& To() const { return m_to; }

protected:
    TwoSidedPage(PageContext context, std::vector<std::string> fromUnits,
                 std::vector<std::string> toUnits)
        : Frame(context), m_from(*this, DatumRole::Source, context.profile, std::move(fromUnits)),
          m_to(*this, DatumRole::Target, context.profile, std::move(toUnits))
    {
    }

    void OnFieldEdited(const PageField& field) override
    {
        if (!m_from.FieldEdited(field, m_to) && !m_to.FieldEdited(field, m_from))
            Frame::OnFieldEdited(field);
    }

private:
    const PageField& SideField(const std::string& id) const override
    {
        return *this->FindField(id);
    }
    void AddSideField(PageField field) override { this->AddField(std::move(field)); }
    void AddSidePanel(PagePanel panel) override { this->AddPanel(std::move(panel)); }
    void SetSideFieldText(const std::string& id, std::string text) override
    {
        this->SetFieldText(id, std::move(text));
    }
    void SetSideFieldEnabled(const std::string& id, bool enabled) override
    {
        this->SetFieldEnabled(id, enabled);
    }
    void SetSideFieldVisible(const std::string& id, bool visible) override
    {
        this->SetFieldVisible(id, visible);
    }
    bool ReadForm() override { return this->ExchangeFields(); }

    DatumSide m_from;
    DatumSide m_to;
};

} // namespace carvento::pages
