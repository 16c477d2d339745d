// 高程拟合 and 正常高计算: planted anomaly surfaces recovered by the matching model, a levelling
// blunder marked beyond 3σ0, too few and collinear points refused, and the model file saved,
// imported and applied (外推 outside the common points' hull, damaged files refused).
#include "PageFixture.hpp"
#include "estimation/HeightFit.hpp"
#include "pages/PageRegistry.hpp"
#include "pages/transform/HeightPages.hpp"
#include "platform/NumberText.hpp"
#include "support/ScratchFolder.hpp"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <filesystem>
#include <functional>

using namespace carvento;
using namespace carvento::pages;
using namespace carvento::testing;
using platform::FormatFixed;
using platform::ParseDouble;

namespace {

// Grid centre (the centroid of every symmetric grid below) at Gauss-Krueger magnitudes.
constexpr double kX0 = 3380000.0;
constexpr double kY0 = 38500000.0;

using Anomaly = std::function<double(double dx, double dy)>;

// Common points on a (2k+1)² grid of `step` metres about kX0, kY0; H = 50 + row-dependent
// terrain, h = H − ζ, printed with four decimals as a user types them.
Cells GridPoints(int k, double step, const Anomaly& zeta)
{
    Cells cells;
    int n = 0;
    for (int i = -k; i <= k; ++i)
        for (int j = -k; j <= k; ++j) {
            const double dx = i * step, dy = j * step;
            const double H = 50.0 + 3.0 * i - 2.0 * j;
            cells.insert(cells.end(), {"P" + std::to_string(++n), FormatFixed(kX0 + dx, 4),
                                       FormatFixed(kY0 + dy, 4), FormatFixed(H, 4),
                                       FormatFixed(H - zeta(dx, dy), 4), ""});
        }
    return cells;
}

void Fill(CHeightFit& page, const Cells& cells)
{
    page.Table().FillRows(cells, static_cast<int>(cells.size()) / 6, 6);
}

std::vector<std::string> Residuals(const CHeightFit& page)
{
    std::vector<std::string> residuals;
    for (int r = 1; r <= page.Table().DataRowCount(); ++r)
        residuals.push_back(page.Table().GetCell(r, CHeightFit::kResidualColumn));
    return residuals;
}

std::string FieldText(const ToolPage& page, const std::string& id)
{
    const PageField* field = page.FindField(id);
    return field ? field->text : "<no field " + id + ">";
}

void ExpectZeroResiduals(const CHeightFit& page)
{
    for (const std::string& residual : Residuals(page))
        EXPECT_EQ("0.0", residual);
}

} // namespace

TEST(HeightFitTest, ConstantModelRecoversTheShift)
{
    FakeContext fake;
    CHeightFit page(fake.Context());
    page.Choose("model", 0);
    Fill(page, GridPoints(1, 500.0, [](double, double) { return -12.3456; }));
    ASSERT_TRUE(page.SolveCommand()) << ::testing::PrintToString(fake.prompter.MessageTexts());
    ASSERT_TRUE(page.Surface());
    EXPECT_EQ(estimation::HeightModel::Constant, page.Surface()->model);
    EXPECT_NEAR(-12.3456, page.Surface()->Unscaled()[0], 1e-9);
    EXPECT_EQ("-12.3456", FieldText(page, "a"));
    EXPECT_EQ("", FieldText(page, "b"));
    ExpectZeroResiduals(page);
    EXPECT_EQ(0, page.Quality().Marked());
}

