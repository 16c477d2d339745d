// Angle notations from untrusted text and arbitrary doubles: the D°M′S″ readers never fail
// and never read outside the text, the formatters print every double, and what is printed
// reads back as the angle it came from (to the printed hundredth of a second).
#include "fuzz/FuzzSupport.hpp"

#include "geodesy/AngleNotation.hpp"

#include <cmath>
#include <cstring>
#include <string>

using namespace carvento;

namespace {

// a == -b, counting NaN as equal to NaN.
bool SameMagnitude(double a, double b)
{
    return (std::isnan(a) && std::isnan(b)) || a == 0.0 - b;
}

void CheckText(std::string_view text)
{
    const double packed = geodesy::ParseTextAsPacked(text);
    const double degrees = geodesy::ParseTextAsDegrees(text);
    const double dotted = geodesy::ParseTextAsDotted(text);
    // A leading minus before a digit negates the whole angle, for every reader.
    if (text.size() >= 2 && text[0] == '-' && text[1] >= '0' && text[1] <= '9') {
        const std::string_view rest = text.substr(1);
        FUZZ_CHECK(SameMagnitude(packed, geodesy::ParseTextAsPacked(rest)));
        FUZZ_CHECK(SameMagnitude(degrees, geodesy::ParseTextAsDegrees(rest)));
        FUZZ_CHECK(SameMagnitude(dotted, geodesy::ParseTextAsDotted(rest)));
    }
}

void CheckNumber(double x)
{
    const std::string packedText = geodesy::FormatPackedAsText(x);
    const std::string dottedText = geodesy::FormatDottedAsText(x);
    const std::string degreesText = geodesy::FormatDegreesAsText(x);
    FUZZ_CHECK(!packedText.empty() && !dottedText.empty() && !degreesText.empty());
    CheckText(packedText);
    CheckText(degreesText);

    (void)geodesy::DegreesToDotted(x);
    (void)geodesy::DegreesToPacked(x);
    (void)geodesy::DottedToDegrees(x);
    (void)geodesy::PackedToDegrees(x);
    (void)geodesy::PackedToDotted(x);
    (void)geodesy::DottedToPacked(x);

    if (!std::isfinite(x))
        return;
    // Packed text back to packed: seconds are printed to 0.01″.
    if (std::fabs(x) < 1e9)
        FUZZ_CHECK(std::fabs(geodesy::ParseTextAsPacked(packedText) - x) <=
                   0.0051 + 1e-9 * std::fabs(x));
    // Degrees text back to degrees; the text truncates at 1e-8° above the value.
    if (std::fabs(x) < 1e6)
        FUZZ_CHECK(std::fabs(geodesy::ParseTextAsDegrees(degreesText) - x) <=
                   0.0051 / 3600 + 2e-8 + 1e-12 * std::fabs(x));
    // Degrees through packed and back, for angles of everyday size.
    if (std::fabs(x) < 1e5) {
        const double back = geodesy::PackedToDegrees(geodesy::DegreesToPacked(x));
        FUZZ_CHECK(std::fabs(back - x) <= 1e-7);
        const double viaDotted = geodesy::DottedToDegrees(geodesy::DegreesToDotted(x));
        FUZZ_CHECK(std::fabs(viaDotted - x) <= 1e-7);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view text = fuzz::AsText(data, size);
    CheckText(text);
    if (size >= 8) {
        double x = 0;
        std::memcpy(&x, data, sizeof x);
        CheckNumber(x);
    }
    // The number the text spells, as an angle of each kind.
    CheckNumber(geodesy::ParseTextAsDegrees(text));
    CheckNumber(geodesy::ParseTextAsPacked(text));
    return 0;
}
