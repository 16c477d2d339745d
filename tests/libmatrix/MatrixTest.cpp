// Tests of the dense matrix: shape and value semantics, the summation order of Multiply, the
// pivoting rules and singular cases of Solve, least squares, and death on a broken precondition.
#include <libmatrix>

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <string>
#include <vector>

namespace {

using Mat = carvento::libcoder::Matrix<double>;

// Least squares of small exact systems loses at most a few units in the last place.
constexpr double kSolveTolerance = 1e-12;

std::vector<double> Elements(const Mat& m)
{
    return std::vector<double>(m.m_pMatrix, m.m_pMatrix + m.m_nRow * m.m_nCol);
}

TEST(MatrixTest, ConstructsZerosAndTransposesShape)
{
    const Mat m(2, 3);
    EXPECT_EQ(m.m_nRow, 2);
    EXPECT_EQ(m.m_nCol, 3);
    EXPECT_EQ(Elements(m), std::vector<double>(6, 0.0));

    const Mat t = Mat::FromRows({{1, 2, 3}, {4, 5, 6}}).Transpose();
    EXPECT_EQ(t.m_nRow, 3);
    EXPECT_EQ(t.m_nCol, 2);
    EXPECT_EQ(Elements(t), (std::vector<double>{1, 4, 2, 5, 3, 6}));
}

TEST(MatrixTest, CopiesOwnTheirElements)
{
    Mat original = Mat::FromRows({{1, 2}, {3, 4}});
    Mat copy(original);
    Mat assigned(1, 1);
    assigned = original;
    copy(0, 0) = 10;
    assigned(1, 1) = 40;
    EXPECT_EQ(Elements(original), (std::vector<double>{1, 2, 3, 4}));
    EXPECT_EQ(Elements(copy), (std::vector<double>{10, 2, 3, 4}));
    EXPECT_EQ(Elements(assigned), (std::vector<double>{1, 2, 3, 40}));
}

// Summed first to last, 1 + 1e16 would lose the 1 and the last product would be 0.
TEST(MatrixTest, MultiplyGivesTheProductSummedFromTheLastTerm)
{
    const Mat p =
        Mat::FromRows({{1, 2, 3}, {4, 5, 6}}).Multiply(Mat::FromRows({{7, 8}, {9, 10}, {11, 12}}));
    EXPECT_EQ(p.m_nRow, 2);
    EXPECT_EQ(p.m_nCol, 2);
    EXPECT_EQ(Elements(p), (std::vector<double>{58, 64, 139, 154}));
    EXPECT_EQ(Mat::FromRows({{1, 1e16, -1e16}}).Multiply(Mat::FromRows({{1}, {1}, {1}}))(0, 0),
              1.0);
}

struct SolveCase {
    const char* name;
    Mat a;
    Mat b;
    std::vector<double> expected;
};

class SolveTest : public testing::TestWithParam<SolveCase> {};

TEST_P(SolveTest, SolvesExactly)
{
    const SolveCase& c = GetParam();
    const std::vector<double> aBefore = Elements(c.a);
    const std::vector<double> bBefore = Elements(c.b);
    const Mat x = c.a.Solve(c.b);
    ASSERT_FALSE(x.IsEmpty());
    EXPECT_EQ(x.m_nRow, c.a.m_nRow);
    EXPECT_EQ(x.m_nCol, c.b.m_nCol);
    EXPECT_EQ(Elements(x), c.expected);
    EXPECT_EQ(Elements(c.a), aBefore);
    EXPECT_EQ(Elements(c.b), bBefore);
}

INSTANTIATE_TEST_SUITE_P(
    Systems, SolveTest,
    testing::Values(SolveCase{"RowSwapAtFirstColumn",
                              Mat::FromRows({{0, 1}, {1, 0}}),
                              Mat::FromRows({{2}, {3}}),
                              {3, 2}},
                    SolveCase{"OneByOne", Mat::FromRows({{4}}), Mat::FromRows({{2}}), {0.5}},
                    SolveCase{"SeveralRightHandSides",
                              Mat::FromRows({{2, 0}, {0, 4}}),
                              Mat::FromRows({{2, 4}, {4, 8}}),
                              {1, 2, 1, 2}},
                    SolveCase{"ThreeByThreeNeedingPivots",
                              Mat::FromRows({{1, 2, 0}, {4, 0, 1}, {0, 8, 2}}),
                              Mat::FromRows({{5}, {7}, {22}}),
                              {1, 2, 3}}),
    [](const testing::TestParamInfo<SolveCase>& info) { return std::string(info.param.name); });

struct SingularCase {
    const char* name;
    Mat a;
};

class SingularSolveTest : public testing::TestWithParam<SingularCase> {};

TEST_P(SingularSolveTest, ReturnsTheEmptyMatrix)
{
    const SingularCase& c = GetParam();
    const Mat b(c.a.m_nRow, 1);
    const Mat x = c.a.Solve(b);
    EXPECT_TRUE(x.IsEmpty());
    EXPECT_EQ(x.m_pMatrix, nullptr);
    EXPECT_EQ(x.m_nRow, 0);
    EXPECT_EQ(x.m_nCol, 0);
}

INSTANTIATE_TEST_SUITE_P(
    Systems, SingularSolveTest,
    testing::Values(SingularCase{"FirstColumnOfZeros", Mat::FromRows({{0, 1}, {0, 2}})},
                    SingularCase{"ZeroLastPivot", Mat::FromRows({{1, 2}, {2, 4}})},
                    SingularCase{"ZeroOneByOne", Mat::FromRows({{0}})},
                    SingularCase{"ZeroMiddleColumn",
                                 Mat::FromRows({{1, 2, 3}, {2, 4, 5}, {4, 8, 1}})}),
    [](const testing::TestParamInfo<SingularCase>& info) { return std::string(info.param.name); });

// Rows [1, x] and [1, y] tie for the first pivot. Eliminating with the upper row and with the
// lower row round differently for these numbers, so the result shows which row was taken.
TEST(MatrixTest, UpperRowWinsAPivotTie)
{
    const double x = 0.1, y = 0.7, p = 0.3, q = 0.9;
    const double viaUpper = p - (x / (y - x)) * (q - p);
    const double viaLower = q - (y / (x - y)) * (p - q);
    ASSERT_NE(viaUpper, viaLower) << "the numbers no longer tell the two pivots apart";

    for (const double sign : {1.0, -1.0}) {
        const Mat a = Mat::FromRows({{sign, sign * x}, {sign, sign * y}});
        const Mat b = Mat::FromRows({{sign * p}, {sign * q}});
        const Mat solved = a.Solve(b);
        ASSERT_FALSE(solved.IsEmpty());
        EXPECT_EQ(solved(0, 0), viaUpper) << "sign " << sign;
    }
    const Mat mixed = Mat::FromRows({{1, x}, {-1, -y}}).Solve(Mat::FromRows({{p}, {-q}}));
    ASSERT_FALSE(mixed.IsEmpty());
    EXPECT_EQ(mixed(0, 0), viaUpper);
}

TEST(MatrixTest, LeastSquaresFitsAConsistentOverdeterminedLine)
{
    // y = 2x + 1 observed at x = 0, 1, 2; the unknowns are [intercept, slope].
    const Mat a = Mat::FromRows({{1, 0}, {1, 1}, {1, 2}});
    const Mat l = Mat::FromRows({{1}, {3}, {5}});
    const Mat x = a.LeastSquares(l);
    ASSERT_FALSE(x.IsEmpty());
    ASSERT_EQ(x.m_nRow, 2);
    ASSERT_EQ(x.m_nCol, 1);
    EXPECT_NEAR(x(0, 0), 1.0, kSolveTolerance);
    EXPECT_NEAR(x(1, 0), 2.0, kSolveTolerance);
}

TEST(MatrixTest, LeastSquaresReportsASingularNormalMatrix)
{
    // Every observation at the same x: the slope is undetermined.
    const Mat a = Mat::FromRows({{1, 2}, {1, 2}, {1, 2}});
    const Mat l = Mat::FromRows({{1}, {3}, {5}});
    EXPECT_TRUE(a.LeastSquares(l).IsEmpty());
}

struct DeathCase {
    const char* name;
    std::function<void()> action;
    const char* condition;
};

class MatrixPreconditionDeathTest : public testing::TestWithParam<DeathCase> {};

Mat EmptyMatrix()
{
    return Mat::FromRows({{0}}).Solve(Mat::FromRows({{1}}));
}

TEST_P(MatrixPreconditionDeathTest, StopsNamingTheHeaderAndTheCondition)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    const DeathCase& c = GetParam();
    EXPECT_DEATH(c.action(), std::string("libmatrix:[0-9]+: .*") + c.condition);
}

