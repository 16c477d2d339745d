// The XmlDocument serializer.
#include "fileconv/XmlSerializer.hpp"

#include "fileconv/XmlStructure.hpp"
#include "platform/XmlEscape.hpp"

#include <algorithm>

namespace carvento::fileconv::xml {
namespace {

bool IsTextNode(const pugi::xml_node& node)
{
    return node.type() == pugi::node_pcdata || node.type() == pugi::node_cdata;
}

// Text-only elements are written on one line; others open a line, list their children and
// close on a line of their own.
bool HasStructure(const pugi::xml_node& element)
{
    for (pugi::xml_node child = element.first_child(); child; child = child.next_sibling())
        if (!IsTextNode(child))
            return true;
    return false;
}

void AppendStartTag(std::string& out, const pugi::xml_node& element, bool empty)
{
    out += '<';
    out += element.name();
    for (pugi::xml_attribute a = element.first_attribute(); a; a = a.next_attribute()) {
        out += ' ';
        out += a.name();
        out += "=\"";
        platform::AppendXmlEscaped(out, a.value(), true);
        out += '"';
    }
    out += empty ? "/>\r\n" : ">\r\n";
}

// Writes one node that is not an element with structure (that one is opened by the caller).
void AppendLeaf(std::string& out, const pugi::xml_node& node)
{
    switch (node.type()) {
    case pugi::node_element: {
        std::string text = TextOf(node);
        if (text.empty()) {
            AppendStartTag(out, node, true);
        } else {
            AppendStartTag(out, node, false);
            out.resize(out.size() - 2); // the line break goes after the end tag
            platform::AppendXmlEscaped(out, text, false);
            out += "</";
            out += node.name();
            out += ">\r\n";
        }
        break;
    }
    case pugi::node_pcdata:
    case pugi::node_cdata: {
        std::string_view value = node.value();
        if (std::all_of(value.begin(), value.end(), IsXmlSpace))
            break;
        platform::AppendXmlEscaped(out, value, false);
        out += "\r\n";
        break;
    }
    case pugi::node_comment:
        out += "<!--";
        out += node.value();
        out += "-->\r\n";
        break;
    default:
        break;
    }
}

} // namespace

std::string TextOf(const pugi::xml_node& element)
{
    std::string text;
    for (pugi::xml_node child = element.first_child(); child; child = child.next_sibling())
        if (IsTextNode(child))
            text += child.value();
    return text;
}

bool SerializeDocument(const pugi::xml_node& top, std::string_view declaration, std::string& out,
                       const std::function<bool(std::string&)>& flush, std::size_t flushSize)
{
    if (!declaration.empty()) {
        out += declaration;
        out += "\r\n";
    }
    // Walked without recursion: down into elements with structure, up when a level ends.
    pugi::xml_node node = top.first_child();
    while (node) {
        if (node.type() == pugi::node_element && HasStructure(node)) {
            AppendStartTag(out, node, false);
            node = node.first_child();
            continue;
        }
        AppendLeaf(out, node);
        while (!node.next_sibling()) {
            node = node.parent();
            if (node == top)
                return true;
            out += "</";
            out += node.name();
            out += ">\r\n";
        }
        if (flush && out.size() > flushSize && !flush(out))
            return false;
        node = node.next_sibling();
    }
    return true;
}

} // namespace carvento::fileconv::xml
