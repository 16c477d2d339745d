// Extraction text files.
#include "fileconv/TextFiles.hpp"

#include "platform/WholeFile.hpp"
#include "tables/OutputPolicy.hpp"

#include <cstdio>

namespace carvento::fileconv {

bool WriteTextFile(const std::string& path, std::string_view header, std::string_view lines,
                   bool append, const TextFileFormat& format)
{
    std::string text;
    text.reserve(header.size() + lines.size() + lines.size() / 16 + 4);
    text.append(header);
    text += '\n';
    text.append(lines);
    std::string crlf;
    crlf.reserve(text.size() + text.size() / 16);
    for (char c : text) {
        if (c == '\n')
            crlf += '\r';
        crlf += c;
    }
    text.clear();
    std::string existing;
    if (append && !platform::ReadWholeFile(path, existing)) {
        std::FILE* probe = std::fopen(path.c_str(), "rb");
        if (probe) { // there but unreadable: appending would lose it
            std::fclose(probe);
            return false;
        }
        existing.clear();
    }
    // Appended lines take the encoding the file already has, so one file never mixes two.
    tables::TextEncoding encoding = format.encoding;
    if (!tables::IsAscii(existing)) {
        const tables::DecodedText held = tables::DecodeText(std::string_view(existing));
        if (held.status != tables::CodePageStatus::Ok)
            return false; // not text this program can extend without damaging it
        encoding = held.encoding;
    }
    tables::EncodedText encoded = tables::EncodeText(crlf, encoding);
    if (encoded.status != tables::CodePageStatus::Ok)
        return false;
    tables::ReplacingFile file;
    return file.Open(path) && file.Write(existing) && file.Write(encoded.bytes) && file.Commit();
}

} // namespace carvento::fileconv
