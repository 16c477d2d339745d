// What TXT to KML and TXT to GPX share: reading the coordinate text file (title line skipped,
// comma-separated, at least name, latitude and longitude), and keeping names on one line when
// they are extracted back to text.
#pragma once

#include "fileconv/ConversionResult.hpp"

#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

namespace carvento::fileconv {

// Reads the file into `cells` (row by row, input.columns wide). False, with the reason in
// `input`, when it cannot be converted: unreadable, read only in part (a short line, invalid
// bytes), no rows, fewer than 3 columns, or a cell holding a character XML cannot (its line is
// reported as invalid bytes and nothing of the file enters the document).
bool ReadCoordinateText(const std::string& path, std::vector<std::string>& cells, TextInput& input);

// Line breaks inside a name or remark become spaces, so each point stays on one text line.
std::string OneLine(std::string_view text);

// Appends one line of an extracted text file: the fields on one line each (OneLine), joined
// by commas, a field holding a comma or beginning with a quote in double quotes, then LF.
void AppendTextLine(std::string& text, std::initializer_list<std::string_view> fields);

} // namespace carvento::fileconv
