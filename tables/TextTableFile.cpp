// TextTableFile reading and writing.
#include "tables/TextTableFile.hpp"

#include "tables/FieldSplit.hpp"

#include <unistd.h>

namespace carvento::tables {
namespace {

constexpr int kDetectLines = 8;

std::string ColumnName(int number)
{
    return "列" + std::to_string(number);
}

} // namespace

TextTableFile::~TextTableFile()
{
    Close();
}

bool TextTableFile::OpenForRead(const std::string& path)
{
    Close();
    std::FILE* in = std::fopen(path.c_str(), "rb");
    if (!in)
        return false;
    std::string bytes;
    char buffer[1 << 16];
    std::size_t got = 0;
    while ((got = std::fread(buffer, 1, sizeof buffer, in)) > 0)
        bytes.append(buffer, got);
    bool failed = std::ferror(in) != 0;
    std::fclose(in);
    if (failed)
        return false;
    OpenForReadFromBytes(std::move(bytes));
    return true;
}

void TextTableFile::OpenForReadFromBytes(std::string bytes)
{
    Close();
    TakeDecoded(DecodeText(std::move(bytes)));
}

void TextTableFile::TakeDecoded(DecodedText decoded)
{
    m_decodedEncoding = decoded.encoding;
    m_text = std::move(decoded.text);
    m_lines = SplitLines(m_text);
    m_invalidLine = 0;
    if (decoded.status != CodePageStatus::Ok) {
        // Keep only the complete lines before the one with the bad bytes.
        m_invalidLine = decoded.line;
        if (m_lines.size() >= static_cast<std::size_t>(m_invalidLine))
            m_lines.resize(static_cast<std::size_t>(m_invalidLine) - 1);
    }
    m_nextLine = 0;
}

FileResult TextTableFile::Close()
{
    FileResult result;
    m_text.clear();
    m_lines.clear();
    m_nextLine = 0;
    if (m_out) {
        if (std::fflush(m_out) != 0 || std::ferror(m_out))
            m_writeFailed = true;
        if (m_ownsOut && std::fclose(m_out) != 0)
            m_writeFailed = true;
        m_out = nullptr;
        if (m_writeFailed)
            result.status = FileStatus::WriteFailed;
    }
    m_writeFailed = false;
    return result;
}

bool TextTableFile::ReadLine(std::string_view& line)
{
    if (m_nextLine >= m_lines.size())
        return false;
    line = m_lines[m_nextLine++];
    return true;
}

int TextTableFile::DetectColumns(std::vector<std::string>& names)
{
    names.clear();
    m_result = {};
    Rewind();
    std::string separators = m_delimiters.empty() ? std::string(",") : m_delimiters;
    std::vector<std::string_view> fields;
    int columns = 0;
    std::string_view line;
    for (int i = 0; i < kDetectLines && ReadLine(line); ++i)
        columns = std::max(columns, SplitOnAnyViews(line, separators, fields));
    if (columns == 0) {
        bool invalidInDetectWindow = m_invalidLine > 0 && m_invalidLine <= kDetectLines;
        m_result = invalidInDetectWindow ? FileResult{FileStatus::InvalidBytes, m_invalidLine}
                                         : FileResult{FileStatus::NoData, 0};
        return 0;
    }
    Rewind();
    names.resize(static_cast<std::size_t>(columns));
    int named = 0;
    if (m_hasTitleLine) {
        while (ReadLine(line)) {
            int n = SplitOnAnyViews(line, separators, fields);
            if (n > 0) {
                for (int i = 0; i < n && i < columns; ++i)
                    names[static_cast<std::size_t>(i)] = std::string(fields[static_cast<std::size_t>(i)]);
                named = std::min(n, columns);
                break;
            }
        }
    }
    for (int i = named; i < columns; ++i)
        names[static_cast<std::size_t>(i)] = ColumnName(i + 1);
    return columns;
}

int TextTableFile::ReadAll(std::vector<std::string>& cells, int& rows, int& columns)
{
    cells.clear();
    rows = 0;
    columns = 0;
    std::vector<std::string> names;
    columns = DetectColumns(names);
    if (columns == 0)
        return 0;
    std::string separators = m_delimiters.empty() ? std::string(",") : m_delimiters;
    std::vector<std::string_view> fields;
    cells.reserve((m_lines.size() - m_nextLine) * static_cast<std::size_t>(columns));
    bool previousBlank = true;
    std::string_view line;
    while (ReadLine(line)) {
        int n = SplitOnAnyViews(line, separators, fields);
        if (n >= columns) {
            for (int i = 0; i < columns; ++i)
                cells.emplace_back(fields[static_cast<std::size_t>(i)]);
            ++rows;
            previousBlank = false;
        } else if (n == 0) {
            if (!previousBlank) {
                cells.resize(cells.size() + static_cast<std::size_t>(columns));
                ++rows;
            }
            previousBlank = true;
        } else {
            m_result = {FileStatus::ShortLine, static_cast<int>(m_nextLine)};
            return 0;
        }
    }
    if (m_invalidLine > 0) {
        m_result = {FileStatus::InvalidBytes, m_invalidLine};
        return 0;
    }
    m_result = {};
    return static_cast<int>(cells.size());
}

bool TextTableFile::OpenForWrite(const std::string& path, TextEncoding encoding)
{
    Close();
    m_out = std::fopen(path.c_str(), "wb");
    if (!m_out)
        return false;
    m_ownsOut = true;
    m_encoding = encoding;
    m_writeFailed = false;
    m_linesWritten = 0;
    return true;
}

void TextTableFile::OpenForWriteToStdout(TextEncoding encoding)
{
    Close();
    m_out = stdout;
    m_ownsOut = false;
    m_encoding = encoding;
    m_writeFailed = false;
    m_linesWritten = 0;
}

void TextTableFile::Truncate()
{
    if (!m_out || !m_ownsOut)
        return;
    std::fflush(m_out);
    if (ftruncate(fileno(m_out), 0) != 0)
        m_writeFailed = true;
    std::rewind(m_out);
    m_linesWritten = 0;
}

bool TextTableFile::WriteText(const std::string& text)
{
    if (!m_out || m_writeFailed)
        return false;
    EncodedText encoded = EncodeText(text, m_encoding);
    if (encoded.status != CodePageStatus::Ok) {
        m_result = {encoded.status == CodePageStatus::Unrepresentable ? FileStatus::Unrepresentable
                                                                       : FileStatus::InvalidBytes,
                    m_linesWritten + encoded.line};
        return false;
    }
    if (std::fwrite(encoded.bytes.data(), 1, encoded.bytes.size(), m_out) != encoded.bytes.size()) {
        m_writeFailed = true;
        m_result = {FileStatus::WriteFailed, 0};
        return false;
    }
    return true;
}

int TextTableFile::WriteTable(std::span<const std::string> cells, int rows, int columns,
                              const std::vector<std::string>& titles)
{
    m_result = {};
    Truncate();
    if (!titles.empty()) {
        std::string header;
        for (std::size_t i = 0; i < titles.size(); ++i) {
            if (i)
                header += ',';
            header += titles[i];
        }
        header += "\r\n";
        if (!WriteText(header))
            return 0;
        ++m_linesWritten;
    }
    return WriteRows(cells, rows, columns, false);
}

int TextTableFile::WriteRows(std::span<const std::string> cells, int rows, int columns,
                             bool truncateFirst)
{
    if (truncateFirst) {
        m_result = {};
        Truncate();
    }
    if (rows < 0 || columns < 0 ||
        static_cast<long long>(cells.size()) != static_cast<long long>(rows) * columns) {
        m_result = {FileStatus::BadCellCount, 0};
        return 0;
    }
    // Written in blocks so a million-row table neither builds one huge string nor calls
    // the encoder per line.
    constexpr std::size_t kBlockBytes = 1 << 20;
    std::string block;
    int blockLines = 0;
    bool previousBlank = false;
    std::size_t index = 0;
    for (int r = 0; r < rows; ++r) {
        std::size_t lineStart = block.size();
        for (int c = 0; c < columns; ++c) {
            if (c)
                block += ',';
            block += cells[index++];
        }
        bool blank = block.size() - lineStart == static_cast<std::size_t>(columns > 0 ? columns - 1 : 0);
        if (blank) {
            block.resize(lineStart);
            if (!previousBlank) {
                block += "\r\n";
                ++blockLines;
            }
        } else {
            block += "\r\n";
            ++blockLines;
        }
        previousBlank = blank;
        if (block.size() >= kBlockBytes) {
            if (!WriteText(block))
                return 0;
            m_linesWritten += blockLines;
            block.clear();
            blockLines = 0;
        }
    }
    if (!block.empty()) {
        if (!WriteText(block))
            return 0;
        m_linesWritten += blockLines;
    }
    return static_cast<int>(cells.size());
}

} // namespace carvento::tables
