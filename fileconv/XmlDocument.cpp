// XmlDocument on pugixml. Files are converted to UTF-8 before pugixml sees them (XmlEncoding),
// and a quick scan of the converted text refuses what pugixml would accept but we do not
// (XmlStructure): nesting deeper than kMaxDepth, text or a second element beside the root,
// entity declarations. The tree is parsed in place from the converted buffer, which the
// document keeps. Saving uses our own serializer (XmlSerializer).
#include "fileconv/XmlDocument.hpp"

#include "fileconv/XmlEncoding.hpp"
#include "fileconv/XmlSerializer.hpp"
#include "fileconv/XmlStructure.hpp"
#include "platform/WholeFile.hpp"
#include "tables/CodePage.hpp"
#include "tables/OutputPolicy.hpp"

#include <functional>
#include <pugixml.hpp>

namespace carvento::fileconv {

using namespace xml;

namespace {

constexpr unsigned kParseOptions = pugi::parse_default | pugi::parse_comments;

} // namespace

struct XmlDocument::Tree {
    // The parsed text, which the document's strings point into; held by pointer so that the
    // characters never move (a short string's characters live inside the string object).
    std::unique_ptr<std::string> buffer;
    pugi::xml_document document;
    std::string declaration; // "<?xml ...?>" as set or loaded, empty when none
    pugi::xml_node parent;   // null: the document level
    pugi::xml_node current;
    pugi::xml_node child;

    pugi::xml_node Level() const { return parent ? parent : pugi::xml_node(document); }

    void Clear()
    {
        document.reset();
        buffer.reset();
        declaration.clear();
        parent = current = child = pugi::xml_node();
    }

    // Parses UTF-8 text (the declaration, if any, first); on failure returns the keyword and
    // leaves the tree as it was.
    std::string Parse(std::string utf8, bool fragment)
    {
        auto text = std::make_unique<std::string>(std::move(utf8));
        std::size_t bodyStart = 0;
        std::string newDeclaration(LeadingDeclaration(*text, &bodyStart));
        std::string_view body = std::string_view(*text).substr(bodyStart);
        std::string problem = ScanStructure(body, fragment);
        if (!problem.empty())
            return problem;
        pugi::xml_document parsed;
        unsigned options = kParseOptions | (fragment ? pugi::parse_fragment : 0u);
        pugi::xml_parse_result r = parsed.load_buffer_inplace(text->data() + bodyStart,
                                                              text->size() - bodyStart, options,
                                                              pugi::encoding_utf8);
        if (!r)
            return "not_well_formed";
        // The old tree goes before its buffer.
        document = std::move(parsed);
        buffer = std::move(text);
        declaration = std::move(newDeclaration);
        parent = current = child = pugi::xml_node();
        return {};
    }

