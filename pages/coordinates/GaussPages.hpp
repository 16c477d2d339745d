// "高斯坐标正算" (CGSZSDlg: B, L to x, y) and "高斯坐标反算" (CGSFSDlg: x, y to B, L).
#pragma once

#include "pages/frames/EllipsoidPage.hpp"

namespace carvento::pages {

// What the two projection pages share: zone fields, the unit choice, and the values a
// conversion takes from them.
class GaussPage : public EllipsoidPage {
protected:
    GaussPage(PageContext context, const TableLayout& source, const TableLayout& result,
              const std::string& meridianLabel, FieldPlacement unitPlacement);
    void PrepareConvert() override;

    // The zone and ellipsoid being converted with, as the PROJ export sees a side.
    ProjSide ResultSide(bool geodetic) const;

    double m_L0 = 0.0;
    double m_yAdd = 0.0;
    int m_unit = 0;
};

class CGSZSDlg final : public GaussPage {
public:
    explicit CGSZSDlg(PageContext context);
    std::string Title() const override { return "高斯坐标正算"; }
    std::vector<std::string> ExportHeader() const override { return {"序号", "x", "y"}; }

private:
    void ConvertRow(std::span<std::string> cells) override;
    std::optional<GisPoints> ResultGisPoints() const override;
};

class CGSFSDlg final : public GaussPage {
public:
    explicit CGSFSDlg(PageContext context);
    std::string Title() const override { return "高斯坐标反算"; }
    std::optional<ZoneCheckTarget> ZoneCheck() const override
    {
        return ZoneCheckTarget{"meridian", 2, "y-add"};
    }
    std::vector<std::string> ExportHeader() const override { return {"序号", "纬度", "经度"}; }

private:
    void ConvertRow(std::span<std::string> cells) override;
    std::optional<GisPoints> ResultGisPoints() const override;
};

} // namespace carvento::pages
