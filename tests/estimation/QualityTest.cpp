// The fit quality report: σ0, residual components and leave-one-out distances against a
// case worked by hand, the redundancy rules, and a planted blunder among noisy points marked
// alone (four and seven parameters).
#include "estimation/Quality.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

using namespace carvento;
using namespace carvento::estimation;

namespace {

// A 200 m square; the new points equal the old ones except the first, moved 8 cm in x.
// Centred on the centroids the fit is K + iT = 1 + (1 − i)·d/800, which leaves the residuals
// (4, 0), (−2, −2), (0, 0), (−2, 2) times d/8 (first the point, then the others around the
// square): Σv² = 32·(d/8)², redundancy 8 − 4, σ0 = √8·d/8. Without the first point the
// others fit exactly and miss it by d; without the third, the remaining three give the same
// K and T, and the third point comes out where it is.
TEST(FitQuality, SquareWithOneMovedPointMatchesTheHandComputation)
{
    const double d = 0.08;
    PointList olds(4, 2), news(4, 2);
    const double corners[4][2] = {{100, 100}, {-100, 100}, {-100, -100}, {100, -100}};
    for (int i = 0; i < 4; ++i)
        for (int k = 0; k < 2; ++k) {
            olds(i, k) = 3000000.0 * (k == 0) + 500000.0 * (k == 1) + corners[i][k];
            news(i, k) = olds(i, k) + (i == 0 && k == 0 ? d : 0.0);
        }
    const QualityReport report = AssessFourParams(olds, news, 4);
    ASSERT_EQ(4u, report.rows.size());
    EXPECT_EQ(4, report.points);
    EXPECT_EQ(4, report.redundancy);
    EXPECT_NEAR(std::sqrt(8.0) * d / 8, report.sigma0, 1e-9);
    const double expected[4][2] = {{4, 0}, {-2, -2}, {0, 0}, {-2, 2}};
    for (int i = 0; i < 4; ++i) {
        EXPECT_NEAR(expected[i][0] * d / 8, report.rows[i].residual[0], 1e-9) << i;
        EXPECT_NEAR(expected[i][1] * d / 8, report.rows[i].residual[1], 1e-9) << i;
        EXPECT_EQ(0.0, report.rows[i].residual[2]);
        EXPECT_NEAR(std::hypot(expected[i][0], expected[i][1]) * d / 8, report.rows[i].length,
                    1e-9);
        // 3σ0 = 3√8 · d/8 ≈ 8.5 · d/8: no component reaches it.
        EXPECT_FALSE(report.rows[i].beyond3Sigma) << i;
    }
    EXPECT_NEAR(d, report.rows[0].leaveOneOut, 1e-9);
    EXPECT_NEAR(0.0, report.rows[2].leaveOneOut, 1e-9);

    const std::string text = QualityReportText(report, {"A", "B", "C", "D"}, {"dx", "dy"});
    EXPECT_NE(std::string::npos, text.find("公共点数: 4  多余观测数: 4  单位权中误差σ0: 28.3 mm"))
        << text;
    EXPECT_NE(std::string::npos, text.find("\nA\t40.0\t0.0\t40.0\t80.0\t\n")) << text;
}

// Two points determine the four parameters exactly: no redundancy, no σ0, no marks, and
// without either point the other cannot determine them.
TEST(FitQuality, NoRedundancyGivesNoSigmaAndNoLeaveOneOut)
{
    PointList olds(2, 2), news(2, 2);
    olds(0, 0) = 0, olds(0, 1) = 0, olds(1, 0) = 100, olds(1, 1) = 0;
    news(0, 0) = 1, news(0, 1) = 2, news(1, 0) = 101, news(1, 1) = 3;
    const QualityReport report = AssessFourParams(olds, news, 2);
    ASSERT_EQ(2u, report.rows.size());
    EXPECT_EQ(0, report.redundancy);
    EXPECT_TRUE(std::isnan(report.sigma0));
    for (const PointQuality& row : report.rows) {
        EXPECT_FALSE(row.beyond3Sigma);
        EXPECT_TRUE(std::isnan(row.leaveOneOut));
    }
    EXPECT_NE(std::string::npos, QualityReportText(report, {}, {"dx", "dy"}).find("无多余观测"));

    // Coincident points determine nothing: an empty report.
    PointList same(3, 2);
    EXPECT_TRUE(AssessFourParams(same, same, 3).rows.empty());
}

// Twelve points with 5 mm of noise (a fixed seed) and one 0.5 m blunder: that point alone
// is marked, and its leave-one-out distance shows the blunder in full.
TEST(FitQuality, PlantedBlunderIsMarkedAndNoOtherPoint)
{
    std::mt19937_64 random(20240611);
    std::uniform_real_distribution<double> spread(-5000.0, 5000.0);
    // Box-Muller from the uniform engine, so the noise is the same with every library.
    std::uniform_real_distribution<double> unit(1e-12, 1.0);
    auto noise = [&] {
        return 0.005 * std::sqrt(-2.0 * std::log(unit(random))) *
               std::cos(2.0 * M_PI * unit(random));
    };
    const int n = 12;
    const int blunder = 7;
    for (int dimensions : {2, 3}) {
        PointList olds(n, dimensions), news(n, dimensions);
        const double centre[3] = {-2148000.0, 4426000.0, 4044000.0};
        for (int i = 0; i < n; ++i) {
            for (int k = 0; k < dimensions; ++k)
                olds(i, k) = (dimensions == 3 ? centre[k] : 3.0e6 * (k == 0) + 5.0e5 * (k == 1)) +
                             spread(random);
            if (dimensions == 2) {
                news(i, 0) = 120.0 + 1.00002 * olds(i, 0) - 0.00003 * olds(i, 1);
                news(i, 1) = -80.0 + 0.00003 * olds(i, 0) + 1.00002 * olds(i, 1);
            } else {
                news(i, 0) = olds(i, 0) * (1 + 3e-6) + 15.0 + 1e-5 * olds(i, 1);
                news(i, 1) = olds(i, 1) * (1 + 3e-6) - 140.0 - 1e-5 * olds(i, 0);
                news(i, 2) = olds(i, 2) * (1 + 3e-6) + 90.0;
            }
            for (int k = 0; k < dimensions; ++k)
                news(i, k) += noise();
        }
        news(blunder, 0) += 0.5;
        const QualityReport report = dimensions == 2 ? AssessFourParams(olds, news, n)
                                                     : AssessSevenParams(olds, news, n);
        ASSERT_EQ(static_cast<std::size_t>(n), report.rows.size());
        EXPECT_EQ(dimensions == 2 ? 20 : 29, report.redundancy);
        for (int i = 0; i < n; ++i)
            EXPECT_EQ(i == blunder, report.rows[i].beyond3Sigma) << dimensions << " " << i;
        EXPECT_NEAR(0.5, report.rows[blunder].leaveOneOut, 0.03);
        EXPECT_LT(report.rows[blunder].length, report.rows[blunder].leaveOneOut);
        EXPECT_EQ(1, report.Marked());
    }
}

} // namespace

// Beyond the limit the leave-one-out fits are not run (σ0 and the residuals still are).
TEST(FitQuality, ManyPointsSkipTheLeaveOneOutFits)
{
    const int n = kLeaveOneOutLimit + 1;
    int solves = 0;
    FitModel model;
    model.points = n;
    model.unknowns = 1;
    model.components = 2;
    model.solve = [&](const std::vector<int>&) {
        ++solves;
        return true;
    };
    model.misclosure = [](int i) { return std::array<double, 3>{i % 2 ? 0.001 : -0.001, 0, 0}; };
    const QualityReport report = AssessFit(model);
    EXPECT_EQ(1, solves);
    ASSERT_EQ(static_cast<std::size_t>(n), report.rows.size());
    EXPECT_TRUE(std::isnan(report.rows[0].leaveOneOut));
    EXPECT_NEAR(0.001 * std::sqrt(n / (2.0 * n - 1)), report.sigma0, 1e-12);
}
