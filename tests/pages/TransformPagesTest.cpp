// The datum transformation pages: the per-row chain against the geodetic functions, the
// parameter import with its field counts and units, the layouts and titles that follow the
// coordinate types, the following central meridian and the export header.
#include "PageFixture.hpp"
#include "geodesy/AngleNotation.hpp"
#include "geodesy/Datum.hpp"
#include "pages/PageRegistry.hpp"
#include "pages/frames/Messages.hpp"
#include "pages/transform/TransformPages.hpp"
#include "platform/NumberText.hpp"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <unistd.h>

using namespace carvento;
using namespace carvento::pages;
using namespace carvento::testing;

namespace {

// A parameter file holding `bytes`, removed at the end of the test.
class ParamFile {
public:
    explicit ParamFile(const std::string& bytes, const std::string& tag = "")
    {
        m_path = std::filesystem::temp_directory_path() /
                 ("carvento-trans-" + std::to_string(::getpid()) + "-" +
                  ::testing::UnitTest::GetInstance()->current_test_info()->name() + tag + ".txt");
        std::ofstream(m_path, std::ios::binary) << bytes;
    }
    ~ParamFile() { std::filesystem::remove(m_path); }
    std::string Path() const { return m_path.string(); }

private:
    std::filesystem::path m_path;
};

std::vector<std::string> FieldTexts(const ToolPage& page, const std::vector<std::string>& ids)
{
    std::vector<std::string> texts;
    for (const std::string& id : ids)
        texts.push_back(page.FindField(id)->text);
    return texts;
}

std::vector<std::string> HeaderRow(tables::CoordinateTable& table)
{
    std::vector<std::string> titles;
    for (int c = 0; c < table.ColumnCount(); ++c)
        titles.push_back(table.GetCell(0, c));
    return titles;
}

const std::vector<std::string> kSevenIds = {"dx", "dy", "dz", "wx", "wy", "wz", "k"};

} // namespace

// --- The per-row chain --------------------------------------------------------------------

TEST(TransformChain, ZeroParametersOnOneEllipsoidGiveThePointsBack)
{
    for (int kind : {0, 1}) {
        SCOPED_TRACE(kind == 0 ? "seven" : "three");
        FakeContext fake;
        std::unique_ptr<DatumTransformPage> page;
        if (kind == 0)
            page = std::make_unique<CTrans7Dlg>(fake.Context());
        else
            page = std::make_unique<CTrans3Dlg>(fake.Context());
        ParamFile zeros(kind == 0 ? "0,0,0,0,0,0,0\n" : "0,0,0\n");
        ASSERT_TRUE(page->ImportParameterFile(zeros.Path()));
        page->To().Ellipsoid().Select(0);
        page->Choose("from-coords", kGeodeticCoordinates);
        page->Choose("to-coords", kGeodeticCoordinates);
        FillSource(*page, {"P1", "34.123456789", "108.987654321", "412.3456", "P2", "45.5",
                           "126.25", "-12.5"});
        page->Convert();
        const Cells out = ResultCells(*page);
        ASSERT_EQ(8u, out.size());
        EXPECT_EQ("P1", out[0]);
        EXPECT_NEAR(34.123456789, platform::ParseDouble(out[1]), 1e-8);
        EXPECT_NEAR(108.987654321, platform::ParseDouble(out[2]), 1e-8);
        EXPECT_NEAR(412.3456, platform::ParseDouble(out[3]), 1e-4);
        EXPECT_NEAR(45.5, platform::ParseDouble(out[5]), 1e-8);
        EXPECT_NEAR(126.25, platform::ParseDouble(out[6]), 1e-8);
        EXPECT_NEAR(-12.5, platform::ParseDouble(out[7]), 1e-4);
        // Degrees are written with eight decimals, metres with four.
        EXPECT_EQ(8u, out[1].size() - out[1].find('.') - 1);
        EXPECT_EQ(4u, out[3].size() - out[3].find('.') - 1);
    }
}