TEST(HeightFitTest, PlaneAndQuadraticRecoverPlantedCoefficients)
{
    // Per metre about the centroid: ζ = a + b·dx + c·dy (+ d·dx² + e·dx·dy + f·dy²).
    const std::array<double, 6> planted = {-8.25, 2.5e-5, -1.75e-5, 3e-10, -2e-10, 1.5e-10};
    const Anomaly quadratic = [&](double dx, double dy) {
        return planted[0] + planted[1] * dx + planted[2] * dy + planted[3] * dx * dx +
               planted[4] * dx * dy + planted[5] * dy * dy;
    };
    const Anomaly plane = [&](double dx, double dy) {
        return planted[0] + planted[1] * dx + planted[2] * dy;
    };
    struct Case {
        int model;
        Anomaly zeta;
        int terms;
    };
    for (const Case& c : {Case{1, plane, 3}, Case{2, quadratic, 6}}) {
        SCOPED_TRACE(c.model);
        FakeContext fake;
        CHeightFit page(fake.Context());
        page.Choose("model", c.model);
        Fill(page, GridPoints(2, 2000.0, c.zeta));
        ASSERT_TRUE(page.SolveCommand());
        const std::array<double, 6> got = page.Surface()->Unscaled();
        EXPECT_NEAR(kX0, page.Surface()->cx, 1e-6);
        EXPECT_NEAR(kY0, page.Surface()->cy, 1e-6);
        // Heights carry 0.1 mm: the constant within that, the slopes within 0.1 mm over 4 km.
        EXPECT_NEAR(planted[0], got[0], 1e-4);
        for (int i = 1; i < c.terms; ++i)
            EXPECT_NEAR(planted[static_cast<std::size_t>(i)], got[static_cast<std::size_t>(i)],
                        i < 3 ? 1e-8 : 1e-12)
                << i;
        for (int i = c.terms; i < 6; ++i)
            EXPECT_EQ(0.0, got[static_cast<std::size_t>(i)]);
        ExpectZeroResiduals(page);
        EXPECT_LT(ParseDouble(FieldText(page, "sigma0")), 0.1);
        EXPECT_NEAR(planted[1], ParseDouble(FieldText(page, "b")), 1e-8);
    }
}

// A plane fitted to a quadratic surface misses it: the matching model matters.
TEST(HeightFitTest, PlaneOnACurvedSurfaceLeavesResiduals)
{
    FakeContext fake;
    CHeightFit page(fake.Context());
    page.Choose("model", 1);
    Fill(page, GridPoints(2, 2000.0,
                          [](double dx, double dy) { return 1.0 + 2e-9 * (dx * dx + dy * dy); }));
    ASSERT_TRUE(page.SolveCommand());
    double largest = 0.0;
    for (const std::string& residual : Residuals(page))
        largest = std::max(largest, std::fabs(ParseDouble(residual)));
    EXPECT_GT(largest, 10.0); // mm
}

TEST(HeightFitTest, LevellingBlunderIsMarkedBeyondThreeSigma)
{
    FakeContext fake;
    CHeightFit page(fake.Context());
    page.Choose("model", 1);
    // ±1 mm of levelling noise in a fixed pattern, and 5 cm too much on P8's normal height.
    int n = 0;
    Cells cells = GridPoints(2, 1000.0, [&n](double dx, double dy) {
        ++n;
        return 10.0 + 1e-5 * dx - 2e-5 * dy + ((n * 7) % 3 - 1) * 0.001;
    });
    const int blunder = 8;
    cells[static_cast<std::size_t>((blunder - 1) * 6 + 4)] =
        FormatFixed(ParseDouble(cells[static_cast<std::size_t>((blunder - 1) * 6 + 4)]) + 0.05, 4);
    Fill(page, cells);
    ASSERT_TRUE(page.SolveCommand());
    const estimation::QualityReport& report = page.Quality();
    ASSERT_EQ(25u, report.rows.size());
    EXPECT_EQ(1, report.components);
    EXPECT_EQ(22, report.redundancy);
    EXPECT_EQ(1, report.Marked());
    EXPECT_TRUE(report.rows[blunder - 1].beyond3Sigma);
    EXPECT_EQ(CommonPointPage::RowMark::Beyond3Sigma, page.MarkOf(blunder));
    // Observed minus fitted: h too large makes ζ too small, a negative residual of ~ -45 mm.
    const double residual = ParseDouble(page.Table().GetCell(blunder, CHeightFit::kResidualColumn));
    EXPECT_LT(residual, -40.0);
    EXPECT_NEAR(residual / 1000.0, report.rows[blunder - 1].residual[0], 1e-4);
    EXPECT_NEAR(report.sigma0 * 1000.0, ParseDouble(FieldText(page, "sigma0")), 0.05);

    // Set aside, the rest fits within the noise.
    ASSERT_TRUE(page.SetAsideBlunders());
    EXPECT_EQ(CommonPointPage::RowMark::SetAside, page.MarkOf(blunder));
    EXPECT_LT(page.Quality().sigma0, 0.002);
}

