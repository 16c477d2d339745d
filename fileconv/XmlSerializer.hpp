// How XmlDocument writes its tree: no indentation, every element ended with CR LF, an element
// holding only text on one line, an empty one as <name/>; comments kept, processing
// instructions and document types dropped. The one place XML text is escaped.
#pragma once

#include <pugixml.hpp>

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

namespace carvento::fileconv::xml {

// The text of an element: its text and CDATA children joined.
std::string TextOf(const pugi::xml_node& element);
// Writes the document text into `out`. When `flush` is given it is called whenever `out` has
// grown past `flushSize` (a megabyte), at an element's end, and takes the text so far; false
// stops.
bool SerializeDocument(const pugi::xml_node& top, std::string_view declaration, std::string& out,
                       const std::function<bool(std::string&)>& flush = {},
                       std::size_t flushSize = 1 << 20);

} // namespace carvento::fileconv::xml
