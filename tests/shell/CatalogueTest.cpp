// The catalogue as the panel shows it, and what choosing each entry makes the panel do.
#include "shell/Catalogue.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace carvento::shell;

namespace {

struct Row {
    std::string caption;
    std::string description;
    int id;
};

struct Folder {
    std::string caption;
    std::vector<Row> rows;
};

// The catalogue as documented for users, written out independently of the table in the code.
const std::vector<Folder> kDocumented = {
    {"参数计算",
     {{"计算四参数", "平面坐标系相互转换", 109},
      {"计算三参数", "椭球间转换(单点)", 145},
      {"计算七参数", "椭球间转换(3点)", 107},
      {"高程拟合", "GNSS高程拟合", 146}}},
    {"坐标转换",
     {{"自定义椭球", "添加自定义椭球", 140},
      {"高斯正算", "地理坐标(BL)->平面坐标(xy)", 103},
      {"高斯反算", "平面坐标(xy)->地理坐标(BL)", 104},
      {"坐标换带", "平面坐标换带", 105},
      {"三参数转换", "相对坐标转换", 144},
      {"四参数转换", "椭球间转换", 143},
      {"七参数转换", "椭球间转换", 106},
      {"正常高计算", "大地高->正常高", 147},
      {"单位转换", "经纬度格式转换", 108}}},
    {"文件转换",
     {{"KML->TXT", "谷歌(kml)->文本文件(txt)", 137},
      {"TXT->KML", "文本文件(txt)->谷歌(kml)", 136},
      {"GPX->TXT", "GPS(gpx)->文本文件(txt)", 138},
      {"TXT->GPX", "文本文件(txt)->GPS(gpx)", 139},
      {"BLN->TXT", "Surfer白化(bln)->文本文件(txt)", 142}}},
    {"谷歌地球",
     {{"注册GE服务", "注册COM库", 129},
      {"获取DEM数据", "获取DEM模型数据", 130},
      {"批量获取高程", "批量获取高程", 133},
      {"保存视图", "保存GE视图", 141},
      {"恢复视图", "恢复GE视图", 43522},
      {"生成图框", "生成GoogleEarth图框", 43523}}},
    {"帮助",
     {{"业务咨询", "联系作者(QQ)", 43525},
      {"主页", "前往主页", 43520},
      {"更新", "版本更新(当前版本:8.0.0)", 43521},
      {"退出", "退出程序", 43524}}},
};

const std::vector<int> kLocalPageIds = {103, 104, 105, 106, 107, 108, 109, 136, 137,
                                        138, 139, 140, 142, 143, 144, 145, 146, 147};

// Records every call in order as a short text; scripted answers for the calls that report.
class RecordingHost : public CatalogueHost {
public:
    std::vector<std::string> calls;
    bool pagesOpen = true;
    bool earthRuns = true;

    bool OpenPage(int id) override { return Record("page " + std::to_string(id)), pagesOpen; }
    bool ConnectEarth() override { return Record("connect"), earthRuns; }
    void RegisterEarthServer() override { Record("register"); }
    void SaveEarthView() override { Record("save view"); }
    void RestoreEarthView() override { Record("restore view"); }
    void OpenUrl(std::string_view url) override { Record("url " + std::string(url)); }
    void StartInteractiveUpdateCheck() override { Record("update"); }
    void Exit() override { Record("exit"); }
    void HidePanel() override { Record("hide"); }

private:
    void Record(std::string call) { calls.push_back(std::move(call)); }
};

using Calls = std::vector<std::string>;

Calls Choose(int id, RecordingHost& host)
{
    host.calls.clear();
    RunCatalogueAction(id, host);
    return host.calls;
}

} // namespace

TEST(Catalogue, FoldersCaptionsDescriptionsAndIdsInDisplayOrder)
{
    const std::vector<CatalogueGroup> groups = CatalogueGroups();
    std::size_t position = 0;
    ASSERT_EQ(kDocumented.size(), groups.size());
    for (std::size_t g = 0; g < groups.size(); ++g) {
        SCOPED_TRACE(kDocumented[g].caption);
        EXPECT_EQ(kDocumented[g].caption, groups[g].caption);
        ASSERT_EQ(kDocumented[g].rows.size(), groups[g].entries.size());
        for (std::size_t e = 0; e < groups[g].entries.size(); ++e) {
            const CatalogueEntry& entry = groups[g].entries[e];
            EXPECT_EQ(kDocumented[g].rows[e].caption, entry.caption);
            EXPECT_EQ(kDocumented[g].rows[e].description, entry.description);
            EXPECT_EQ(kDocumented[g].rows[e].id, entry.id);
            EXPECT_EQ(kDocumented[g].caption, entry.group);
            // A bar reporting the chosen entry by its position over all folders.
            EXPECT_EQ(entry.id, CatalogueIdAt(position++));
        }
    }
    EXPECT_EQ(0, CatalogueIdAt(position));
}

TEST(CatalogueAction, EveryPageEntryOpensItsPageAndHides)
{
    RecordingHost host;
    for (int id : kLocalPageIds)
        EXPECT_EQ(Calls({"page " + std::to_string(id), "hide"}), Choose(id, host)) << id;
}

TEST(CatalogueAction, ChoosingGaussForwardTwiceOpensTwoPages)
{
    RecordingHost host;
    RunCatalogueAction(103, host);
    RunCatalogueAction(103, host);
    EXPECT_EQ(Calls({"page 103", "hide", "page 103", "hide"}), host.calls);
}

TEST(CatalogueAction, PanelHidesAlsoWhenThePageCannotOpen)
{
    RecordingHost host;
    host.pagesOpen = false;
    EXPECT_EQ(Calls({"page 137", "hide"}), Choose(137, host));
}

TEST(CatalogueAction, GoogleEarthEntriesConnectFirstAndStopWithoutAConnection)
{
    RecordingHost host;
    EXPECT_EQ(Calls({"connect", "page 130", "hide"}), Choose(130, host));
    EXPECT_EQ(Calls({"connect", "page 133", "hide"}), Choose(133, host));
    EXPECT_EQ(Calls({"connect", "save view", "hide"}), Choose(141, host));
    EXPECT_EQ(Calls({"connect", "restore view", "hide"}), Choose(43522, host));
    EXPECT_EQ(Calls({"connect", "page 43523", "hide"}), Choose(43523, host));
    EXPECT_EQ(Calls({"register", "hide"}), Choose(129, host));

    host.earthRuns = false;
    for (int id : {130, 133, 141, 43522, 43523})
        EXPECT_EQ(Calls({"connect", "hide"}), Choose(id, host)) << id;
    // Registering is what makes Google Earth reachable: it needs no connection.
    EXPECT_EQ(Calls({"register", "hide"}), Choose(129, host));
}

TEST(CatalogueAction, HelpEntriesOpenLinksStartTheCheckAndExit)
{
    RecordingHost host;
    EXPECT_EQ(Calls({"url " + std::string(kContactLink), "hide"}), Choose(43525, host));
    EXPECT_EQ(Calls({"url " + std::string(kHomepageLink), "hide"}), Choose(43520, host));
    EXPECT_EQ(Calls({"update", "hide"}), Choose(43521, host));
    EXPECT_EQ(Calls({"exit", "hide"}), Choose(43524, host));
}

TEST(CatalogueAction, UnknownIdsOnlyHide)
{
    RecordingHost host;
    for (int id : {0, -1, 20, 21, 22, 110, 43519, 43526})
        EXPECT_EQ(Calls({"hide"}), Choose(id, host)) << id;
}
