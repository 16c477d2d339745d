// Code-page conversion through iconv. GBK is not self-synchronising (a trail byte can look
// like an ASCII or lead byte), so text is always decoded before anything searches it.
#include "tables/CodePage.hpp"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <iconv.h>

namespace carvento::tables {
namespace {

int LineOfOffset(std::string_view text, std::size_t offset)
{
    // Lines end at LF, CR LF or a lone CR.
    int line = 1;
    for (std::size_t i = 0; i < offset && i < text.size(); ++i) {
        if (text[i] == '\n')
            ++line;
        else if (text[i] == '\r' && (i + 1 >= text.size() || text[i + 1] != '\n'))
            ++line;
    }
    return line;
}

struct IconvResult {
    bool ok = true;
    std::size_t failedAt = 0; // offset in the input
    std::string output;
};

IconvResult Convert(const char* to, const char* from, std::string_view input)
{
    IconvResult result;
    iconv_t cd = iconv_open(to, from);
    if (cd == reinterpret_cast<iconv_t>(-1)) {
        result.ok = false;
        return result;
    }
    result.output.resize(input.size() * 2 + 16);
    char* in = const_cast<char*>(input.data());
    std::size_t inLeft = input.size();
    std::size_t written = 0;
    while (inLeft > 0) {
        char* out = result.output.data() + written;
        std::size_t outLeft = result.output.size() - written;
        std::size_t rc = iconv(cd, &in, &inLeft, &out, &outLeft);
        written = result.output.size() - outLeft;
        if (rc != static_cast<std::size_t>(-1))
            break;
        if (errno == E2BIG) {
            result.output.resize(result.output.size() * 2);
            continue;
        }
        // EILSEQ (invalid or unrepresentable) or EINVAL (truncated sequence at the end).
        result.ok = false;
        result.failedAt = input.size() - inLeft;
        break;
    }
    result.output.resize(written);
    iconv_close(cd);
    return result;
}

bool IsAscii(std::string_view bytes)
{
    std::size_t i = 0;
    for (; i + 8 <= bytes.size(); i += 8) {
        std::uint64_t block;
        std::memcpy(&block, bytes.data() + i, sizeof block);
        if (block & 0x8080808080808080ULL)
            return false;
    }
    for (; i < bytes.size(); ++i)
        if (static_cast<unsigned char>(bytes[i]) >= 0x80)
            return false;
    return true;
}

} // namespace

bool IsValidUtf8(std::string_view bytes)
{
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    const auto* end = p + bytes.size();
    while (p < end) {
        // Plain ASCII eight bytes at a time.
        if (end - p >= 8) {
            std::uint64_t block;
            std::memcpy(&block, p, sizeof block);
            if ((block & 0x8080808080808080ULL) == 0) {
                p += 8;
                continue;
            }
        }
        unsigned char c = *p;
        if (c < 0x80) {
            ++p;
            continue;
        }
        int length = 0;
        unsigned minimum = 0;
        unsigned codePoint = 0;
        if ((c & 0xE0) == 0xC0) {
            length = 2, minimum = 0x80, codePoint = c & 0x1F;
        } else if ((c & 0xF0) == 0xE0) {
            length = 3, minimum = 0x800, codePoint = c & 0x0F;
        } else if ((c & 0xF8) == 0xF0) {
            length = 4, minimum = 0x10000, codePoint = c & 0x07;
        } else {
            return false;
        }
        if (end - p < length)
            return false;
        for (int i = 1; i < length; ++i) {
            if ((p[i] & 0xC0) != 0x80)
                return false;
            codePoint = (codePoint << 6) | (p[i] & 0x3F);
        }
        if (codePoint < minimum || codePoint > 0x10FFFF ||
            (codePoint >= 0xD800 && codePoint <= 0xDFFF))
            return false;
        p += length;
    }
    return true;
}

DecodedText DecodeText(std::string_view bytes)
{
    DecodedText decoded;
    auto startsWith = [&](std::string_view prefix) { return bytes.substr(0, prefix.size()) == prefix; };

    if (startsWith("\xEF\xBB\xBF")) {
        decoded.encoding = TextEncoding::Utf8;
        std::string_view body = bytes.substr(3);
        if (IsValidUtf8(body)) {
            decoded.text.assign(body);
            return decoded;
        }
        IconvResult r = Convert("UTF-8", "UTF-8", body);
        decoded.status = CodePageStatus::InvalidBytes;
        decoded.line = LineOfOffset(body, r.failedAt);
        decoded.text = std::move(r.output);
        return decoded;
    }
    if (startsWith("\xFF\xFE") || startsWith("\xFE\xFF")) {
        decoded.encoding = TextEncoding::Utf16;
        bool little = bytes[0] == '\xFF';
        IconvResult r = Convert("UTF-8", little ? "UTF-16LE" : "UTF-16BE", bytes.substr(2));
        decoded.text = std::move(r.output);
        if (!r.ok) {
            decoded.status = CodePageStatus::InvalidBytes;
            decoded.line = LineOfOffset(decoded.text, decoded.text.size()) ;
        }
        return decoded;
    }
    if (IsValidUtf8(bytes)) {
        decoded.encoding = TextEncoding::Utf8;
        decoded.text.assign(bytes);
        return decoded;
    }
    decoded.encoding = TextEncoding::Gbk;
    IconvResult r = Convert("UTF-8", "GBK", bytes);
    decoded.text = std::move(r.output);
    if (!r.ok) {
        decoded.status = CodePageStatus::InvalidBytes;
        decoded.line = LineOfOffset(bytes, r.failedAt);
    }
    return decoded;
}

DecodedText DecodeText(std::string&& bytes)
{
    bool bom = bytes.size() >= 2 && (bytes.compare(0, 3, "\xEF\xBB\xBF") == 0 ||
                                     bytes.compare(0, 2, "\xFF\xFE") == 0 ||
                                     bytes.compare(0, 2, "\xFE\xFF") == 0);
    if (!bom && IsValidUtf8(bytes)) {
        DecodedText decoded;
        decoded.encoding = TextEncoding::Utf8;
        decoded.text = std::move(bytes);
        return decoded;
    }
    return DecodeText(std::string_view(bytes));
}

EncodedText EncodeText(std::string_view utf8, TextEncoding encoding)
{
    EncodedText encoded;
    if (!IsValidUtf8(utf8)) {
        encoded.status = CodePageStatus::InvalidBytes;
        return encoded;
    }
    if (encoding == TextEncoding::Utf8 || IsAscii(utf8)) {
        encoded.bytes.assign(utf8);
        return encoded;
    }
    IconvResult r = Convert(encoding == TextEncoding::Gbk ? "GBK" : "UTF-16LE", "UTF-8", utf8);
    encoded.bytes = std::move(r.output);
    if (!r.ok) {
        encoded.status = CodePageStatus::Unrepresentable;
        encoded.line = LineOfOffset(utf8, r.failedAt);
    }
    return encoded;
}

} // namespace carvento::tables
