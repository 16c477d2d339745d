// XML encodings: detection from the first bytes, conversion through the code-page module's
// named conversions (any encoding a file may declare, beyond our GBK and UTF-8).
#include "fileconv/XmlEncoding.hpp"

#include "fileconv/XmlStructure.hpp"
#include "platform/AsciiText.hpp"
#include "tables/CodePage.hpp"

namespace carvento::fileconv::xml {

Family FamilyOf(std::string_view label)
{
    std::string name = platform::AsciiUpper(label);
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

std::string PseudoAttribute(std::string_view declaration, std::string_view name)
{
    std::size_t at = 0;
    while ((at = declaration.find(name, at)) != std::string_view::npos) {
        std::size_t i = at + name.size();
        bool boundary = at > 0 && IsXmlSpace(declaration[at - 1]);
        while (i < declaration.size() && IsXmlSpace(declaration[i]))
            ++i;
        if (boundary && i < declaration.size() && declaration[i] == '=') {
            ++i;
            while (i < declaration.size() && IsXmlSpace(declaration[i]))
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

std::string_view LeadingDeclaration(std::string_view text, std::size_t* end)
{
    std::size_t i = 0;
    while (i < text.size() && i < 256 && IsXmlSpace(text[i]))
        ++i;
    std::string_view rest = text.substr(i);
    if (!rest.starts_with("<?xml") || rest.size() < 6 || !IsXmlSpace(rest[5]))
        return {};
    std::size_t close = rest.substr(0, 1024).find("?>");
    if (close == std::string_view::npos)
        return {};
    if (end)
        *end = i + close + 2;
    return rest.substr(0, close + 2);
}

std::string MetaCharset(std::string_view bytes)
{
    std::string head = platform::AsciiLower(bytes.substr(0, 64 * 1024));
    std::size_t at = 0;
    while ((at = head.find("<meta", at)) != std::string::npos) {
        std::size_t close = head.find('>', at);
        if (close == std::string::npos)
            break;
        std::string_view tag = std::string_view(head).substr(at, close - at);
        std::size_t cs = tag.find("charset");
        if (cs != std::string_view::npos) {
            std::size_t i = cs + 7;
            while (i < tag.size() && IsXmlSpace(tag[i]))
                ++i;
            if (i < tag.size() && tag[i] == '=') {
                ++i;
                while (i < tag.size() && (IsXmlSpace(tag[i]) || tag[i] == '"' || tag[i] == '\''))
                    ++i;
                std::size_t start = i;
                while (i < tag.size() && !IsXmlSpace(tag[i]) && tag[i] != '"' && tag[i] != '\'' &&
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

bool WritesAsciiAsAscii(const char* encoding)
{
    const std::string_view ascii = "<?xml version=\"1.0\"?><a b=\"c\"/>";
    std::string written;
    return tables::ConvertEncoding(encoding, "UTF-8", ascii, written) !=
               tables::ConversionStatus::Ok ||
           written == ascii;
}

DecodedXml DecodeBytes(std::string bytes)
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
        tables::ConversionStatus s =
            tables::ConvertEncoding("UTF-8", encoding, std::string_view(bytes).substr(skip), text);
        result += std::string("converted_from:") + encoding + " ";
        return s == tables::ConversionStatus::Ok;
    };
    if (bytes.starts_with(kUtf8Bom)) {
        decoded.byteOrderMark = true;
        result += "bom ";
        bytes.erase(0, kUtf8Bom.size());
        if (!tables::IsValidUtf8(bytes))
            return fail("invalid_bytes");
        text = std::move(bytes);
    } else if (bytes.starts_with("\xFF\xFE") || bytes.starts_with("\xFE\xFF")) {
        decoded.byteOrderMark = true;
        result += "bom ";
        if (!fromUtf16(bytes[0] == '\xFF' ? "UTF-16LE" : "UTF-16BE", 2))
            return fail("invalid_bytes");
    } else if (bytes.starts_with(std::string_view("<\0", 2)) ||
               bytes.starts_with(std::string_view("\0<", 2))) {
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
                if (tables::ConvertEncoding("UTF-8", "GB18030", bytes, text) !=
                    tables::ConversionStatus::Ok)
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
            switch (tables::ConvertEncoding("UTF-8", from.c_str(), bytes, text)) {
            case tables::ConversionStatus::UnknownEncoding:
                return fail("unknown_encoding");
            case tables::ConversionStatus::Failed:
                return fail("invalid_bytes");
            case tables::ConversionStatus::Ok:
                break;
            }
        }
    }
    decoded.ok = true;
    return decoded;
}

std::string EncodeText(std::string text, const std::string& label, bool bom, std::string& bytes)
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
    switch (tables::ConvertEncoding(target, "UTF-8", text, converted)) {
    case tables::ConversionStatus::UnknownEncoding:
        return "unknown_encoding";
    case tables::ConversionStatus::Failed:
        return "unrepresentable";
    case tables::ConversionStatus::Ok:
        break;
    }
    bytes = prefix + converted;
    return {};
}

} // namespace carvento::fileconv::xml
