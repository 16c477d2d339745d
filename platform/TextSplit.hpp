// The one field splitter of the program: every separator ends one field, adjacent separators
// are never merged and no field is trimmed. Coordinate files, paste, the profile's lists and
// the KML reader all split with it.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace carvento::platform {

// Splits at any byte of `separators` (which must not be empty): "1,,2" gives 1, "", 2 and
// "1,2," gives 1, 2, "". Empty text gives no fields. The views point into `text`.
// Returns the number of fields.
int SplitOnAnyViews(std::string_view text, std::string_view separators,
                    std::vector<std::string_view>& fields);

// As SplitOnAnyViews, and a field that begins with a double quote is quoted (RFC 4180): it
// ends at the closing quote, separators inside it belong to it and a doubled quote stands for
// one. Unquoted content is kept in `scratch`, which the views may point into until the next
// call. A line without quotes, or with a quote that is never closed, splits exactly as
// SplitOnAnyViews splits it.
int SplitQuotedViews(std::string_view text, std::string_view separators,
                     std::vector<std::string_view>& fields, std::string& scratch);

// Appends `field` to `line` as a comma-separated file holds it: in double quotes, with inner
// quotes doubled, when it holds a comma, CR or LF or begins with a quote; as it is otherwise.
void AppendQuotedField(std::string& line, std::string_view field);

} // namespace carvento::platform
