// Angle notation conversions: numeric forms with floor splitting, D°M′S″ texts with truncation.
#include "geodesy/AngleNotation.hpp"
#include "platform/AsciiText.hpp"

#include "platform/NumberText.hpp"

#include <algorithm>
#include <cmath>

namespace carvento::geodesy {
namespace {

using platform::FormatFixed;
using platform::FormatFixedPadded;
using platform::ParseDouble;
using platform::ParseInt;

// The constants are the doubles nearest to the fractions named; the results depend on them in
// their last bits, so they are written out rather than computed.
constexpr double kGuardDegrees = 1e-8;
constexpr double kOneSixtieth = 0.016666666666666666;
constexpr double kOneThirtySixth = 0.027777777777777776;
constexpr double kOneThirtySixHundredth = 0.0002777777777777778;

constexpr std::string_view kDegreeSign = "\u00B0";
constexpr std::string_view kMinuteSign = "\u2032";
constexpr std::string_view kSecondSign = "\u2033";

double Frac(double v)
{
    return v - std::floor(v);
}

// "%d°%02d′%05.2f″" of whole degrees, whole minutes and seconds. D and M are integral doubles
// (truncated in double arithmetic, so values beyond the int range still print their digits).
std::string JoinText(double degrees, double minutes, double seconds)
{
    std::string text = FormatFixed(degrees, 0);
    text += kDegreeSign;
    text += FormatFixedPadded(minutes, 0, 2);
    text += kMinuteSign;
    text += FormatFixedPadded(seconds, 2, 5);
    text += kSecondSign;
    return text;
}

// Truncation toward zero on every piece would print a negative angle with a minus sign on each
// number (−30° as "-29°-59′-60.00″"); a negative angle is the minus sign and the text of its
// magnitude instead. fabs also turns −0 into 0, so −0 prints without a sign.
template <typename Body>
std::string SignAndMagnitude(double x, Body body)
{
    if (x < 0) {
        std::string text = "-";
        text += body(-x);
        return text;
    }
    return body(std::fabs(x));
}

struct Sign {
    std::ptrdiff_t position = -1; // byte offset, −1 when absent
    std::ptrdiff_t length = 0;
};

// The first occurrence of either spelling of a sign.
Sign FindFirst(std::string_view text, std::string_view sign, std::string_view asciiSign)
{
    Sign found;
    for (std::string_view candidate : {sign, asciiSign}) {
        if (candidate.empty())
            continue;
        auto pos = text.find(candidate);
        if (pos == std::string_view::npos)
            continue;
        auto position = static_cast<std::ptrdiff_t>(pos);
        if (found.position < 0 || position < found.position)
            found = {position, static_cast<std::ptrdiff_t>(candidate.size())};
    }
    return found;
}

// text[begin, end) with the bounds clamped; empty when end does not lie after begin.
std::string_view Piece(std::string_view text, std::ptrdiff_t begin, std::ptrdiff_t end)
{
    auto size = static_cast<std::ptrdiff_t>(text.size());
    begin = std::clamp<std::ptrdiff_t>(begin, 0, size);
    end = std::clamp<std::ptrdiff_t>(end, 0, size);
    if (end <= begin)
        return {};
    return text.substr(static_cast<size_t>(begin), static_cast<size_t>(end - begin));
}

struct Pieces {
    std::string_view degrees;
    std::string_view minutes;
    std::string_view seconds;
};

// Degrees: before the degree sign. Minutes: after the degree sign up to the minute sign.
// Seconds: after the minute sign up to the second sign. A piece whose closing sign is absent or
// stands before its start is empty. An absent opening sign counts as a two-byte sign at
// position −1 (the width the signs have in the system code page), so the piece then starts at
// the second byte: "30′15″" has no degrees and reads its minutes from "0". This is the
// established reading of such texts and is kept.
Pieces SplitText(std::string_view text)
{
    constexpr std::ptrdiff_t kAbsentSignEnd = 1;
    Sign degree = FindFirst(text, kDegreeSign, {});
    Sign minute = FindFirst(text, kMinuteSign, "'");
    Sign second = FindFirst(text, kSecondSign, "\"");

    Pieces pieces;
    if (degree.position >= 0)
        pieces.degrees = text.substr(0, static_cast<size_t>(degree.position));
    std::ptrdiff_t minutesBegin = degree.position >= 0 ? degree.position + degree.length
                                                       : kAbsentSignEnd;
    if (minute.position >= 0)
        pieces.minutes = Piece(text, minutesBegin, minute.position);
    std::ptrdiff_t secondsBegin = minute.position >= 0 ? minute.position + minute.length
                                                       : kAbsentSignEnd;
    if (second.position >= 0)
        pieces.seconds = Piece(text, secondsBegin, second.position);
    return pieces;
}

// A leading minus applies to the whole angle: "-117°30′" is −117.5°, not −117° + 30′. Only a
// minus directly followed by a digit or "." counts, so texts that atoi reads as 0 ("--5",
// "- 5") still read as before. 0.0 − magnitude keeps a zero result positive.
template <typename Reader>
double ParseSigned(std::string_view text, Reader reader)
{
    size_t i = 0;
    while (i < text.size() && platform::IsCSpace(text[i]))
        ++i;
    if (i + 1 < text.size() && text[i] == '-' &&
        ((text[i + 1] >= '0' && text[i + 1] <= '9') || text[i + 1] == '.'))
        return 0.0 - reader(SplitText(text.substr(i + 1)));
    return reader(SplitText(text));
}

} // namespace

double DegreesToDotted(double x)
{
    double g = x + kGuardDegrees;
    double d = std::floor(g);
    double m = std::floor(Frac(g) * 60);
    return (d + m * 0.01) + Frac(60 * g) * 0.006;
}

double DegreesToPacked(double x)
{
    double g = x + kGuardDegrees;
    double d = std::floor(g);
    double m = std::floor(Frac(g) * 60);
    return (d * 10000 + m * 100) + Frac(60 * g) * 60;
}

double DottedToDegrees(double x)
{
    double g = x + kGuardDegrees;
    double d = std::floor(g);
    double m = std::floor(Frac(g) * 100);
    return (d + m * kOneSixtieth) + Frac(100 * g) * kOneThirtySixth;
}

double PackedToDegrees(double x)
{
    double d = std::floor(x * 0.0001);
    double m = std::floor(x * 0.01 - d * 100);
    double s = x - std::floor(x * 0.01) * 100;
    return (d + m * kOneSixtieth) + s * kOneThirtySixHundredth;
}

double PackedToDotted(double x)
{
    return x * 0.0001;
}

double DottedToPacked(double x)
{
    return x * 10000;
}

std::string FormatPackedAsText(double x)
{
    return SignAndMagnitude(x, [](double v) {
        double d = std::trunc(v * 0.0001);
        double t = std::trunc(v * 0.01);
        return JoinText(d, t - 100 * d, v - 100 * t);
    });
}

std::string FormatDottedAsText(double x)
{
    return SignAndMagnitude(x, [](double v) {
        double d = std::trunc(v);
        double t = std::trunc(100 * v);
        return JoinText(d, t - 100 * d, 10000 * v - 100 * t);
    });
}

std::string FormatDegreesAsText(double x)
{
    return SignAndMagnitude(x, [](double v) {
        double g = v + kGuardDegrees;
        double d = std::trunc(g);
        double m = std::trunc((g - d) * 60);
        double s = (60 * g - std::trunc(60 * g)) * 60;
        return JoinText(d, m, s);
    });
}

double ParseTextAsPacked(std::string_view text)
{
    return ParseSigned(text, [](const Pieces& p) {
        // Whole degrees and minutes are combined in integers (wide enough for any int input).
        long long whole = static_cast<long long>(ParseInt(p.degrees)) * 10000 +
                          static_cast<long long>(ParseInt(p.minutes)) * 100;
        return static_cast<double>(whole) + ParseDouble(p.seconds);
    });
}

double ParseTextAsDegrees(std::string_view text)
{
    return ParseSigned(text, [](const Pieces& p) {
        return ParseInt(p.degrees) + (ParseDouble(p.minutes) * kOneSixtieth +
                                      ParseDouble(p.seconds) * kOneThirtySixHundredth);
    });
}

double ParseTextAsDotted(std::string_view text)
{
    return ParseSigned(text, [](const Pieces& p) {
        return ParseInt(p.degrees) +
               (ParseDouble(p.minutes) * 0.01 + ParseDouble(p.seconds) * 0.0001);
    });
}

} // namespace carvento::geodesy
