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
    // A byte table instead of find_first_of, which calls memchr once per character of the text.
    bool isSeparator[256] = {};
    for (char c : separators)
        isSeparator[static_cast<unsigned char>(c)] = true;
    const char* data = text.data();
    std::size_t start = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (isSeparator[static_cast<unsigned char>(data[i])]) {
            fields.emplace_back(data + start, i - start);
            start = i + 1;
        }
    }
    fields.emplace_back(data + start, text.size() - start);
    return static_cast<int>(fields.size());
}

std::vector<std::string_view> SplitLines(std::string_view text)
{
    std::vector<std::string_view> lines;
    const char* data = text.data();
    const std::size_t size = text.size();
    std::size_t start = 0;
    std::size_t i = 0;
    while (i < size) {
        char c = data[i];
        if (c != '\n' && c != '\r') {
            ++i;
            continue;
        }
        lines.emplace_back(data + start, i - start);
        i += (c == '\r' && i + 1 < size && data[i + 1] == '\n') ? 2 : 1;
        start = i;
    }
    if (start < size)
        lines.emplace_back(data + start, size - start);
    return lines;
}

} // namespace carvento::tables
