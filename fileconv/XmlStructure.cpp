// XML structure and character checks.
#include "fileconv/XmlStructure.hpp"

#include "fileconv/XmlDocument.hpp"
#include "fileconv/XmlEncoding.hpp"
#include "tables/CodePage.hpp"

#include <algorithm>
#include <cstring>

namespace carvento::fileconv {
namespace xml {

std::string ScanStructure(std::string_view text, bool fragment)
{
    const char* data = text.data();
    const std::size_t size = text.size();
    int depth = 0;
    bool rootSeen = false;
    std::size_t i = 0;
    auto findFrom = [&](std::size_t from, std::string_view what) { return text.find(what, from); };
    while (i < size) {
        if (data[i] != '<') {
            if (depth > 0) {
                const void* next = std::memchr(data + i, '<', size - i);
                if (!next)
                    break;
                i = static_cast<std::size_t>(static_cast<const char*>(next) - data);
                continue;
            }
            if (!fragment && !IsXmlSpace(data[i]))
                return "text_outside_root";
            ++i;
            continue;
        }
        std::string_view rest = text.substr(i, 9);
        if (rest.starts_with("<!--")) {
            std::size_t end = findFrom(i + 4, "-->");
            if (end == std::string_view::npos)
                return "not_well_formed";
            i = end + 3;
        } else if (rest.starts_with("<![CDATA[")) {
            if (depth == 0 && !fragment)
                return "text_outside_root";
            std::size_t end = findFrom(i + 9, "]]>");
            if (end == std::string_view::npos)
                return "not_well_formed";
            i = end + 3;
        } else if (rest.starts_with("<?")) {
            std::size_t end = findFrom(i + 2, "?>");
            if (end == std::string_view::npos)
                return "not_well_formed";
            i = end + 2;
        } else if (rest.starts_with("<!")) {
            if (depth > 0 || rootSeen)
                return "not_well_formed";
            // DOCTYPE: up to the '>' outside the internal subset and outside quotes.
            int brackets = 0;
            char quote = 0;
            std::size_t j = i + 2;
            for (; j < size; ++j) {
                char c = data[j];
                if (quote) {
                    if (c == quote)
                        quote = 0;
                } else if (c == '"' || c == '\'') {
                    quote = c;
                } else if (c == '[') {
                    ++brackets;
                } else if (c == ']') {
                    --brackets;
                } else if (c == '>' && brackets <= 0) {
                    break;
                }
            }
            if (j >= size)
                return "not_well_formed";
            if (text.substr(i, j - i).find("<!ENTITY") != std::string_view::npos)
                return "entity_declaration";
            i = j + 1;
        } else if (rest.starts_with("</")) {
            if (--depth < 0)
                return "not_well_formed";
            const void* close = std::memchr(data + i, '>', size - i);
            if (!close)
                return "not_well_formed";
            i = static_cast<std::size_t>(static_cast<const char*>(close) - data) + 1;
        } else {
            if (depth == 0 && rootSeen && !fragment)
                return "root_has_sibling";
            rootSeen = true;
            char quote = 0;
            std::size_t j = i + 1;
            for (; j < size; ++j) {
                char c = data[j];
                if (quote) {
                    if (c == quote)
                        quote = 0;
                } else if (c == '"' || c == '\'') {
                    quote = c;
                } else if (c == '>') {
                    break;
                }
            }
            if (j >= size)
                return "not_well_formed";
            if (data[j - 1] != '/' && ++depth > XmlDocument::kMaxDepth)
                return "too_deep";
            i = j + 1;
        }
    }
    if (!rootSeen && !fragment)
        return "no_root";
    if (depth != 0)
        return "not_well_formed";
    return {};
}

bool HasForbiddenControl(std::string_view text)
{
    return std::any_of(text.begin(), text.end(), [](char c) {
        auto u = static_cast<unsigned char>(c);
        return u < 0x20 && u != '\t' && u != '\n' && u != '\r';
    });
}

bool HasForbiddenReference(std::string_view text)
{
    std::size_t at = 0;
    while ((at = text.find("&#", at)) != std::string_view::npos) {
        at += 2;
        bool hex = at < text.size() && (text[at] == 'x' || text[at] == 'X');
        if (hex)
            ++at;
        unsigned long code = 0;
        std::size_t digits = 0;
        for (; at < text.size() && digits < 9; ++at, ++digits) {
            char c = text[at];
            int value = c >= '0' && c <= '9'          ? c - '0'
                        : hex && c >= 'a' && c <= 'f' ? c - 'a' + 10
                        : hex && c >= 'A' && c <= 'F' ? c - 'A' + 10
                                                      : -1;
            if (value < 0)
                break;
            code = code * (hex ? 16 : 10) + static_cast<unsigned long>(value);
        }
        if (digits == 0 || at >= text.size() || text[at] != ';')
            continue; // not a reference; pugixml keeps it as text
        bool allowed = code == 0x9 || code == 0xA || code == 0xD ||
                       (code >= 0x20 && code <= 0xD7FF) || (code >= 0xE000 && code <= 0xFFFD) ||
                       (code >= 0x10000 && code <= 0x10FFFF);
        if (!allowed)
            return true;
    }
    return false;
}

bool IsValidName(std::string_view name)
{
    if (name.empty() || !tables::IsValidUtf8(name))
        return false;
    if (name[0] == '-' || name[0] == '.' || (name[0] >= '0' && name[0] <= '9'))
        return false;
    return std::none_of(name.begin(), name.end(), [](char c) {
        auto u = static_cast<unsigned char>(c);
        return u <= 0x20 || std::strchr("<>&\"'=/?!;,()[]{}^`|\\*+$%#@~", c) != nullptr;
    });
}

bool IsValidContent(std::string_view text)
{
    return tables::IsValidUtf8(text) && !HasForbiddenControl(text);
}

} // namespace xml

std::size_t XmlBodyStart(std::string_view text)
{
    std::size_t start = 0;
    xml::LeadingDeclaration(text, &start);
    return start;
}

bool HasForbiddenCharacter(std::string_view text)
{
    return xml::HasForbiddenControl(text) || xml::HasForbiddenReference(text);
}

} // namespace carvento::fileconv
