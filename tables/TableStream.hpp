// Reading a coordinate text file block by block, with the same rows, messages and line numbers
// as TextTableFile::ReadAll (without a title line), so a file of any size is converted with
// bounded memory. A first pass judges the encoding over the whole file; standard input is
// copied to an unnamed temporary file for it.
#pragma once

#include "tables/CodePage.hpp"
#include "tables/RowReader.hpp"
#include "tables/TextTableFile.hpp"

#include <cstdint>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace carvento::tables {

class TableStream {
public:
    TableStream() = default;
    ~TableStream();
    TableStream(const TableStream&) = delete;
    TableStream& operator=(const TableStream&) = delete;

    // false when the file cannot be opened or read to its end.
    bool Open(const std::string& path);
    bool OpenStandardInput();

    void AddDelimiter(char ch) { m_delimiters.insert(m_delimiters.begin(), ch); }
    TextEncoding DetectedEncoding() const { return m_encoding; }

    // Widest field count of the first 8 lines; 0 when none (see LastResult()). Reading then
    // starts again at the first line.
    int DetectColumns();
    // Appends up to `maxRows` rows of DetectColumns() cells to `cells`. Returns the rows
    // appended: fewer than maxRows at the end of the file, and 0 after the end or when stopped
    // by a short line or invalid bytes (LastResult() tells; rows before them were returned).
    int ReadRows(std::vector<std::string>& cells, int maxRows);
    const FileResult& LastResult() const { return m_result; }
    int FirstDataLine() const { return m_reader ? m_reader->FirstDataLine() : 0; }
    // Share of the file read so far, 0 to 1.
    double Progress() const;

private:
    bool Judge();
    bool CopyOnce(std::FILE* source);
    void Restart();
    bool NextLine(std::string_view& line, int& lineNumber);
    bool LoadPiece();

    std::FILE* m_file = nullptr;
    std::uint64_t m_size = 0;
    std::uint64_t m_offset = 0; // bytes consumed in the current pass
    std::size_t m_skip = 0;     // byte-order mark
    TextEncoding m_encoding = TextEncoding::Utf8;
    std::optional<DecodedText> m_whole; // UTF-16 files are decoded at once

    std::string m_raw;          // bytes read: the current piece, then the start of the next
    std::size_t m_consumed = 0; // length of the current piece in m_raw
    std::string m_text;         // the current piece decoded, when it is not UTF-8
    std::vector<std::string_view> m_lines;
    std::size_t m_next = 0;
    int m_linesBefore = 0; // lines of the pieces before the current one
    int m_invalidLine = 0;
    bool m_end = false;

    std::string m_delimiters;
    int m_columns = 0;
    std::unique_ptr<RowReader> m_reader;
    FileResult m_result;
};

} // namespace carvento::tables
