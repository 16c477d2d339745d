// Angle notations: the documented conversion examples, the guard, floor splitting of negative
// numeric forms, sign-and-magnitude texts, and the readers' pieces and sign spellings.
#include "geodesy/AngleNotation.hpp"

#include "platform/NumberText.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <string>

using namespace carvento::geodesy;
using carvento::platform::FormatFixed;

namespace {

// The text forms carry seconds to two decimals (half a hundredth of an arc-second) after the
// formatter's guard of 1e-8 degree.
constexpr double kTextRoundTripDeg = 0.005 / 3600 + 1e-8;
// Each direction of a numeric conversion adds its guard: 1e-8 degree when leaving degrees,
// 1e-8 of a dotted unit (1e-4″, 2.8e-8 degree) when reading dotted.
constexpr double kNumericRoundTripDeg = 5e-8;

struct NumericCase {
    const char* name;
    double (*convert)(double);
    double input;
    int decimals;
    const char* expected;
};

class NumericConversion : public ::testing::TestWithParam<NumericCase> {};

TEST_P(NumericConversion, PrintsDocumentedDigits)
{
    const NumericCase& c = GetParam();
    EXPECT_EQ(c.expected, FormatFixed(c.convert(c.input), c.decimals)) << c.name;
}

INSTANTIATE_TEST_SUITE_P(
    Examples, NumericConversion,
    ::testing::Values(
        // The guard shows from the fifth decimal of the seconds on.
        NumericCase{"DegreesToPacked", DegreesToPacked, 117.2096, 6, "1171234.560036"},
        NumericCase{"PackedToDegrees", PackedToDegrees, 1171234.56, 10, "117.2096000000"},
        NumericCase{"DottedToDegrees", DottedToDegrees, 117.123456, 10, "117.2096000278"},
        // A hair below a whole minute is carried by the guard ...
        NumericCase{"DegreesToPacked", DegreesToPacked, 30.999999999, 4, "310000.0000"},
        NumericCase{"DegreesToDotted", DegreesToDotted, 30.999999999, 6, "31.000000"},
        // ... further below it is not.
        NumericCase{"DegreesToPacked", DegreesToPacked, 117.9999999, 6, "1175959.999676"},
        // No guard when reading packed: 59.99999999″ stay below the next minute.
        NumericCase{"PackedToDegrees", PackedToDegrees, 1171259.99999999, 12, "117.216666666664"},
        // Negative angles split with floor: −117.5° is −118° + 30′.
        NumericCase{"DegreesToDotted", DegreesToDotted, -117.5, 10, "-117.6999999964"},
        NumericCase{"DottedToDegrees", DottedToDegrees, -117.6999999964, 8, "-117.49999996"},
        NumericCase{"DegreesToPacked", DegreesToPacked, -117.5, 6, "-1176999.999964"},
        NumericCase{"PackedToDegrees", PackedToDegrees, -1176999.999964, 8, "-117.49999999"}));

TEST(AngleNotation, NumericFormsRoundTripForBothSigns)
{
    std::mt19937_64 random(1171234);
    std::uniform_real_distribution<double> angle(-180.0, 180.0);
    for (int i = 0; i < 100000; ++i) {
        double x = angle(random);
        ASSERT_NEAR(x, PackedToDegrees(DegreesToPacked(x)), kNumericRoundTripDeg) << x;
        ASSERT_NEAR(x, DottedToDegrees(DegreesToDotted(x)), kNumericRoundTripDeg) << x;
        ASSERT_NEAR(x, DottedToDegrees(PackedToDotted(DegreesToPacked(x))), kNumericRoundTripDeg)
            << x;
        ASSERT_NEAR(x, PackedToDegrees(DottedToPacked(DegreesToDotted(x))), kNumericRoundTripDeg)
            << x;
    }
}

struct FormatCase {
    const char* name;
    std::string (*format)(double);
    double input;
    const char* expected;
};

class TextFormat : public ::testing::TestWithParam<FormatCase> {};

TEST_P(TextFormat, WritesDegreesMinutesSeconds)
{
    const FormatCase& c = GetParam();
    EXPECT_EQ(c.expected, c.format(c.input)) << c.name << " " << c.input;
}

INSTANTIATE_TEST_SUITE_P(
    Examples, TextFormat,
    ::testing::Values(FormatCase{"packed", FormatPackedAsText, 1171234.56, "117°12′34.56″"},
                      FormatCase{"dotted", FormatDottedAsText, 117.123456, "117°12′34.56″"},
                      FormatCase{"degrees", FormatDegreesAsText, 117.2096, "117°12′34.56″"},
                      // Minutes padded to two digits, seconds to five characters.
                      FormatCase{"packed", FormatPackedAsText, 50307.5, "5°03′07.50″"},
                      FormatCase{"dotted", FormatDottedAsText, 5.03075, "5°03′07.50″"},
                      FormatCase{"degrees", FormatDegreesAsText, 0, "0°00′00.00″"},
                      FormatCase{"degrees", FormatDegreesAsText, 30.999999999, "31°00′00.00″"},
                      // Not carried: the seconds round to 60.00 only when printed.
                      FormatCase{"degrees", FormatDegreesAsText, 117.9999999, "117°59′60.00″"},
                      // A negative angle is a minus sign and the text of its magnitude.
                      FormatCase{"degrees", FormatDegreesAsText, -30, "-30°00′00.00″"},
                      FormatCase{"degrees", FormatDegreesAsText, -0.5, "-0°30′00.00″"},
                      FormatCase{"degrees", FormatDegreesAsText, -30.999999999, "-31°00′00.00″"},
                      FormatCase{"degrees", FormatDegreesAsText, -0.0, "0°00′00.00″"},
                      FormatCase{"packed", FormatPackedAsText, -1173015, "-117°30′15.00″"},
                      FormatCase{"dotted", FormatDottedAsText, -117.3015, "-117°30′15.00″"}));

struct ParseCase {
    const char* text;
    const char* packed;  // "%.4lf"
    const char* degrees; // "%.8lf"
    const char* dotted;  // "%.6lf"
};

class TextParse : public ::testing::TestWithParam<ParseCase> {};

TEST_P(TextParse, ReadsPiecesIntoEachNotation)
{
    const ParseCase& c = GetParam();
    EXPECT_EQ(c.packed, FormatFixed(ParseTextAsPacked(c.text), 4)) << c.text;
    EXPECT_EQ(c.degrees, FormatFixed(ParseTextAsDegrees(c.text), 8)) << c.text;
    EXPECT_EQ(c.dotted, FormatFixed(ParseTextAsDotted(c.text), 6)) << c.text;
}

INSTANTIATE_TEST_SUITE_P(
    Examples, TextParse,
    ::testing::Values(
        ParseCase{"117°12′34.56″", "1171234.5600", "117.20960000", "117.123456"},
        // ASCII minute and second signs, alone or mixed with the typographic ones.
        ParseCase{R"(117°12'34.56")", "1171234.5600", "117.20960000", "117.123456"},
        ParseCase{R"(117°12′34.56")", "1171234.5600", "117.20960000", "117.123456"},
        ParseCase{R"(117°12'34.56″)", "1171234.5600", "117.20960000", "117.123456"},
        // Whichever spelling comes first marks the piece.
        ParseCase{R"(117°12'34.56"9″)", "1171234.5600", "117.20960000", "117.123456"},
        ParseCase{"5°03′07.50″", "50307.5000", "5.05208333", "5.030750"},
        // Missing signs: minutes without seconds, degrees alone, no signs at all.
        ParseCase{"117°30′", "1173000.0000", "117.50000000", "117.300000"},
        ParseCase{"117°", "1170000.0000", "117.00000000", "117.000000"},
        ParseCase{"117.5", "0.0000", "0.00000000", "0.000000"},
        ParseCase{"", "0.0000", "0.00000000", "0.000000"},
        // Minutes are an integer for packed and a real number for the other two.
        ParseCase{"117°12.5′", "1171200.0000", "117.20833333", "117.125000"},
        // Without a degree sign the minutes piece starts at the second byte of the text.
        ParseCase{"30′15″", "15.0000", "0.00416667", "0.001500"},
        // A leading minus applies to the whole angle.
        ParseCase{"-117°30′00″", "-1173000.0000", "-117.50000000", "-117.300000"},
        ParseCase{"-0°30′", "-3000.0000", "-0.50000000", "-0.300000"},
        ParseCase{" \t-5°03'07.5\"", "-50307.5000", "-5.05208333", "-5.030750"},
        ParseCase{"-0°00′00″", "0.0000", "0.00000000", "0.000000"},
        // A minus that atoi does not read as a sign of a number changes nothing.
        ParseCase{"--5°30′", "3000.0000", "0.50000000", "0.300000"}));

TEST(AngleNotation, NegativeZeroTextIsPositive)
{
    EXPECT_FALSE(std::signbit(ParseTextAsDegrees("-0°00′00″")));
}

// Text out, text in: sign and magnitude survive for angles of either sign in every notation.
TEST(AngleNotation, TextsRoundTripWithinHalfHundredthSecondAndGuard)
{
    std::mt19937_64 random(301530);
    std::uniform_real_distribution<double> angle(-180.0, 180.0);
    for (int i = 0; i < 100000; ++i) {
        double x = angle(random);
        std::string text = FormatDegreesAsText(x);
        ASSERT_NEAR(x, ParseTextAsDegrees(text), kTextRoundTripDeg) << text;

        std::string packedText = FormatPackedAsText(ParseTextAsPacked(text));
        ASSERT_NEAR(x, ParseTextAsDegrees(packedText), kTextRoundTripDeg) << packedText;

        std::string dottedText = FormatDottedAsText(ParseTextAsDotted(text));
        ASSERT_NEAR(x, ParseTextAsDegrees(dottedText), kTextRoundTripDeg) << dottedText;
    }
}

} // namespace
