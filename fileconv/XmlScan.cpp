// XmlScan: one checking pass when the text is taken, then positions found by skipping over the
// text from the element the cursor stands on. An element's end is kept once found, so walking a
// level child after child reads each child's bytes about once more than walking the level.
#include "fileconv/XmlScan.hpp"

#include "fileconv/XmlDocument.hpp"
#include "fileconv/XmlStructure.hpp"

#include <cstring>

namespace carvento::fileconv {
namespace {

using xml::IsXmlSpace;

bool IsNameStart(char c)
{
    const auto u = static_cast<unsigned char>(c);
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_' || c == ':' || u >= 0x80;
}

bool IsNameChar(char c)
{
    return IsNameStart(c) || (c >= '0' && c <= '9') || c == '-' || c == '.';
}

bool StartsAt(std::string_view text, std::size_t at, std::string_view what)
{
    return text.compare(at, what.size(), what) == 0;
}

// The end of a name starting at `at` (at itself when none starts there).
std::size_t NameEnd(std::string_view text, std::size_t at)
{
    if (at >= text.size() || !IsNameStart(text[at]))
        return at;
    std::size_t end = at + 1;
    while (end < text.size() && IsNameChar(text[end]))
        ++end;
    return end;
}

// A reference at `at` ('&'): its length with the ';' and the code point it stands for, or 0
// when it is not one the cursor reads (an unknown entity, a character XML cannot hold).
std::size_t Reference(std::string_view text, std::size_t at, unsigned long& code)
{
    static constexpr struct {
        std::string_view name;
        char value;
    } kNamed[] = {{"&lt;", '<'}, {"&gt;", '>'}, {"&amp;", '&'}, {"&apos;", '\''}, {"&quot;", '"'}};
    for (const auto& named : kNamed) {
        if (StartsAt(text, at, named.name)) {
            code = static_cast<unsigned char>(named.value);
            return named.name.size();
        }
    }
    if (!StartsAt(text, at, "&#"))
        return 0;
    std::size_t i = at + 2;
    const bool hex = i < text.size() && text[i] == 'x';
    if (hex)
        ++i;
    const std::size_t first = i;
    code = 0;
    for (; i < text.size() && i - first < 7; ++i) {
        const char c = text[i];
        int value = c >= '0' && c <= '9'          ? c - '0'
                    : hex && c >= 'a' && c <= 'f' ? c - 'a' + 10
                    : hex && c >= 'A' && c <= 'F' ? c - 'A' + 10
                                                  : -1;
        if (value < 0)
            break;
        code = code * (hex ? 16 : 10) + static_cast<unsigned long>(value);
    }
    if (i == first || i >= text.size() || text[i] != ';')
        return 0;
    const bool allowed = code == 0x9 || code == 0xA || code == 0xD ||
                         (code >= 0x20 && code <= 0xD7FF) || (code >= 0xE000 && code <= 0xFFFD) ||
                         (code >= 0x10000 && code <= 0x10FFFF);
    return allowed ? i + 1 - at : 0;
}

void AppendUtf8(std::string& out, unsigned long code)
{
    if (code < 0x80) {
        out += static_cast<char>(code);
    } else if (code < 0x800) {
        out += static_cast<char>(0xC0 | (code >> 6));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        out += static_cast<char>(0xE0 | (code >> 12));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (code >> 18));
        out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    }
}

// Text or an attribute value of checked text as XmlDocument reads it: references decoded, CR
// LF and a lone CR as LF; in an attribute every white space character a space (CR LF one).
void AppendDecoded(std::string& out, std::string_view raw, bool attribute)
{
    for (std::size_t i = 0; i < raw.size(); ++i) {
        const char c = raw[i];
        if (c == '&') {
            unsigned long code = 0;
            const std::size_t length = Reference(raw, i, code);
            AppendUtf8(out, code);
            i += length - 1;
        } else if (c == '\r') {
            out += attribute ? ' ' : '\n';
            if (i + 1 < raw.size() && raw[i + 1] == '\n')
                ++i;
        } else if (attribute && (c == '\n' || c == '\t')) {
            out += ' ';
        } else {
            out += c;
        }
    }
}

// Whether text between markup is what the cursor reads: every '&' a reference it knows.
bool CheckText(std::string_view text, std::size_t from, std::size_t to)
{
    for (std::size_t at = from; at < to; ++at) {
        const void* amp = std::memchr(text.data() + at, '&', to - at);
        if (!amp)
            return true;
        at = static_cast<std::size_t>(static_cast<const char*>(amp) - text.data());
        unsigned long code = 0;
        const std::size_t length = Reference(text.substr(0, to), at, code);
        if (length == 0)
            return false;
        at += length - 1;
    }
    return true;
}

// The '>' closing a start tag whose '<' is at `at`, quotes skipped; npos when none.
std::size_t TagClose(std::string_view text, std::size_t at)
{
    for (std::size_t i = at + 1; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '>')
            return i;
        if (c == '"' || c == '\'') {
            i = text.find(c, i + 1);
            if (i == std::string_view::npos)
                return i;
        }
    }
    return std::string_view::npos;
}

} // namespace