TEST(TransformChain, InitialStateChangesOnlyTheEllipsoid)
{
    FakeContext fake;
    CTrans7Dlg page(fake.Context());
    ParamFile zeros("0,0,0,0,0,0,0\n");
    ASSERT_TRUE(page.ImportParameterFile(zeros.Path()));
    FillSource(page, {"A", "3378000.1234", "512345.6789", "55.1234", "B", "", "1", "2", "C",
                      "3500000", "480000", ""});
    page.Convert();

    geodesy::GaussProjector beijing;
    geodesy::GaussProjector xian;
    xian.SetEllipsoid(geodesy::kIag1975);
    // With zero parameters the spatial Cartesian point is kept: the point is inverse-projected
    // on Krasovsky, re-read on the 1975 ellipsoid and projected there, the same zone on both.
    auto expected = [&](double x, double y, double h) {
        double B = 0, L = 0, X = 0, Y = 0, Z = 0, H = 0;
        beijing.GaussInverse(x, y, 105.0, 500000.0, B, L);
        geodesy::GeodeticToCartesian(beijing, B, L, h, X, Y, Z);
        geodesy::CartesianToGeodetic(xian, X, Y, Z, B, L, H);
        xian.GaussForward(B, L, 105.0, 500000.0, X, Y);
        return Cells{platform::FormatFixed(X, 4), platform::FormatFixed(Y, 4),
                     platform::FormatFixed(H, 4)};
    };
    const Cells out = ResultCells(page);
    ASSERT_EQ(12u, out.size());
    const Cells a = expected(3378000.1234, 512345.6789, 55.1234);
    EXPECT_EQ((Cells{"A", a[0], a[1], a[2]}), Cells(out.begin(), out.begin() + 4));
    // A row without column 1 passes through as it was.
    EXPECT_EQ((Cells{"B", "", "1", "2"}), Cells(out.begin() + 4, out.begin() + 8));
    // An empty height reads as 0.
    const Cells c = expected(3500000, 480000, 0);
    EXPECT_EQ((Cells{"C", c[0], c[1], c[2]}), Cells(out.begin() + 8, out.end()));
    // The change of ellipsoid alone moves a point by metres, never by nothing.
    EXPECT_GT(std::abs(platform::ParseDouble(a[0]) - 3378000.1234), 1.0);
    // The source table is left as it was.
    EXPECT_EQ("3378000.1234", page.Source().GetCell(1, 1));
}

TEST(TransformChain, SevenParametersAreAppliedInInternalUnitsAndNotations)
{
    FakeContext fake;
    CTrans7Dlg page(fake.Context());
    ParamFile file("-15.2,140.7,80.3,1.5,-2.25,3.125,4.5\r\n");
    ASSERT_TRUE(page.ImportParameterFile(file.Path()));
    page.Choose("from-coords", kGeodeticCoordinates);
    page.Choose("from-unit", kUnitPacked);
    page.Choose("to-coords", kGeodeticCoordinates);
    page.Choose("to-unit", kUnitDotted);
    FillSource(page, {"P", "341530.12", "1085959.5", "100"});
    page.Convert();

    geodesy::SevenParams params{-15.2, 140.7, 80.3, 1.5, -2.25, 3.125, 4.5};
    geodesy::SevenParamsToInternal(params);
    geodesy::GaussProjector beijing;
    geodesy::GaussProjector xian;
    xian.SetEllipsoid(geodesy::kIag1975);
    double B = 0, L = 0, H = 0;
    geodesy::TransformSevenParams(beijing, xian, geodesy::PackedToDegrees(341530.12),
                                  geodesy::PackedToDegrees(1085959.5), 100, params, B, L, H);
    EXPECT_EQ((Cells{"P", platform::FormatFixed(geodesy::DegreesToDotted(B), 8),
                     platform::FormatFixed(geodesy::DegreesToDotted(L), 8),
                     platform::FormatFixed(H, 4)}),
              ResultCells(page));
}

TEST(TransformChain, ThreeParametersShiftTheCartesianPointToThePlaneTarget)
{
    FakeContext fake;
    CTrans3Dlg page(fake.Context());
    ParamFile file("12.5,-30.25,7\n");
    ASSERT_TRUE(page.ImportParameterFile(file.Path()));
    page.Choose("from-coords", kGeodeticCoordinates);
    page.EditText("from-meridian", "1110000");
    page.To().Ellipsoid().Select(2);
    FillSource(page, {"P", "30.5", "110.75", "20"});
    page.Convert();

    geodesy::GaussProjector beijing;
    geodesy::GaussProjector cgcs;
    cgcs.SetEllipsoid(geodesy::kCgcs2000);
    double B = 0, L = 0, H = 0, x = 0, y = 0;
    geodesy::TransformThreeParams(beijing, cgcs, 30.5, 110.75, 20, {12.5, -30.25, 7}, B, L, H);
    cgcs.GaussForward(B, L, 111.0, 500000.0, x, y);
    EXPECT_EQ((Cells{"P", platform::FormatFixed(x, 4), platform::FormatFixed(y, 4),
                     platform::FormatFixed(H, 4)}),
              ResultCells(page));
}

