// The text files the extractions write: a header line and LF-separated lines from the program,
// written with CR LF line ends in the chosen encoding. Append keeps what the file held and adds
// the header and the lines after it; either way the file is replaced only by complete content.
#pragma once

#include "fileconv/ConversionResult.hpp"

#include <string>
#include <string_view>

namespace carvento::fileconv {

// `lines` holds LF-terminated lines (UTF-8). False when the file could not be written or a
// character cannot be held by the encoding; the file is then as it was.
bool WriteTextFile(const std::string& path, std::string_view header, std::string_view lines,
                   bool append, const TextFileFormat& format);

} // namespace carvento::fileconv
