// The field splitter.
#include "platform/TextSplit.hpp"

#include <cstring>

namespace carvento::platform {

int SplitOnAnyViews(std::string_view text, std::string_view separators,
                    std::vector<std::string_view>& fields)
{
    fields.clear();
    if (text.empty())
        return 0;
    const char* data = text.data();
    std::size_t start = 0;
    if (separators.size() == 1) {
        const char* end = data + text.size();
        const char* p = data;
        while (const void* found = std::memchr(p, separators[0],
                                               static_cast<std::size_t>(end - p))) {
            const char* at = static_cast<const char*>(found);
            fields.emplace_back(p, static_cast<std::size_t>(at - p));
            p = at + 1;
        }
        fields.emplace_back(p, static_cast<std::size_t>(end - p));
        return static_cast<int>(fields.size());
    }
    // A byte table instead of find_first_of, which calls memchr once per character of the text.
    bool isSeparator[256] = {};
    for (char c : separators)
        isSeparator[static_cast<unsigned char>(c)] = true;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (isSeparator[static_cast<unsigned char>(data[i])]) {
            fields.emplace_back(data + start, i - start);
            start = i + 1;
        }
    }
    fields.emplace_back(data + start, text.size() - start);
    return static_cast<int>(fields.size());
}

int SplitQuotedViews(std::string_view text, std::string_view separators,
                     std::vector<std::string_view>& fields, std::string& scratch)
{
    if (text.find('"') == std::string_view::npos)
        return SplitOnAnyViews(text, separators, fields);
    fields.clear();
    scratch.clear();
    // Unquoted content is never longer than the text: the views into it stay valid.
    scratch.reserve(text.size());
    const auto isSeparator = [&](char c) { return separators.find(c) != std::string_view::npos; };
    std::size_t i = 0;
    for (;;) {
        if (i < text.size() && text[i] == '"') {
            const std::size_t start = scratch.size();
            std::size_t j = i + 1;
            bool closed = false;
            while (j < text.size()) {
                if (text[j] == '"') {
                    if (j + 1 < text.size() && text[j + 1] == '"') {
                        scratch += '"';
                        j += 2;
                        continue;
                    }
                    closed = true;
                    ++j;
                    break;
                }
                scratch += text[j++];
            }
            if (!closed) // a quote never closed: the line reads as plain fields
                return SplitOnAnyViews(text, separators, fields);
            // Anything between the closing quote and the separator belongs to the field.
            while (j < text.size() && !isSeparator(text[j]))
                scratch += text[j++];
            fields.emplace_back(scratch.data() + start, scratch.size() - start);
            i = j;
        } else {
            std::size_t j = i;
            while (j < text.size() && !isSeparator(text[j]))
                ++j;
            fields.push_back(text.substr(i, j - i));
            i = j;
        }
        if (i >= text.size())
            break;
        ++i; // the separator
    }
    return static_cast<int>(fields.size());
}

void AppendQuotedField(std::string& line, std::string_view field)
{
    const bool quoted = (!field.empty() && field.front() == '"') ||
                        field.find_first_of(",\r\n") != std::string_view::npos;
    if (!quoted) {
        line.append(field);
        return;
    }
    line += '"';
    for (char c : field) {
        if (c == '"')
            line += '"';
        line += c;
    }
    line += '"';
}

} // namespace carvento::platform
