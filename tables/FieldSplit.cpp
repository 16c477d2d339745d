// Field and line splitting.
#include "tables/FieldSplit.hpp"

#include <cstring>

namespace carvento::tables {

int SplitOnChar(std::string_view text, char separator, std::vector<std::string>& fields)
{
    return SplitOnAny(text, std::string_view(&separator, 1), fields);
}

int SplitOnAny(std::string_view text, std::string_view separators, std::vector<std::string>& fields)
{
    std::vector<std::string_view> views;
    SplitOnAnyViews(text, separators, views);
    fields.assign(views.begin(), views.end());
    return static_cast<int>(fields.size());
}

std::vector<std::string_view> SplitLines(std::string_view text)
{
    std::vector<std::string_view> lines;
    const char* data = text.data();
    const char* end = data + text.size();
    const char* start = data;
    // Find each LF with memchr, then split the piece before it at any lone CR. CR LF ends a
    // line, and so does CR CR LF (line ends converted twice).
    while (start < end) {
        const char* lf = static_cast<const char*>(
            std::memchr(start, '\n', static_cast<std::size_t>(end - start)));
        const char* pieceEnd = lf ? lf : end;
        if (lf) {
            if (pieceEnd > start && pieceEnd[-1] == '\r')
                --pieceEnd;
            if (pieceEnd > start && pieceEnd[-1] == '\r')
                --pieceEnd;
        }
        const char* p = start;
        while (const void* cr = std::memchr(p, '\r', static_cast<std::size_t>(pieceEnd - p))) {
            const char* at = static_cast<const char*>(cr);
            lines.emplace_back(p, static_cast<std::size_t>(at - p));
            p = at + 1;
        }
        if (lf) {
            lines.emplace_back(p, static_cast<std::size_t>(pieceEnd - p));
            start = lf + 1;
        } else {
            if (p < end)
                lines.emplace_back(p, static_cast<std::size_t>(end - p));
            start = end;
        }
    }
    return lines;
}

} // namespace carvento::tables
