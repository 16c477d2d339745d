// Conversion between the bytes of coordinate text files and the UTF-8 text used inside the
// program: GBK (the Chinese Windows code page) and UTF-8, with UTF-16 accepted on reading.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace carvento::tables {

enum class TextEncoding { Gbk, Utf8, Utf16 };

enum class CodePageStatus {
    Ok,
    InvalidBytes,    // bytes that are not valid in the detected encoding
    Unrepresentable, // a character that the target encoding cannot hold
};

struct DecodedText {
    CodePageStatus status = CodePageStatus::Ok;
    TextEncoding encoding = TextEncoding::Utf8; // what the bytes were read as
    std::string text;                           // UTF-8, without byte-order mark
    int line = 0;                               // 1-based line of the first bad byte
};

struct EncodedText {
    CodePageStatus status = CodePageStatus::Ok;
    std::string bytes;
    int line = 0; // 1-based line of the first character that could not be encoded
};

// Decodes file bytes: a UTF-8 or UTF-16 byte-order mark decides. Otherwise ASCII and Chinese
// UTF-8 are UTF-8; bytes valid in both encodings are read as the one whose text is plausible
// Chinese; a file whose lines are nearly all Chinese UTF-8 is UTF-8 with damaged lines; the
// rest is GBK. Invalid bytes give InvalidBytes and their line; the text then holds what was
// decoded before them.
DecodedText DecodeText(std::string_view bytes);
// The same, taking the bytes over: UTF-8 without a byte-order mark is kept without a copy.
DecodedText DecodeText(std::string&& bytes);

// Decides how bytes without a byte-order mark are read, from pieces given in order, each
// ending at a line end (LF) or at the end of the bytes. ASCII and Chinese UTF-8 read as UTF-8.
// Bytes valid in both encodings read as the one whose characters are more plausible Chinese
// (GBK "炉" is the valid UTF-8 "¯"). Bytes that are not valid UTF-8 are judged by lines: GBK
// lines of Chinese names are valid UTF-8 only by rare coincidence, and then seldom decode to
// Chinese, so when at least as many lines read as Chinese UTF-8 as there are invalid lines,
// the file is UTF-8 with damaged lines; otherwise it is GBK.
class EncodingJudge {
public:
    enum class Verdict { Utf8, DamagedUtf8, Gbk };
    void Add(std::string_view piece);
    Verdict Result() const;

private:
    bool m_ascii = true;
    bool m_validUtf8 = true;
    bool m_decodesAsGbk = true;
    std::size_t m_utf8Characters = 0;
    std::size_t m_utf8Chinese = 0;
    std::size_t m_gbkCharacters = 0;
    std::size_t m_gbkChinese = 0;
    std::size_t m_chineseUtf8Lines = 0;
    std::size_t m_invalidLines = 0;
};

// Decodes one piece of a file (ending at a line end) that was judged to be in `encoding`
// (Utf8 or Gbk): UTF-8 is checked and kept, GBK converted. Invalid bytes give InvalidBytes
// with the line inside the piece, and the text decoded before them.
DecodedText DecodePiece(std::string_view piece, TextEncoding encoding);

// Encodes UTF-8 text as GBK or UTF-8 (no byte-order mark). GBK output is GB18030: the GBK
// bytes for every character GBK has, GB18030's four-byte sequences for the others, so no
// character is a reason to fail. Invalid UTF-8 input gives InvalidBytes and its line.
EncodedText EncodeText(std::string_view utf8, TextEncoding encoding);

// True when every byte is below 0x80.
bool IsAscii(std::string_view bytes);

// Offset of the first byte that does not start a well-formed UTF-8 sequence, npos when none.
std::size_t FirstInvalidUtf8(std::string_view bytes);

// True when bytes are well-formed UTF-8 (no overlongs, no surrogates, nothing above U+10FFFF).
bool IsValidUtf8(std::string_view bytes);

// Conversion between any two encodings the system's converter knows by name (iconv here,
// the Windows code pages there): the encodings an XML file may declare besides ours.
// UnknownEncoding when there is no such converter; Failed at an invalid or unrepresentable
// sequence, with its offset in `failedAt` and what was converted before it in `output`.
enum class ConversionStatus { Ok, UnknownEncoding, Failed };
ConversionStatus ConvertEncoding(const char* to, const char* from, std::string_view input,
                                 std::string& output, std::size_t* failedAt = nullptr);

} // namespace carvento::tables
