// Locale-free number text: std::from_chars / std::to_chars with the C conventions around them.
#include "platform/NumberText.hpp"
#include "platform/AsciiText.hpp"

#include <array>
#include <cerrno>
#include <charconv>
#include <climits>
#include <clocale>
#include <cmath>
#include <cstdlib>
#include <locale.h>
#include <system_error>

namespace carvento::platform {
namespace {

bool IsHexDigit(char c)
{
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

// strtod with a private "C" locale; used only where from_chars reports a range error, so that
// overflow and underflow give exactly what atof gives.
double StrtodC(const std::string& text)
{
    static locale_t cLocale = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
    return strtod_l(text.c_str(), nullptr, cLocale);
}

constexpr double kPowersOfTen[] = {1e0, 1e1, 1e2, 1e3, 1e4, 1e5, 1e6, 1e7, 1e8, 1e9, 1e10};

// printf("%.Nf") rounds the exact binary value of `value`. value·10^N computed in doubles is
// within value·10^N·2^-53 of the exact product, so whenever that product lies clearly away from
// a rounding boundary (x.5), nearbyint gives the same integer as exact rounding and the digits
// can be written from it directly. Near a boundary, or for large magnitudes, the caller falls
// back to the exact conversion. This makes the common case (coordinates with 4 to 10
// decimals) several times faster than the general algorithm.
bool AppendFixedFast(std::string& out, double value, int decimals)
{
    if (decimals < 0 || decimals > 10)
        return false;
    double scaled = std::fabs(value) * kPowersOfTen[decimals];
    if (!(scaled < 1e15))
        return false;
    // Adding and removing 2^52 rounds to the nearest integer (ties to even) for
    // 0 <= scaled < 2^52, without a library call.
    double rounded = (scaled + 0x1p52) - 0x1p52;
    double distanceToHalf = std::fabs(std::fabs(scaled - rounded) - 0.5);
    if (distanceToHalf <= scaled * 4e-16 + 1e-300)
        return false;
    auto digits = static_cast<unsigned long long>(rounded);
    // Digits from the right, with the decimal point after `decimals` of them and at least one
    // digit before it.
    char buffer[32];
    char* end = buffer + sizeof buffer;
    char* p = end;
    int written = 0;
    do {
        if (written == decimals && decimals > 0)
            *--p = '.';
        *--p = static_cast<char>('0' + digits % 10);
        digits /= 10;
        ++written;
    } while (digits != 0 || written <= decimals);
    if (std::signbit(value))
        *--p = '-';
    out.append(p, static_cast<std::size_t>(end - p));
    return true;
}

} // namespace

double ParseDouble(std::string_view text)
{
    const char* p = text.data();
    const char* end = p + text.size();
    while (p != end && IsCSpace(*p))
        ++p;
    bool negative = false;
    if (p != end && (*p == '+' || *p == '-')) {
        negative = *p == '-';
        ++p;
    }
    // from_chars would take a second minus sign; strtod does not.
    if (p == end || *p == '-' || *p == '+')
        return 0.0;

    double value = 0.0;
    std::from_chars_result result{};
    // A hexadecimal number needs "0x" followed by a hex digit, or by "." and a hex digit;
    // otherwise strtod reads the "0" alone.
    if (end - p >= 3 && p[0] == '0' && (p[1] == 'x' || p[1] == 'X') &&
        (IsHexDigit(p[2]) || (p[2] == '.' && end - p >= 4 && IsHexDigit(p[3])))) {
        // The C library's hexadecimal reader takes "p+-3" as an exponent; strtod stops before
        // a "p" that is not followed by an optional sign and a decimal digit, so the
        // mantissa is cut there first.
        const char* q = p + 2;
        while (q != end && IsHexDigit(*q))
            ++q;
        if (q != end && *q == '.') {
            ++q;
            while (q != end && IsHexDigit(*q))
                ++q;
        }
        const char* numberEnd = end;
        if (q != end && (*q == 'p' || *q == 'P')) {
            const char* e = q + 1;
            if (e != end && (*e == '+' || *e == '-'))
                ++e;
            if (e == end || *e < '0' || *e > '9')
                numberEnd = q;
        }
        result = std::from_chars(p + 2, numberEnd, value, std::chars_format::hex);
    } else {
        result = std::from_chars(p, end, value, std::chars_format::general);
    }
    if (result.ec == std::errc::invalid_argument)
        return 0.0;
    if (result.ec == std::errc::result_out_of_range) {
        std::string number(text.begin() + (p - text.data()), text.end());
        value = StrtodC(number);
    }
    return negative ? -value : value;
}

bool IsNumberText(std::string_view text)
{
    const char* p = text.data();
    const char* end = p + text.size();
    while (p != end && IsCSpace(*p))
        ++p;
    while (end != p && IsCSpace(end[-1]))
        --end;
    if (p != end && (*p == '+' || *p == '-'))
        ++p;
    bool digits = false;
    while (p != end && *p >= '0' && *p <= '9')
        ++p, digits = true;
    if (p != end && *p == '.') {
        ++p;
        while (p != end && *p >= '0' && *p <= '9')
            ++p, digits = true;
    }
    if (!digits)
        return false;
    if (p != end && (*p == 'e' || *p == 'E')) {
        ++p;
        if (p != end && (*p == '+' || *p == '-'))
            ++p;
        if (p == end || *p < '0' || *p > '9')
            return false;
        while (p != end && *p >= '0' && *p <= '9')
            ++p;
        // An exponent can take a decimal beyond the range of a double (1e999).
        return p == end && std::isfinite(ParseDouble(text));
    }
    return p == end && (text.size() < 300 || std::isfinite(ParseDouble(text)));
}

bool IsIntegerText(std::string_view text)
{
    const std::string_view digits = text.starts_with('-') ? text.substr(1) : text;
    return !digits.empty() && digits.find_first_not_of("0123456789") == std::string_view::npos;
}

std::optional<long long> ParseInteger(std::string_view text, long long min, long long max)
{
    if (!IsIntegerText(text))
        return std::nullopt;
    // from_chars takes exactly the form checked above and reports a value beyond long long
    // instead of wrapping it.
    long long value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || value < min || value > max)
        return std::nullopt;
    return value;
}

int ParseInt(std::string_view text)
{
    const char* p = text.data();
    const char* end = p + text.size();
    while (p != end && IsCSpace(*p))
        ++p;
    bool negative = false;
    if (p != end && (*p == '+' || *p == '-')) {
        negative = *p == '-';
        ++p;
    }
    long long value = 0;
    for (; p != end && *p >= '0' && *p <= '9'; ++p) {
        value = value * 10 + (*p - '0');
        if (value > static_cast<long long>(INT_MAX) + 1)
            value = static_cast<long long>(INT_MAX) + 1;
    }
    if (negative)
        value = -value;
    if (value > INT_MAX)
        return INT_MAX;
    if (value < INT_MIN)
        return INT_MIN;
    return static_cast<int>(value);
}

void AppendFixed(std::string& out, double value, int decimals)
{
    if (std::isnan(value)) {
        out += std::signbit(value) ? "-nan" : "nan";
        return;
    }
    if (std::isinf(value)) {
        out += value < 0 ? "-inf" : "inf";
        return;
    }
    if (AppendFixedFast(out, value, decimals))
        return;
    // 1.8e308 printed with 30 decimals needs 309 + 1 + 30 characters.
    std::array<char, 360> buffer;
    auto result = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value,
                                std::chars_format::fixed, decimals);
    out.append(buffer.data(), result.ptr);
}

std::string FormatFixed(double value, int decimals)
{
    std::string text;
    AppendFixed(text, value, decimals);
    return text;
}

std::string FormatFixedPadded(double value, int decimals, int width)
{
    std::string text = FormatFixed(value, decimals);
    if (!std::isfinite(value) || static_cast<int>(text.size()) >= width)
        return text;
    std::size_t signLength = (text[0] == '-') ? 1 : 0;
    text.insert(signLength, static_cast<std::size_t>(width) - text.size(), '0');
    return text;
}

std::string FormatIntPadded(long long value, int width)
{
    std::string text = std::to_string(value);
    if (static_cast<int>(text.size()) >= width)
        return text;
    std::size_t signLength = (text[0] == '-') ? 1 : 0;
    text.insert(signLength, static_cast<std::size_t>(width) - text.size(), '0');
    return text;
}

} // namespace carvento::platform