TEST(HeightFitTest, TooFewPointsForTheModelAreRefusedWithItsMinimum)
{
    struct Case {
        int model;
        int points;
        const char* message;
    };
    for (const Case& c : {Case{1, 2, "公共点个数不足3个!"}, Case{2, 5, "公共点个数不足6个!"},
                          Case{0, 0, "公共点个数不足1个!"}}) {
        SCOPED_TRACE(c.message);
        FakeContext fake;
        CHeightFit page(fake.Context());
        page.Choose("model", c.model);
        Cells cells;
        for (int i = 0; i < c.points; ++i)
            cells.insert(cells.end(), {"Q" + std::to_string(i), FormatFixed(kX0 + 100 * i, 1),
                                       FormatFixed(kY0 + 37 * i * i, 1), "60", "50", "keep"});
        Fill(page, cells);
        EXPECT_FALSE(page.SolveCommand());
        EXPECT_EQ(Cells{c.message}, fake.prompter.MessageTexts());
        EXPECT_FALSE(page.Surface());
        EXPECT_EQ("", FieldText(page, "a"));
        for (const std::string& residual : Residuals(page))
            EXPECT_EQ("keep", residual);
    }
}

TEST(HeightFitTest, CollinearPointsAreRefusedForPlaneAndQuadraticOnly)
{
    Cells cells;
    for (int i = 0; i < 7; ++i)
        cells.insert(cells.end(), {"L" + std::to_string(i), FormatFixed(kX0 + 300.0 * i, 4),
                                   FormatFixed(kY0 + 400.0 * i, 4), "60",
                                   FormatFixed(50 + 0.01 * i, 4), "keep"});
    for (int model : {1, 2}) {
        FakeContext fake;
        CHeightFit page(fake.Context());
        page.Choose("model", model);
        Fill(page, cells);
        EXPECT_FALSE(page.SolveCommand());
        EXPECT_EQ(Cells{messages::kHeightPointsCollinear}, fake.prompter.MessageTexts());
        EXPECT_FALSE(page.Surface());
        EXPECT_EQ("keep", page.Table().GetCell(1, CHeightFit::kResidualColumn));
    }
    FakeContext fake;
    CHeightFit page(fake.Context());
    page.Choose("model", 0);
    Fill(page, cells);
    EXPECT_TRUE(page.SolveCommand());
    EXPECT_NEAR(9.97, page.Surface()->c[0], 1e-9);

    // Six points on one circle determine no quadratic surface.
    Cells circle;
    for (int i = 0; i < 6; ++i) {
        const double angle = i * 3.14159265358979 / 3.0;
        circle.insert(circle.end(),
                      {"C" + std::to_string(i), FormatFixed(kX0 + 1000.0 * std::cos(angle), 4),
                       FormatFixed(kY0 + 1000.0 * std::sin(angle), 4), "60", "50", ""});
    }
    FakeContext fakeCircle;
    CHeightFit quadratic(fakeCircle.Context());
    quadratic.Choose("model", 2);
    Fill(quadratic, circle);
    EXPECT_FALSE(quadratic.SolveCommand());
    EXPECT_EQ(Cells{messages::kHeightSurfaceUndetermined}, fakeCircle.prompter.MessageTexts());
}

