// Field and line splitting never merges separators.
#include "tables/FieldSplit.hpp"

#include <gtest/gtest.h>

using namespace carvento::tables;
using Fields = std::vector<std::string>;

struct SplitCase {
    std::string text;
    std::string separators;
    Fields expected;
};

class SplitOnAnyTest : public ::testing::TestWithParam<SplitCase> {};

TEST_P(SplitOnAnyTest, GivesTheExpectedFields)
{
    Fields fields{"stale"};
    int n = SplitOnAny(GetParam().text, GetParam().separators, fields);
    EXPECT_EQ(GetParam().expected, fields);
    EXPECT_EQ(static_cast<int>(GetParam().expected.size()), n);
}

INSTANTIATE_TEST_SUITE_P(
    Splitters, SplitOnAnyTest,
    ::testing::Values(SplitCase{"", ",", {}}, SplitCase{"1,,2", ",", {"1", "", "2"}},
                      SplitCase{"1,2,", ",", {"1", "2", ""}}, SplitCase{",", ",", {"", ""}},
                      SplitCase{"1, 2", ",", {"1", " 2"}},
                      SplitCase{"P1  30.1", ", \t;", {"P1", "", "30.1"}},
                      SplitCase{"a;b\tc d,e", ", \t;", {"a", "b", "c", "d", "e"}},
                      SplitCase{"A;B;", ";", {"A", "B", ""}}, SplitCase{"abc", ",", {"abc"}}));

TEST(SplitOnChar, CountsSeparatorsPlusOne)
{
    Fields fields;
    EXPECT_EQ(4, SplitOnChar(";;;", ';', fields));
    EXPECT_EQ(Fields({"", "", "", ""}), fields);
}

TEST(SplitLines, EndsLinesAtLfCrLfAndLoneCr)
{
    auto lines = SplitLines("a\r\n\r\nb\rc\nd");
    std::vector<std::string> texts(lines.begin(), lines.end());
    // A blank CR LF line is an empty line, not a one-field line holding a CR.
    EXPECT_EQ(Fields({"a", "", "b", "c", "d"}), texts);
    EXPECT_EQ(2u, SplitLines("a\nb\n").size());
    // Line ends converted twice (CR CR LF) are still one line end.
    auto mixed = SplitLines("a\r\r\nb\r\r\n\r\r\nc\r");
    EXPECT_EQ(Fields({"a", "b", "", "c"}), std::vector<std::string>(mixed.begin(), mixed.end()));
    EXPECT_EQ(0u, SplitLines("").size());
}
