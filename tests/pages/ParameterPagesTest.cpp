// The parameter computation pages: the four-parameter shift at survey magnitudes printed to the
// field formats, the minimum-point messages, the three-parameter first-row rule, seven
// parameters recovered between Beijing 54 plane and CGCS2000 geodetic coordinates, the refusal
// of point sets that determine nothing, and saved common points and parameters read back.
#include "PageFixture.hpp"
#include "geodesy/AngleNotation.hpp"
#include "pages/PageRegistry.hpp"
#include "pages/frames/ParameterSet.hpp"
#include "pages/transform/ParameterPages.hpp"
#include "pages/transform/TransformPages.hpp"
#include "platform/NumberText.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <unistd.h>

using namespace carvento;
using namespace carvento::pages;
using namespace carvento::testing;
using platform::FormatFixed;

namespace {

class Scratch {
public:
    Scratch()
    {
        m_dir = std::filesystem::temp_directory_path() /
                ("carvento-params-" + std::to_string(::getpid()) + "-" +
                 ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::create_directories(m_dir);
    }
    ~Scratch() { std::filesystem::remove_all(m_dir); }
    std::string Path(const std::string& name) const { return (m_dir / name).string(); }
    std::string Write(const std::string& name, const std::string& bytes) const
    {
        std::ofstream(Path(name), std::ios::binary) << bytes;
        return Path(name);
    }
    static std::string Read(const std::string& path)
    {
        std::ifstream in(path, std::ios::binary);
        return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    }

private:
    std::filesystem::path m_dir;
};

Cells TableCells(const tables::CoordinateTable& table)
{
    Cells cells;
    table.CollectCells(cells);
    return cells;
}

template <class Page>
void Fill(Page& page, const Cells& cells)
{
    const int columns = page.Table().ColumnCount();
    page.Table().FillRows(cells, static_cast<int>(cells.size()) / columns, columns);
}

template <class Page>
std::string FieldText(const Page& page, const std::string& id)
{
    const PageField* field = page.FindField(id);
    return field ? field->text : "<no field " + id + ">";
}

template <class Page>
std::vector<std::string> ResidualColumn(const Page& page, int column)
{
    std::vector<std::string> residuals;
    for (int r = 1; r <= page.Table().DataRowCount(); ++r)
        residuals.push_back(page.Table().GetCell(r, column));
    return residuals;
}

// ---------------------------------------------------------------- four parameters

TEST(CParams4Test, DescribesItsTableFieldsAndCommands)
{
    FakeContext fake;
    CParams4 page(fake.Context());
    EXPECT_EQ("计算四参数", page.Title());
    EXPECT_EQ(PageFrame::CommonPoint, page.Frame());
    EXPECT_EQ(Cells({"序号", "老坐标x(m)", "老坐标y(m)", "新坐标x(m)", "新坐标y(m)", "中误差(m)"}),
              page.Layout().titles);
    std::vector<std::string> labels;
    for (const PageField& field : page.Fields()) {
        labels.push_back(field.label);
        EXPECT_EQ(FieldKind::ReadOnlyText, field.kind) << field.id;
        EXPECT_EQ("四参数", field.group);
        EXPECT_EQ("", field.text);
    }
    EXPECT_EQ(Cells({"DX=", "DY=", "T=", "K="}), labels);
    std::vector<std::string> captions;
    for (const PageCommand& command : page.Commands())
        captions.push_back(command.caption);
    EXPECT_EQ(Cells({"解算四参数", "剔除超限点重新解算", "保存公共点", "保存参数", "用于转换",
                     "导出PROJ"}),
              captions);
}

// Two points 100 m apart at Gauss-Krueger magnitudes, new = old + (100, −50): the fields print
// the shift to the millimetre, K exactly 1 and T 0 without a minus sign, and every residual
// is 0.0000. Many pairs, as the rounding that once gave "-0.0000000000" varies with the point.
TEST(CParams4Test, PureShiftAtSurveyMagnitudesPrintsExactly)
{
    std::mt19937_64 random(4611);
    std::uniform_real_distribution<double> northing(2990000.0, 3010000.0);
    std::uniform_real_distribution<double> easting(490000.0, 510000.0);
    std::uniform_real_distribution<double> direction(0.0, 6.283185307179586);
    for (int pair = 0; pair < 200; ++pair) {
        FakeContext fake;
        CParams4 page(fake.Context());
        const double x = std::round(northing(random) * 1e4) / 1e4;
        const double y = std::round(easting(random) * 1e4) / 1e4;
        const double angle = direction(random);
        const double x2 = x + 100.0 * std::cos(angle);
        const double y2 = y + 100.0 * std::sin(angle);
        Fill(page, {"P1", FormatFixed(x, 4), FormatFixed(y, 4), FormatFixed(x + 100.0, 4),
                    FormatFixed(y - 50.0, 4), "", "P2", FormatFixed(x2, 4), FormatFixed(y2, 4),
                    FormatFixed(x2 + 100.0, 4), FormatFixed(y2 - 50.0, 4), ""});
        ASSERT_TRUE(page.RunCommand(CommonPointPage::kSolveCommand)) << "pair " << pair;
        EXPECT_EQ("100.000000", FieldText(page, "dx")) << "pair " << pair;
        EXPECT_EQ("-50.000000", FieldText(page, "dy")) << "pair " << pair;
        EXPECT_EQ("0.0000000000", FieldText(page, "t")) << "pair " << pair;
        EXPECT_EQ("1.000000000000", FieldText(page, "k")) << "pair " << pair;
        EXPECT_EQ(Cells({"0.0000", "0.0000"}), ResidualColumn(page, CParams4::kResidualColumn))
            << "pair " << pair;
        EXPECT_TRUE(fake.prompter.messages.empty());
    }
}

TEST(CParams4Test, ResidualsShowHowFarEachPointMissesTheFit)
{
    FakeContext fake;
    CParams4 page(fake.Context());
    // Three points: the third moved 0.3 m off the shift the first two agree on. A symmetric
    // set: the fit spreads the miss over all three.
    Fill(page, {"A", "1000", "2000", "1100", "1950", "", "B", "1000", "2100", "1100", "2050", "",
                "C", "1100", "2050", "1200.3", "2000", ""});
    ASSERT_TRUE(page.SolveCommand());
    double sum = 0.0;
    for (const std::string& text : ResidualColumn(page, CParams4::kResidualColumn)) {
        EXPECT_GT(platform::ParseDouble(text), 0.0) << text;
        sum += platform::ParseDouble(text);
    }
    EXPECT_GT(sum, 0.1);
    EXPECT_LT(sum, 0.6);
}

TEST(CParams4Test, TooFewPointsShowTheMessageAndChangeNothing)
{
    FakeContext fake;
    CParams4 page(fake.Context());
    Fill(page, {"1", "3000000", "500000", "3000100", "499950", "keep"});
    EXPECT_FALSE(page.RunCommand(CommonPointPage::kSolveCommand));
    EXPECT_EQ(Cells{"公共点个数不足2个!"}, fake.prompter.MessageTexts());
    EXPECT_EQ("keep", page.Table().GetCell(1, CParams4::kResidualColumn));
    EXPECT_EQ("", FieldText(page, "dx"));
}

// Coincident old points determine no rotation or scale: a clear message, and the parameters
// and residuals of the last solve stay as they were.
TEST(CParams4Test, CoincidentPointsAreRefusedAndTheLastSolveStays)
{
    FakeContext fake;
    CParams4 page(fake.Context());
    Fill(page, {"1", "3000000", "500000", "3000100", "499950", "", "2", "3000100", "500000",
                "3000200", "499950", ""});
    ASSERT_TRUE(page.SolveCommand());
    const std::vector<std::string> solved = page.ParameterTexts();
    ASSERT_EQ("100.000000", solved[0]);

    Fill(page, {"1", "3000000", "500000", "3000100", "499950", "r1", "2", "3000000", "500000",
                "3000101", "499951", "r2"});
    EXPECT_FALSE(page.SolveCommand());
    EXPECT_EQ(Cells{messages::kNoSolution}, fake.prompter.MessageTexts());
    EXPECT_EQ(solved, page.ParameterTexts());
    EXPECT_EQ(Cells({"r1", "r2"}), ResidualColumn(page, CParams4::kResidualColumn));
    EXPECT_NEAR(100.0, page.Parameters().DX, 1e-6);
}

TEST(CParams4Test, SavedPointsReimportUnchangedAndShortFilesAreRefused)
{
    Scratch scratch;
    FakeContext fake;
    CParams4 page(fake.Context());
    Fill(page, {"P1", "3000000.1234", "500000.5", "3000100.1234", "499950.5", "", "P2", "3000100",
                "500000", "3000200", "499950", ""});
    ASSERT_TRUE(page.SolveCommand());
    fake.prompter.saveAnswers.push_back(scratch.Path("points.txt"));
    ASSERT_TRUE(page.RunCommand(CommonPointPage::kSavePointsCommand));
    const std::string saved = Scratch::Read(scratch.Path("points.txt"));
    EXPECT_EQ("P1,3000000.1234,500000.5,3000100.1234,499950.5,0.0000\r\n"
              "P2,3000100,500000,3000200,499950,0.0000\r\n",
              saved);

    CParams4 reread(fake.Context());
    fake.prompter.openAnswers.push_back({scratch.Path("points.txt")});
    EXPECT_EQ(2, reread.Editor().Import());
    EXPECT_EQ(TableCells(page.Table()), TableCells(reread.Table()));

    // Four fields per line: refused, the table as it was.
    fake.prompter.openAnswers.push_back({scratch.Write("short.txt", "A,1,2,3\r\n")});
    EXPECT_EQ(0, reread.Editor().Import());
    EXPECT_EQ(Cells{"行参数不足5个,请检查!"}, fake.prompter.MessageTexts());
    EXPECT_EQ(TableCells(page.Table()), TableCells(reread.Table()));
    // Dropped files skip the count.
    EXPECT_EQ(1, reread.Editor().DropFiles({scratch.Write("drop.TXT", "D,1,2\r\n")}));
    EXPECT_EQ(Cells({"D", "1", "2", "", "", ""}), TableCells(reread.Table()));
}

// A file with more fields per line than the table has columns (the seven-field layout of 计算七
// 参数 on the four-parameter page) is taken field by field as before, and a warning names the
// columns its first fields went into: the old z would otherwise pass silently for the new x.
// A dropped file gets the same warning.
TEST(CParams4Test, WiderFileIsTakenWithAWarningNamingTheColumnsFilled)
{
    Scratch scratch;
    FakeContext fake;
    CParams4 page(fake.Context());
    const std::string seven = scratch.Write("seven.txt",
                                            "P1,3000000,500000,12,3000100,499950,13\r\n"
                                            "P2,3000060,500080,14,3000160,500030,15\r\n");
    fake.prompter.openAnswers.push_back({seven});
    EXPECT_EQ(2, page.Editor().Import());
    const std::string warning = FormatMessage(
        messages::kPointFileWider, 7, "序号,老坐标x(m),老坐标y(m),新坐标x(m),新坐标y(m),中误差(m)");
    EXPECT_EQ(Cells{warning}, fake.prompter.MessageTexts());
    EXPECT_EQ(platform::MessageIcon::Warning, fake.prompter.messages.back().icon);
    EXPECT_EQ(Cells({"P1", "3000000", "500000", "12", "3000100", "499950", "P2", "3000060",
                     "500080", "14", "3000160", "500030"}),
              TableCells(page.Table()));

    EXPECT_EQ(2, page.Editor().DropFiles({seven}));
    EXPECT_EQ(Cells({warning, warning}), fake.prompter.MessageTexts());
    // The layouts the pages save themselves fill the table exactly: no warning.
    fake.prompter.openAnswers.push_back(
        {scratch.Write("six.txt", "P1,3000000,500000,3000100,499950,0.0000\r\n")});
    EXPECT_EQ(1, page.Editor().Import());
    EXPECT_EQ(2u, fake.prompter.messages.size());
}

// A solve reads only numbers: the first cell that is none is named by its row and column, and
// nothing changes. Before, text and "nan" read as 0 or spread not-a-number through the fit,
// which then came out as points that coincide.
TEST(CParams7Test, CellThatIsNoNumberIsNamedAndNothingChanges)
{
    FakeContext fake;
    CParams7 page(fake.Context());
    Fill(page, {"1", "3800000", "500000", "400", "3800100", "500000", "400", "a",
                "2", "3801000", "501000", "410", "nan",     "501000", "410", "b",
                "3", "3802000", "500000", "420", "3802100", "500000", "420", "c"});
    EXPECT_FALSE(page.SolveCommand());
    EXPECT_EQ(Cells{"公共点第2行新坐标x(m)=nan不是有效数字,请检查!"}, fake.prompter.MessageTexts());
    EXPECT_EQ(Cells({"a", "b", "c"}), ResidualColumn(page, CParams7::kResidualColumn));
    EXPECT_EQ("", FieldText(page, "dx"));

    // The titles follow the coordinate type.
    page.Choose("to-coords", kGeodeticCoordinates);
    page.Table().SetCell(2, 4, "34.5度");
    EXPECT_FALSE(page.SolveCommand());
    EXPECT_EQ("公共点第2行新纬度B=34.5度不是有效数字,请检查!", fake.prompter.MessageTexts().back());
}

TEST(CParams4Test, SavedParametersAreInFileOrderAndReadBackAsSolved)
{
    Scratch scratch;
    FakeContext fake;
    CParams4 page(fake.Context());
    // Before any solve: an empty line.
    ASSERT_TRUE(page.SaveParametersToFile(scratch.Path("empty.txt"), tables::TextEncoding::Gbk));
    ParameterSet none(ParameterKind::Four);
    EXPECT_FALSE(ReadParameterFile(scratch.Path("empty.txt"), none).Ok());

    // A quarter turn with scale 2 and a shift.
    Fill(page, {"1", "10", "20", "-30", "25", "", "2", "110", "20", "-30", "225", ""});
    ASSERT_TRUE(page.SolveCommand());
    EXPECT_EQ(Cells({"10.000000", "5.000000", "2.0000000000", "0.000000000000"}),
              page.ParameterTexts());
    fake.prompter.saveAnswers.push_back(scratch.Path("params.txt"));
    ASSERT_TRUE(page.RunCommand(CParams4::kSaveParamsCommand));
    EXPECT_EQ("10.000000,5.000000,0.000000000000,2.0000000000\r\n",
              Scratch::Read(scratch.Path("params.txt")));
    ParameterSet read(ParameterKind::Four);
    ASSERT_TRUE(ReadParameterFile(scratch.Path("params.txt"), read).Ok());
    EXPECT_EQ(10.0, read.ToFourParams().DX);
    EXPECT_EQ(5.0, read.ToFourParams().DY);
    EXPECT_EQ(0.0, read.ToFourParams().K);
    EXPECT_EQ(2.0, read.ToFourParams().T);
}

// ---------------------------------------------------------------- seven and three parameters

TEST(CParams7Test, TwoRowsAreTooFew)
{
    FakeContext fake;
    CParams7 page(fake.Context());
    EXPECT_EQ("计算七参数", page.Title());
    Fill(page, {"1", "3800000", "500000", "400", "3800000", "500000", "400", "a", "2", "3801000",
                "501000", "410", "3801000", "501000", "410", "b"});
    EXPECT_FALSE(page.RunCommand(CommonPointPage::kSolveCommand));
    EXPECT_EQ(Cells{"公共点个数不足3个!"}, fake.prompter.MessageTexts());
    EXPECT_EQ(Cells({"a", "b"}), ResidualColumn(page, CParams7::kResidualColumn));
    for (const std::string& text : page.ParameterTexts())
        EXPECT_EQ("", text);
}

TEST(CParams7Test, TableTitlesFollowEachSidesCoordinateType)
{
    FakeContext fake;
    CParams7 page(fake.Context());
    auto titles = [&page] {
        Cells row;
        for (int c = 0; c < page.Table().ColumnCount(); ++c)
            row.push_back(page.Table().GetCell(0, c));
        return row;
    };
    EXPECT_EQ(Cells({"序号", "原坐标x(m)", "原坐标y(m)", "原高程z(m)", "新坐标x(m)", "新坐标y(m)",
                     "新高程z(m)", "中误差(m)"}),
              titles());
    page.Choose("to-coords", kGeodeticCoordinates);
    EXPECT_EQ(Cells({"序号", "原坐标x(m)", "原坐标y(m)", "原高程z(m)", "新纬度B", "新经度L",
                     "新海拔H", "中误差(m)"}),
              titles());
    std::vector<std::string> labels;
    for (const PageField& field : page.Fields())
        if (field.group == "七参数") {
            labels.push_back(field.label);
            EXPECT_EQ(FieldKind::ReadOnlyText, field.kind);
        }
    EXPECT_EQ(Cells({"DX=", "DY=", "DZ=", "WX=", "WY=", "WZ=", "K="}), labels);
}

// Coincident common points: refused with the message, nothing changed.
TEST(CParams7Test, CoincidentPointsAreRefused)
{
    FakeContext fake;
    CParams7 page(fake.Context());
    Fill(page, {"1", "3800000", "500000", "400", "3800100", "500000", "400", "a",
                "2", "3800000", "500000", "400", "3800100", "500000", "400", "b",
                "3", "3800000", "500000", "400", "3800100", "500000", "400", "c"});
    EXPECT_FALSE(page.SolveCommand());
    EXPECT_EQ(Cells{messages::kNoSolution}, fake.prompter.MessageTexts());
    EXPECT_EQ(Cells({"a", "b", "c"}), ResidualColumn(page, CParams7::kResidualColumn));
    EXPECT_EQ("", FieldText(page, "dx"));
}

// Beijing 54 plane coordinates (source, zone 105°, add constant 500 000) and CGCS2000 geodetic
// coordinates in degrees (target), generated with known parameters: the solve shows them and
// every residual is 0.0000, and the parameter line carries the shown texts.
TEST(CParams7Test, RecoversKnownParametersBetweenBeijing54PlaneAndCgcs2000Geodetic)
{
    Scratch scratch;
    FakeContext fake;
    CParams7 page(fake.Context());
    page.From().Ellipsoid().Select(0);
    page.To().Ellipsoid().Select(2);
    page.Choose("to-coords", kGeodeticCoordinates);
    page.Choose("to-unit", kUnitDegrees);
    page.From().TakeFields();
    page.To().TakeFields();

    geodesy::SevenParams truth{-15.415, 157.025, 94.74, 1.465, -0.112, -3.547, 2.8};
    geodesy::SevenParams internal = truth;
    geodesy::SevenParamsToInternal(internal);
    const double points[][3] = {{34.20, 104.60, 400.0},
                                {34.75, 105.40, 1210.0},
                                {33.90, 105.10, 655.0},
                                {34.40, 104.95, 820.0},
                                {34.05, 105.65, 300.0}};
    Cells cells;
    int id = 1;
    for (const auto& p : points) {
        double x = 0.0, y = 0.0, B = 0.0, L = 0.0, H = 0.0;
        page.From().Project(p[0], p[1], x, y);
        geodesy::TransformSevenParams(page.From().Projector(), page.To().Projector(), p[0], p[1],
                                      p[2], internal, B, L, H);
        // Written finely enough that the residuals show the fit, not the rounding.
        Cells row{std::to_string(id++), FormatFixed(x, 6),  FormatFixed(y, 6), FormatFixed(p[2], 6),
                  FormatFixed(B, 12),   FormatFixed(L, 12), FormatFixed(H, 6), ""};
        cells.insert(cells.end(), row.begin(), row.end());
    }
    Fill(page, cells);
    ASSERT_TRUE(page.RunCommand(CommonPointPage::kSolveCommand));
    EXPECT_TRUE(fake.prompter.messages.empty());
    const std::vector<std::string> texts = page.ParameterTexts();
    ASSERT_EQ(7u, texts.size());
    const double expected[] = {truth.DX, truth.DY, truth.DZ, truth.WX, truth.WY, truth.WZ, truth.K};
    // Points written to a micrometre: a millimetre in the shift, a ten-thousandth of an
    // arc-second and of a ppm.
    const double tolerance[] = {1e-3, 1e-3, 1e-3, 1e-4, 1e-4, 1e-4, 1e-4};
    for (int i = 0; i < 7; ++i) {
        EXPECT_NEAR(expected[i], platform::ParseDouble(texts[i]), tolerance[i]) << i;
        EXPECT_EQ(texts[i].size() - texts[i].find('.') - 1, 10u) << texts[i];
    }
    for (const std::string& residual : ResidualColumn(page, CParams7::kResidualColumn))
        EXPECT_EQ("0.0000", residual);

    ASSERT_TRUE(page.SaveParametersToFile(scratch.Path("p7.txt"), tables::TextEncoding::Gbk));
    std::string line;
    for (std::size_t i = 0; i < texts.size(); ++i)
        line += (i ? "," : "") + texts[i];
    EXPECT_EQ(line + "\r\n", Scratch::Read(scratch.Path("p7.txt")));
}

// Geodetic degrees on one ellipsoid on both sides; the first point's new height is 10 m up,
// so DX, DY, DZ are 10 m along its normal. The second point, at the same B, L, lies exactly on
// that shift except for its own height error; the third row changes nothing in the estimate.
TEST(CParams3Test, OnlyTheFirstRowDeterminesTheShift)
{
    FakeContext fake;
    CParams3 page(fake.Context());
    EXPECT_EQ("计算三参数", page.Title());
    page.To().Ellipsoid().Select(0);
    page.Choose("from-coords", kGeodeticCoordinates);
    page.Choose("to-coords", kGeodeticCoordinates);
    const double B = 34.2, L = 108.9;
    Fill(page, {"1", "34.2", "108.9", "400", "34.2", "108.9", "410",   "",
                "2", "34.2", "108.9", "500", "34.2", "108.9", "512.5", "",
                "3", "34.0", "109.0", "10",  "34.1", "109.2", "900",   ""});
    ASSERT_TRUE(page.RunCommand(CommonPointPage::kSolveCommand));
    const double rad = 3.14159265358979323846 / 180.0;
    const double up[] = {std::cos(B * rad) * std::cos(L * rad),
                         std::cos(B * rad) * std::sin(L * rad), std::sin(B * rad)};
    const std::vector<std::string> texts = page.ParameterTexts();
    ASSERT_EQ(3u, texts.size());
    for (int i = 0; i < 3; ++i) {
        EXPECT_NEAR(10.0 * up[i], platform::ParseDouble(texts[i]), 1e-6) << texts[i];
        EXPECT_EQ(texts[i].size() - texts[i].find('.') - 1, 10u) << texts[i];
    }
    const std::vector<std::string> residuals = ResidualColumn(page, CParams3::kResidualColumn);
    EXPECT_EQ("0.0000", residuals[0]);
    EXPECT_EQ("2.5000", residuals[1]);
    EXPECT_GT(platform::ParseDouble(residuals[2]), 100.0);

    // One row is enough; none is not.
    Fill(page, {"1", "34.2", "108.9", "400", "34.2", "108.9", "410", ""});
    EXPECT_TRUE(page.SolveCommand());
    EXPECT_EQ(texts, page.ParameterTexts());
    page.Table().ClearRows();
    EXPECT_FALSE(page.SolveCommand());
    EXPECT_EQ(Cells{"公共点个数不足1个!"}, fake.prompter.MessageTexts());
}

TEST(CParams7Test, SavedPointsReimportUnchangedAndSixFieldsAreRefused)
{
    Scratch scratch;
    FakeContext fake;
    CParams7 page(fake.Context());
    const Cells points{"A", "3800000.5", "500000", "400", "3800100", "500010", "401", "0.1000",
                       "B", "3801000",   "501000", "410", "3801100", "501010", "411", ""};
    Fill(page, points);
    ASSERT_TRUE(page.SavePointsToFile(scratch.Path("p.txt"), tables::TextEncoding::Gbk));
    EXPECT_EQ("A,3800000.5,500000,400,3800100,500010,401,0.1000\r\n"
              "B,3801000,501000,410,3801100,501010,411,\r\n",
              Scratch::Read(scratch.Path("p.txt")));
    CParams7 reread(fake.Context());
    EXPECT_EQ(2, reread.Editor().ImportFile(scratch.Path("p.txt")));
    EXPECT_EQ(points, TableCells(reread.Table()));

    fake.prompter.openAnswers.push_back({scratch.Write("six.txt", "A,1,2,3,4,5\r\n")});
    EXPECT_EQ(0, reread.Editor().Import());
    EXPECT_EQ(Cells{"行参数不足7个,请检查!"}, fake.prompter.MessageTexts());
    EXPECT_EQ(points, TableCells(reread.Table()));
}

TEST(ParameterPagesRegistry, CatalogueEntriesOpenTheCommonPointPages)
{
    FakeContext fake;
    const std::pair<int, const char*> entries[] = {{107, "计算七参数"},
                                                   {145, "计算三参数"},
                                                   {109, "计算四参数"}};
    for (const auto& [id, title] : entries) {
        const PageRegistration* registration = FindPageById(id);
        ASSERT_NE(nullptr, registration) << id;
        ASSERT_TRUE(registration->Built()) << id;
        EXPECT_EQ(PageFrame::CommonPoint, registration->frame);
        std::unique_ptr<ToolPage> page = registration->factory(fake.Context());
        EXPECT_EQ(title, page->Title());
        EXPECT_EQ(PageFrame::CommonPoint, page->Frame());
    }
}

// ---------------------------------------------------------------- with the transformation pages

// Parameters saved on a computation page and imported on the matching transformation page
// convert the common points' old coordinates to their new ones within the residuals shown.
template <class Solver, class Transformer>
void ExpectRoundTrip(const Cells& points, int oldColumns)
{
    Scratch scratch;
    FakeContext fake;
    Solver solver(fake.Context());
    Fill(solver, points);
    ASSERT_TRUE(solver.SolveCommand());
    ASSERT_TRUE(solver.SaveParametersToFile(scratch.Path("p.txt"), tables::TextEncoding::Gbk));

    Transformer transformer(fake.Context());
    ASSERT_TRUE(transformer.ImportParameterFile(scratch.Path("p.txt")));
    const int columns = solver.Table().ColumnCount();
    const int rows = static_cast<int>(points.size()) / columns;
    // The old values, and empty cells for the source columns beyond them (a height).
    Cells source;
    for (int r = 0; r < rows; ++r)
        for (int c = 0; c < transformer.Source().ColumnCount(); ++c)
            source.push_back(c <= oldColumns ? points[static_cast<std::size_t>(r * columns + c)]
                                             : std::string());
    FillSource(transformer, source);
    transformer.Convert();
    ASSERT_TRUE(fake.prompter.messages.empty()) << fake.prompter.MessageTexts()[0];
    const Cells result = ResultCells(transformer);
    const int resultColumns = transformer.Result().ColumnCount();
    ASSERT_EQ(static_cast<std::size_t>(rows * resultColumns), result.size());
    for (int r = 0; r < rows; ++r) {
        double sum = 0.0;
        for (int k = 1; k <= oldColumns; ++k) {
            const double converted =
                platform::ParseDouble(result[static_cast<std::size_t>(r * resultColumns + k)]);
            const double known = platform::ParseDouble(
                points[static_cast<std::size_t>(r * columns + oldColumns + k)]);
            sum += (converted - known) * (converted - known);
        }
        const double shown = platform::ParseDouble(solver.Table().GetCell(r + 1, columns - 1));
        // The converted values are written to 0.1 mm.
        EXPECT_LE(std::sqrt(sum), shown + 2e-4) << "row " << r;
        EXPECT_GT(shown, 0.0) << "row " << r;
    }
}

TEST(RoundTripTest, FourParametersSavedReproduceTheNewPointsOnCTrans4Dlg)
{
    ExpectRoundTrip<CParams4, CTrans4Dlg>({"1", "3000000", "500000", "3000120.31", "499951.2", "",
                                           "2", "3000500", "500100", "3000620.20", "500051.3", "",
                                           "3", "3000200", "500700", "3000320.41", "500651.1", ""},
                                          2);
}

TEST(RoundTripTest, SevenParametersSavedReproduceTheNewPointsOnCTrans7Dlg)
{
    ExpectRoundTrip<CParams7, CTrans7Dlg>(
        {"1", "3800000", "500000", "400", "3799960.12", "499930.55", "380.1", "",
         "2", "3810000", "520000", "600", "3809960.08", "519930.61", "580.3", "",
         "3", "3790000", "530000", "500", "3789960.21", "529930.40", "479.8", "",
         "4", "3805000", "495000", "450", "3804959.95", "494930.52", "430.0", ""},
        3);
}

// ---------------------------------------------------------------- 用于转换

// What a page shows: each ellipsoid panel's entry and axes, each field's text, choice and state.
Cells Settings(const ToolPage& page)
{
    Cells settings;
    for (const PagePanel& panel : page.Panels())
        settings.push_back(panel.side + ":" + std::to_string(panel.ellipsoid->Selection()) + ":" +
                           panel.ellipsoid->AText() + "," + panel.ellipsoid->BText());
    for (const PageField& field : page.Fields())
        settings.push_back(field.id + "=" + field.text + "/" + std::to_string(field.pendingIndex) +
                           (field.enabled ? "" : " disabled") + (field.visible ? "" : " hidden"));
    return settings;
}

// Converts the rows on a transformation page and returns what its 导出 writes.
std::string ConvertAndExport(ConversionPage& page, const Cells& source, const std::string& path)
{
    FillSource(page, source);
    page.Convert();
    EXPECT_TRUE(page.ExportToFile(path));
    return Scratch::Read(path);
}

// Beijing 54 plane in the zone of 111° (source) and CGCS2000 geodetic in DDDMMSS.SS (target),
// moved with known seven parameters: 用于转换 fills a new 七参数转换 as the user would by hand
// before importing the file 保存参数 writes, and both convert and export the same bytes, which
// give the points' new coordinates.
TEST(TransferTest, SevenParametersFillTheTransformationPageAsTheirSavedFile)
{
    Scratch scratch;
    FakeContext fake;
    CParams7 page(fake.Context());
    page.From().Ellipsoid().Select(geodesy::kKrasovsky);
    page.To().Ellipsoid().Select(geodesy::kCgcs2000);
    page.EditText("from-meridian", "1110000");
    page.EditText("from-y-add", "400000");
    page.Choose("to-coords", kGeodeticCoordinates);
    page.Choose("to-unit", kUnitPacked);
    ASSERT_TRUE(page.ExchangeFields());
    page.From().TakeFields();
    page.To().TakeFields();
    geodesy::SevenParams internal{-15.415, 157.025, 94.74, 1.465, -0.112, -3.547, 2.8};
    geodesy::SevenParamsToInternal(internal);
    const double points[][3] = {{34.20, 110.60, 400.0},
                                {34.75, 111.40, 1210.0},
                                {33.90, 111.10, 655.0},
                                {34.40, 110.95, 820.0}};
    Cells cells, source, known;
    int id = 1;
    for (const auto& p : points) {
        double x = 0.0, y = 0.0, B = 0.0, L = 0.0, H = 0.0;
        page.From().Project(p[0], p[1], x, y);
        geodesy::TransformSevenParams(page.From().Projector(), page.To().Projector(), p[0], p[1],
                                      p[2], internal, B, L, H);
        Cells row{std::to_string(id++),
                  FormatFixed(x, 6),
                  FormatFixed(y, 6),
                  FormatFixed(p[2], 6),
                  FormatFixed(geodesy::DegreesToPacked(B), 10),
                  FormatFixed(geodesy::DegreesToPacked(L), 10),
                  FormatFixed(H, 6),
                  ""};
        cells.insert(cells.end(), row.begin(), row.end());
        source.insert(source.end(), row.begin(), row.begin() + 4);
        known.insert(known.end(), row.begin() + 4, row.begin() + 7);
    }

    // Before a solve: the page says so and the new page keeps its initial state.
    CTrans7Dlg early(fake.Context());
    const Cells initial = Settings(early);
    EXPECT_FALSE(page.TransferTo(early));
    EXPECT_EQ(Cells({messages::kNothingToTransfer}), fake.prompter.MessageTexts());
    EXPECT_EQ(initial, Settings(early));
    EXPECT_FALSE(page.RunCommand(CommonPointPage::kTransferCommand));
    fake.prompter.messages.clear();

    Fill(page, cells);
    ASSERT_TRUE(page.SolveCommand());
    EXPECT_TRUE(page.RunCommand(CommonPointPage::kTransferCommand));
    EXPECT_EQ("CTrans7Dlg", page.TransferPageClass());
    CTrans7Dlg transferred(fake.Context());
    ASSERT_TRUE(page.TransferTo(transferred));

    ASSERT_TRUE(page.SaveParametersToFile(scratch.Path("p7.txt"), tables::TextEncoding::Gbk));
    EXPECT_EQ(Scratch::Read(scratch.Path("p7.txt")), page.ParameterFileText());
    CTrans7Dlg imported(fake.Context());
    imported.From().Ellipsoid().Select(geodesy::kKrasovsky);
    imported.To().Ellipsoid().Select(geodesy::kCgcs2000);
    imported.EditText("from-meridian", "1110000");
    imported.EditText("from-y-add", "400000");
    imported.Choose("to-coords", kGeodeticCoordinates);
    imported.Choose("to-unit", kUnitPacked);
    ASSERT_TRUE(imported.ImportParameterFile(scratch.Path("p7.txt")));
    EXPECT_EQ(Settings(imported), Settings(transferred));
    EXPECT_NE(initial, Settings(transferred));

    const std::string viaTransfer = ConvertAndExport(transferred, source,
                                                     scratch.Path("transferred.txt"));
    const std::string viaFile = ConvertAndExport(imported, source, scratch.Path("imported.txt"));
    EXPECT_TRUE(fake.prompter.messages.empty()) << fake.prompter.MessageTexts()[0];
    EXPECT_FALSE(viaTransfer.empty());
    EXPECT_EQ(viaFile, viaTransfer);
    const Cells result = ResultCells(transferred);
    ASSERT_EQ(source.size(), result.size());
    for (std::size_t r = 0; r < result.size() / 4; ++r)
        for (std::size_t k = 0; k < 3; ++k)
            EXPECT_NEAR(platform::ParseDouble(known[r * 3 + k]),
                        platform::ParseDouble(result[r * 4 + k + 1]), 2e-4)
                << r << "," << k;
}

// Four parameters: the fields show the file's ten decimals (not the solve's own formats), and
// the conversion and its export are those of an import of the saved file.
TEST(TransferTest, FourParametersFillTheTransformationPageAsTheirSavedFile)
{
    Scratch scratch;
    FakeContext fake;
    CParams4 page(fake.Context());
    Fill(page,
         {"1", "3000000", "500000", "3000120.31", "499951.2", "", "2", "3000500", "500100",
          "3000620.20", "500051.3", "", "3", "3000200", "500700", "3000320.41", "500651.1", ""});
    ASSERT_TRUE(page.SolveCommand());
    CTrans4Dlg transferred(fake.Context());
    ASSERT_TRUE(page.TransferTo(transferred));
    ASSERT_TRUE(page.SaveParametersToFile(scratch.Path("p4.txt"), tables::TextEncoding::Gbk));
    CTrans4Dlg imported(fake.Context());
    ASSERT_TRUE(imported.ImportParameterFile(scratch.Path("p4.txt")));
    EXPECT_EQ(Settings(imported), Settings(transferred));
    EXPECT_NE(page.ParameterTexts()[0], transferred.Field("dx").text);
    EXPECT_EQ(platform::ParseDouble(page.ParameterTexts()[0]),
              platform::ParseDouble(transferred.Field("dx").text));

    const Cells source = {"1", "3000000", "500000", "12.5", "2", "3000250.5", "500350.25", ""};
    const std::string viaTransfer = ConvertAndExport(transferred, source,
                                                     scratch.Path("transferred.txt"));
    const std::string viaFile = ConvertAndExport(imported, source, scratch.Path("imported.txt"));
    EXPECT_TRUE(fake.prompter.messages.empty()) << fake.prompter.MessageTexts()[0];
    EXPECT_EQ(viaFile, viaTransfer);
    EXPECT_NE(std::string::npos, viaTransfer.find(ResultCells(transferred)[1]));
    EXPECT_NE(source[1], ResultCells(transferred)[1]);

    // Parameters of another kind are not taken.
    CTrans7Dlg other(fake.Context());
    const Cells initial = Settings(other);
    EXPECT_FALSE(page.TransferTo(other));
    EXPECT_EQ(initial, Settings(other));
}

// A solve refused for too few points leaves nothing to hand over.
TEST(TransferTest, RefusedSolveHandsNothingOver)
{
    FakeContext fake;
    CParams3 page(fake.Context());
    ASSERT_FALSE(page.SolveCommand());
    fake.prompter.messages.clear();
    CTrans3Dlg target(fake.Context());
    const Cells initial = Settings(target);
    EXPECT_FALSE(page.TransferTo(target));
    EXPECT_EQ(Cells({messages::kNothingToTransfer}), fake.prompter.MessageTexts());
    EXPECT_EQ(initial, Settings(target));
    FillSource(target, {"1", "3000000", "500000", "10"});
    target.Convert();
    EXPECT_EQ(messages::kNoParametersImported, fake.prompter.MessageTexts().back());
}

} // namespace
