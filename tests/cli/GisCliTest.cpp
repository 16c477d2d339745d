// carvento-cli --format: the conversion verbs' results as GIS layers, read back with GDAL's
// ogrinfo and the GeoPackage's own tables (sqlite3): the EPSG code of the zone asked for, the
// number of points, and x as the northing on a point whose x and y cannot be mistaken.
#include "support/OgrInfo.hpp"
#include "support/ScratchFolder.hpp"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <sys/wait.h>

using namespace carvento::testing;

namespace {

constexpr double kTenthMillimetre = 1e-4;
constexpr double kNanoDegree = 1e-9;

struct CliRun {
    int status = -1;
    std::string err;
};

class GisCli : public ::testing::Test {
protected:
    void SetUp() override { ::setenv("CARVENTO_PROFILE", (folder / "profile.ini").c_str(), 1); }

    CliRun Cli(const std::string& arguments) const
    {
        const std::string command = "cd '" + folder.Path().string() + "' && '" +
                                    std::string(CARVENTO_CLI) + "' " + arguments +
                                    " </dev/null >/dev/null 2>.stderr";
        const int raw = std::system(command.c_str());
        CliRun run{WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, ScratchFolder::Read(folder / ".stderr")};
        std::filesystem::remove(folder / ".stderr");
        return run;
    }

    ScratchFolder folder;
};

// x 3 380 000 (northing) and y 500 000 in the 117°E zone, written with the zone number 39 in
// front: x and y differ in every digit, so a swapped axis cannot pass.
const std::string kPlane = "P1,3380000,500000\r\n测站2,3390000,510000\r\n";
const std::string kZoneChange = "zone-change --ellipsoid cgcs2000 --from-meridian 1170000 "
                                "--to-meridian 1170000 --to-y-add 39500000 ";

} // namespace

TEST_F(GisCli, EveryFormatReadsBackWithTheZoneCodeAndNorthingAsY)
{
    folder.Write("xy.txt", kPlane);
    for (const std::string format : {"gpkg", "shp", "geojson", "dxf"}) {
        SCOPED_TRACE(format);
        const std::string out = "out." + format;
        const CliRun run = Cli(kZoneChange + "--format " + format + " -o " + out + " xy.txt");
        ASSERT_EQ(0, run.status) << run.err;
        const std::string info = OgrInfo(folder / out);
        const auto points = ListedPoints(info);
        // DXF: a POINT and a TEXT with the name for each point; it carries no CRS.
        const std::size_t features = format == "dxf" ? 4 : 2;
        EXPECT_NE(std::string::npos, info.find("Feature Count: " + std::to_string(features) + "\n"))
            << info;
        ASSERT_EQ(features, points.size()) << info;
        EXPECT_NEAR(39500000.0, points[0].x, kTenthMillimetre);
        EXPECT_NEAR(3380000.0, points[0].y, kTenthMillimetre);
        EXPECT_NE(std::string::npos, info.find("测站2")) << info;
        // CGCS2000 3° zone 39 with the zone number in y.
        EXPECT_EQ(format == "dxf" ? 0 : 4527, LayerEpsg(info)) << info;
    }
    // QGIS identifies a GeoPackage layer's CRS by its srs_id, a shapefile's by its .prj.
    EXPECT_EQ("4527\n", CommandOutput("sqlite3 '" + (folder / "out.gpkg") +
                                      "' 'SELECT srs_id FROM gpkg_contents'"));
    EXPECT_EQ("EPSG|4527\n", CommandOutput("sqlite3 '" + (folder / "out.gpkg") +
                                           "' 'SELECT organization, organization_coordsys_id "
                                           "FROM gpkg_spatial_ref_sys WHERE srs_id = 4527'"));
    EXPECT_NE(std::string::npos,
              ScratchFolder::Read(folder / "out.prj").find("CGCS2000_3_Degree_GK_Zone_39"));
    EXPECT_EQ("UTF-8", ScratchFolder::Read(folder / "out.cpg"));
}

