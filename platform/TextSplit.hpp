// The one field splitter of the program: every separator ends one field, adjacent separators
// are never merged and no field is trimmed. Coordinate files, paste, the profile's lists and
// the KML reader all split with it.
#pragma once

#include <string_view>
#include <vector>

namespace carvento::platform {

// Splits at any byte of `separators` (which must not be empty): "1,,2" gives 1, "", 2 and
// "1,2," gives 1, 2, "". Empty text gives no fields. The views point into `text`.
// Returns the number of fields.
int SplitOnAnyViews(std::string_view text, std::string_view separators,
                    std::vector<std::string_view>& fields);

} // namespace carvento::platform
