// Extraction text files.
#include "fileconv/TextFiles.hpp"

#include "platform/WholeFile.hpp"

#include <cstdio>

namespace carvento::fileconv {
namespace {

// Lines gathered before they are encoded and written.
constexpr std::size_t kBlockSize = 1 << 20;

} // namespace

bool TextFileWriter::Open(const std::string& path, std::string_view header, bool append,
                          const TextFileFormat& format)
{
    m_ok = false;
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
    m_encoding = format.encoding;
    if (!tables::IsAscii(existing)) {
        const tables::DecodedText held = tables::DecodeText(std::string_view(existing));
        if (held.status != tables::CodePageStatus::Ok)
            return false; // not text this program can extend without damaging it
        m_encoding = held.encoding;
    }
    if (!m_file.Open(path) || !m_file.Write(existing)) {
        m_file.Abandon();
        return false;
    }
    m_ok = true;
    m_pending.assign(header);
    m_pending += '\n';
    return true;
}

bool TextFileWriter::Write(std::string_view lines)
{
    m_pending.append(lines);
    return m_pending.size() < kBlockSize || Flush();
}

bool TextFileWriter::Flush()
{
    if (!m_ok)
        return false;
    m_crlf.clear();
    m_crlf.reserve(m_pending.size() + m_pending.size() / 16);
    for (char c : m_pending) {
        if (c == '\n')
            m_crlf += '\r';
        m_crlf += c;
    }
    m_pending.clear();
    // Blocks end at line ends, and both encodings write a character alone, so the bytes are
    // those of the whole text encoded at once.
    const tables::EncodedText encoded = tables::EncodeText(m_crlf, m_encoding);
    m_ok = encoded.status == tables::CodePageStatus::Ok && m_file.Write(encoded.bytes);
    return m_ok;
}

bool TextFileWriter::Finish()
{
    const bool done = Flush() && m_file.Commit();
    if (!done)
        m_file.Abandon();
    m_ok = false;
    return done;
}

void TextFileWriter::Abandon()
{
    m_file.Abandon();
    m_pending.clear();
    m_ok = false;
}

bool WriteTextFile(const std::string& path, std::string_view header, std::string_view lines,
                   bool append, const TextFileFormat& format)
{
    TextFileWriter writer;
    if (!writer.Open(path, header, append, format))
        return false;
    // A block at a time, at line ends: the text is never copied whole.
    while (!lines.empty()) {
        std::size_t end = lines.size();
        if (end > kBlockSize) {
            const std::size_t lineEnd = lines.find('\n', kBlockSize);
            end = lineEnd == std::string_view::npos ? lines.size() : lineEnd + 1;
        }
        if (!writer.Write(lines.substr(0, end))) {
            writer.Abandon();
            return false;
        }
        lines.remove_prefix(end);
    }
    return writer.Finish();
}

ExtractedTextFiles::ExtractedTextFiles(const std::array<Kind, 3>& kinds)
    : m_files{File{kinds[0]}, File{kinds[1]}, File{kinds[2]}}
{
}

void ExtractedTextFiles::Open(const std::string& base, const std::array<bool, 3>& made,
                              const std::function<std::string(const std::string&)>& target,
                              bool append, const TextFileFormat& format)
{
    for (std::size_t k = 0; k < m_files.size(); ++k) {
        File& file = m_files[k];
        if (!file.kind.asked || !made[k])
            continue;
        const std::string name = base + file.kind.suffix;
        file.path = target ? target(name) : name;
        file.open = file.writer.Open(file.path, file.kind.header, append, format);
    }
}

void ExtractedTextFiles::Take(const std::array<std::string*, 3>& texts, bool last)
{
    constexpr std::size_t kBlock = 1 << 16;
    for (std::size_t k = 0; k < m_files.size(); ++k) {
        if (!last && texts[k]->size() < kBlock)
            continue;
        if (m_files[k].open)
            m_files[k].open = m_files[k].writer.Write(*texts[k]);
        texts[k]->clear();
    }
}

TextOutput ExtractedTextFiles::Finish()
{
    TextOutput output;
    for (File& file : m_files) {
        if (file.path.empty())
            continue;
        if (file.open && file.writer.Finish())
            output.written.push_back(file.path);
        else
            output.failed.push_back(file.path);
    }
    return output;
}

} // namespace carvento::fileconv
