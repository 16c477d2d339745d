// The page table.
#include "pages/PageRegistry.hpp"

#include "pages/coordinates/CustomEllipsoidPage.hpp"
#include "pages/coordinates/GaussPages.hpp"
#include "pages/coordinates/NotationPage.hpp"
#include "pages/coordinates/ZoneChangePage.hpp"
#include "pages/files/FileConversionPages.hpp"
#include "pages/globe/EarthPages.hpp"
#include "pages/transform/HeightPages.hpp"
#include "pages/transform/ParameterPages.hpp"
#include "pages/transform/TransformPages.hpp"

#include <array>
#include <type_traits>

namespace carvento::pages {
namespace {

template <typename Page>
std::unique_ptr<ToolPage> Make(PageContext context)
{
    return std::make_unique<Page>(context);
}

// The frame of a page class is the frame class it derives from, so the registry's frame can
// never differ from the page's own.
template <typename Page>
constexpr PageFrame FrameOf()
{
    if constexpr (std::is_base_of_v<ConversionPage, Page>)
        return PageFrame::Conversion;
    else if constexpr (std::is_base_of_v<CommonPointPage, Page>)
        return PageFrame::CommonPoint;
    else if constexpr (std::is_base_of_v<BatchFilePage, Page>)
        return PageFrame::BatchFile;
    else if constexpr (std::is_base_of_v<TaskPage, Page>)
        return PageFrame::Task;
    else
        return PageFrame::Form;
}

template <typename Page>
constexpr PageRegistration Register(int catalogueId, std::string_view pageClass,
                                    std::string_view verb, std::string_view summary)
{
    return {catalogueId, pageClass, verb, summary, FrameOf<Page>(), Make<Page>};
}

constexpr std::array kPages = {
    Register<CGSZSDlg>(103, "CGSZSDlg", "gauss-forward",
                       "latitude/longitude to Gauss-Krueger x, y (高斯坐标正算)"),
    Register<CGSFSDlg>(104, "CGSFSDlg", "gauss-inverse",
                       "Gauss-Krueger x, y to latitude/longitude (高斯坐标反算)"),
    Register<CZBHDDlg>(105, "CZBHDDlg", "zone-change", "x, y from one zone to another (坐标换带)"),
    Register<CDWZHDlg>(108, "CDWZHDlg", "notation",
                       "latitude/longitude notation conversion (单位转换)"),
    Register<CustomEllipsoidPage>(140, "CustomEllipsoidPage", "",
                                  "store a user-defined ellipsoid (自定义椭球参数设置)"),
    Register<CTrans7Dlg>(106, "CTrans7Dlg", "transform7",
                         "seven-parameter datum transformation (七参数转换)"),
    Register<CHeightApply>(147, "CHeightApply", "height-apply",
                           "normal heights from a fitted height anomaly model (正常高计算)"),
    Register<CTrans3Dlg>(144, "CTrans3Dlg", "transform3",
                         "three-parameter datum transformation (三参数转换)"),
    Register<CTrans4Dlg>(143, "CTrans4Dlg", "transform4",
                         "four-parameter plane transformation (四参数转换)"),
    Register<CParams7>(107, "CParams7", "solve7",
                       "seven parameters from common points (计算七参数)"),
    Register<CHeightFit>(146, "CHeightFit", "height-fit",
                         "height anomaly surface from common points (高程拟合)"),
    Register<CParams3>(145, "CParams3", "solve3",
                       "three parameters from common points (计算三参数)"),
    Register<CParams4>(109, "CParams4", "solve4",
                       "four parameters from common points (计算四参数)"),
    Register<TxtToKmlPage>(136, "TxtToKmlPage", "txt2kml", "text files to KML (TXT->KML)"),
    Register<KmlToTxtPage>(137, "KmlToTxtPage", "kml2txt", "KML files to text (KML->TXT)"),
    Register<GpxToTxtPage>(138, "GpxToTxtPage", "gpx2txt", "GPX files to text (GPX->TXT)"),
    Register<TxtToGpxPage>(139, "TxtToGpxPage", "txt2gpx", "text files to GPX (TXT->GPX)"),
    Register<BlnToTxtPage>(142, "BlnToTxtPage", "bln2txt", "Surfer BLN files to text (BLN->TXT)"),
    Register<BatchElevationPage>(133, "BatchElevationPage", "elevation",
                                 "elevations of a point list (批量获取高程)"),
    Register<DemSamplingPage>(130, "DemSamplingPage", "dem",
                              "a grid of terrain elevations (获取DEM数据)"),
    Register<MapFramePage>(43523, "MapFramePage", "mapframe", "a graticule as KML (生成图框)"),
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
