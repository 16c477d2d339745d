// Field and line splitting.
#include "tables/FieldSplit.hpp"

namespace carvento::tables {

int SplitOnChar(std::string_view text, char separator, std::vector<std::string>& fields)
{
    return SplitOnAny(text, std::string_view(&separator, 1), fields);
}

int SplitOnAny(std::string_view text, std::string_view separators,
               std::vector<std::string>& fields)
{
    std::vector<std::string_view> views;
    SplitOnAnyViews(text, separators, views);
    fields.assign(views.begin(), views.end());
    return static_cast<int>(fields.size());
}

int SplitOnAnyViews(std::string_view text, std::string_view separators,
                    std::vector<std::string_view>& fields)
{
    fields.clear();
    if (text.empty())
        return 0;
    std::size_t start = 0;
    for (;;) {
        std::size_t found = separators.size() == 1 ? text.find(separators[0], start)
                                                   : text.find_first_of(separators, start);
        if (found == std::string_view::npos)
            break;
        fields.push_back(text.substr(start, found - start));
        start = found + 1;
    }
    fields.push_back(text.substr(start));
    return static_cast<int>(fields.size());
}

std::vector<std::string_view> SplitLines(std::string_view text)
{
    std::vector<std::string_view> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find_first_of("\r\n", start);
        if (end == std::string_view::npos) {
            lines.push_back(text.substr(start));
            break;
        }
        lines.push_back(text.substr(start, end - start));
        start = end + 1;
        if (text[end] == '\r' && start < text.size() && text[start] == '\n')
            ++start;
    }
    return lines;
}

} // namespace carvento::tables
