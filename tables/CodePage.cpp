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
    // Lines end at LF, CR LF or a lone CR; a CR directly before CR LF belongs to that line end.
    int line = 1;
    for (std::size_t i = 0; i < offset && i < text.size(); ++i) {
        if (text[i] == '\n')
            ++line;
        else if (text[i] == '\r' && (i + 1 >= text.size() || text[i + 1] != '\n') &&
                 !(i + 2 < text.size() && text[i + 1] == '\r' && text[i + 2] == '\n'))
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
    result.ok = ConvertEncoding(to, from, input, result.output, &result.failedAt) ==
                ConversionStatus::Ok;
    return result;
}

// Characters that Chinese coordinate text is made of beyond ASCII: ideographs, CJK and
// full-width punctuation, and the degree, minute and second signs.
bool IsChineseTextCharacter(unsigned codePoint)
{
    return (codePoint >= 0x4E00 && codePoint <= 0x9FFF) ||
           (codePoint >= 0x3400 && codePoint <= 0x4DBF) ||
           (codePoint >= 0x3000 && codePoint <= 0x303F) ||
           (codePoint >= 0xFF00 && codePoint <= 0xFFEF) ||
           (codePoint >= 0x2010 && codePoint <= 0x2033) || codePoint == 0x00B0 ||
           codePoint == 0x00B7 || codePoint == 0x00D7;
}

struct Plausibility {
    std::size_t characters = 0; // non-ASCII characters
    std::size_t chinese = 0;    // of which plausible in Chinese text
    double Share() const { return characters ? static_cast<double>(chinese) / characters : 1.0; }
};

// Non-ASCII characters of valid UTF-8 text, and how many of them Chinese text would hold.
Plausibility Utf8Plausibility(std::string_view text)
{
    Plausibility result;
    const auto* p = reinterpret_cast<const unsigned char*>(text.data());
    const auto* end = p + text.size();
    while (p < end) {
        unsigned char c = *p;
        if (c < 0x80) {
            ++p;
            continue;
        }
        int length = (c & 0xE0) == 0xC0 ? 2 : (c & 0xF0) == 0xE0 ? 3 : 4;
        unsigned codePoint = length == 2 ? (c & 0x1Fu) : length == 3 ? (c & 0x0Fu) : (c & 0x07u);
        for (int i = 1; i < length && p + i < end; ++i)
            codePoint = (codePoint << 6) | (p[i] & 0x3Fu);
        ++result.characters;
        if (IsChineseTextCharacter(codePoint))
            ++result.chinese;
        p += length;
    }
    return result;
}

// Double-byte characters of GBK text, and how many lie in the GB2312 rows (symbols and the
// two levels of common ideographs) that ordinary Chinese text uses.
Plausibility GbkPlausibility(std::string_view bytes)
{
    Plausibility result;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        auto lead = static_cast<unsigned char>(bytes[i]);
        if (lead < 0x80)
            continue;
        ++result.characters;
        if (i + 1 < bytes.size()) {
            auto trail = static_cast<unsigned char>(bytes[i + 1]);
            if (lead >= 0xA1 && lead <= 0xF7 && trail >= 0xA1 && trail <= 0xFE)
                ++result.chinese;
            ++i;
        }
    }
    return result;
}

// GBK text in which a character GBK lacks stands as GB18030's four-byte sequence (first and
// third byte 0x81-0xFE, second and fourth a digit), as this program writes it. Decided where
// each sequence stands, so a file reads the same whole or a line at a time.
IconvResult DecodeGbk(std::string_view bytes)
{
    IconvResult total;
    std::size_t pos = 0;
    for (;;) {
        IconvResult part = Convert("UTF-8", "GBK", bytes.substr(pos));
        total.output += part.output;
        if (part.ok)
            return total;
        const std::size_t at = pos + part.failedAt;
        const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(bytes[at + i]); };
        if (at + 4 <= bytes.size() && byte(0) >= 0x81 && byte(0) <= 0xFE && byte(1) >= 0x30 &&
            byte(1) <= 0x39 && byte(2) >= 0x81 && byte(2) <= 0xFE && byte(3) >= 0x30 &&
            byte(3) <= 0x39) {
            IconvResult wide = Convert("UTF-8", "GB18030", bytes.substr(at, 4));
            if (wide.ok) {
                total.output += wide.output;
                pos = at + 4;
                continue;
            }
        }
        total.ok = false;
        total.failedAt = at;
        return total;
    }
}

