// ASCII character classes and case folding, the same in every locale. Bytes of UTF-8
// sequences are never letters or blanks here, so Chinese text passes through unchanged.
#pragma once

#include <string>
#include <string_view>

namespace carvento::platform {

// The white space of C's isspace in the "C" locale: space, TAB, LF, VT, FF, CR.
constexpr bool IsCSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

constexpr char AsciiUpper(char c)
{
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

constexpr char AsciiLower(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

inline std::string AsciiUpper(std::string_view text)
{
    std::string folded(text);
    for (char& c : folded)
        c = AsciiUpper(c);
    return folded;
}

inline std::string AsciiLower(std::string_view text)
{
    std::string folded(text);
    for (char& c : folded)
        c = AsciiLower(c);
    return folded;
}

} // namespace carvento::platform
