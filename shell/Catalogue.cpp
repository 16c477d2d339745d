// The catalogue table and its dispatch.
#include "shell/Catalogue.hpp"

#include <array>

namespace carvento::shell {

namespace {

using enum CatalogueAction;

// The three Google Earth view entries: each caption runs the action it names. "保存视图" (141)
// saves the view, "恢复视图" (43522) restores it, and "生成图框" (43523) opens the map-frame
// page. The ids keep their display order; what a caption says is what it does.
constexpr std::array kEntries = {
    CatalogueEntry{"参数计算", "计算四参数", "平面坐标系相互转换", 109, OpenPage, {}},
    CatalogueEntry{"参数计算", "计算三参数", "椭球间转换(单点)", 145, OpenPage, {}},
    CatalogueEntry{"参数计算", "计算七参数", "椭球间转换(3点)", 107, OpenPage, {}},
    CatalogueEntry{"参数计算", "高程拟合", "GNSS高程拟合", 146, OpenPage, {}},
    CatalogueEntry{"坐标转换", "自定义椭球", "添加自定义椭球", 140, OpenPage, {}},
    CatalogueEntry{"坐标转换", "高斯正算", "地理坐标(BL)->平面坐标(xy)", 103, OpenPage, {}},
    CatalogueEntry{"坐标转换", "高斯反算", "平面坐标(xy)->地理坐标(BL)", 104, OpenPage, {}},
    CatalogueEntry{"坐标转换", "坐标换带", "平面坐标换带", 105, OpenPage, {}},
    CatalogueEntry{"坐标转换", "三参数转换", "相对坐标转换", 144, OpenPage, {}},
    CatalogueEntry{"坐标转换", "四参数转换", "椭球间转换", 143, OpenPage, {}},
    CatalogueEntry{"坐标转换", "七参数转换", "椭球间转换", 106, OpenPage, {}},
    CatalogueEntry{"坐标转换", "正常高计算", "大地高->正常高", 147, OpenPage, {}},
    CatalogueEntry{"坐标转换", "单位转换", "经纬度格式转换", 108, OpenPage, {}},
    CatalogueEntry{"文件转换", "KML->TXT", "谷歌(kml)->文本文件(txt)", 137, OpenPage, {}},
    CatalogueEntry{"文件转换", "TXT->KML", "文本文件(txt)->谷歌(kml)", 136, OpenPage, {}},
    CatalogueEntry{"文件转换", "GPX->TXT", "GPS(gpx)->文本文件(txt)", 138, OpenPage, {}},
    CatalogueEntry{"文件转换", "TXT->GPX", "文本文件(txt)->GPS(gpx)", 139, OpenPage, {}},
    CatalogueEntry{"文件转换", "BLN->TXT", "Surfer白化(bln)->文本文件(txt)", 142, OpenPage, {}},
    CatalogueEntry{"谷歌地球", "注册GE服务", "注册COM库", 129, RegisterEarthServer, {}},
    CatalogueEntry{"谷歌地球", "获取DEM数据", "获取DEM模型数据", 130, OpenEarthPage, {}},
    CatalogueEntry{"谷歌地球", "批量获取高程", "批量获取高程", 133, OpenEarthPage, {}},
    CatalogueEntry{"谷歌地球", "保存视图", "保存GE视图", 141, SaveEarthView, {}},
    CatalogueEntry{"谷歌地球", "恢复视图", "恢复GE视图", 43522, RestoreEarthView, {}},
    CatalogueEntry{"谷歌地球", "生成图框", "生成GoogleEarth图框", 43523, OpenEarthPage, {}},
    CatalogueEntry{"帮助", "业务咨询", "联系作者(QQ)", 43525, OpenLink, kContactLink},
    CatalogueEntry{"帮助", "主页", "前往主页", 43520, OpenLink, kHomepageLink},
    CatalogueEntry{"帮助", "更新", "版本更新(当前版本:8.0.0)", 43521, CheckForUpdate, {}},
    CatalogueEntry{"帮助", "退出", "退出程序", 43524, Exit, {}},
};

void RunEntry(const CatalogueEntry& entry, CatalogueHost& host)
{
    switch (entry.action) {
    case OpenPage:
        host.OpenPage(entry.id);
        return;
    case OpenEarthPage:
        if (host.ConnectEarth())
            host.OpenPage(entry.id);
        return;
    case RegisterEarthServer:
        host.RegisterEarthServer();
        return;
    case SaveEarthView:
        if (host.ConnectEarth())
            host.SaveEarthView();
        return;
    case RestoreEarthView:
        if (host.ConnectEarth())
            host.RestoreEarthView();
        return;
    case OpenLink:
        host.OpenUrl(entry.link);
        return;
    case CheckForUpdate:
        host.StartInteractiveUpdateCheck();
        return;
    case Exit:
        host.Exit();
        return;
    }
}

} // namespace

std::span<const CatalogueEntry> CatalogueEntries()
{
    return kEntries;
}

std::vector<CatalogueGroup> CatalogueGroups()
{
    std::vector<CatalogueGroup> groups;
    std::size_t first = 0;
    for (std::size_t i = 1; i <= kEntries.size(); ++i) {
        if (i == kEntries.size() || kEntries[i].group != kEntries[first].group) {
            groups.push_back({kEntries[first].group,
                              std::span<const CatalogueEntry>(kEntries).subspan(first, i - first)});
            first = i;
        }
    }
    return groups;
}

const CatalogueEntry* FindCatalogueEntry(int id)
{
    for (const CatalogueEntry& entry : kEntries)
        if (entry.id == id)
            return &entry;
    return nullptr;
}

int CatalogueIdAt(std::size_t position)
{
    return position < kEntries.size() ? kEntries[position].id : 0;
}

void RunCatalogueAction(int id, CatalogueHost& host)
{
    if (const CatalogueEntry* entry = FindCatalogueEntry(id))
        RunEntry(*entry, host);
    host.HidePanel();
}

} // namespace carvento::shell
