// Field splitters shared by file reading, paste and the KML reader. Adjacent separators are
// never merged and no field is trimmed.
#pragma once

#include "platform/TextSplit.hpp"

#include <string>
#include <string_view>
#include <vector>

namespace carvento::tables {

// Splits text at every `separator`: "1,,2" gives 1, "", 2 and "1,2," gives 1, 2, "".
// Empty text gives no fields. Returns the number of fields.
int SplitOnChar(std::string_view text, char separator, std::vector<std::string>& fields);

// Splits at any byte of `separators` (which must not be empty); each separator ends one field.
int SplitOnAny(std::string_view text, std::string_view separators,
               std::vector<std::string>& fields);

// Allocation-free variant for bulk reading: the views point into `text`.
using platform::SplitOnAnyViews;

// Splits text into lines at LF, CR LF or a lone CR; the line ends are not part of the lines.
// A final line end does not start a further line. Views point into `text`.
std::vector<std::string_view> SplitLines(std::string_view text);

} // namespace carvento::tables