    pugi::xml_node Root() const { return document.document_element(); }
};

XmlDocument::XmlDocument() : m_tree(std::make_unique<Tree>()) {}

XmlDocument::~XmlDocument() = default;

void XmlDocument::ResetPosition()
{
    m_tree->current = pugi::xml_node();
    m_tree->child = pugi::xml_node();
}

void XmlDocument::ResetChildPosition()
{
    m_tree->child = pugi::xml_node();
}

namespace {

pugi::xml_node NextElement(pugi::xml_node from, std::string_view name)
{
    for (; from; from = from.next_sibling())
        if (from.type() == pugi::node_element && name == from.name())
            return from;
    return {};
}

pugi::xml_node FirstElement(pugi::xml_node from)
{
    for (; from; from = from.next_sibling())
        if (from.type() == pugi::node_element)
            return from;
    return {};
}

int DepthOf(pugi::xml_node node)
{
    int depth = 0;
    for (; node && node.type() == pugi::node_element; node = node.parent())
        ++depth;
    return depth;
}

} // namespace

bool XmlDocument::FindElement(std::string_view name)
{
    Tree& t = *m_tree;
    pugi::xml_node start = t.current ? t.current.next_sibling() : t.Level().first_child();
    pugi::xml_node found = NextElement(start, name);
    if (!found)
        return false;
    t.current = found;
    t.child = pugi::xml_node();
    return true;
}

bool XmlDocument::FindChildElement(std::string_view name)
{
    Tree& t = *m_tree;
    pugi::xml_node element = t.current ? t.current : FirstElement(t.Level().first_child());
    if (!element)
        return false;
    pugi::xml_node start = t.current && t.child ? t.child.next_sibling() : element.first_child();
    pugi::xml_node found = NextElement(start, name);
    if (!found)
        return false;
    t.current = element;
    t.child = found;
    return true;
}

bool XmlDocument::EnterElement()
{
    Tree& t = *m_tree;
    if (!t.current || DepthOf(t.current) >= kMaxDepth)
        return false;
    t.parent = t.current;
    t.current = t.child;
    t.child = pugi::xml_node();
    return true;
}

bool XmlDocument::LeaveElement()
{
    Tree& t = *m_tree;
    if (!t.parent)
        return false;
    t.child = t.current;
    t.current = t.parent;
    pugi::xml_node up = t.parent.parent();
    t.parent = up.type() == pugi::node_element ? up : pugi::xml_node();
    return true;
}

std::string XmlDocument::ChildText() const
{
    return m_tree->child ? TextOf(m_tree->child) : std::string();
}

std::string XmlDocument::Attribute(std::string_view name) const
{
    if (!m_tree->current)
        return {};
    for (pugi::xml_attribute a = m_tree->current.first_attribute(); a; a = a.next_attribute())
        if (name == a.name())
            return a.value();
    return {};
}

bool XmlDocument::SetDocumentText(std::string_view text)
{
    if (text.empty()) {
        m_tree->Clear();
        return true;
    }
    if (!IsValidContent(text) || HasForbiddenReference(text))
        return false;
    return m_tree->Parse(std::string(text), true).empty();
}

namespace {

pugi::xml_node NewElement(pugi::xml_node under, pugi::xml_node after, std::string_view name,
                          std::string_view text)
{
    std::string n(name);
    pugi::xml_node element = after ? under.insert_child_after(pugi::node_element, after)
                                   : under.append_child(pugi::node_element);
    if (!element)
        return {};
    element.set_name(n.c_str());
    if (!text.empty()) {
        std::string value(text);
        element.append_child(pugi::node_pcdata).set_value(value.c_str());
    }
    return element;
}

bool SetAttributeOn(pugi::xml_node element, std::string_view name, std::string_view value)
{
    if (!element || !IsValidName(name) || !IsValidContent(value))
        return false;
    std::string n(name);
    std::string v(value);
    pugi::xml_attribute a = element.attribute(n.c_str());
    if (!a)
        a = element.append_attribute(n.c_str());
    return a.set_value(v.c_str());
}

} // namespace

bool XmlDocument::AddElement(std::string_view name, std::string_view text)
{
    Tree& t = *m_tree;
    if (!IsValidName(name) || !IsValidContent(text))
        return false;
    // The document level holds one element, the root.
    if (!t.parent && t.Root())
        return false;
    pugi::xml_node element = NewElement(t.Level(), t.current, name, text);
    if (!element)
        return false;
    t.current = element;
    t.child = pugi::xml_node();
    return true;
}

bool XmlDocument::AddChildElement(std::string_view name, std::string_view text)
{
    Tree& t = *m_tree;
    if (!t.current || !IsValidName(name) || !IsValidContent(text) ||
        DepthOf(t.current) >= kMaxDepth)
        return false;
    pugi::xml_node element = NewElement(t.current, pugi::xml_node(), name, text);
    if (!element)
        return false;
    t.child = element;
    return true;
}

bool XmlDocument::SetAttribute(std::string_view name, std::string_view value)
{
    return SetAttributeOn(m_tree->current, name, value);
}

bool XmlDocument::SetChildAttribute(std::string_view name, std::string_view value)
{
    return SetAttributeOn(m_tree->child, name, value);
}

std::string XmlDocument::DocumentText() const
{
    std::string out;
    SerializeDocument(m_tree->document, m_tree->declaration, out);
    return out;
}

namespace {

// The encoding a saved document is written in: the one its XML declaration names, else the
// one an HTML meta element near its start names, as loading reads them, so that what is saved
// loads again as the same text. Without either, UTF-8. After a byte-order mark, which loading
// puts before any meta element, the meta element is not consulted.
std::string SaveEncoding(const pugi::xml_node& top, std::string_view declaration, bool bom)
{
    std::string label = PseudoAttribute(declaration, "encoding");
    if (!label.empty() || bom)
        return label;
    // Loading looks for the meta element in the first 64 KiB; the text is taken that far.
    constexpr std::size_t kMetaWindow = 64 * 1024;
    std::string head;
    SerializeDocument(
        top, declaration, head, [](std::string&) { return false; }, kMetaWindow);
    return MetaCharset(head);
}

} // namespace

std::string XmlDocument::TakeCurrentElementText()
{
    Tree& t = *m_tree;
    if (!t.current || t.current.type() != pugi::node_element)
        return {};
    // Written as the element's own document: the same text it has inside the whole one.
    pugi::xml_document alone;
    alone.append_copy(t.current);
    std::string out;
    SerializeDocument(alone, "", out);
    pugi::xml_node previous = t.current.previous_sibling();
    while (previous && previous.type() != pugi::node_element)
        previous = previous.previous_sibling();
    t.Level().remove_child(t.current);
    t.current = previous;
    t.child = pugi::xml_node();
    return out;
}

std::string XmlDocument::SavedBytes(bool* ok) const
{
    std::string bytes;
    const std::string label = SaveEncoding(m_tree->document, m_tree->declaration, m_byteOrderMark);
    bool done = xml::EncodeText(DocumentText(), label, m_byteOrderMark, bytes).empty();
    if (ok)
        *ok = done;
    if (!done)
        bytes.clear();
    return bytes;
}

bool XmlDocument::Save(const std::string& path)
{
    m_result.clear();
    const std::string label = SaveEncoding(m_tree->document, m_tree->declaration, m_byteOrderMark);
    if (!m_byteOrderMark && (label.empty() || FamilyOf(label) == Family::Utf8)) {
        // UTF-8 as it stands: written a megabyte at a time, never held whole in memory.
        tables::ReplacingFile file;
        if (!file.Open(path)) {
            m_result = "file_error";
            return false;
        }
        bool valid = true;
        const auto write = [&](std::string& text) {
            valid = tables::IsValidUtf8(text) && !HasForbiddenControl(text);
            const bool written = valid && file.Write(text);
            text.clear();
            return written;
        };
        std::string text;
        if (!SerializeDocument(m_tree->document, m_tree->declaration, text, write) ||
            !write(text) || !file.Commit()) {
            file.Abandon();
            m_result = valid ? "file_error" : "invalid_character";
            return false;
        }
        m_result = "write";
        return true;
    }
    std::string bytes;
    std::string problem = xml::EncodeText(DocumentText(), label, m_byteOrderMark, bytes);
    if (!problem.empty()) {
        m_result = problem;
        return false;
    }
    if (!label.empty() && FamilyOf(label) != Family::Utf8)
        m_result = "converted_to:" + label + " ";
    if (bytes.starts_with(kUtf8Bom) || bytes.starts_with("\xFF\xFE"))
        m_result += "bom ";
    if (!tables::ReplaceFileContents(path, bytes)) {
        m_result += "file_error";
        return false;
    }
    m_result += "write";
    return true;
}

bool XmlDocument::Load(const std::string& path)
{
    std::string bytes;
    if (!platform::ReadWholeFile(path, bytes)) {
        m_tree->Clear();
        m_byteOrderMark = false;
        m_result = "file_error";
        return false;
    }
    return LoadFromBytes(std::move(bytes));
}

bool XmlDocument::LoadFromBytes(std::string bytes)
{
    return LoadDecoded(Decode(std::move(bytes)));
}

DecodedXml XmlDocument::Decode(std::string bytes)
{
    return xml::DecodeBytes(std::move(bytes));
}

bool XmlDocument::LoadDecoded(DecodedXml decoded)
{
    m_tree->Clear();
    m_byteOrderMark = false;
    m_result = std::move(decoded.result);
    if (!decoded.ok)
        return false;
    auto fail = [&](const std::string& keyword) {
        m_tree->Clear();
        m_byteOrderMark = false;
        m_result += keyword;
        return false;
    };
    m_byteOrderMark = decoded.byteOrderMark;
    if (HasForbiddenCharacter(decoded.text))
        return fail("invalid_character");
    std::string problem = m_tree->Parse(std::move(decoded.text), false);
    if (!problem.empty())
        return fail(problem);
    m_result += "read";
    return true;
}

} // namespace carvento::fileconv
