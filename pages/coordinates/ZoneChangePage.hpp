// "坐标换带" (CZBHDDlg): plane coordinates from an old zone to a new one on one ellipsoid.
#pragma once

#include "pages/frames/EllipsoidPage.hpp"

namespace carvento::pages {

class CZBHDDlg final : public EllipsoidPage {
public:
    explicit CZBHDDlg(PageContext context);
    std::string Title() const override { return "坐标换带"; }
    std::optional<ZoneCheckTarget> ZoneCheck() const override
    {
        return ZoneCheckTarget{"from-meridian", 2, "from-y-add"};
    }
    std::vector<std::string> ExportHeader() const override { return {"序号", "x", "y"}; }

private:
    void PrepareConvert() override;
    void ConvertRow(std::span<std::string> cells) override;
    std::optional<GisPoints> ResultGisPoints() const override;
    double m_L0old = 0.0, m_L0new = 0.0, m_yAddOld = 0.0, m_yAddNew = 0.0;
};

} // namespace carvento::pages
