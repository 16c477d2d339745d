// 导出GIS on the pages: where it is offered, the save dialog and its refusals, and the files
// read back by GDAL's ogrinfo — the EPSG code and zone of the 转换 that made the result, x as
// the northing, B and L in decimal degrees whatever notation the table shows.
#include "pages/PageFixture.hpp"
#include "pages/coordinates/GaussPages.hpp"
#include "pages/coordinates/NotationPage.hpp"
#include "pages/coordinates/ZoneChangePage.hpp"
#include "pages/frames/GisExport.hpp"
#include "pages/frames/Messages.hpp"
#include "pages/transform/TransformPages.hpp"
#include "platform/NumberText.hpp"
#include "support/OgrInfo.hpp"
#include "support/ScratchFolder.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <set>

using namespace carvento;
using namespace carvento::pages;
namespace fixture = carvento::testing;
using carvento::testing::Cells;
using carvento::testing::FakeContext;
using carvento::testing::ListedPoints;
using carvento::testing::OgrInfo;
using carvento::testing::ScratchFolder;

namespace {

// The page writes four decimals; ogrinfo lists what the file holds.
constexpr double kTenthMillimetre = 1e-4;
// 1e-9° is 0.1 mm on the ground.
constexpr double kNanoDegree = 1e-9;

std::set<std::string> FileNames(const ScratchFolder& folder)
{
    std::set<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder.Path()))
        names.insert(entry.path().filename().string());
    return names;
}

bool Offers(const ToolPage& page)
{
    const auto& commands = page.Commands();
    return std::any_of(commands.begin(), commands.end(), [](const PageCommand& command) {
        return command.id == kExportGisCommand && command.caption == "导出GIS";
    });
}

} // namespace

TEST(GisExportPage, OfferedWhereTheResultHasCoordinates)
{
    FakeContext fake;
    EXPECT_TRUE(Offers(CGSZSDlg(fake.Context())));
    EXPECT_TRUE(Offers(CGSFSDlg(fake.Context())));
    EXPECT_TRUE(Offers(CZBHDDlg(fake.Context())));
    EXPECT_TRUE(Offers(CTrans7Dlg(fake.Context())));
    EXPECT_TRUE(Offers(CTrans3Dlg(fake.Context())));
    EXPECT_TRUE(Offers(CTrans4Dlg(fake.Context())));
    // Angle notations have no coordinates to place.
    EXPECT_FALSE(Offers(CDWZHDlg(fake.Context())));
}

TEST(GisExportPage, ShapefileFieldNamesFitTenBytesOnWholeCharactersAndStayUnique)
{
    const std::vector<std::string> names =
        GisFieldNames({"测站名称甲", "测站名称乙", "", "Name", "name", "x"}, GisFormat::Shapefile);
    // Three-byte characters: three of them fit, "_2" takes the place of the third.
    EXPECT_EQ((std::vector<std::string>{"测站名", "测站_2", "field3", "Name", "name_2", "x"}),
              names);
    // Other formats keep the titles.
    EXPECT_EQ((std::vector<std::string>{"测站名称甲", "测站名称乙"}),
              GisFieldNames({"测站名称甲", "测站名称乙"}, GisFormat::GeoPackage));
}

TEST(GisExportPage, EmptyResultIsRefusedBeforeTheDialog)
{
    ScratchFolder folder;
    FakeContext fake;
    CGSZSDlg page(fake.Context());
    fake.prompter.saveAnswers.push_back(folder / "pts.gpkg");
    EXPECT_FALSE(page.RunCommand(kExportGisCommand));
    EXPECT_TRUE(fake.prompter.saveDialogs.empty());
    EXPECT_EQ(std::vector<std::string>{messages::kNothingToExport}, fake.prompter.MessageTexts());
    EXPECT_TRUE(FileNames(folder).empty());
}

TEST(GisExportPage, ShapefileCarriesTheZoneTheResultWasConvertedIn)
{
    ScratchFolder folder;
    FakeContext fake;
    CGSZSDlg page(fake.Context());
    page.Ellipsoid().Select(geodesy::kCgcs2000);
    page.Choose("unit", kUnitDegrees);
    page.EditText("meridian", "1170000");
    page.EditText("y-add", "39500000");
    fixture::FillSource(page, {"P1", "30.5", "117.25", "点二", "31", "117.5"});
    page.Convert();
    const Cells result = fixture::ResultCells(page);
    // Fields edited after the 转换 describe no row of the result yet.
    page.EditText("meridian", "1200000");
    ASSERT_TRUE(page.ExchangeFields());

    fake.prompter.saveAnswers.push_back(folder / "pts.shp");
    ASSERT_TRUE(page.RunCommand(kExportGisCommand))
        << ::testing::PrintToString(fake.prompter.MessageTexts());
    ASSERT_EQ(1u, fake.prompter.saveDialogs.size());
    EXPECT_EQ(4u, fake.prompter.saveDialogs[0].filters.size());
    EXPECT_EQ("gpkg", fake.prompter.saveDialogs[0].defaultExtension);
    // The whole set, nothing else (no temporary left behind).
    EXPECT_EQ((std::set<std::string>{"pts.shp", "pts.shx", "pts.dbf", "pts.prj", "pts.cpg"}),
              FileNames(folder));
    EXPECT_EQ("UTF-8", ScratchFolder::Read(folder / "pts.cpg"));

    const std::string info = OgrInfo(folder / "pts.shp");
    // CGCS2000 3° zone 39 (117°E) with the zone number in y.
    EXPECT_EQ(4527, fixture::LayerEpsg(info)) << info;
    EXPECT_NE(std::string::npos, info.find("序号 (String) = 点二")) << info;
    const auto points = ListedPoints(info);
    ASSERT_EQ(2u, points.size()) << info;
    for (std::size_t i = 0; i < 2; ++i) {
        EXPECT_NEAR(platform::ParseDouble(result[i * 3 + 2]), points[i].x, kTenthMillimetre);
        EXPECT_NEAR(platform::ParseDouble(result[i * 3 + 1]), points[i].y, kTenthMillimetre);
    }
}

