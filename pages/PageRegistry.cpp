// The page table.
#include "pages/PageRegistry.hpp"

#include "pages/CustomEllipsoidPage.hpp"
#include "pages/EarthPages.hpp"
#include "pages/FileConversionPages.hpp"
#include "pages/GaussPages.hpp"
#include "pages/HeightPages.hpp"
#include "pages/NotationPage.hpp"
#include "pages/ParameterPages.hpp"
#include "pages/TransformPages.hpp"
#include "pages/ZoneChangePage.hpp"

#include <array>

namespace carvento::pages {
namespace {

template <typename Page>
std::unique_ptr<ToolPage> Make(PageContext context)
{
    return std::make_unique<Page>(context);
}

using enum PageFrame;

constexpr std::array kPages = {
    PageRegistration{103, "CGSZSDlg", "gauss-forward",
                     "latitude/longitude to Gauss-Krueger x, y (高斯坐标正算)", Conversion,
                     Make<CGSZSDlg>},
    PageRegistration{104, "CGSFSDlg", "gauss-inverse",
                     "Gauss-Krueger x, y to latitude/longitude (高斯坐标反算)", Conversion,
                     Make<CGSFSDlg>},
    PageRegistration{105, "CZBHDDlg", "zone-change", "x, y from one zone to another (坐标换带)",
                     Conversion, Make<CZBHDDlg>},
    PageRegistration{108, "CDWZHDlg", "notation",
                     "latitude/longitude notation conversion (单位转换)", Conversion,
                     Make<CDWZHDlg>},
    PageRegistration{140, "CustomEllipsoidPage", "",
                     "store a user-defined ellipsoid (自定义椭球参数设置)", Form,
                     Make<CustomEllipsoidPage>},
    PageRegistration{106, "CTrans7Dlg", "transform7",
                     "seven-parameter datum transformation (七参数转换)", Conversion,
                     Make<CTrans7Dlg>},
    PageRegistration{147, "CHeightApply", "height-apply",
                     "normal heights from a fitted height anomaly model (正常高计算)", Conversion,
                     Make<CHeightApply>},
    PageRegistration{144, "CTrans3Dlg", "transform3",
                     "three-parameter datum transformation (三参数转换)", Conversion,
                     Make<CTrans3Dlg>},
    PageRegistration{143, "CTrans4Dlg", "transform4",
                     "four-parameter plane transformation (四参数转换)", Conversion,
                     Make<CTrans4Dlg>},
    PageRegistration{107, "CParams7", "solve7", "seven parameters from common points (计算七参数)",
                     CommonPoint, Make<CParams7>},
    PageRegistration{146, "CHeightFit", "height-fit",
                     "height anomaly surface from common points (高程拟合)", CommonPoint,
                     Make<CHeightFit>},
    PageRegistration{145, "CParams3", "solve3", "three parameters from common points (计算三参数)",
                     CommonPoint, Make<CParams3>},
    PageRegistration{109, "CParams4", "solve4", "four parameters from common points (计算四参数)",
                     CommonPoint, Make<CParams4>},
    PageRegistration{136, "TxtToKmlPage", "txt2kml", "text files to KML (TXT->KML)", BatchFile,
                     Make<TxtToKmlPage>},
    PageRegistration{137, "KmlToTxtPage", "kml2txt", "KML files to text (KML->TXT)", BatchFile,
                     Make<KmlToTxtPage>},
    PageRegistration{138, "GpxToTxtPage", "gpx2txt", "GPX files to text (GPX->TXT)", BatchFile,
                     Make<GpxToTxtPage>},
    PageRegistration{139, "TxtToGpxPage", "txt2gpx", "text files to GPX (TXT->GPX)", BatchFile,
                     Make<TxtToGpxPage>},
    PageRegistration{142, "BlnToTxtPage", "bln2txt", "Surfer BLN files to text (BLN->TXT)",
                     BatchFile, Make<BlnToTxtPage>},
    PageRegistration{133, "BatchElevationPage", "elevation",
                     "elevations of a point list (批量获取高程)", Task, Make<BatchElevationPage>},
    PageRegistration{130, "DemSamplingPage", "dem", "a grid of terrain elevations (获取DEM数据)",
                     Task, Make<DemSamplingPage>},
    PageRegistration{43523, "MapFramePage", "mapframe", "a graticule as KML (生成图框)", Form,
                     Make<MapFramePage>},
};

} // namespace

std::span<const PageRegistration> PageRegistry()
{
    return kPages;
}

const PageRegistration* FindPageById(int catalogueId)
{
    for (const PageRegistration& page : kPages)
        if (page.catalogueId == catalogueId)
            return &page;
    return nullptr;
}

const PageRegistration* FindPageByVerb(std::string_view verb)
{
    for (const PageRegistration& page : kPages)
        if (!verb.empty() && page.verb == verb)
            return &page;
    return nullptr;
}

const PageRegistration* FindPageByClass(std::string_view pageClass)
{
    for (const PageRegistration& page : kPages)
        if (!pageClass.empty() && page.pageClass == pageClass)
            return &page;
    return nullptr;
}

} // namespace carvento::pages