TEST(TransformChain, TitleRowOnlyConvertsNothing)
{
    FakeContext fake;
    CTrans7Dlg page(fake.Context());
    ParamFile zeros("0,0,0,0,0,0,0\n");
    ASSERT_TRUE(page.ImportParameterFile(zeros.Path()));
    FillSource(page, {"P", "1", "2", "3"});
    page.Convert();
    page.Source().ClearRows();
    page.Convert();
    EXPECT_EQ(1, page.Result().DataRowCount()); // the previous result stays
}

// Before any import there are no parameters to convert with: 转换 says so on every page and
// leaves both tables as they were, and a refused import does not count as one.
TEST(TransformChain, ConvertBeforeAnImportIsRefused)
{
    for (const char* verb : {"transform7", "transform3", "transform4"}) {
        SCOPED_TRACE(verb);
        FakeContext fake;
        std::unique_ptr<ToolPage> made = FindPageByVerb(verb)->factory(fake.Context());
        auto& page = static_cast<ConversionPage&>(*made);
        FillSource(page, {"P", "3000000", "500000", "12.5"});
        page.Convert();
        EXPECT_EQ(Cells{messages::kNoParametersImported}, fake.prompter.MessageTexts());
        EXPECT_EQ(0, page.Result().DataRowCount());
        EXPECT_EQ("3000000", page.Source().GetCell(1, 1));

        ParamFile title("DX,DY,DZ,WX,WY,WZ,K\n");
        EXPECT_FALSE(page.ImportParameterFile(title.Path()));
        page.Convert();
        EXPECT_EQ(messages::kNoParametersImported, fake.prompter.MessageTexts().back());
        EXPECT_EQ(0, page.Result().DataRowCount());
    }
}

// --- Parameter import ---------------------------------------------------------------------

// A title line above the values, as a spreadsheet writes one, is passed over: the values are
// those of the next line, in the file order of each kind.
TEST(TransformImport, TitleLineAboveTheValuesIsSkipped)
{
    FakeContext fake;
    CTrans7Dlg seven(fake.Context());
    ParamFile titled("DX,DY,DZ,WX,WY,WZ,K\r\n1,2,3,4,5,6,7\r\n", "-seven");
    ASSERT_TRUE(seven.ImportParameterFile(titled.Path()));
    EXPECT_EQ((Cells{"1.0000000000", "2.0000000000", "3.0000000000", "4.0000000000", "5.0000000000",
                     "6.0000000000", "7.0000000000"}),
              FieldTexts(seven, kSevenIds));

    CTrans4Dlg four(fake.Context());
    ParamFile titledFour("\"DX\",\"DY\",\"K\",\"T\"\n\n100,-50,0.9999,0.0001\n", "-four");
    ASSERT_TRUE(four.ImportParameterFile(titledFour.Path()));
    EXPECT_EQ((Cells{"100.0000000000", "-50.0000000000", "0.0001000000", "0.9999000000"}),
              FieldTexts(four, {"dx", "dy", "t", "k"}));
    EXPECT_TRUE(fake.prompter.messages.empty());
}

TEST(TransformImport, EightNumbersAreAcceptedAndTheEighthIgnored)
{
    FakeContext fake;
    CTrans7Dlg page(fake.Context());
    for (const std::string& id : kSevenIds) {
        EXPECT_EQ("", page.Field(id).text);
        EXPECT_EQ(FieldKind::ReadOnlyText, page.Field(id).kind);
    }
    ParamFile file("1,2,3,4,5,6,7,8\r\n");
    fake.prompter.openAnswers.push_back({file.Path()});
    EXPECT_TRUE(page.RunCommand(CTrans7Dlg::kImportCommand));
    EXPECT_TRUE(fake.prompter.messages.empty());
    EXPECT_EQ((Cells{"1.0000000000", "2.0000000000", "3.0000000000", "4.0000000000", "5.0000000000",
                     "6.0000000000", "7.0000000000"}),
              FieldTexts(page, kSevenIds));
    ASSERT_EQ(1u, fake.prompter.openDialogs.size());
    EXPECT_EQ(messages::kTextFileFilterName, fake.prompter.openDialogs[0].filters.at(0).first);
    // The record holds radians and a plain factor.
    const geodesy::SevenParams record = page.Parameters().ToInternalSevenParams();
    EXPECT_DOUBLE_EQ(3.0, record.DZ);
    EXPECT_NEAR(4.0 * geodesy::kRadiansPerArcSecond, record.WX, 1e-18);
    EXPECT_NEAR(7e-6, record.K, 1e-18);
}

