// Delimited coordinate text files: column detection, reading all data lines with their
// blank-line and short-line rules, and writing tables as comma-separated lines.
// Files are decoded when opened (GBK, UTF-8 or UTF-16, see CodePage.hpp) and written in GBK
// with CR LF line ends unless UTF-8 is asked for.
#pragma once

#include "tables/CodePage.hpp"
#include "tables/FieldSplit.hpp"

#include <algorithm>
#include <cstdio>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace carvento::tables {

enum class FileStatus {
    Ok,
    OpenFailed,      // the file could not be opened or created
    NoData,          // nothing in the first 8 lines
    ShortLine,       // a data line with fewer fields than the column count (see line)
    InvalidBytes,    // bytes not valid in the file's encoding (see line)
    Unrepresentable, // a character that the output encoding cannot hold (see line)
    WriteFailed,     // the data did not reach the file (disk full, I/O error)
    BadCellCount,    // cells.size() != rows * columns
};

struct FileResult {
    FileStatus status = FileStatus::Ok;
    int line = 0; // 1-based line in the file for ShortLine, InvalidBytes, Unrepresentable
    bool Ok() const { return status == FileStatus::Ok; }
};

// Lines DetectColumns looks at.
inline constexpr int kDetectLines = 8;

// The widest field count of the first kDetectLines lines that `nextLine(line)` hands out
// (it returns false at the end of the file).
template <typename NextLine>
int WidestOfFirstLines(std::string_view separators, NextLine nextLine)
{
    std::vector<std::string_view> fields;
    std::string unquoted;
    int columns = 0;
    std::string_view line;
    for (int i = 0; i < kDetectLines && nextLine(line); ++i)
        columns = std::max(columns, platform::SplitQuotedViews(line, separators, fields, unquoted));
    return columns;
}

// DetectColumns' outcome when no line had a field: the invalid bytes when they stopped the
// reading within the first lines (line `invalidLine`, 0 for none), else no data.
inline FileResult NoColumnsResult(int invalidLine)
{
    return invalidLine > 0 && invalidLine <= kDetectLines
               ? FileResult{FileStatus::InvalidBytes, invalidLine}
               : FileResult{FileStatus::NoData, 0};
}

class TextTableFile {
public:
    TextTableFile() = default;
    ~TextTableFile();
    TextTableFile(const TextTableFile&) = delete;
    TextTableFile& operator=(const TextTableFile&) = delete;

    // Reads and decodes the whole file; false when it cannot be opened or read. Bytes invalid
    // in the detected encoding do not fail here: reading stops before their line and ReadAll /
    // DetectColumns report InvalidBytes with that line.
    bool OpenForRead(const std::string& path);
    // Takes the file content from memory instead of a file (standard input, tests).
    void OpenForReadFromBytes(std::string bytes);
    // Closes the file; for a file open for writing, reports whether everything reached it and
    // replaced the target (a write that failed, even an encoding failure, replaces nothing).
    FileResult Close();

    // Inserts a separator character at the front of the set (every user adds ',').
    void AddDelimiter(char ch) { m_delimiters.insert(m_delimiters.begin(), ch); }
    void SetTitleLine(bool hasTitleLine) { m_hasTitleLine = hasTitleLine; }
    TextEncoding DetectedEncoding() const { return m_decodedEncoding; }

    // Widest field count of the first 8 lines; names gets one entry per column ("列1"...
    // or the title line's fields). 0 when nothing was found (see LastResult()).
    int DetectColumns(std::vector<std::string>& names);
    // Reads every data line after the detected columns. Returns rows*columns, or 0 when
    // stopped by a short line or invalid bytes; rows read before that stay in the outputs.
    int ReadAll(std::vector<std::string>& cells, int& rows, int& columns);
    // Outcome of the last DetectColumns / ReadAll / write call.
    const FileResult& LastResult() const { return m_result; }

    // Marks what was written as incomplete: Close then leaves the target as it was.
    void Discard() { m_discard = true; }

    // 1-based line of the first data row that the last ReadAll read (0 when none).
    int FirstDataLine() const { return m_firstDataLine; }

    // Opens the file for writing. The content goes to a new file in the same folder, which
    // Close renames over the target once everything reached the disk; after any failure the
    // target keeps its earlier content and the new file is removed. "-" is standard output;
    // a device, a FIFO or a folder is refused.
    bool OpenForWrite(const std::string& path, TextEncoding encoding = TextEncoding::Gbk);
    // Writes to standard output instead (not closed by Close).
    void OpenForWriteToStdout(TextEncoding encoding = TextEncoding::Gbk);
    // Truncates, writes the titles joined by "," (when any) and then WriteRows.
    int WriteTable(std::span<const std::string> cells, int rows, int columns,
                   const std::vector<std::string>& titles);
    // Writes one line per row; a run of blank rows becomes one empty line, also across calls.
    // Returns the number of cells, or 0 (nothing written) when cells.size() != rows*columns or on
    // error.
    int WriteRows(std::span<const std::string> cells, int rows, int columns, bool truncateFirst);

private:
    void TakeDecoded(DecodedText decoded);
    bool ReadLine(std::string_view& line);
    void Rewind() { m_nextLine = 0; }
    bool WriteText(const std::string& text);
    void Truncate();

    // reading
    std::string m_text;
    std::vector<std::string_view> m_lines;
    std::size_t m_nextLine = 0;
    int m_invalidLine = 0; // line holding the first invalid bytes, 0 when none
    TextEncoding m_decodedEncoding = TextEncoding::Utf8;
    // writing
    std::FILE* m_out = nullptr;
    bool m_ownsOut = false;
    bool m_writeFailed = false;
    bool m_discard = false; // content incomplete: keep the target as it was
    std::string m_targetPath;
    std::string m_temporaryPath;
    int m_firstDataLine = 0;
    bool m_previousBlank = false; // last row written was blank (runs span WriteRows calls)
    TextEncoding m_encoding = TextEncoding::Gbk;
    int m_linesWritten = 0;

    std::string m_delimiters;
    bool m_hasTitleLine = true;
    FileResult m_result;
};

} // namespace carvento::tables
