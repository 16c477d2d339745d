// TextTableFile reading and writing.
#include "tables/TextTableFile.hpp"

#include "platform/WholeFile.hpp"
#include "tables/FieldSplit.hpp"
#include "tables/OutputPolicy.hpp"
#include "tables/RowReader.hpp"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <fcntl.h>
#include <random>
#include <sys/stat.h>
#include <unistd.h>

namespace carvento::tables {
namespace {

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
    std::string bytes;
    if (!platform::ReadWholeFile(path, bytes))
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
        if (!m_temporaryPath.empty() && !m_writeFailed && !m_discard) {
            MatchTargetPermissions(m_out, m_targetPath);
            if (::fsync(fileno(m_out)) != 0)
                m_writeFailed = true;
        }
        if (m_ownsOut && std::fclose(m_out) != 0)
            m_writeFailed = true;
        m_out = nullptr;
        if (!m_temporaryPath.empty()) {
            // The target is replaced only by complete content; otherwise it stays as it was.
            if (m_writeFailed || m_discard ||
                std::rename(m_temporaryPath.c_str(), m_targetPath.c_str()) != 0) {
                if (!m_discard)
                    m_writeFailed = true;
                ::unlink(m_temporaryPath.c_str());
            }
            m_temporaryPath.clear();
        }
        if (m_writeFailed)
            result.status = FileStatus::WriteFailed;
    }
    m_writeFailed = false;
    m_discard = false;
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
    std::string unquoted;
    std::string_view line;
    int columns = WidestOfFirstLines(separators,
                                     [this](std::string_view& next) { return ReadLine(next); });
    if (columns == 0) {
        m_result = NoColumnsResult(m_invalidLine);
        return 0;
    }
    Rewind();
    names.resize(static_cast<std::size_t>(columns));
    int named = 0;
    if (m_hasTitleLine) {
        while (ReadLine(line)) {
            int n = platform::SplitQuotedViews(line, separators, fields, unquoted);
            if (n > 0) {
                for (int i = 0; i < n && i < columns; ++i)
                    names[static_cast<std::size_t>(i)] =
                        std::string(fields[static_cast<std::size_t>(i)]);
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
    // Reserve for the lines left, but never more than the file's size allows: one wide first
    // line must not make every short line count as that wide.
    std::size_t remaining = m_lines.size() - m_nextLine;
    std::size_t perLine = std::min<std::size_t>(static_cast<std::size_t>(columns), 64);
    cells.reserve(std::min(remaining * perLine, m_text.size() + 16));
    RowReader reader(columns, m_delimiters.empty() ? std::string(",") : m_delimiters);
    std::string_view line;
    while (ReadLine(line)) {
        if (!reader.Take(line, static_cast<int>(m_nextLine), cells, rows)) {
            m_firstDataLine = reader.FirstDataLine();
            m_result = {FileStatus::ShortLine, static_cast<int>(m_nextLine)};
            return 0;
        }
    }
    m_firstDataLine = reader.FirstDataLine();
    if (m_invalidLine > 0) {
        m_result = {FileStatus::InvalidBytes, m_invalidLine};
        return 0;
    }
    m_result = {};
    return static_cast<int>(cells.size());
}

bool TextTableFile::OpenForWrite(const std::string& path, TextEncoding encoding)
{
    if (IsStandardOutput(path)) {
        OpenForWriteToStdout(encoding);
        return true;
    }
    Close();
    m_targetPath = ResolvedTarget(path);
    // Only a regular file is replaced: never a device, a FIFO or a folder.
    if (!UnreplaceableReason(path).empty() || !UnreplaceableReason(m_targetPath).empty())
        return false;
    m_out = CreateTemporaryBeside(m_targetPath, m_temporaryPath);
    if (!m_out)
        return false;
    m_ownsOut = true;
    m_discard = false;
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
    struct stat info {};
    if (::fstat(fileno(m_out), &info) == 0 && !S_ISREG(info.st_mode))
        return;
    if (ftruncate(fileno(m_out), 0) != 0)
        m_writeFailed = true;
    std::rewind(m_out);
    m_linesWritten = 0;
}

bool TextTableFile::WriteText(const std::string& text)
{
    if (!m_out || m_writeFailed)
        return false;
    // ASCII is the same in every output encoding: written as it is, without a copy.
    const std::string* bytes = &text;
    EncodedText encoded;
    if (!IsAscii(text)) {
        encoded = EncodeText(text, m_encoding);
        if (encoded.status != CodePageStatus::Ok) {
            m_discard = true;
            m_result = {encoded.status == CodePageStatus::Unrepresentable
                            ? FileStatus::Unrepresentable
                            : FileStatus::InvalidBytes,
                        m_linesWritten + encoded.line};
            return false;
        }
        bytes = &encoded.bytes;
    }
    if (std::fwrite(bytes->data(), 1, bytes->size(), m_out) != bytes->size()) {
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
    m_previousBlank = false;
    if (!titles.empty()) {
        std::string header;
        for (std::size_t i = 0; i < titles.size(); ++i) {
            if (i)
                header += ',';
            platform::AppendQuotedField(header, titles[i]);
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
        m_previousBlank = false;
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
    bool& previousBlank = m_previousBlank;
    std::size_t index = 0;
    for (int r = 0; r < rows; ++r) {
        std::size_t lineStart = block.size();
        for (int c = 0; c < columns; ++c) {
            if (c)
                block += ',';
            platform::AppendQuotedField(block, cells[index++]);
        }
        bool blank = block.size() - lineStart ==
                     static_cast<std::size_t>(columns > 0 ? columns - 1 : 0);
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