bool XmlScan::Open(std::string& text, std::size_t body)
{
    m_parents.clear();
    m_current = m_child = Element{};
    m_document = Element{};
    m_text = std::move(text);
    if (!Check(body)) {
        text = std::move(m_text);
        m_text = std::string();
        return false;
    }
    m_document.begin = body;
    m_document.contentBegin = body;
    m_document.contentEnd = m_document.end = m_text.size();
    return true;
}

// One pass over the whole text: plain, well-formed XML, one root, nothing but white space and
// comments beside it.
bool XmlScan::Check(std::size_t body) const
{
    const std::string_view text = m_text;
    const std::size_t size = text.size();
    if (body > size)
        return false;
    // What XmlDocument refuses anywhere, in comments too.
    if (HasForbiddenCharacter(text))
        return false;
    std::size_t at = body;
    std::vector<std::string_view> open;
    bool rootSeen = false;
    while (at < size) {
        const void* found = std::memchr(text.data() + at, '<', size - at);
        const std::size_t lt =
            found ? static_cast<std::size_t>(static_cast<const char*>(found) - text.data()) : size;
        if (open.empty()) {
            for (std::size_t i = at; i < lt; ++i)
                if (!IsXmlSpace(text[i]))
                    return false;
        } else if (!CheckText(text, at, lt)) {
            return false;
        }
        if (lt == size)
            break;
        if (StartsAt(text, lt, "<!--")) {
            const std::size_t end = text.find("-->", lt + 4);
            if (end == std::string_view::npos ||
                text.substr(lt + 4, end - lt - 4).find("--") != std::string_view::npos)
                return false;
            at = end + 3;
        } else if (StartsAt(text, lt, "<![CDATA[")) {
            const std::size_t end = text.find("]]>", lt + 9);
            if (open.empty() || end == std::string_view::npos ||
                text.substr(lt + 9, end - lt - 9).find('\r') != std::string_view::npos)
                return false;
            at = end + 3;
        } else if (StartsAt(text, lt, "</")) {
            const std::size_t nameEnd = NameEnd(text, lt + 2);
            if (open.empty() || text.substr(lt + 2, nameEnd - lt - 2) != open.back())
                return false;
            std::size_t i = nameEnd;
            while (i < size && IsXmlSpace(text[i]))
                ++i;
            if (i >= size || text[i] != '>')
                return false;
            open.pop_back();
            at = i + 1;
        } else {
            const std::size_t nameEnd = NameEnd(text, lt + 1);
            if (nameEnd == lt + 1 || (open.empty() && rootSeen))
                return false;
            rootSeen = true;
            std::size_t i = nameEnd;
            bool empty = false;
            std::vector<std::string_view> names;
            for (;;) {
                const std::size_t spaceStart = i;
                while (i < size && IsXmlSpace(text[i]))
                    ++i;
                if (i >= size)
                    return false;
                if (text[i] == '>')
                    break;
                if (StartsAt(text, i, "/>")) {
                    empty = true;
                    ++i;
                    break;
                }
                const std::size_t attributeEnd = NameEnd(text, i);
                if (i == spaceStart || attributeEnd == i)
                    return false;
                const std::string_view name = text.substr(i, attributeEnd - i);
                for (std::string_view seen : names)
                    if (seen == name)
                        return false;
                names.push_back(name);
                i = attributeEnd;
                while (i < size && IsXmlSpace(text[i]))
                    ++i;
                if (i >= size || text[i] != '=')
                    return false;
                ++i;
                while (i < size && IsXmlSpace(text[i]))
                    ++i;
                if (i >= size || (text[i] != '"' && text[i] != '\''))
                    return false;
                const std::size_t close = text.find(text[i], i + 1);
                if (close == std::string_view::npos ||
                    text.substr(i + 1, close - i - 1).find('<') != std::string_view::npos ||
                    !CheckText(text, i + 1, close))
                    return false;
                i = close + 1;
            }
            if (!empty) {
                open.push_back(text.substr(lt + 1, nameEnd - lt - 1));
                if (open.size() > static_cast<std::size_t>(kMaxDepth))
                    return false;
            }
            at = i + 1;
        }
    }
    return rootSeen && open.empty();
}

XmlScan::Element XmlScan::StartTag(std::size_t at) const
{
    Element element;
    element.begin = at;
    element.nameEnd = NameEnd(m_text, at + 1);
    const std::size_t close = TagClose(m_text, at);
    element.contentBegin = close + 1;
    if (m_text[close - 1] == '/')
        element.contentEnd = element.end = close + 1;
    return element;
}

std::string_view XmlScan::NameOf(const Element& element) const
{
    return std::string_view(m_text).substr(element.begin + 1, element.nameEnd - element.begin - 1);
}