TEST(HeightApplyTest, SavedModelAppliesAndMarksPointsOutsideTheHull)
{
    const ScratchFolder scratch;
    const Anomaly zeta = [](double dx, double dy) {
        return -5.5 + 3e-5 * dx + 1e-5 * dy + 4e-10 * dx * dy;
    };
    FakeContext fitFake;
    CHeightFit fit(fitFake.Context());
    fit.Choose("model", 2);
    Fill(fit, GridPoints(1, 3000.0, zeta));
    ASSERT_TRUE(fit.SolveCommand());

    // Before a solve there is no model to save; after one the line holds every digit.
    FakeContext emptyFake;
    CHeightFit empty(emptyFake.Context());
    EXPECT_FALSE(empty.SaveModelToFile(scratch / "none.txt", tables::TextEncoding::Gbk));
    EXPECT_EQ(Cells{messages::kNoHeightModel}, emptyFake.prompter.MessageTexts());
    EXPECT_FALSE(std::filesystem::exists(scratch / "none.txt"));

    fitFake.prompter.saveAnswers.push_back(scratch / "model.txt");
    ASSERT_TRUE(fit.RunCommand(CHeightFit::kSaveModelCommand));
    const std::string text = ScratchFolder::Read(scratch / "model.txt");
    EXPECT_EQ(HeightModelFileText(*fit.Surface()), text);
    EXPECT_EQ(0u, text.rfind("quadratic,", 0)) << text;

    FakeContext fake;
    CHeightApply apply(fake.Context());
    // 转换 before an import is refused and leaves the result table empty.
    FillSource(apply, {"A", "3380000", "38500000", "100", ""});
    apply.Convert();
    EXPECT_EQ(Cells{messages::kNoHeightModelImported}, fake.prompter.MessageTexts());
    EXPECT_EQ(0, apply.Result().DataRowCount());

    fake.prompter.openAnswers.push_back({scratch / "model.txt"});
    ASSERT_TRUE(apply.RunCommand(CHeightApply::kImportModelCommand));
    EXPECT_EQ("二次曲面,4个范围点", FieldText(apply, "model"));
    struct Point {
        double dx, dy;
        bool outside;
    };
    const std::vector<Point> points = {{0, 0, false},       {1234.5, -2500, false},
                                       {3000, 3000, false}, // a hull corner
                                       {3000, 0, false},    {3000.5, 0, true},
                                       {-5000, 100, true},  {0, 3100, true}};
    Cells source;
    for (std::size_t i = 0; i < points.size(); ++i)
        source.insert(source.end(), {"T" + std::to_string(i), FormatFixed(kX0 + points[i].dx, 4),
                                     FormatFixed(kY0 + points[i].dy, 4), "123.4567", ""});
    FillSource(apply, source);
    apply.Convert();
    const Cells result = ResultCells(apply);
    ASSERT_EQ(points.size() * 5, result.size());
    for (std::size_t i = 0; i < points.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(source[i * 5 + 1], result[i * 5 + 1]);
        const double x = kX0 + points[i].dx, y = kY0 + points[i].dy;
        // Exactly what the fitted surface gives (the file carries every digit), and the planted
        // anomaly within the 0.1 mm the common points were written with.
        EXPECT_EQ(FormatFixed(123.4567 - fit.Surface()->Anomaly(x, y), 4), result[i * 5 + 3]);
        EXPECT_NEAR(123.4567 - zeta(points[i].dx, points[i].dy), ParseDouble(result[i * 5 + 3]),
                    1e-3);
        EXPECT_EQ(points[i].outside ? "外推" : "", result[i * 5 + 4]);
    }
}

