// The quality report of the parameter pages: computed by a solve over every row, its lengths
// the residual column's values, its components in the target's plane and height, and nothing
// of it in the table or the saved common points.
#include "PageFixture.hpp"
#include "pages/frames/Messages.hpp"
#include "pages/transform/ParameterPages.hpp"
#include "platform/NumberText.hpp"
#include "support/ScratchFolder.hpp"
#include "support/SevenParameterPoints.hpp"

#include <gtest/gtest.h>

#include <cmath>

using namespace carvento;
using namespace carvento::pages;
using namespace carvento::testing;

namespace {

} // namespace

TEST(FitQualityPages, SevenParameterReportMatchesTheResidualColumn)
{
    FakeContext fake;
    CParams7 page(fake.Context());
    EXPECT_TRUE(page.Quality().rows.empty());
    EXPECT_EQ("", page.QualityText());
    const Cells cells = SevenParameterRows(page);
    page.Table().FillRows(cells, 12, 8);
    ASSERT_TRUE(page.SolveCommand());
    const estimation::QualityReport& report = page.Quality();
    ASSERT_EQ(12u, report.rows.size());
    EXPECT_EQ(12 * 3 - 7, report.redundancy);
    for (int r = 0; r < 12; ++r) {
        const estimation::PointQuality& row = report.rows[static_cast<std::size_t>(r)];
        EXPECT_EQ(page.Table().GetCell(r + 1, CParams7::kResidualColumn),
                  platform::FormatFixed(row.length, 4))
            << r;
        EXPECT_EQ(r == 5, row.beyond3Sigma) << r;
    }
    // The moved point's error is in the northing (dx) and its leave-one-out shows it whole.
    EXPECT_GT(report.rows[5].residual[0], 0.25);
    EXPECT_NEAR(0.4, report.rows[5].leaveOneOut, 0.01);
    EXPECT_NE(std::string::npos, page.QualityText().find("\nP6\t")) << page.QualityText();
    // The table holds what it held, residuals aside.
    Cells after;
    page.Table().CollectCells(after);
    for (std::size_t i = 0; i < cells.size(); ++i) {
        if (i % 8 != CParams7::kResidualColumn) {
            EXPECT_EQ(cells[i], after[i]) << i;
        }
    }
}

// The three-parameter shift reads the first point only: no redundancy and no σ0, the other
// points' residuals and leave-one-out distances the same (they are checks), and the first
// point's leave-one-out from the second point's shift.
TEST(FitQualityPages, ThreeParameterReportHasNoRedundancy)
{
    FakeContext fake;
    CParams3 page(fake.Context());
    page.To().Ellipsoid().Select(0);
    page.Choose("from-coords", kGeodeticCoordinates);
    page.Choose("to-coords", kGeodeticCoordinates);
    page.Table().FillRows({"1", "34.2", "108.9", "400", "34.2", "108.9", "410", "", "2", "34.3",
                           "108.9", "500", "34.3", "108.9", "511", ""},
                          2, 8);
    ASSERT_TRUE(page.SolveCommand());
    const estimation::QualityReport& report = page.Quality();
    ASSERT_EQ(2u, report.rows.size());
    EXPECT_EQ(0, report.redundancy);
    EXPECT_TRUE(std::isnan(report.sigma0));
    EXPECT_NEAR(0.0, report.rows[0].length, 1e-6);
    EXPECT_NEAR(1.0, report.rows[1].length, 1e-3);
    EXPECT_NEAR(1.0, report.rows[1].residual[2], 1e-3);
    EXPECT_NEAR(report.rows[1].length, report.rows[1].leaveOneOut, 1e-9);
    EXPECT_NEAR(1.0, report.rows[0].leaveOneOut, 1e-3);
    EXPECT_EQ(0, report.Marked());
}

