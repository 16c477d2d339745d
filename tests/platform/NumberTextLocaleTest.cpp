// Under a decimal-comma locale the C library reads and writes commas; the number module must
// still read "3.14" and write "3.1416". Runs with its own main so the locale is set first.
#include "platform/NumberText.hpp"

#include <gtest/gtest.h>

#include <clocale>
#include <cstdio>
#include <cstdlib>

using namespace carvento::platform;

namespace {
const char* g_locale = nullptr;
}

TEST(NumberTextUnderDecimalComma, LocaleIsActive)
{
    ASSERT_NE(nullptr, g_locale) << "de_DE.UTF-8 is not available (scripts/bootstrap makes it)";
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%.4f", 3.14159);
    EXPECT_STREQ("3,1416", buffer);
    EXPECT_EQ(3.0, std::atof("3.14"));
}

TEST(NumberTextUnderDecimalComma, ReadsAndWritesPoints)
{
    EXPECT_EQ(3.14, ParseDouble("3.14"));
    EXPECT_EQ(30.0, ParseDouble("30,5"));
    EXPECT_EQ("3.1416", FormatFixed(3.14159, 4));
    EXPECT_EQ("3376320.4035", FormatFixed(3376320.40345678, 4));
    EXPECT_EQ("05.50", FormatFixedPadded(5.5, 2, 5));
    EXPECT_EQ(-1234.5e-3, ParseDouble("-1234.5e-3"));
}

int main(int argc, char** argv)
{
    g_locale = std::setlocale(LC_ALL, "de_DE.UTF-8");
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
