// How XML files are read and written as text: the encoding a file shows (a byte-order mark,
// UTF-16 markup) or declares (its XML declaration, an HTML meta charset), its bytes converted to
// UTF-8 when it is loaded and the document text converted back when it is saved.
#pragma once

#include "fileconv/XmlDocument.hpp"

#include <cstddef>
#include <string>
#include <string_view>

namespace carvento::fileconv::xml {

inline constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";

// How a declared encoding name is read and written.
enum class Family { Utf8, Utf16, Utf16Le, Utf16Be, Gbk, Gb18030, Other };
Family FamilyOf(std::string_view label);

// The value of a pseudo-attribute (`encoding`) inside an XML declaration's text.
std::string PseudoAttribute(std::string_view declaration, std::string_view name);
// The XML declaration at the start of ASCII-compatible text ("<?xml ... ?>"), empty when none;
// `end`, when given, takes where it ends. Leading white space is tolerated.
std::string_view LeadingDeclaration(std::string_view text, std::size_t* end = nullptr);
// charset=... of an HTML content-type meta element near the start of the file.
std::string MetaCharset(std::string_view bytes);
// Whether `encoding` writes the markup characters of ASCII as they are, so that a file in it
// declares its encoding readably. False for UTF-7 and EBCDIC; true when the conversion is
// unknown (the conversion itself then reports that).
bool WritesAsciiAsAscii(const char* encoding);

// A file's bytes as UTF-8 text (XmlDocument::Decode).
DecodedXml DecodeBytes(std::string bytes);
// Encodes the document text for the encoding `label` names (UTF-8 when empty), with a
// byte-order mark when `bom`; empty keyword on success, else "invalid_character",
// "unknown_encoding" or "unrepresentable". The text is taken over: a UTF-8 document without a
// byte-order mark is written as it is, without a second copy of a document that may be hundreds
// of megabytes.
std::string EncodeText(std::string text, const std::string& label, bool bom, std::string& bytes);

} // namespace carvento::fileconv::xml