// Common points whose new coordinates belong to other points (a list sorted differently) fit
// with a σ0 of kilometres: refused, and the parameters, quality and export stay as they were.
TEST(FitQualityPages, AFitOfKilometresIsNoResult)
{
    FakeContext fake;
    CParams7 page(fake.Context());
    const Cells cells = SevenParameterRows(page);
    Cells shuffled = cells;
    for (std::size_t r = 0; r < 12; ++r)
        for (std::size_t c = 4; c < 7; ++c)
            shuffled[r * 8 + c] = cells[((r + 5) % 12) * 8 + c];
    page.Table().FillRows(shuffled, 12, 8);
    std::vector<std::string> before;
    for (const PageField& field : page.Fields())
        before.push_back(field.text);
    ASSERT_FALSE(page.SolveCommand());
    ASSERT_FALSE(fake.prompter.messages.empty());
    EXPECT_NE(std::string::npos, fake.prompter.messages.back().text.find("超过10 m"))
        << fake.prompter.messages.back().text;
    for (std::size_t i = 0; i < page.Fields().size(); ++i)
        EXPECT_EQ(before[i], page.Fields()[i].text) << page.Fields()[i].id;
    EXPECT_TRUE(page.Quality().rows.empty());
    EXPECT_EQ("", page.Table().GetCell(1, CParams7::kResidualColumn));
    EXPECT_FALSE(page.ProjExportText());
    // Put right, the same points solve.
    page.Table().FillRows(cells, 12, 8);
    EXPECT_TRUE(page.SolveCommand());
    EXPECT_LT(page.Quality().sigma0, 1.0);
}

TEST(FitQualityPages, BlunderSetAsideIsSolvedWithoutItAndTakenBack)
{
    FakeContext fake;
    CParams7 page(fake.Context());
    const Cells cells = SevenParameterRows(page);
    page.Table().FillRows(cells, 12, 8);
    // Nothing marked before a solve: nothing to set aside, nothing changes.
    EXPECT_FALSE(page.RunCommand(CommonPointPage::kSetAsideCommand));
    ASSERT_FALSE(fake.prompter.messages.empty());
    EXPECT_EQ(messages::kNothingToSetAside, fake.prompter.messages.back().text);
    ASSERT_TRUE(page.SolveCommand());
    const double sigmaWithBlunder = page.Quality().sigma0;
    EXPECT_EQ(CommonPointPage::RowMark::Beyond3Sigma, page.MarkOf(6));
    EXPECT_EQ(CommonPointPage::RowMark::None, page.MarkOf(5));

    ASSERT_TRUE(page.RunCommand(CommonPointPage::kSetAsideCommand));
    EXPECT_EQ(CommonPointPage::RowMark::SetAside, page.MarkOf(6));
    EXPECT_EQ(1, page.SetAsideCount());
    // Eleven points solved: the fit closes to the millimetre and the blunder is a check point
    // whose residual shows its whole 0.4 m.
    ASSERT_EQ(11u, page.Quality().rows.size());
    EXPECT_LT(page.Quality().sigma0, 0.01);
    EXPECT_LT(page.Quality().sigma0, sigmaWithBlunder);
    EXPECT_NEAR(0.4, platform::ParseDouble(page.Table().GetCell(6, CParams7::kResidualColumn)),
                0.01);
    EXPECT_NE(std::string::npos, page.QualityText().find("检查点")) << page.QualityText();
    EXPECT_NE(std::string::npos, page.QualityText().find("\nP6\t")) << page.QualityText();
    // Every row stays in the table and in the saved points.
    EXPECT_EQ(12, page.Table().DataRowCount());
    const ScratchFolder scratch;
    const std::string saved = scratch / "points.txt";
    ASSERT_TRUE(page.SavePointsToFile(saved, tables::TextEncoding::Utf8));
    EXPECT_NE(std::string::npos, ScratchFolder::Read(saved).find("\nP6,"));

    // A row inserted above keeps the mark on its point.
    page.Editor().InsertRow({1, 1});
    EXPECT_EQ(CommonPointPage::RowMark::SetAside, page.MarkOf(7));
    page.Editor().DeleteRow({1, 1});
    EXPECT_EQ(CommonPointPage::RowMark::SetAside, page.MarkOf(6));

    // Taken back: twelve points again and the blunder marked again.
    EXPECT_FALSE(page.TakeBack({1, 5}));
    ASSERT_TRUE(page.TakeBack({6, 6}));
    EXPECT_EQ(0, page.SetAsideCount());
    EXPECT_EQ(12u, page.Quality().rows.size());
    EXPECT_EQ(CommonPointPage::RowMark::Beyond3Sigma, page.MarkOf(6));
}
