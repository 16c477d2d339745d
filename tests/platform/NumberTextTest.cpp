// The locale-free number module against C-locale atof and printf.
#include "platform/NumberText.hpp"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <optional>
#include <random>
#include <string>

using namespace carvento::platform;

namespace {

std::string Printf(double value, int decimals)
{
    char buffer[512];
    std::snprintf(buffer, sizeof buffer, "%.*f", decimals, value);
    return buffer;
}

// Same bits, or both NaN with the same sign.
::testing::AssertionResult SameDouble(double expected, double actual, const std::string& text)
{
    if (std::memcmp(&expected, &actual, sizeof(double)) == 0 ||
        (std::isnan(expected) && std::isnan(actual) &&
         std::signbit(expected) == std::signbit(actual)))
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure()
           << "text \"" << text << "\": atof " << expected << ", ours " << actual;
}

const char* const kOddTexts[] = {
    "",
    " ",
    "nan",
    "NaN",
    "-nan",
    "nan(123)",
    "inf",
    "-Infinity",
    "infinit",
    "0x1A",
    "0X1a.8p1",
    "0x",
    "0x.",
    "0xg",
    "1e999",
    "-1e999",
    "1e-999",
    "4e-320",
    "+.5e1x",
    "30,5",
    "3.14",
    "  \t-2.5",
    "+",
    "-",
    ".",
    "-.",
    "1e",
    "1e+",
    "1.5E-3abc",
    "00012",
    "\n42",
    "\v7",
    "1..2",
    "--1",
    "+-1",
    "117°12′34.56″",
    "°30",
    "12 34",
    "0.0000000000000000000000001",
    "123456789012345678901234567890",
    "-0",
    "0.1e-5",
    "9007199254740993",
    "2.2250738585072011e-308",
};

} // namespace

TEST(NumberText, ParseDoubleMatchesAtofOnOddTexts)
{
    for (const char* text : kOddTexts)
        EXPECT_TRUE(SameDouble(std::atof(text), ParseDouble(text), text));
}

TEST(NumberText, ParseDoubleMatchesAtofOnGeneratedNumbers)
{
    std::mt19937_64 random(20261208);
    std::uniform_real_distribution<double> magnitude(-12.0, 12.0);
    std::uniform_int_distribution<int> decimals(0, 17);
    for (int i = 0; i < 200000; ++i) {
        double value = std::pow(10.0, magnitude(random)) * ((i & 1) ? -1.0 : 1.0);
        char buffer[64];
        if (i % 3 == 0)
            std::snprintf(buffer, sizeof buffer, "%.*e", decimals(random), value);
        else
            std::snprintf(buffer, sizeof buffer, "%.*f", decimals(random), value);
        ASSERT_TRUE(SameDouble(std::atof(buffer), ParseDouble(buffer), buffer));
    }
}

TEST(NumberText, ParseDoubleStopsAtTheEndOfTheView)
{
    std::string text = "12.5e3";
    EXPECT_EQ(12.5, ParseDouble(std::string_view(text).substr(0, 4)));
}

TEST(NumberText, ParseIntMatchesAtoi)
{
    const char* texts[] = {"", "12", "-7", "+3x", " 42", "3.9", "-0", "x1", "2147483647", "007"};
    for (const char* text : texts)
        EXPECT_EQ(std::atoi(text), ParseInt(text)) << text;
    EXPECT_EQ(2147483647, ParseInt("99999999999999"));
    EXPECT_EQ(-2147483647 - 1, ParseInt("-99999999999999"));
}

// Options, settings and file names carry integers as plain digits: anything else, and any value
// beyond the caller's range, is no integer, never an exception or a wrapped value.
TEST(NumberText, ParseIntegerTakesOnlyDigitsWithinTheRange)
{
    constexpr long long kMin = -1000;
    constexpr long long kMax = 1000;
    const struct {
        const char* text;
        std::optional<long long> expected;
    } rows[] = {
        {"0", 0},
        {"-0", 0},
        {"7", 7},
        {"0007", 7},
        {"-1000", -1000},
        {"1000", 1000},
        {"1001", std::nullopt},
        {"-1001", std::nullopt},
        {"", std::nullopt},
        {"-", std::nullopt},
        {"+7", std::nullopt},
        {" 7", std::nullopt},
        {"7 ", std::nullopt},
        {"7\n", std::nullopt},
        {"--7", std::nullopt},
        {"7-", std::nullopt},
        {"1,2", std::nullopt},
        {"7.0", std::nullopt},
        {"1e3", std::nullopt},
        {"0x10", std::nullopt},
        {"７", std::nullopt}, // a full-width digit
        {"99999999999999999999999", std::nullopt},
        {"-99999999999999999999999", std::nullopt},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.text);
        EXPECT_EQ(row.expected, ParseInteger(row.text, kMin, kMax));
    }
    // A view ends where it ends, not at a terminating zero.
    EXPECT_EQ(12, ParseInteger(std::string_view("123", 2), kMin, kMax));
    EXPECT_EQ(std::nullopt, ParseInteger(std::string_view("1\0", 2), kMin, kMax));
}

