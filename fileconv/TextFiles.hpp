// The text files the extractions write: a header line and LF-separated lines from the program,
// written with CR LF line ends in the chosen encoding. Append keeps what the file held and adds
// the header and the lines after it; either way the file is replaced only by complete content.
#pragma once

#include "fileconv/ConversionResult.hpp"
#include "tables/OutputPolicy.hpp"

#include <array>
#include <functional>
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

// The three text files one extraction writes (points, lines and polygons; or waypoints, routes
// and tracks): each opened only when asked for and when the extraction makes text for it,
// written a block at a time, and put in place at the end.
class ExtractedTextFiles {
public:
    struct Kind {
        bool asked;
        const char* suffix; // after the output's base name, such as "_点.txt"
        const char* header;
    };

    explicit ExtractedTextFiles(const std::array<Kind, 3>& kinds);
    // Opens the files asked for whose text is not empty (`made`); `target` names the file
    // written for a name (the name itself when empty).
    void Open(const std::string& base, const std::array<bool, 3>& made,
              const std::function<std::string(const std::string&)>& target, bool append,
              const TextFileFormat& format);
    // Hands gathered text to its file once a block has gathered (all of it when `last`),
    // emptying what was handed over.
    void Take(const std::array<std::string*, 3>& texts, bool last);
    // Puts every opened file in place: the files written and those that failed.
    TextOutput Finish();

private:
    struct File {
        Kind kind;
        std::string path{};
        TextFileWriter writer{};
        bool open = false;
    };
    std::array<File, 3> m_files;
};

} // namespace carvento::fileconv
