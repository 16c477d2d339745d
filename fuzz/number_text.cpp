// Locale-free number text against the C library it stands in for: ParseDouble must read what
// strtod reads, ParseInt what a clamped strtol reads, and the formatters must print what printf
// prints. The fuzz run keeps the "C" locale, so the C library is the reference.
#include "fuzz/FuzzSupport.hpp"

#include "platform/NumberText.hpp"

#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

using namespace carvento;

namespace {

bool SameDouble(double a, double b)
{
    if (std::isnan(a) || std::isnan(b))
        return std::isnan(a) && std::isnan(b);
    return std::memcmp(&a, &b, sizeof a) == 0;
}

void CheckParsing(std::string_view text)
{
    // The C functions stop at a NUL byte; so does every number prefix.
    const std::string terminated(text.substr(0, text.find('\0')));
    const double expected = std::strtod(terminated.c_str(), nullptr);
    FUZZ_CHECK(SameDouble(platform::ParseDouble(text), expected));

    errno = 0;
    long wide = std::strtol(terminated.c_str(), nullptr, 10);
    const int expectedInt = wide > INT_MAX ? INT_MAX : wide < INT_MIN ? INT_MIN : int(wide);
    FUZZ_CHECK(platform::ParseInt(text) == expectedInt);

    if (platform::IsNumberText(text)) {
        // A number text is one number and nothing else but blanks, and never hexadecimal,
        // infinite or not a number by spelling.
        char* end = nullptr;
        std::strtod(terminated.c_str(), &end);
        FUZZ_CHECK(terminated.size() == text.size());
        for (const char* p = end; *p; ++p)
            FUZZ_CHECK(std::strchr(" \t\n\v\f\r", *p) != nullptr);
        FUZZ_CHECK(terminated.find_first_of("xXnN") == std::string::npos);
    }
}

std::string Printf(const char* format, int a, int b, double value)
{
    char buffer[512];
    int n = std::snprintf(buffer, sizeof buffer, format, a, b, value);
    FUZZ_CHECK(n >= 0 && n < static_cast<int>(sizeof buffer));
    return {buffer, static_cast<std::size_t>(n)};
}

void CheckFormatting(double value, int decimals, int width, long long integer)
{
    const std::string fixed = platform::FormatFixed(value, decimals);
    char buffer[512];
    int n = std::snprintf(buffer, sizeof buffer, "%.*f", decimals, value);
    FUZZ_CHECK(n > 0 && n < static_cast<int>(sizeof buffer));
    FUZZ_CHECK(fixed == std::string(buffer, static_cast<std::size_t>(n)));

    std::string appended = "x";
    platform::AppendFixed(appended, value, decimals);
    FUZZ_CHECK(appended == "x" + fixed);

    const std::string padded = platform::FormatFixedPadded(value, decimals, width);
    if (std::isfinite(value))
        FUZZ_CHECK(padded == Printf("%0*.*f", width, decimals, value));
    else
        FUZZ_CHECK(padded == fixed);

    n = std::snprintf(buffer, sizeof buffer, "%0*lld", width, integer);
    FUZZ_CHECK(platform::FormatIntPadded(integer, width) ==
               std::string(buffer, static_cast<std::size_t>(n)));

    // What is printed reads back as the value rounded to the printed decimals.
    if (std::isfinite(value))
        FUZZ_CHECK(SameDouble(platform::ParseDouble(fixed), std::strtod(fixed.c_str(), nullptr)));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view text = fuzz::AsText(data, size);
    CheckParsing(text);
    // The first bytes also serve as a double, a decimal count, a width and an integer.
    if (size >= 19) {
        double value = 0;
        long long integer = 0;
        std::memcpy(&value, data, sizeof value);
        std::memcpy(&integer, data + 8, sizeof integer);
        const int decimals = data[16] % 31;
        const int width = data[17] % 64;
        CheckFormatting(value, decimals, width, integer);
        // The same for the number the text spells, which reaches the rounding paths with
        // everyday values.
        CheckFormatting(platform::ParseDouble(text.substr(18)), data[18] % 31, width, integer);
    }
    return 0;
}