TEST(TransformImport, TooFewFieldsAreRefusedAndTheParametersStay)
{
    FakeContext fake;
    CTrans7Dlg page(fake.Context());
    ParamFile good("1,2,3,4,5,6,7\n", "-good");
    ASSERT_TRUE(page.ImportParameterFile(good.Path()));
    ParamFile six("9,9,9,9,9,9\n", "-six");
    EXPECT_FALSE(page.ImportParameterFile(six.Path()));
    EXPECT_EQ((Cells{"行参数不足或多余7个,请检查!"}), fake.prompter.MessageTexts());
    EXPECT_EQ("1.0000000000", page.Field("dx").text);
    EXPECT_EQ(7.0, page.Parameters().Values().back());

    CTrans3Dlg three(fake.Context());
    ParamFile two("5,6\n", "-two");
    EXPECT_FALSE(three.ImportParameterFile(two.Path()));
    EXPECT_EQ("行参数不足或多余3个,请检查!", fake.prompter.MessageTexts().back());
    EXPECT_EQ("", three.Field("dx").text);
}

TEST(TransformImport, CancelledDialogChangesNothing)
{
    FakeContext fake;
    CTrans4Dlg page(fake.Context());
    EXPECT_FALSE(page.RunCommand(CTrans4Dlg::kImportCommand));
    EXPECT_TRUE(fake.prompter.messages.empty());
    EXPECT_EQ("", page.Field("dx").text);
}

TEST(TransformImport, ThreeParameterFieldsAreReadOnly)
{
    FakeContext fake;
    CTrans3Dlg page(fake.Context());
    ASSERT_EQ(3u, page.Commands().size());
    EXPECT_EQ("导入三参数", page.Commands()[0].caption);
    EXPECT_EQ("导出PROJ", page.Commands()[1].caption);
    EXPECT_EQ("导出GIS", page.Commands()[2].caption);
    ParamFile file("1.25,2.5,3.75\n");
    ASSERT_TRUE(page.ImportParameterFile(file.Path()));
    for (const char* id : {"dx", "dy", "dz"}) {
        EXPECT_EQ(FieldKind::ReadOnlyText, page.Field(id).kind);
        EXPECT_EQ("三参数设置(DX,DY,DZ:米)", page.Field(id).group);
    }
    page.EditText("dx", "99");
    EXPECT_EQ((Cells{"1.2500000000", "2.5000000000", "3.7500000000"}),
              FieldTexts(page, {"dx", "dy", "dz"}));
    EXPECT_DOUBLE_EQ(1.25, page.Parameters().ToThreeParams().DX);
}

// --- Four parameters ----------------------------------------------------------------------

TEST(FourParameterPage, ImportsInFileOrderAndTransformsThePlane)
{
    FakeContext fake;
    CTrans4Dlg page(fake.Context());
    EXPECT_EQ("原平面坐标", page.SourceLayout().group);
    EXPECT_EQ((Cells{"序号", "新坐标x(m)", "新坐标y(m)", "新高程z(m)"}),
              page.ResultLayout().titles);
    EXPECT_EQ("导入四参数", page.Commands().at(0).caption);
    FillSource(page, {"P", "3000000", "500000", "12.5"});

    // File order DX, DY, K, T; the fields show DX, DY, T, K.
    ParamFile file("100,-50,0.9999,0.0001\n");
    ASSERT_TRUE(page.ImportParameterFile(file.Path()));
    EXPECT_EQ((Cells{"100.0000000000", "-50.0000000000", "0.0001000000", "0.9999000000"}),
              FieldTexts(page, {"dx", "dy", "t", "k"}));
    EXPECT_EQ("T=", page.Field("t").label);
    page.Convert();
    const double x = 100 + 0.9999 * 3000000 - 0.0001 * 500000;
    const double y = -50 + 0.0001 * 3000000 + 0.9999 * 500000;
    EXPECT_EQ((Cells{"P", platform::FormatFixed(x, 4), platform::FormatFixed(y, 4), "12.5"}),
              ResultCells(page));
    EXPECT_EQ((Cells{"序号", "x", "y"}), page.ExportHeader());

    ParamFile three("1,2,3\n", "-three");
    EXPECT_FALSE(page.ImportParameterFile(three.Path()));
    EXPECT_EQ("行参数不足或多余4个,请检查!", fake.prompter.MessageTexts().back());
    EXPECT_EQ("100.0000000000", page.Field("dx").text);
}

