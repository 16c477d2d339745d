// XmlDocument on pugixml. Files are converted to UTF-8 before pugixml sees them, and a quick
// scan of the converted text refuses what pugixml would accept but we do not: nesting deeper
// than kMaxDepth, text or a second element beside the root, entity declarations. The tree is
// parsed in place from the converted buffer, which the document keeps. Saving uses our own
// serializer: no indentation, every element ended with CR LF, an empty element as <name/>.
#include "fileconv/XmlDocument.hpp"

#include "tables/CodePage.hpp"
#include "tables/OutputPolicy.hpp"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iconv.h>
#include <iterator>
#include <limits>
#include <pugixml.hpp>

namespace carvento::fileconv {
namespace {

constexpr unsigned kParseOptions = pugi::parse_default | pugi::parse_comments;
constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";

bool IsSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

std::string Upper(std::string_view text)
{
    std::string out(text);
    for (char& c : out)
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    return out;
}

std::string Lower(std::string_view text)
{
    std::string out(text);
    for (char& c : out)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return out;
}

bool StartsWith(std::string_view text, std::string_view prefix)
{
    return text.substr(0, prefix.size()) == prefix;
}

// Whole-input conversion through iconv; false when the converter does not exist or a byte
// sequence is invalid or cannot be held by the target.
enum class IconvStatus { Ok, UnknownEncoding, Failed };

IconvStatus Iconv(const char* to, const char* from, std::string_view input, std::string& output)
{
    iconv_t cd = iconv_open(to, from);
    if (cd == reinterpret_cast<iconv_t>(-1))
        return IconvStatus::UnknownEncoding;
    output.assign(input.size() + input.size() / 2 + 16, '\0');
    char* in = const_cast<char*>(input.data());
    std::size_t inLeft = input.size();
    std::size_t written = 0;
    IconvStatus status = IconvStatus::Ok;
    for (;;) {
        char* out = output.data() + written;
        std::size_t outLeft = output.size() - written;
        std::size_t rc = inLeft > 0 ? iconv(cd, &in, &inLeft, &out, &outLeft)
                                    : iconv(cd, nullptr, nullptr, &out, &outLeft);
        written = output.size() - outLeft;
        if (rc != static_cast<std::size_t>(-1)) {
            if (inLeft == 0)
                break;
            continue;
        }
        if (errno == E2BIG) {
            output.resize(output.size() * 2);
            continue;
        }
        status = IconvStatus::Failed; // EILSEQ or a sequence cut off at the end (EINVAL)
        break;
    }
    iconv_close(cd);
    output.resize(written);
    return status;
}

// How a declared encoding name is read and written.
enum class Family { Utf8, Utf16, Utf16Le, Utf16Be, Gbk, Gb18030, Other };

Family FamilyOf(std::string_view label)
{
    std::string name = Upper(label);
    if (name == "UTF-8" || name == "UTF8" || name == "US-ASCII" || name == "ASCII")
        return Family::Utf8;
    if (name == "UTF-16" || name == "UTF16" || name == "UCS-2" || name == "UNICODE")
        return Family::Utf16;
    if (name == "UTF-16LE")
        return Family::Utf16Le;
    if (name == "UTF-16BE")
        return Family::Utf16Be;
    // Files labelled GB2312 hold GBK characters in practice; readers treat the labels alike.
    if (name == "GBK" || name == "GB2312" || name == "GB_2312-80" || name == "CP936" ||
        name == "X-GBK" || name == "WINDOWS-936" || name == "EUC-CN")
        return Family::Gbk;
    if (name == "GB18030")
        return Family::Gb18030;
    return Family::Other;
}

// The value of a pseudo-attribute (`encoding`) inside an XML declaration's text.
std::string PseudoAttribute(std::string_view declaration, std::string_view name)
{
    std::size_t at = 0;
    while ((at = declaration.find(name, at)) != std::string_view::npos) {
        std::size_t i = at + name.size();
        bool boundary = at > 0 && IsSpace(declaration[at - 1]);
        while (i < declaration.size() && IsSpace(declaration[i]))
            ++i;
        if (boundary && i < declaration.size() && declaration[i] == '=') {
            ++i;
            while (i < declaration.size() && IsSpace(declaration[i]))
                ++i;
            if (i < declaration.size() && (declaration[i] == '"' || declaration[i] == '\'')) {
                std::size_t end = declaration.find(declaration[i], i + 1);
                if (end != std::string_view::npos)
                    return std::string(declaration.substr(i + 1, end - i - 1));
            }
            return {};
        }
        at = i;
    }
    return {};
}

// The XML declaration at the start of ASCII-compatible text ("<?xml ... ?>"), empty when none.
// Leading white space is tolerated.
std::string_view LeadingDeclaration(std::string_view text, std::size_t* end = nullptr)
{
    std::size_t i = 0;
    while (i < text.size() && i < 256 && IsSpace(text[i]))
        ++i;
    std::string_view rest = text.substr(i);
    if (!StartsWith(rest, "<?xml") || rest.size() < 6 || !IsSpace(rest[5]))
        return {};
    std::size_t close = rest.substr(0, 1024).find("?>");
    if (close == std::string_view::npos)
        return {};
    if (end)
        *end = i + close + 2;
    return rest.substr(0, close + 2);
}

// charset=... of an HTML content-type meta element near the start of the file.
std::string MetaCharset(std::string_view bytes)
{
    std::string head = Lower(bytes.substr(0, 64 * 1024));
    std::size_t at = 0;
    while ((at = head.find("<meta", at)) != std::string::npos) {
        std::size_t close = head.find('>', at);
        if (close == std::string::npos)
            break;
        std::string_view tag = std::string_view(head).substr(at, close - at);
        std::size_t cs = tag.find("charset");
        if (cs != std::string_view::npos) {
            std::size_t i = cs + 7;
            while (i < tag.size() && IsSpace(tag[i]))
                ++i;
            if (i < tag.size() && tag[i] == '=') {
                ++i;
                while (i < tag.size() && (IsSpace(tag[i]) || tag[i] == '"' || tag[i] == '\''))
                    ++i;
                std::size_t start = i;
                while (i < tag.size() && !IsSpace(tag[i]) && tag[i] != '"' && tag[i] != '\'' &&
                       tag[i] != ';' && tag[i] != '/')
                    ++i;
                if (i > start) {
                    // Take the spelling of the original bytes (same offsets: ASCII lowering).
                    return std::string(bytes.substr(at + start, i - start));
                }
            }
        }
        at = close;
    }
    return {};
}

// Checks the structure pugixml is lenient about, in one pass over UTF-8 text: element nesting
// up to kMaxDepth, nothing but white space, comments and processing instructions beside the
// root (unless a fragment is parsed), no entity declarations in a DOCTYPE. Returns the keyword
// of the first problem, empty when none.
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
            if (!fragment && !IsSpace(data[i]))
                return "text_outside_root";
            ++i;
            continue;
        }
        std::string_view rest = text.substr(i, 9);
        if (StartsWith(rest, "<!--")) {
            std::size_t end = findFrom(i + 4, "-->");
            if (end == std::string_view::npos)
                return "not_well_formed";
            i = end + 3;
        } else if (StartsWith(rest, "<![CDATA[")) {
            if (depth == 0 && !fragment)
                return "text_outside_root";
            std::size_t end = findFrom(i + 9, "]]>");
            if (end == std::string_view::npos)
                return "not_well_formed";
            i = end + 3;
        } else if (StartsWith(rest, "<?")) {
            std::size_t end = findFrom(i + 2, "?>");
            if (end == std::string_view::npos)
                return "not_well_formed";
            i = end + 2;
        } else if (StartsWith(rest, "<!")) {
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
        } else if (StartsWith(rest, "</")) {
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

// Characters XML 1.0 cannot hold at all: C0 controls other than tab, LF and CR.
bool HasForbiddenControl(std::string_view text)
{
    return std::any_of(text.begin(), text.end(), [](char c) {
        auto u = static_cast<unsigned char>(c);
        return u < 0x20 && u != '\t' && u != '\n' && u != '\r';
    });
}

// Character references to what XML cannot hold (&#1;, &#xD800;): pugixml would decode them
// into text that no file can be written with.
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

void AppendEscaped(std::string& out, std::string_view text, bool attribute)
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

std::string TextOf(const pugi::xml_node& element)
{
    std::string text;
    for (pugi::xml_node child = element.first_child(); child; child = child.next_sibling())
        if (IsTextNode(child))
            text += child.value();
    return text;
}

void AppendStartTag(std::string& out, const pugi::xml_node& element, bool empty)
{
    out += '<';
    out += element.name();
    for (pugi::xml_attribute a = element.first_attribute(); a; a = a.next_attribute()) {
        out += ' ';
        out += a.name();
        out += "=\"";
        AppendEscaped(out, a.value(), true);
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
            AppendEscaped(out, text, false);
            out += "</";
            out += node.name();
            out += ">\r\n";
        }
        break;
    }
    case pugi::node_pcdata:
    case pugi::node_cdata: {
        std::string_view value = node.value();
        if (std::all_of(value.begin(), value.end(), IsSpace))
            break;
        AppendEscaped(out, value, false);
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

namespace {

// Writes the document text into `out`. When `flush` is given it is called whenever `out` has
// grown past `flushSize` (a megabyte), at an element's end, and takes the text so far; false
// stops.
bool SerializeDocument(const pugi::xml_node& top, std::string_view declaration, std::string& out,
                       const std::function<bool(std::string&)>& flush = {},
                       std::size_t flushSize = 1 << 20)
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

} // namespace

std::string XmlDocument::DocumentText() const
{
    std::string out;
    SerializeDocument(m_tree->document, m_tree->declaration, out);
    return out;
}

namespace {

// Encodes the document text for the declared encoding; empty keyword on success.
// The text is taken over: a UTF-8 document without a byte-order mark is written as it is,
// without a second copy of a document that may be hundreds of megabytes.
// Whether `encoding` writes the markup characters of ASCII as they are, so that a file in it
// declares its encoding readably. False for UTF-7 and EBCDIC; true when iconv does not know it
// (the conversion itself then reports that).
bool WritesAsciiAsAscii(const char* encoding)
{
    const std::string_view ascii = "<?xml version=\"1.0\"?><a b=\"c\"/>";
    std::string written;
    return Iconv(encoding, "UTF-8", ascii, written) != IconvStatus::Ok || written == ascii;
}

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

std::string EncodeDocument(std::string text, const std::string& label, bool bom, std::string& bytes)
{
    if (!tables::IsValidUtf8(text) || HasForbiddenControl(text))
        return "invalid_character";
    Family family = label.empty() ? Family::Utf8 : FamilyOf(label);
    const char* target = nullptr;
    std::string prefix;
    switch (family) {
    case Family::Utf8:
        if (!bom) {
            bytes = std::move(text);
            return {};
        }
        bytes.assign(kUtf8Bom);
        bytes += text;
        return {};
    case Family::Utf16:
        target = "UTF-16LE";
        prefix = "\xFF\xFE";
        break;
    case Family::Utf16Le:
        target = "UTF-16LE";
        break;
    case Family::Utf16Be:
        target = "UTF-16BE";
        break;
    case Family::Gbk:
        target = "GBK";
        break;
    case Family::Gb18030:
        target = "GB18030";
        break;
    case Family::Other:
        // What Save wrote in such an encoding would not load again.
        if (!WritesAsciiAsAscii(label.c_str()))
            return "unknown_encoding";
        target = label.c_str();
        break;
    }
    std::string converted;
    switch (Iconv(target, "UTF-8", text, converted)) {
    case IconvStatus::UnknownEncoding:
        return "unknown_encoding";
    case IconvStatus::Failed:
        return "unrepresentable";
    case IconvStatus::Ok:
        break;
    }
    bytes = prefix + converted;
    return {};
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
    bool done = EncodeDocument(DocumentText(), label, m_byteOrderMark, bytes).empty();
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
    std::string problem = EncodeDocument(DocumentText(), label, m_byteOrderMark, bytes);
    if (!problem.empty()) {
        m_result = problem;
        return false;
    }
    if (!label.empty() && FamilyOf(label) != Family::Utf8)
        m_result = "converted_to:" + label + " ";
    if (StartsWith(bytes, kUtf8Bom) || StartsWith(bytes, "\xFF\xFE"))
        m_result += "bom ";
    if (!tables::ReplaceFileContents(path, bytes)) {
        m_result += "file_error";
        return false;
    }
    m_result += "write";
    return true;
}

bool XmlDocument::ReadFileBytes(const std::string& path, std::string& bytes)
{
    std::error_code error;
    const auto status = std::filesystem::status(path, error);
    std::ifstream in;
    if (!error && !std::filesystem::is_directory(status))
        in.open(path, std::ios::binary);
    bool read = false;
    if (in.is_open() && in && std::filesystem::is_regular_file(status)) {
        // Read in one piece; a file that grows meanwhile is refused rather than taken in part.
        std::uintmax_t size = std::filesystem::file_size(path, error);
        if (!error && size < std::numeric_limits<std::size_t>::max() / 2) {
            bytes.resize(static_cast<std::size_t>(size));
            read = in.read(bytes.data(), static_cast<std::streamsize>(size)) &&
                   in.peek() == std::ifstream::traits_type::eof();
        }
    } else if (in.is_open() && in) {
        // A device or pipe.
        bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
        read = !in.bad();
    }
    return read;
}

bool XmlDocument::Load(const std::string& path)
{
    std::string bytes;
    if (!ReadFileBytes(path, bytes)) {
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
    DecodedXml decoded;
    std::string& text = decoded.text;
    std::string& result = decoded.result;
    auto fail = [&](const std::string& keyword) {
        text.clear();
        decoded.byteOrderMark = false;
        result += keyword;
        return std::move(decoded);
    };
    if (bytes.empty())
        return fail("empty");

    auto fromUtf16 = [&](const char* encoding, std::size_t skip) {
        IconvStatus s = Iconv("UTF-8", encoding, std::string_view(bytes).substr(skip), text);
        result += std::string("converted_from:") + encoding + " ";
        return s == IconvStatus::Ok;
    };
    if (StartsWith(bytes, kUtf8Bom)) {
        decoded.byteOrderMark = true;
        result += "bom ";
        bytes.erase(0, kUtf8Bom.size());
        if (!tables::IsValidUtf8(bytes))
            return fail("invalid_bytes");
        text = std::move(bytes);
    } else if (StartsWith(bytes, "\xFF\xFE") || StartsWith(bytes, "\xFE\xFF")) {
        decoded.byteOrderMark = true;
        result += "bom ";
        if (!fromUtf16(bytes[0] == '\xFF' ? "UTF-16LE" : "UTF-16BE", 2))
            return fail("invalid_bytes");
    } else if (StartsWith(bytes, std::string_view("<\0", 2)) ||
               StartsWith(bytes, std::string_view("\0<", 2))) {
        if (!fromUtf16(bytes[0] == '<' ? "UTF-16LE" : "UTF-16BE", 0))
            return fail("invalid_bytes");
    } else {
        std::string label(PseudoAttribute(LeadingDeclaration(bytes), "encoding"));
        if (label.empty())
            label = MetaCharset(bytes);
        Family family = label.empty() ? Family::Utf8 : FamilyOf(label);
        if (family == Family::Utf16 || family == Family::Utf16Le || family == Family::Utf16Be) {
            // The label was readable as ASCII, so the bytes are not UTF-16: judge them.
            result += "declared_encoding_ignored ";
            label.clear();
            family = Family::Utf8;
        }
        if (family == Family::Utf8) {
            if (tables::IsValidUtf8(bytes)) {
                text = std::move(bytes);
            } else if (!label.empty()) {
                return fail("invalid_bytes");
            } else {
                // Nothing declared and not UTF-8: Chinese Windows text.
                result += "converted_from:GB18030 ";
                if (Iconv("UTF-8", "GB18030", bytes, text) != IconvStatus::Ok)
                    return fail("invalid_bytes");
            }
        } else {
            std::string from =
                family == Family::Gbk || family == Family::Gb18030 ? std::string("GB18030") : label;
            result += "converted_from:" + label + " ";
            // An encoding that does not write ASCII as ASCII (UTF-7, EBCDIC) cannot have been
            // declared in ASCII, and what Save wrote in it would not load again.
            if (!WritesAsciiAsAscii(from.c_str()))
                return fail("unknown_encoding");
            switch (Iconv("UTF-8", from.c_str(), bytes, text)) {
            case IconvStatus::UnknownEncoding:
                return fail("unknown_encoding");
            case IconvStatus::Failed:
                return fail("invalid_bytes");
            case IconvStatus::Ok:
                break;
            }
        }
    }
    decoded.ok = true;
    return decoded;
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

std::size_t XmlBodyStart(std::string_view text)
{
    std::size_t start = 0;
    LeadingDeclaration(text, &start);
    return start;
}

bool HasForbiddenCharacter(std::string_view text)
{
    return HasForbiddenControl(text) || HasForbiddenReference(text);
}

} // namespace carvento::fileconv