INSTANTIATE_TEST_SUITE_P(
    Preconditions, MatrixPreconditionDeathTest,
    testing::Values(
        DeathCase{"ZeroRows", [] { Mat m(0, 3); }, "r > 0 && c > 0"},
        DeathCase{"NegativeColumns", [] { Mat m(2, -1); }, "r > 0 && c > 0"},
        DeathCase{"CopyOfEmpty",
                  [] {
                      Mat e = EmptyMatrix();
                      Mat copy(e);
                  },
                  "m_nRow > 0 && m_nCol > 0"},
        DeathCase{"TransposeOfEmpty", [] { EmptyMatrix().Transpose(); }, "m_pMatrix"},
        DeathCase{"MultiplyMismatch", [] { Mat(2, 3).Multiply(Mat(2, 3)); },
                  "m_nCol == matrix.m_nRow"},
        DeathCase{"SolveNonSquare", [] { Mat(2, 3).Solve(Mat(2, 1)); }, "m_nRow == m_nCol"},
        DeathCase{"SolveRowMismatch", [] { Mat(2, 2).Solve(Mat(3, 1)); },
                  "m_nRow == matrix.m_nRow"},
        DeathCase{"ElementOutside", [] { Mat(2, 2)(2, 0) = 1; }, "i >= 0 && i < m_nRow"}),
    [](const testing::TestParamInfo<DeathCase>& info) { return std::string(info.param.name); });

} // namespace