// --- Panels, titles and the following meridian ---------------------------------------------

TEST(TransformPanels, TitlesAndHeaderFollowTheCoordinateTypes)
{
    FakeContext fake;
    CTrans7Dlg page(fake.Context());
    EXPECT_EQ("七参数转换", page.Title());
    EXPECT_EQ("原椭球坐标", page.SourceLayout().group);
    EXPECT_EQ("新椭球坐标", page.ResultLayout().group);
    EXPECT_EQ((Cells{"序号", "原坐标x(m)", "原坐标y(m)", "原高程z(m)"}), HeaderRow(page.Source()));
    EXPECT_EQ((Cells{"序号", "新坐标x(m)", "新坐标y(m)", "新高程z(m)"}), HeaderRow(page.Result()));
    EXPECT_EQ((Cells{"序号", "x", "y"}), page.ExportHeader());
    EXPECT_EQ("七参数设置(DX,DY,DZ:米;WX,WY,WZ:秒;K:ppm)", page.Field("k").group);
    EXPECT_EQ("导入七参数", page.Commands().at(0).caption);

    page.Choose("from-coords", kGeodeticCoordinates);
    EXPECT_EQ((Cells{"序号", "原纬度B", "原经度L", "原海拔H"}), HeaderRow(page.Source()));
    EXPECT_FALSE(page.Field("to-meridian").enabled);
    EXPECT_TRUE(page.Field("from-unit").visible);
    page.Choose("to-coords", kGeodeticCoordinates);
    EXPECT_EQ((Cells{"序号", "新纬度B", "新经度L", "新海拔H"}), HeaderRow(page.Result()));
    EXPECT_EQ((Cells{"序号", "纬度", "经度"}), page.ExportHeader());
    page.Choose("from-coords", kPlaneCoordinates);
    EXPECT_FALSE(page.Field("to-meridian").enabled);
    page.Choose("to-coords", kPlaneCoordinates);
    EXPECT_TRUE(page.Field("to-meridian").enabled);
    EXPECT_EQ((Cells{"序号", "x", "y"}), page.ExportHeader());
}

TEST(TransformPanels, TargetCentralMeridianFollowsTheSource)
{
    FakeContext fake;
    CTrans7Dlg page(fake.Context());
    page.EditText("from-meridian", "1170000");
    EXPECT_EQ("1170000", page.Field("to-meridian").text);
    // The followed meridian is the one the target projects with.
    page.Choose("from-coords", kGeodeticCoordinates);
    page.To().Ellipsoid().Select(0);
    ParamFile zeros("0,0,0,0,0,0,0\n");
    ASSERT_TRUE(page.ImportParameterFile(zeros.Path()));
    FillSource(page, {"P", "36", "117.5", "0"});
    page.Convert();
    geodesy::GaussProjector beijing;
    double x = 0, y = 0;
    beijing.GaussForward(36, 117.5, 117.0, 500000.0, x, y);
    EXPECT_EQ(platform::FormatFixed(y, 4), ResultCells(page)[2]);
}

TEST(TransformRegistry, CatalogueEntriesMakeTheTransformationPages)
{
    FakeContext fake;
    const std::pair<int, const char*> rows[] = {{106, "七参数转换"},
                                                {144, "三参数转换"},
                                                {143, "四参数转换"}};
    for (const auto& [id, title] : rows) {
        const PageRegistration* row = FindPageById(id);
        ASSERT_NE(nullptr, row);
        ASSERT_TRUE(row->Built());
        std::unique_ptr<ToolPage> page = row->factory(fake.Context());
        EXPECT_EQ(title, page->Title());
        EXPECT_EQ(PageFrame::Conversion, page->Frame());
        EXPECT_TRUE(static_cast<ConversionPage&>(*page).TakesParameterFile());
    }
    EXPECT_EQ("transform4", FindPageById(143)->verb);
}