TEST(HeightApplyTest, DamagedModelFilesAreRefusedAndTheModelStays)
{
    const ScratchFolder scratch;
    estimation::HeightSurface surface;
    surface.model = estimation::HeightModel::Plane;
    surface.cx = kX0;
    surface.cy = kY0;
    surface.scale = 1000.0;
    surface.c = {2.0, 0.5, -0.25, 0, 0, 0};
    surface.hull = {{kX0 - 1000, kY0 - 1000}, {kX0 + 1000, kY0 - 1000}, {kX0, kY0 + 1000}};
    const std::string good = HeightModelFileText(surface);

    FakeContext fake;
    CHeightApply apply(fake.Context());
    ASSERT_TRUE(apply.ImportParameterFile(scratch.Write("good.txt", good)));
    const std::string shown = FieldText(apply, "model");
    EXPECT_EQ("平面,3个范围点", shown);

    std::string twoLines = good + good;
    const std::vector<std::string> damaged = {
        "",
        good.substr(0, good.size() / 2),                         // cut short
        "sphere" + good.substr(good.find(',')),                  // unknown kind
        good.substr(0, good.size() - 2) + ",7\r\n",              // an extra field
        "plane,3380000,38500000,1000,2,x,0,0,0,0,3,1,2,3,4,5,6", // no number
        "plane,3380000,38500000,0,2,0,0,0,0,0,1,1,2",            // no scale
        "plane,3380000,38500000,1,2,0,0,0,0,0,9,1,2",            // hull shorter than said
        "plane,3380000,38500000,1,2,nan,0,0,0,0,1,1,2",          // not finite
        twoLines,
    };
    for (std::size_t i = 0; i < damaged.size(); ++i) {
        SCOPED_TRACE(damaged[i]);
        fake.prompter.messages.clear();
        const std::string path = scratch.Write("bad" + std::to_string(i) + ".txt", damaged[i]);
        EXPECT_FALSE(apply.ImportParameterFile(path));
        EXPECT_EQ(Cells{FormatMessage(messages::kDamagedHeightModel, path)},
                  fake.prompter.MessageTexts());
        EXPECT_EQ(shown, FieldText(apply, "model"));
        ASSERT_TRUE(apply.Surface());
        EXPECT_EQ(surface.c, apply.Surface()->c);
        EXPECT_EQ(surface.hull, apply.Surface()->hull);
    }
    fake.prompter.messages.clear();
    EXPECT_FALSE(apply.ImportParameterFile(scratch / "missing.txt"));
    EXPECT_EQ(1u, fake.prompter.messages.size());

    // The kept model still converts: ζ at the centroid is a = 2 m.
    FillSource(apply, {"A", "3380000", "38500000", "100", ""});
    apply.Convert();
    EXPECT_EQ(Cells({"A", "3380000", "38500000", "98.0000", ""}), ResultCells(apply));
}

TEST(HeightApplyTest, ModelLineRoundTripsEveryDigit)
{
    estimation::HeightSurface surface;
    surface.model = estimation::HeightModel::Quadratic;
    surface.cx = 3380000.123456789;
    surface.cy = 38500000.987654321;
    surface.scale = 4242.640687119285;
    surface.c = {-5.5 / 3, 1.0 / 7, -2.0 / 9, 1e-17, 3.0 / 11, -1.0 / 13};
    surface.hull = {{1.0 / 3, 2.0 / 3}};
    std::vector<std::string> fields = estimation::HeightSurfaceFields(surface);
    estimation::HeightSurface read;
    ASSERT_TRUE(estimation::ParseHeightSurface(fields, read));
    EXPECT_EQ(surface.model, read.model);
    EXPECT_EQ(surface.cx, read.cx);
    EXPECT_EQ(surface.cy, read.cy);
    EXPECT_EQ(surface.scale, read.scale);
    EXPECT_EQ(surface.c, read.c);
    EXPECT_EQ(surface.hull, read.hull);
}

TEST(HeightPagesTest, RegisteredWithTheirVerbsAndFrames)
{
    const PageRegistration* fit = FindPageByClass("CHeightFit");
    ASSERT_NE(nullptr, fit);
    EXPECT_EQ(PageFrame::CommonPoint, fit->frame);
    EXPECT_EQ(146, fit->catalogueId);
    const PageRegistration* apply = FindPageByVerb("height-apply");
    ASSERT_NE(nullptr, apply);
    EXPECT_EQ(PageFrame::Conversion, apply->frame);
    FakeContext fake;
    std::unique_ptr<ToolPage> page = apply->factory(fake.Context());
    auto* conversion = dynamic_cast<ConversionPage*>(page.get());
    ASSERT_NE(nullptr, conversion);
    EXPECT_TRUE(conversion->TakesParameterFile());
}