TEST(GisExportPage, PackedGeodeticResultIsWrittenInDegreesLongitudeFirstWithHeight)
{
    ScratchFolder folder;
    FakeContext fake;
    CTrans3Dlg page(fake.Context());
    ASSERT_TRUE(page.ImportParameterText("0,0,0\n"));
    page.From().Ellipsoid().Select(geodesy::kCgcs2000);
    page.To().Ellipsoid().Select(geodesy::kCgcs2000);
    page.Choose("from-coords", kGeodeticCoordinates);
    page.Choose("to-coords", kGeodeticCoordinates);
    page.Choose("to-unit", kUnitPacked);
    fixture::FillSource(page, {"P1", "30.5", "117.25", "51.5"});
    page.Convert();
    ASSERT_EQ((Cells{"P1", "303000.0000", "1171500.0000", "51.5000"}), fixture::ResultCells(page));

    fake.prompter.saveAnswers.push_back(folder / "pts.geojson");
    ASSERT_TRUE(page.RunCommand(kExportGisCommand));
    const std::string info = OgrInfo(folder / "pts.geojson");
    EXPECT_EQ(4490, fixture::LayerEpsg(info)) << info;
    const auto points = ListedPoints(info);
    ASSERT_EQ(1u, points.size()) << info;
    EXPECT_NEAR(117.25, points[0].x, kNanoDegree);
    EXPECT_NEAR(30.5, points[0].y, kNanoDegree);
    EXPECT_NEAR(51.5, points[0].z, kTenthMillimetre);
}

TEST(GisExportPage, RefusalsKeepTheFilesThatWereThere)
{
    ScratchFolder folder;
    FakeContext fake;
    CZBHDDlg page(fake.Context());
    fixture::FillSource(page, {"A", "3380000", "500000", "B", "", "1"});
    page.Convert();
    folder.Write("pts.gpkg", "earlier");

    // An extension that names no GIS format.
    fake.prompter.saveAnswers.push_back(folder / "pts.txt");
    EXPECT_FALSE(page.RunCommand(kExportGisCommand));
    ASSERT_EQ(1u, fake.prompter.messages.size());
    EXPECT_NE(std::string::npos, fake.prompter.messages[0].text.find("pts.txt"));

    // Row 2 passed through 转换 without coordinates: no point to write, nothing is written.
    fake.prompter.saveAnswers.push_back(folder / "pts.gpkg");
    EXPECT_FALSE(page.RunCommand(kExportGisCommand));
    ASSERT_EQ(2u, fake.prompter.messages.size());
    EXPECT_EQ(FormatMessage(messages::kGisRowWithoutPoint, 2), fake.prompter.messages[1].text);
    EXPECT_EQ("earlier", ScratchFolder::Read(folder / "pts.gpkg"));
    EXPECT_EQ(std::set<std::string>{"pts.gpkg"}, FileNames(folder));
}

TEST(GisExportPage, PlaneWithoutKnownDatumIsWrittenWithoutCrsAndSaysSo)
{
    ScratchFolder folder;
    FakeContext fake;
    CTrans4Dlg page(fake.Context());
    ASSERT_TRUE(page.ImportParameterText("10,20,1,0\n"));
    fixture::FillSource(page, {"A", "3380000", "500000", "12.5"});
    page.Convert();
    fake.prompter.saveAnswers.push_back(folder / "pts.gpkg");
    ASSERT_TRUE(page.RunCommand(kExportGisCommand));
    ASSERT_EQ(1u, fake.prompter.messages.size());
    EXPECT_EQ(FormatMessage(messages::kGisWithoutCrs, folder / "pts.gpkg"),
              fake.prompter.messages[0].text);
    const std::string info = OgrInfo(folder / "pts.gpkg");
    EXPECT_EQ(0, fixture::LayerEpsg(info)) << info;
    const auto points = ListedPoints(info);
    ASSERT_EQ(1u, points.size()) << info;
    EXPECT_NEAR(500020.0, points[0].x, kTenthMillimetre);
    EXPECT_NEAR(3380010.0, points[0].y, kTenthMillimetre);
    EXPECT_NEAR(12.5, points[0].z, kTenthMillimetre);
}