bool DecodesAsGbk(std::string_view bytes)
{
    return DecodeGbk(bytes).ok;
}

// U+E0000 to U+E007F: F3 A0 80 80 to F3 A0 81 BF in UTF-8.
bool HasTagCharacter(std::string_view utf8)
{
    for (std::size_t i = utf8.find('\xF3'); i != std::string_view::npos && i + 2 < utf8.size();
         i = utf8.find('\xF3', i + 1))
        if (utf8[i + 1] == '\xA0' && (utf8[i + 2] == '\x80' || utf8[i + 2] == '\x81'))
            return true;
    return false;
}

} // namespace

void EncodingJudge::Add(std::string_view piece)
{
    if (IsAscii(piece))
        return;
    m_ascii = false;
    if (m_validUtf8 && !IsValidUtf8(piece))
        m_validUtf8 = false;
    if (m_decodesAsGbk && !DecodesAsGbk(piece))
        m_decodesAsGbk = false;
    Plausibility gbk = GbkPlausibility(piece);
    m_gbkCharacters += gbk.characters;
    m_gbkChinese += gbk.chinese;
    std::size_t start = 0;
    while (start < piece.size()) {
        std::size_t end = piece.find('\n', start);
        if (end == std::string_view::npos)
            end = piece.size();
        std::string_view line = piece.substr(start, end - start);
        if (!IsAscii(line)) {
            if (!IsValidUtf8(line)) {
                ++m_invalidLines;
            } else {
                Plausibility p = Utf8Plausibility(line);
                m_utf8Characters += p.characters;
                m_utf8Chinese += p.chinese;
                if (p.chinese == p.characters)
                    ++m_chineseUtf8Lines;
            }
        }
        start = end + 1;
    }
}

EncodingJudge::Verdict EncodingJudge::Result() const
{
    if (m_ascii)
        return Verdict::Utf8;
    if (m_validUtf8) {
        if (m_utf8Chinese == m_utf8Characters)
            return Verdict::Utf8;
        Plausibility utf8{m_utf8Characters, m_utf8Chinese};
        Plausibility gbk{m_gbkCharacters, m_gbkChinese};
        return gbk.Share() > utf8.Share() && m_decodesAsGbk ? Verdict::Gbk : Verdict::Utf8;
    }
    return m_chineseUtf8Lines > 0 && m_chineseUtf8Lines >= m_invalidLines ? Verdict::DamagedUtf8
                                                                          : Verdict::Gbk;
}

namespace {

EncodingJudge::Verdict JudgeEncoding(std::string_view bytes)
{
    EncodingJudge judge;
    judge.Add(bytes);
    return judge.Result();
}

} // namespace

std::size_t FirstInvalidUtf8(std::string_view bytes)
{
    const auto* begin = reinterpret_cast<const unsigned char*>(bytes.data());
    const auto* p = begin;
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
            return static_cast<std::size_t>(p - begin);
        }
        if (end - p < length)
            return static_cast<std::size_t>(p - begin);
        for (int i = 1; i < length; ++i) {
            if ((p[i] & 0xC0) != 0x80)
                return static_cast<std::size_t>(p - begin);
            codePoint = (codePoint << 6) | (p[i] & 0x3F);
        }
        if (codePoint < minimum || codePoint > 0x10FFFF ||
            (codePoint >= 0xD800 && codePoint <= 0xDFFF))
            return static_cast<std::size_t>(p - begin);
        p += length;
    }
    return std::string_view::npos;
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

bool IsValidUtf8(std::string_view bytes)
{
    return FirstInvalidUtf8(bytes) == std::string_view::npos;
}

