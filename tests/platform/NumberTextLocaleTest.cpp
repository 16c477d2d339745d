// Under a decimal-comma locale the C library reads and writes commas; the number module must
// still read "3.14" and write "3.1416". Runs with its own main so the locale is set first.
#include "platform/NumberText.hpp"

#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <locale.h>
#include <random>

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

TEST(NumberTextUnderDecimalComma, MatchesTheCLocaleOnGeneratedValues)
{
    // The references come from the C library with this thread switched to the "C" locale;
    // the module runs under the process's decimal-comma locale.
    locale_t cLocale = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
    ASSERT_NE(static_cast<locale_t>(nullptr), cLocale);
    std::mt19937_64 random(5);
    std::uniform_real_distribution<double> magnitude(-6.0, 12.0);
    const char* odd[] = {"nan", "-inf", "0x1A", "1e999", "+.5e1x", "30,5", "", " 12.5e-3"};
    for (int i = 0; i < 100000; ++i) {
        double value = std::pow(10.0, magnitude(random)) * ((i & 1) ? -1.0 : 1.0);
        int decimals = i % 11;
        char text[64];
        locale_t previous = uselocale(cLocale);
        std::snprintf(text, sizeof text, "%.*f", decimals, value);
        double reference = std::atof(text);
        const char* oddText = odd[i % 8];
        double oddReference = std::atof(oddText);
        uselocale(previous);
        ASSERT_EQ(text, FormatFixed(value, decimals));
        ASSERT_EQ(reference, ParseDouble(text)) << text;
        if (std::isnan(oddReference))
            ASSERT_TRUE(std::isnan(ParseDouble(oddText)));
        else
            ASSERT_EQ(oddReference, ParseDouble(oddText)) << oddText;
    }
    freelocale(cLocale);
}

int main(int argc, char** argv)
{
    g_locale = std::setlocale(LC_ALL, "de_DE.UTF-8");
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
