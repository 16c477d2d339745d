// The fit picture's geometry for known residuals: positions on one scale with north up, the
// largest arrow a tenth of the box, marks carried over, a round scale bar, and the SVG text.
#include "estimation/QualityPlot.hpp"

#include <gtest/gtest.h>

using namespace carvento::estimation;

namespace {

QualityReport Report(const std::vector<std::array<double, 2>>& residuals, int marked = -1)
{
    QualityReport report;
    report.points = static_cast<int>(residuals.size());
    report.components = 2;
    for (std::size_t i = 0; i < residuals.size(); ++i) {
        PointQuality row;
        row.residual = {residuals[i][0], residuals[i][1], 0.0};
        row.beyond3Sigma = static_cast<int>(i) == marked;
        report.rows.push_back(row);
    }
    return report;
}

} // namespace

TEST(QualityPlot, KnownResidualsGiveKnownGeometry)
{
    // North, east (m): the points span 100 m north and 200 m east in a 400 × 200 inner box.
    const std::vector<std::array<double, 2>> positions = {{3000000.0, 500000.0},
                                                          {3000100.0, 500000.0},
                                                          {3000000.0, 500200.0}};
    const QualityReport report = Report({{0.003, 0.004}, {-0.0138, 0.0184}, {0.0, 0.0}}, 1);
    const ResidualPlot plot = LayoutResidualPlot(report, positions, {"A", "B", "C"}, 500, 300, 50);
    ASSERT_EQ(3u, plot.points.size());
    EXPECT_DOUBLE_EQ(2.0, plot.unitsPerMetre);
    const double expected[3][2] = {{50, 250}, {50, 50}, {450, 250}};
    for (int i = 0; i < 3; ++i) {
        EXPECT_NEAR(expected[i][0], plot.points[i].x, 1e-6) << i;
        EXPECT_NEAR(expected[i][1], plot.points[i].y, 1e-6) << i;
    }
    // The largest residual (23 mm) is 30 units, a tenth of the smaller side; east right,
    // north up.
    EXPECT_NEAR(1500.0 / 1.15, plot.unitsPerResidualMetre, 1e-6);
    EXPECT_NEAR(24.0, plot.points[1].dx, 1e-6);
    EXPECT_NEAR(18.0, plot.points[1].dy, 1e-6);
    EXPECT_NEAR(-0.003 * plot.unitsPerResidualMetre, plot.points[0].dy, 1e-9);
    EXPECT_EQ(0.0, plot.points[2].dx);
    EXPECT_EQ(std::vector<bool>({false, true, false}),
              std::vector<bool>({plot.points[0].marked, plot.points[1].marked,
                                 plot.points[2].marked}));
    EXPECT_EQ("B", plot.points[1].name);
    EXPECT_DOUBLE_EQ(20.0, plot.bar.millimetres);
    EXPECT_NEAR(30.0 * 20.0 / 23.0, plot.bar.length, 1e-9);
    EXPECT_EQ("20 mm", plot.bar.label);

    const std::string svg = ResidualPlotSvg(plot);
    EXPECT_EQ(0u, svg.find("<?xml"));
    EXPECT_NE(std::string::npos,
              svg.find("<line x1=\"50.00\" y1=\"50.00\" x2=\"74.00\" y2=\"68.00\""))
        << svg;
    // One ring around the marked point only.
    EXPECT_NE(std::string::npos, svg.find("<circle cx=\"50.00\" cy=\"50.00\" r=\"8\""));
    EXPECT_EQ(std::string::npos, svg.find("<circle cx=\"450.00\" cy=\"250.00\" r=\"8\""));
    EXPECT_NE(std::string::npos, svg.find(">20 mm</text>"));
}

TEST(QualityPlot, DegenerateInputsStayInsideTheBox)
{
    // One point with no residual: centred, no bar length.
    const ResidualPlot single = LayoutResidualPlot(Report({{0.0, 0.0}}), {{10.0, 20.0}}, {"P"}, 200,
                                                   100, 20);
    ASSERT_EQ(1u, single.points.size());
    EXPECT_DOUBLE_EQ(100.0, single.points[0].x);
    EXPECT_DOUBLE_EQ(50.0, single.points[0].y);
    EXPECT_EQ(0.0, single.bar.length);
    EXPECT_EQ(0.0, single.unitsPerResidualMetre);
    // Points on one north-south line use the height alone; a box too small gives nothing.
    const ResidualPlot line = LayoutResidualPlot(Report({{0.001, 0}, {0, 0.001}}),
                                                 {{0.0, 5.0}, {50.0, 5.0}}, {}, 200, 100, 20);
    EXPECT_DOUBLE_EQ(20.0, line.points[1].y);
    EXPECT_DOUBLE_EQ(80.0, line.points[0].y);
    EXPECT_DOUBLE_EQ(100.0, line.points[0].x);
    EXPECT_EQ("1", line.points[0].name);
    EXPECT_TRUE(LayoutResidualPlot(Report({{0, 0}}), {{0, 0}}, {}, 30, 30, 20).points.empty());
}

TEST(QualityPlot, RoundLengths)
{
    EXPECT_DOUBLE_EQ(5.0, RoundLengthBelow(7.3));
    EXPECT_DOUBLE_EQ(1.0, RoundLengthBelow(1.0));
    EXPECT_DOUBLE_EQ(0.02, RoundLengthBelow(0.034));
    EXPECT_DOUBLE_EQ(100.0, RoundLengthBelow(199.9));
    EXPECT_DOUBLE_EQ(200.0, RoundLengthBelow(200.0));
    EXPECT_DOUBLE_EQ(500.0, RoundLengthBelow(999.0));
}