DecodedText DecodeText(std::string_view bytes)
{
    DecodedText decoded;
    auto startsWith = [&](std::string_view prefix) {
        return bytes.substr(0, prefix.size()) == prefix;
    };

    if (startsWith("\xEF\xBB\xBF")) {
        decoded.encoding = TextEncoding::Utf8;
        std::string_view body = bytes.substr(3);
        // Checked here rather than through iconv, which lets code points above U+10FFFF pass.
        std::size_t bad = FirstInvalidUtf8(body);
        decoded.text.assign(body.substr(0, bad));
        if (bad != std::string_view::npos) {
            decoded.status = CodePageStatus::InvalidBytes;
            decoded.line = LineOfOffset(body, bad);
        }
        return decoded;
    }
    if (startsWith("\xFF\xFE") || startsWith("\xFE\xFF")) {
        decoded.encoding = TextEncoding::Utf16;
        bool little = bytes[0] == '\xFF';
        IconvResult r = Convert("UTF-8", little ? "UTF-16LE" : "UTF-16BE", bytes.substr(2));
        decoded.text = std::move(r.output);
        if (!r.ok) {
            decoded.status = CodePageStatus::InvalidBytes;
            decoded.line = LineOfOffset(decoded.text, decoded.text.size());
        }
        return decoded;
    }
    return DecodePiece(bytes, JudgeEncoding(bytes) == EncodingJudge::Verdict::Gbk
                                  ? TextEncoding::Gbk
                                  : TextEncoding::Utf8);
}

DecodedText DecodePiece(std::string_view piece, TextEncoding encoding)
{
    DecodedText decoded;
    decoded.encoding = encoding;
    if (encoding != TextEncoding::Gbk) {
        std::size_t bad = FirstInvalidUtf8(piece);
        decoded.text.assign(piece.substr(0, bad));
        if (bad != std::string_view::npos) {
            decoded.status = CodePageStatus::InvalidBytes;
            decoded.line = LineOfOffset(piece, bad);
        }
        return decoded;
    }
    IconvResult r = DecodeGbk(piece);
    decoded.text = std::move(r.output);
    if (!r.ok) {
        decoded.status = CodePageStatus::InvalidBytes;
        decoded.line = LineOfOffset(piece, r.failedAt);
    }
    return decoded;
}

DecodedText DecodeText(std::string&& bytes)
{
    bool bom = bytes.size() >= 2 &&
               (bytes.compare(0, 3, "\xEF\xBB\xBF") == 0 || bytes.compare(0, 2, "\xFF\xFE") == 0 ||
                bytes.compare(0, 2, "\xFE\xFF") == 0);
    if (!bom && JudgeEncoding(bytes) == EncodingJudge::Verdict::Utf8) {
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
    // GBK output is GB18030: text GBK holds keeps its GBK bytes, and a character GBK lacks (ö,
    // an emoji) is written as GB18030's four-byte sequence instead of failing the file. The
    // GBK converter silently drops the tag characters (U+E0000 to U+E007F); GB18030 keeps them.
    if (encoding == TextEncoding::Gbk && (!r.ok || HasTagCharacter(utf8)))
        r = Convert("GB18030", "UTF-8", utf8);
    encoded.bytes = std::move(r.output);
    if (!r.ok) {
        encoded.status = CodePageStatus::Unrepresentable;
        encoded.line = LineOfOffset(utf8, r.failedAt);
    }
    return encoded;
}

ConversionStatus ConvertEncoding(const char* to, const char* from, std::string_view input,
                                 std::string& output, std::size_t* failedAt)
{
    output.clear();
    iconv_t cd = iconv_open(to, from);
    if (cd == reinterpret_cast<iconv_t>(-1))
        return ConversionStatus::UnknownEncoding;
    output.resize(input.size() + input.size() / 2 + 16);
    char* in = const_cast<char*>(input.data());
    std::size_t inLeft = input.size();
    std::size_t written = 0;
    ConversionStatus status = ConversionStatus::Ok;
    for (;;) {
        char* out = output.data() + written;
        std::size_t outLeft = output.size() - written;
        // Once the input is used up, a last call writes what a stateful encoding still owes.
        const std::size_t rc = inLeft > 0 ? iconv(cd, &in, &inLeft, &out, &outLeft)
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
        // EILSEQ (invalid or unrepresentable) or EINVAL (truncated sequence at the end).
        status = ConversionStatus::Failed;
        if (failedAt)
            *failedAt = input.size() - inLeft;
        break;
    }
    output.resize(written);
    iconv_close(cd);
    return status;
}

} // namespace carvento::tables