TEST(NumberText, ParseIntegerReachesTheEndsOfLongLong)
{
    constexpr long long kLowest = std::numeric_limits<long long>::min();
    constexpr long long kHighest = std::numeric_limits<long long>::max();
    EXPECT_EQ(kHighest, ParseInteger("9223372036854775807", kLowest, kHighest));
    EXPECT_EQ(kLowest, ParseInteger("-9223372036854775808", kLowest, kHighest));
    // One past either end is out of range, not wrapped round to the other.
    EXPECT_EQ(std::nullopt, ParseInteger("9223372036854775808", kLowest, kHighest));
    EXPECT_EQ(std::nullopt, ParseInteger("-9223372036854775809", kLowest, kHighest));
    // 2^32 + 1 read into 32 bits would be 1.
    EXPECT_EQ(std::nullopt, ParseInteger("4294967297", 0, INT_MAX));
    EXPECT_TRUE(IsIntegerText("4294967297"));
    EXPECT_FALSE(IsIntegerText("+1"));
}

TEST(NumberText, FormatFixedMatchesPrintfOnGeneratedValues)
{
    std::mt19937_64 random(8);
    std::uniform_real_distribution<double> magnitude(-9.0, 16.0);
    for (int i = 0; i < 300000; ++i) {
        double value = std::pow(10.0, magnitude(random)) * ((i & 1) ? -1.0 : 1.0);
        int decimals = i % 11;
        ASSERT_EQ(Printf(value, decimals), FormatFixed(value, decimals)) << value;
    }
}

TEST(NumberText, FormatFixedMatchesPrintfOnTiesAndSpecialValues)
{
    // Exact binary ties round to even, as glibc's printf does.
    const double values[] = {0.125,         0.375,        2.5,          -2.5,
                             0.5,           1.5,          1e22,         1.7976931348623157e308,
                             -0.0,          0.0,          5e-324,       0.00005,
                             3376320.40345, 624805.93425, std::nan(""), -std::nan(""),
                             INFINITY,      -INFINITY};
    for (double value : values)
        for (int decimals : {0, 1, 2, 4, 6, 8, 10, 30})
            EXPECT_EQ(Printf(value, decimals), FormatFixed(value, decimals)) << value;
}

TEST(NumberText, FormatFixedMatchesPrintfNextToRoundingBoundaries)
{
    // Values a few ulps around n.5 units of the last printed digit, where a shortcut through
    // value * 10^d would round the wrong way.
    std::mt19937_64 random(99);
    std::uniform_int_distribution<long long> integer(0, 99999999999LL);
    for (int i = 0; i < 200000; ++i) {
        int decimals = i % 11;
        double half = (static_cast<double>(integer(random) % 100000000LL) + 0.5) /
                      std::pow(10.0, decimals);
        double value = half;
        for (int step = 0; step < (i % 4); ++step)
            value = std::nextafter(value, (i & 4) ? INFINITY : -INFINITY);
        if (i & 8)
            value = -value;
        ASSERT_EQ(Printf(value, decimals), FormatFixed(value, decimals)) << value;
    }
}

TEST(NumberText, PaddedFormatsMatchPrintf)
{
    char buffer[64];
    for (double value : {7.5, -7.5, 34.56, 0.0, 123.456, -0.004}) {
        std::snprintf(buffer, sizeof buffer, "%05.2f", value);
        EXPECT_EQ(buffer, FormatFixedPadded(value, 2, 5));
    }
    for (long long value : {0LL, 3LL, 59LL, -3LL, 123LL}) {
        std::snprintf(buffer, sizeof buffer, "%02lld", value);
        EXPECT_EQ(buffer, FormatIntPadded(value, 2));
    }
}
