// A read-only XmlDocument cursor over the text of a file, without a document tree: the
// extractions (KML to TXT, GPX to TXT) walk large files with it in about the memory of the
// text itself. It reads only plain XML, which it checks whole when opened: elements,
// attributes, text with the predefined entities and character references, comments and
// CDATA sections. Anything else (a document type, processing instructions after the
// declaration, an unknown entity, CR inside CDATA, very deep nesting) is refused, and the
// caller loads the file as an XmlDocument instead, which decides about it. What the cursor
// gives is what XmlDocument gives for the same text: element texts joined from their text
// and CDATA pieces, pieces of white space alone left out, line ends read as LF, attribute
// values with white space characters read as spaces.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace carvento::fileconv {

class XmlScan {
public:
    // Nesting deeper than this is left to XmlDocument.
    static constexpr int kMaxDepth = 256;

    // Takes the document text (UTF-8), whose body (after the declaration) starts at `body`.
    // False when the body is not plain, well-formed XML with one root element; the cursor is
    // then empty and `text` as it was.
    bool Open(std::string& text, std::size_t body);
    const std::string& Text() const { return m_text; }

    // As XmlDocument's.
    void ResetPosition();
    void ResetChildPosition();
    bool FindElement(std::string_view name);
    bool FindChildElement(std::string_view name);
    bool EnterElement();
    bool LeaveElement();
    std::string ChildText() const;
    std::string Attribute(std::string_view name) const;
    // The root element's name.
    std::string_view RootName() const;

private:
    static constexpr std::size_t kNone = static_cast<std::size_t>(-1);
    struct Element {
        std::size_t begin = kNone; // its '<'; kNone: no element
        std::size_t nameEnd = 0;
        std::size_t contentBegin = 0;   // after the start tag
        std::size_t contentEnd = kNone; // the '<' of its end tag, once known
        std::size_t end = kNone;        // after its end tag, once known
        bool Valid() const { return begin != kNone; }
    };

    bool Check(std::size_t body) const;
    Element StartTag(std::size_t at) const;
    // Where the element ends, found (and kept) when not known yet.
    std::size_t EndOf(Element& element) const;
    // The next element of a level from `at`, or none at the level's end, whose position then
    // goes into `level`.
    Element NextElement(std::size_t at, Element& level) const;
    Element FindFrom(std::size_t at, Element& level, std::string_view name) const;
    std::string_view NameOf(const Element& element) const;
    Element& Level() { return m_parents.empty() ? m_document : m_parents.back(); }

    std::string m_text;
    Element m_document;
    std::vector<Element> m_parents;
    Element m_current;
    Element m_child;
};

} // namespace carvento::fileconv
