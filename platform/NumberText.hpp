// Locale-free reading and writing of numbers as text.
// Every number that the program reads from or writes to a table, file or clipboard goes through
// here, so a desktop that runs under a decimal-comma locale still reads "3.14" and writes "3.1416".
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace carvento::platform {

// Reads a double with the semantics of C `atof` in the "C" locale: leading white space, an
// optional sign, then the longest prefix that forms a decimal or hexadecimal number, "inf",
// "infinity" or "nan"; out-of-range values become ±inf or a (sub)normal near zero, exactly as
// strtod does. Text without a leading number reads as 0.
double ParseDouble(std::string_view text);

// True when the whole text is one finite decimal number: optional blanks, an optional sign,
// digits with at most one ".", an optional exponent, optional blanks. "30.5", "-1e3" and " 7 "
// are numbers; "", "纬度", "30.5m", "0x1A" and "nan" are not.
bool IsNumberText(std::string_view text);

// Reads an int with the semantics of C `atoi`: white space, optional sign, decimal digits.
// Text without a leading number reads as 0; values beyond the int range are clamped.
int ParseInt(std::string_view text);

// True when the whole text is a decimal integer as options and settings write one: an optional
// "-" and one or more digits, nothing else ("", "+1", " 1", "1 ", "1.0" and "0x1" are not).
bool IsIntegerText(std::string_view text);

// The integer the whole text writes (IsIntegerText, any number of digits), when it lies in
// [min, max]; nothing for any other text or a value beyond the range. No locale, no exception.
std::optional<long long> ParseInteger(std::string_view text, long long min, long long max);

// Appends `value` as printf("%.<decimals>f") does in the "C" locale (correctly rounded,
// "nan"/"-nan"/"inf"/"-inf" for non-finite values). decimals must be 0..30.
void AppendFixed(std::string& out, double value, int decimals);

// printf("%.<decimals>f") of value, as a new string.
std::string FormatFixed(double value, int decimals);

// printf("%0<width>.<decimals>f"): zero padding after the sign up to `width` characters
// (no padding for non-finite values, which printf pads with spaces instead).
std::string FormatFixedPadded(double value, int decimals, int width);

// printf("%0<width>d").
std::string FormatIntPadded(long long value, int width);

} // namespace carvento::platform