std::size_t XmlScan::EndOf(Element& element) const
{
    if (element.end != kNone)
        return element.end;
    const std::string_view text = m_text;
    int depth = 1;
    std::size_t at = element.contentBegin;
    for (;;) {
        at = text.find('<', at);
        if (StartsAt(text, at, "</")) {
            if (--depth == 0) {
                element.contentEnd = at;
                element.end = text.find('>', at) + 1;
                return element.end;
            }
            at = text.find('>', at) + 1;
        } else if (StartsAt(text, at, "<!--")) {
            at = text.find("-->", at + 4) + 3;
        } else if (StartsAt(text, at, "<![CDATA[")) {
            at = text.find("]]>", at + 9) + 3;
        } else {
            const std::size_t close = TagClose(text, at);
            if (text[close - 1] != '/')
                ++depth;
            at = close + 1;
        }
    }
}

XmlScan::Element XmlScan::NextElement(std::size_t at, Element& level) const
{
    const std::string_view text = m_text;
    const std::size_t limit = level.contentEnd == kNone ? text.size() : level.contentEnd;
    while (at < limit) {
        const void* found = std::memchr(text.data() + at, '<', limit - at);
        if (!found)
            break;
        at = static_cast<std::size_t>(static_cast<const char*>(found) - text.data());
        if (StartsAt(text, at, "</")) {
            level.contentEnd = at;
            level.end = text.find('>', at) + 1;
            break;
        }
        if (StartsAt(text, at, "<!--"))
            at = text.find("-->", at + 4) + 3;
        else if (StartsAt(text, at, "<![CDATA["))
            at = text.find("]]>", at + 9) + 3;
        else
            return StartTag(at);
    }
    return {};
}

XmlScan::Element XmlScan::FindFrom(std::size_t at, Element& level, std::string_view name) const
{
    Element element = NextElement(at, level);
    while (element.Valid() && NameOf(element) != name)
        element = NextElement(EndOf(element), level);
    return element;
}

void XmlScan::ResetPosition()
{
    m_current = m_child = Element{};
}

void XmlScan::ResetChildPosition()
{
    m_child = Element{};
}

bool XmlScan::FindElement(std::string_view name)
{
    if (!m_document.Valid())
        return false;
    Element& level = Level();
    const std::size_t start = m_current.Valid() ? EndOf(m_current) : level.contentBegin;
    const Element found = FindFrom(start, level, name);
    if (!found.Valid())
        return false;
    m_current = found;
    m_child = Element{};
    return true;
}

bool XmlScan::FindChildElement(std::string_view name)
{
    if (!m_document.Valid())
        return false;
    Element first;
    if (!m_current.Valid())
        first = NextElement(Level().contentBegin, Level());
    Element& element = m_current.Valid() ? m_current : first;
    if (!element.Valid())
        return false;
    const std::size_t start = m_current.Valid() && m_child.Valid() ? EndOf(m_child)
                                                                   : element.contentBegin;
    const Element found = FindFrom(start, element, name);
    if (!found.Valid())
        return false;
    m_current = element;
    m_child = found;
    return true;
}

bool XmlScan::EnterElement()
{
    if (!m_current.Valid())
        return false;
    m_parents.push_back(m_current);
    m_current = m_child;
    m_child = Element{};
    return true;
}

bool XmlScan::LeaveElement()
{
    if (m_parents.empty())
        return false;
    m_child = m_current;
    m_current = m_parents.back();
    m_parents.pop_back();
    return true;
}

std::string XmlScan::ChildText() const
{
    std::string out;
    if (!m_child.Valid() || m_child.contentEnd == m_child.contentBegin)
        return out;
    const std::string_view text = m_text;
    std::size_t at = m_child.contentBegin;
    for (;;) {
        const std::size_t lt = text.find('<', at);
        const std::string_view run = text.substr(at, lt - at);
        for (char c : run) {
            if (!IsXmlSpace(c)) { // a piece of white space alone is no text
                AppendDecoded(out, run, false);
                break;
            }
        }
        if (StartsAt(text, lt, "</"))
            return out;
        if (StartsAt(text, lt, "<!--")) {
            at = text.find("-->", lt + 4) + 3;
        } else if (StartsAt(text, lt, "<![CDATA[")) {
            const std::size_t end = text.find("]]>", lt + 9);
            out.append(text.substr(lt + 9, end - lt - 9));
            at = end + 3;
        } else {
            Element inner = StartTag(lt);
            at = EndOf(inner);
        }
    }
}

std::string XmlScan::Attribute(std::string_view name) const
{
    std::string out;
    if (!m_current.Valid())
        return out;
    const std::string_view text = m_text;
    std::size_t i = m_current.nameEnd;
    for (;;) {
        while (IsXmlSpace(text[i]))
            ++i;
        if (text[i] == '>' || text[i] == '/')
            return out;
        const std::size_t nameEnd = NameEnd(text, i);
        const std::string_view attribute = text.substr(i, nameEnd - i);
        i = text.find_first_of("\"'", nameEnd);
        const std::size_t close = text.find(text[i], i + 1);
        if (attribute == name) {
            AppendDecoded(out, text.substr(i + 1, close - i - 1), true);
            return out;
        }
        i = close + 1;
    }
}

std::string_view XmlScan::RootName() const
{
    if (!m_document.Valid())
        return {};
    Element document = m_document;
    const Element root = NextElement(document.contentBegin, document);
    return root.Valid() ? NameOf(root) : std::string_view();
}

} // namespace carvento::fileconv
