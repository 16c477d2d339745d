// The text files the extractions write: a header line and LF-separated lines from the program,
// written with CR LF line ends in the chosen encoding. Append keeps what the file held and adds
// the header and the lines after it; either way the file is replaced only by complete content.
#pragma once

#include "fileconv/ConversionResult.hpp"
#include "tables/OutputPolicy.hpp"

#include <string>
#include <string_view>

namespace carvento::fileconv {

// `lines` holds LF-terminated lines (UTF-8). False when the file could not be written or a
// character cannot be held by the encoding; the file is then as it was.
bool WriteTextFile(const std::string& path, std::string_view header, std::string_view lines,
                   bool append, const TextFileFormat& format);

// The same file written as its lines are found: the lines go out a block at a time, so an
// extraction never holds its whole text, and the target is replaced only by Finish. The bytes
// are those WriteTextFile writes for all the lines at once.
class TextFileWriter {
public:
    // Reads what the file holds when appending and starts the new content with the header.
    // False when the file cannot be written (an unreadable file to append to, one whose bytes
    // are not text, a target that cannot be replaced).
    bool Open(const std::string& path, std::string_view header, bool append,
              const TextFileFormat& format);
    // Whole LF-terminated lines; kept until a block has gathered.
    bool Write(std::string_view lines);
    // Writes what is left and replaces the target; false leaves it as it was.
    bool Finish();
    // Stops without touching the target.
    void Abandon();

private:
    bool Flush();

    tables::ReplacingFile m_file;
    tables::TextEncoding m_encoding = tables::TextEncoding::Gbk;
    std::string m_pending;
    std::string m_crlf;
    bool m_ok = false;
};

} // namespace carvento::fileconv
