// An in-memory XML document walked and built through a cursor: the parent element (whose
// children are walked; none at the document level), the current element (a child of the
// parent) and the current child (a child of the current element). KML and GPX documents sit
// on it. Text inside is UTF-8; files are converted on loading and saving.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

namespace carvento::fileconv {

// A file's bytes converted to UTF-8 text as XmlDocument loads them (see Load).
struct DecodedXml {
    bool ok = false;            // false: the bytes are not text in their encoding
    std::string text{};         // UTF-8, without byte-order mark
    bool byteOrderMark = false; // the bytes started with one
    std::string result{};       // Result()'s keywords so far; on failure with the reason
};

// Where the document text starts after its XML declaration (0 when none).
std::size_t XmlBodyStart(std::string_view text);
// Characters XML cannot hold (C0 controls other than tab, LF and CR) or references to them
// (&#1;), anywhere in the text: such a document does not load.
bool HasForbiddenCharacter(std::string_view text);

class XmlDocument {
public:
    // Deepest element nesting a file may have; deeper files do not load.
    static constexpr int kMaxDepth = 1000;

    XmlDocument();
    ~XmlDocument();
    XmlDocument(const XmlDocument&) = delete;
    XmlDocument& operator=(const XmlDocument&) = delete;

    // Cursor and reading. A failed search leaves all three positions as they were; with no
    // current element, FindChildElement searches the first element of the parent's level (the
    // root at the document level), which becomes current only when a child is found.
    void ResetPosition();
    void ResetChildPosition();
    bool FindElement(std::string_view name);
    bool FindChildElement(std::string_view name);
    bool EnterElement();
    bool LeaveElement();
    std::string ChildText() const;
    std::string Attribute(std::string_view name) const;

    // Writing. SetDocumentText replaces the whole document with the text (parsed: an XML
    // declaration, or a fragment); an empty text empties it.
    bool SetDocumentText(std::string_view text);
    bool AddElement(std::string_view name, std::string_view text = {});
    bool AddChildElement(std::string_view name, std::string_view text = {});
    bool SetAttribute(std::string_view name, std::string_view value);
    bool SetChildAttribute(std::string_view name, std::string_view value);

    // The document as Save writes it, before the conversion to the file's encoding: the
    // declaration as set or loaded, then one element per line ended by CR LF, not indented; an
    // element holding only text on one line, an empty one as <name/>. Comments are kept,
    // processing instructions and DOCTYPEs dropped.
    std::string DocumentText() const;
    // The current element as DocumentText writes it, then removed from the document; the
    // cursor moves to the element before it. Lets a large document be written as it grows:
    // each finished element goes to the file and leaves the tree. Empty when there is none.
    std::string TakeCurrentElementText();

    // Files. Load reads, converts and parses: false when unreadable or not well-formed (the
    // document is then empty). The encoding comes from a byte-order mark, the XML declaration,
    // an HTML meta charset, else UTF-8, else GBK. Entity declarations, text or a second element
    // beside the root and nesting deeper than kMaxDepth refuse the file. Save writes the whole
    // file in the declared encoding (UTF-8 when none) or leaves the old one untouched.
    bool Load(const std::string& path);
    bool LoadFromBytes(std::string bytes);
    // The steps of LoadFromBytes: the bytes as text, then the text parsed.
    static DecodedXml Decode(std::string bytes);
    bool LoadDecoded(DecodedXml decoded);
    bool Save(const std::string& path);
    // The bytes Save would write.
    std::string SavedBytes(bool* ok = nullptr) const;

    // Whether the loaded file started with a byte-order mark.
    bool HadByteOrderMark() const { return m_byteOrderMark; }
    // Keywords of the last load or save, separated by spaces: "read", "write", "bom",
    // "converted_from:GBK", "converted_to:GBK", or what went wrong: "file_error", "empty",
    // "invalid_bytes", "invalid_character", "unknown_encoding", "unrepresentable",
    // "not_well_formed", "no_root", "root_has_sibling", "text_outside_root", "too_deep",
    // "entity_declaration".
    const std::string& Result() const { return m_result; }

private:
    struct Tree;
    std::unique_ptr<Tree> m_tree;
    bool m_byteOrderMark = false;
    std::string m_result;
};

} // namespace carvento::fileconv