TEST_F(GisCli, ZoneWithoutItsNumberAndGeographicResults)
{
    folder.Write("xy.txt", kPlane);
    ASSERT_EQ(0, Cli("zone-change --ellipsoid cgcs2000 --from-meridian 1170000 --to-meridian "
                     "1170000 --format gpkg -o plain.gpkg xy.txt")
                     .status);
    const std::string plain = OgrInfo(folder / "plain.gpkg");
    // The same zone without the number in y: the family's other code.
    EXPECT_EQ(4548, LayerEpsg(plain)) << plain;
    ASSERT_FALSE(ListedPoints(plain).empty());
    EXPECT_NEAR(500000.0, ListedPoints(plain)[0].x, kTenthMillimetre);

    // Written as packed DDDMMSS.SS, read back as decimal degrees, longitude first.
    folder.Write("bl.txt", "P1,30.5,117.25\r\n");
    ASSERT_EQ(0, Cli("gauss-forward --ellipsoid cgcs2000 --unit deg --meridian 1170000 -o "
                     "xy2.txt --encoding utf-8 bl.txt")
                     .status);
    const CliRun run = Cli("gauss-inverse --ellipsoid cgcs2000 --unit dms --meridian 1170000 "
                           "--format geojson -o bl.geojson xy2.txt");
    ASSERT_EQ(0, run.status) << run.err;
    const std::string info = OgrInfo(folder / "bl.geojson");
    EXPECT_EQ(4490, LayerEpsg(info)) << info;
    const auto points = ListedPoints(info);
    ASSERT_EQ(1u, points.size()) << info;
    EXPECT_NEAR(117.25, points[0].x, kNanoDegree);
    EXPECT_NEAR(30.5, points[0].y, kNanoDegree);
}

TEST_F(GisCli, ResultWithoutCodeIsWrittenWithoutCrsAndAnEarlierPrjGoes)
{
    folder.Write("xy.txt", kPlane);
    ASSERT_EQ(0, Cli(kZoneChange + "--format shp -o pts.shp xy.txt").status);
    ASSERT_TRUE(std::filesystem::exists(folder / "pts.prj"));
    folder.Write("pts.qix", "an index of the earlier points");
    // WGS84 has no Gauss-Krüger codes: no CRS, said on standard error, exit 0.
    const CliRun run = Cli("zone-change --ellipsoid wgs84 --format shp -o pts.shp xy.txt");
    ASSERT_EQ(0, run.status) << run.err;
    EXPECT_NE(std::string::npos, run.err.find("没有EPSG代码")) << run.err;
    // The earlier .prj would put the new points in the old zone, its index at the old places.
    EXPECT_FALSE(std::filesystem::exists(folder / "pts.prj"));
    EXPECT_FALSE(std::filesystem::exists(folder / "pts.qix"));
    const std::string info = OgrInfo(folder / "pts.shp");
    EXPECT_EQ(0, LayerEpsg(info)) << info;
    EXPECT_EQ(2u, ListedPoints(info).size()) << info;
    EXPECT_EQ("UTF-8", ScratchFolder::Read(folder / "pts.cpg"));
}

// 正常高计算's x, y are in whatever plane the common points were fitted in: the layer has the
// normal height as Z, the plane as it stands, the 外推 mark as an attribute, and no CRS.
TEST_F(GisCli, NormalHeightsAreWrittenWithTheirHeightAsZAndNoCrs)
{
    folder.Write("points.csv", "T1,3380500,38500500,70.5\r\nT2,3390000,38500500,70.5\r\n");
    folder.Write("model.txt", "plane,3380500,38500500,707.1,10.25,0.5,-0.25,0,0,0,3,3380000,"
                              "38500000,3381000,38500000,3380000,38501000\r\n");
    const CliRun run = Cli("height-apply --model model.txt --format gpkg -o h.gpkg points.csv");
    ASSERT_EQ(0, run.status) << run.err;
    const std::string info = OgrInfo(folder / "h.gpkg");
    const auto points = ListedPoints(info);
    ASSERT_EQ(2u, points.size()) << info;
    EXPECT_NEAR(38500500.0, points[0].x, kTenthMillimetre);
    EXPECT_NEAR(3380500.0, points[0].y, kTenthMillimetre);
    EXPECT_NEAR(60.25, points[0].z, kTenthMillimetre);
    // T2 lies outside the common points' hull and keeps its mark.
    EXPECT_NE(std::string::npos, info.find(") = 外推")) << info;
    EXPECT_EQ("-1\n", CommandOutput("sqlite3 '" + (folder / "h.gpkg") +
                                    "' 'SELECT srs_id FROM gpkg_contents'"));
}
