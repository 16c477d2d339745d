// What XmlDocument checks in UTF-8 text beyond what its parser does: the structure it accepts
// (nesting, one root, no entity declarations), characters and references XML cannot hold, and
// the names and contents it writes.
#pragma once

#include <string>
#include <string_view>

namespace carvento::fileconv::xml {

// The white space of XML markup.
inline bool IsXmlSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

// Checks the structure the parser is lenient about, in one pass over UTF-8 text: element
// nesting up to XmlDocument::kMaxDepth, nothing but white space, comments and processing
// instructions beside the root (unless a fragment is parsed), no entity declarations in a
// DOCTYPE. Returns the keyword of the first problem, empty when none.
std::string ScanStructure(std::string_view text, bool fragment);
// Characters XML 1.0 cannot hold at all: C0 controls other than tab, LF and CR.
bool HasForbiddenControl(std::string_view text);
// Character references to what XML cannot hold (&#1;, &#xD800;): the parser would decode them
// into text that no file can be written with.
bool HasForbiddenReference(std::string_view text);
// An element or attribute name XmlDocument writes.
bool IsValidName(std::string_view name);
// Text or an attribute value XmlDocument writes: UTF-8 without forbidden characters.
bool IsValidContent(std::string_view text);

} // namespace carvento::fileconv::xml
