// The rule by which data lines become table rows, shared by the whole-file reader and the
// block reader: a line with at least `columns` fields is a row (surplus fields dropped), a run
// of empty lines after a row is one blank row, and a shorter line stops the reading. Quoted
// fields (RFC 4180) may hold the separator.
#pragma once

#include "tables/FieldSplit.hpp"

#include <string>
#include <string_view>
#include <vector>

namespace carvento::tables {

class RowReader {
public:
    RowReader(int columns, std::string separators)
        : m_columns(columns), m_separators(std::move(separators))
    {
    }

    // Takes one line (1-based `lineNumber` in the file). Appends a row or a blank row to
    // `cells` and returns true, or returns false for a short line, which adds nothing.
    bool Take(std::string_view line, int lineNumber, std::vector<std::string>& cells, int& rows)
    {
        int n = platform::SplitQuotedViews(line, m_separators, m_fields, m_unquoted);
        if (n >= m_columns) {
            if (m_firstDataLine == 0)
                m_firstDataLine = lineNumber;
            for (int i = 0; i < m_columns; ++i)
                cells.emplace_back(m_fields[static_cast<std::size_t>(i)]);
            ++rows;
            m_previousBlank = false;
        } else if (n == 0) {
            // Empty lines before the first row add nothing.
            if (!m_previousBlank) {
                cells.resize(cells.size() + static_cast<std::size_t>(m_columns));
                ++rows;
            }
            m_previousBlank = true;
        } else {
            return false;
        }
        return true;
    }

    int FirstDataLine() const { return m_firstDataLine; }

private:
    int m_columns;
    std::string m_separators;
    std::vector<std::string_view> m_fields;
    std::string m_unquoted;
    bool m_previousBlank = true;
    int m_firstDataLine = 0;
};

} // namespace carvento::tables
