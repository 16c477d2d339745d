// Block reading of coordinate text files.
#include "tables/TableStream.hpp"

#include "tables/FieldSplit.hpp"

#include <algorithm>
#include <cstring>
#include <sys/stat.h>
#include <utility>

namespace carvento::tables {
namespace {

constexpr std::size_t kPieceBytes = 1 << 20;

bool ReadChunk(std::FILE* file, std::string& buffer)
{
    std::size_t old = buffer.size();
    buffer.resize(old + kPieceBytes);
    std::size_t got = std::fread(buffer.data() + old, 1, kPieceBytes, file);
    buffer.resize(old + got);
    return got > 0;
}

// Length of the whole lines at the start of `buffer` (up to and including its last LF), or
// all of it at the end of the file; 0 when more bytes are needed for a whole line.
std::size_t WholeLines(std::string_view buffer, bool atEnd)
{
    if (atEnd)
        return buffer.size();
    std::size_t lf = buffer.rfind('\n');
    return lf == std::string_view::npos ? 0 : lf + 1;
}

} // namespace

TableStream::~TableStream()
{
    if (m_file)
        std::fclose(m_file);
}

bool TableStream::Open(const std::string& path)
{
    m_file = std::fopen(path.c_str(), "rb");
    if (!m_file)
        return false;
    struct stat info {};
    if (::fstat(fileno(m_file), &info) == 0 && !S_ISREG(info.st_mode) && !S_ISDIR(info.st_mode)) {
        // A pipe or a device (process substitution, a FIFO) can be read only once: copied
        // like standard input.
        std::FILE* source = m_file;
        m_file = nullptr;
        const bool copied = CopyOnce(source);
        std::fclose(source);
        return copied;
    }
    return Judge();
}

bool TableStream::OpenStandardInput()
{
    return CopyOnce(stdin);
}

bool TableStream::CopyOnce(std::FILE* source)
{
    // Copied once, so that the encoding can be judged over all of it before any row is read.
    m_file = std::tmpfile();
    if (!m_file)
        return false;
    std::string buffer(kPieceBytes, '\0');
    std::size_t got = 0;
    while ((got = std::fread(buffer.data(), 1, buffer.size(), source)) > 0)
        if (std::fwrite(buffer.data(), 1, got, m_file) != got)
            return false;
    if (std::ferror(source) || std::fflush(m_file) != 0)
        return false;
    std::rewind(m_file);
    return Judge();
}

bool TableStream::Judge()
{
    std::string start;
    start.resize(3);
    start.resize(std::fread(start.data(), 1, 3, m_file));
    if (std::ferror(m_file))
        return false;
    if (start.starts_with("\xFF\xFE") || start.starts_with("\xFE\xFF")) {
        // UTF-16 is rare in coordinate files and not split at line ends byte-wise: read at once.
        std::rewind(m_file);
        std::string bytes;
        while (ReadChunk(m_file, bytes)) {
        }
        if (std::ferror(m_file))
            return false;
        m_size = bytes.size();
        m_whole = DecodeText(std::move(bytes));
        m_encoding = TextEncoding::Utf16;
        Restart();
        return true;
    }
    EncodingJudge judge;
    if (start == "\xEF\xBB\xBF") {
        m_skip = 3;
        m_encoding = TextEncoding::Utf8;
    }
    std::rewind(m_file);
    std::string buffer;
    m_size = 0;
    for (;;) {
        bool more = ReadChunk(m_file, buffer);
        if (std::ferror(m_file))
            return false;
        std::size_t whole = WholeLines(buffer, !more);
        m_size += whole;
        if (m_skip == 0)
            judge.Add(std::string_view(buffer).substr(0, whole));
        buffer.erase(0, whole);
        if (!more)
            break;
    }
    if (m_skip == 0)
        m_encoding = judge.Result() == EncodingJudge::Verdict::Gbk ? TextEncoding::Gbk
                                                                   : TextEncoding::Utf8;
    Restart();
    return true;
}

void TableStream::Restart()
{
    m_raw.clear();
    m_consumed = 0;
    m_text.clear();
    m_lines.clear();
    m_next = 0;
    m_linesBefore = 0;
    m_invalidLine = 0;
    m_end = false;
    m_offset = 0;
    if (m_whole) {
        m_lines = SplitLines(m_whole->text);
        if (m_whole->status != CodePageStatus::Ok) {
            m_invalidLine = m_whole->line;
            if (m_lines.size() >= static_cast<std::size_t>(m_invalidLine))
                m_lines.resize(static_cast<std::size_t>(m_invalidLine) - 1);
        }
        m_end = true;
        return;
    }
    std::fseek(m_file, static_cast<long>(m_skip), SEEK_SET);
}

bool TableStream::LoadPiece()
{
    if (m_end)
        return false;
    m_linesBefore += static_cast<int>(m_lines.size());
    m_lines.clear();
    m_next = 0;
    // The lines of the last piece are done with: keep only the bytes after them.
    m_raw.erase(0, m_consumed);
    m_consumed = 0;
    while (m_consumed == 0) {
        bool more = ReadChunk(m_file, m_raw);
        m_consumed = WholeLines(m_raw, !more);
        if (!more) {
            m_end = true;
            break;
        }
    }
    std::string_view piece = std::string_view(m_raw).substr(0, m_consumed);
    m_offset += piece.size();
    DecodedText decoded;
    if (m_encoding == TextEncoding::Utf8) {
        // UTF-8 is only checked: the lines are read where they lie.
        std::size_t bad = FirstInvalidUtf8(piece);
        m_lines = SplitLines(piece.substr(0, bad));
        if (bad != std::string_view::npos) {
            decoded.status = CodePageStatus::InvalidBytes;
            decoded.line = DecodePiece(piece, m_encoding).line;
        }
    } else {
        decoded = DecodePiece(piece, m_encoding);
        m_text = std::move(decoded.text);
        m_lines = SplitLines(m_text);
    }
    if (decoded.status != CodePageStatus::Ok) {
        // Keep only the complete lines before the one with the bad bytes.
        m_invalidLine = m_linesBefore + decoded.line;
        if (m_lines.size() >= static_cast<std::size_t>(decoded.line))
            m_lines.resize(static_cast<std::size_t>(decoded.line) - 1);
        m_end = true;
    }
    return !m_lines.empty() || !m_end;
}

bool TableStream::NextLine(std::string_view& line, int& lineNumber)
{
    while (m_next >= m_lines.size())
        if (!LoadPiece())
            return false;
    line = m_lines[m_next++];
    lineNumber = m_linesBefore + static_cast<int>(m_next);
    return true;
}

int TableStream::DetectColumns()
{
    m_result = {};
    Restart();
    std::string separators = m_delimiters.empty() ? std::string(",") : m_delimiters;
    int lineNumber = 0;
    int columns = WidestOfFirstLines(separators, [&](std::string_view& line) {
        return NextLine(line, lineNumber);
    });
    if (columns == 0) {
        m_result = NoColumnsResult(m_invalidLine);
        return 0;
    }
    Restart();
    m_columns = columns;
    m_reader = std::make_unique<RowReader>(columns, separators);
    return columns;
}

int TableStream::ReadRows(std::vector<std::string>& cells, int maxRows)
{
    if (!m_reader || !m_result.Ok())
        return 0;
    int rows = 0;
    std::string_view line;
    int lineNumber = 0;
    while (rows < maxRows && NextLine(line, lineNumber)) {
        if (!m_reader->Take(line, lineNumber, cells, rows)) {
            m_result = {FileStatus::ShortLine, lineNumber};
            return 0;
        }
    }
    if (rows < maxRows && m_invalidLine > 0) {
        m_result = {FileStatus::InvalidBytes, m_invalidLine};
        return 0;
    }
    return rows;
}

double TableStream::Progress() const
{
    if (m_whole || m_size == 0)
        return m_end && m_next >= m_lines.size() ? 1.0 : 0.0;
    return std::min(1.0, static_cast<double>(m_offset) / static_cast<double>(m_size));
}

} // namespace carvento::tables
