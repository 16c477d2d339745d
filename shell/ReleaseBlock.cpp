// Release block parsing and version comparison.
#include "shell/ReleaseBlock.hpp"

#include <algorithm>

namespace carvento::shell {

namespace {

constexpr std::string_view kStartMarker = "Version:";
constexpr std::string_view kEndMarker = "Version-End";
constexpr std::string_view kSeparators = ";|[]";
constexpr std::string_view kParagraphOpen = "<p>";
constexpr std::string_view kParagraphClose = "</p>";

std::string RemoveAll(std::string_view text, std::string_view what)
{
    std::string result;
    std::size_t from = 0;
    for (std::size_t at = text.find(what); at != std::string_view::npos;
         at = text.find(what, from)) {
        result.append(text.substr(from, at - from));
        from = at + what.size();
    }
    result.append(text.substr(from));
    return result;
}

std::string_view TrimBlanks(std::string_view text)
{
    const std::size_t first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos)
        return {};
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

bool IsDigit(char c)
{
    return c >= '0' && c <= '9';
}

// Compares the numbers spelled by two digit strings of any length: no overflow, and
// "007" equals "7".
int CompareDigits(std::string_view a, std::string_view b)
{
    a.remove_prefix(std::min(a.find_first_not_of('0'), a.size()));
    b.remove_prefix(std::min(b.find_first_not_of('0'), b.size()));
    if (a.size() != b.size())
        return a.size() < b.size() ? -1 : 1;
    const int c = a.compare(b);
    return c < 0 ? -1 : (c > 0 ? 1 : 0);
}

int CompareComponents(std::string_view a, std::string_view b)
{
    const auto digitsOf = [](std::string_view s) {
        std::size_t n = 0;
        while (n < s.size() && IsDigit(s[n]))
            ++n;
        return n;
    };
    const std::size_t aDigits = digitsOf(a);
    const std::size_t bDigits = digitsOf(b);
    if (const int c = CompareDigits(a.substr(0, aDigits), b.substr(0, bDigits)); c != 0)
        return c;
    const int c = a.substr(aDigits).compare(b.substr(bDigits));
    return c < 0 ? -1 : (c > 0 ? 1 : 0);
}

// Splits off the next "."-separated component; an exhausted text yields "0".
std::string_view NextComponent(std::string_view& rest, bool& exhausted)
{
    if (exhausted)
        return "0";
    const std::size_t dot = rest.find('.');
    std::string_view component = rest.substr(0, dot);
    if (dot == std::string_view::npos)
        exhausted = true;
    else
        rest.remove_prefix(dot + 1);
    return component;
}

} // namespace

const char* ReleaseBlock::description() const
{
    switch (status) {
    case ReleaseBlockStatus::Found:
        return "release block found";
    case ReleaseBlockStatus::NoMarkers:
        return "no \"Version:\" ... \"Version-End\" block in the examined bytes";
    case ReleaseBlockStatus::NoSeparator:
        return "the release block has no separator after the version";
    }
    return "unknown status";
}

ReleaseBlock ParseReleaseBlock(std::string_view page)
{
    page = page.substr(0, std::min(page.size(), kReleaseReadLimit));
    ReleaseBlock result;
    const std::size_t start = page.find(kStartMarker);
    if (start == std::string_view::npos)
        return result;
    const std::size_t end = page.find(kEndMarker, start);
    if (end == std::string_view::npos)
        return result;
    // "Version-End" cannot begin inside "Version:" (no "V" among its last seven bytes).
    const std::string_view block = page.substr(start + kStartMarker.size(),
                                               end - start - kStartMarker.size());

    const std::size_t separator = block.find_first_of(kSeparators);
    if (separator == std::string_view::npos) {
        result.status = ReleaseBlockStatus::NoSeparator;
        return result;
    }
    result.status = ReleaseBlockStatus::Found;
    result.info.version = std::string(block.substr(0, separator));
    const std::string_view afterSeparator = block.substr(separator + 1);
    const std::size_t close = afterSeparator.find(kParagraphClose);
    if (close == std::string_view::npos)
        return result;
    result.info.description = std::string(afterSeparator.substr(0, close));
    const std::string withoutOpen = RemoveAll(afterSeparator.substr(close), kParagraphOpen);
    result.info.link = RemoveAll(withoutOpen, kParagraphClose);
    return result;
}

int CompareVersions(std::string_view remote, std::string_view current)
{
    remote = TrimBlanks(remote);
    current = TrimBlanks(current);
    bool remoteDone = false;
    bool currentDone = false;
    while (!remoteDone || !currentDone) {
        const std::string_view a = NextComponent(remote, remoteDone);
        const std::string_view b = NextComponent(current, currentDone);
        if (const int c = CompareComponents(a, b); c != 0)
            return c;
    }
    return 0;
}

} // namespace carvento::shell
