// Escaping text for XML (the documents we write and the SVG fit pictures).
#pragma once

#include <string>
#include <string_view>

namespace carvento::platform {

// Appends `text` escaped for element content or, with `attribute`, for a double-quoted
// attribute value: there quotes and white-space controls are character references, so a
// reader's attribute normalisation gives back exactly `text`.
inline void AppendXmlEscaped(std::string& out, std::string_view text, bool attribute)
{
    for (char c : text) {
        switch (c) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '"':
            out += attribute ? "&quot;" : "\"";
            break;
        case '\r':
            out += "&#13;";
            break;
        case '\n':
            out += attribute ? "&#10;" : "\n";
            break;
        case '\t':
            out += attribute ? "&#9;" : "\t";
            break;
        default:
            out += c;
        }
    }
}

} // namespace carvento::platform
