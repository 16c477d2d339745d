// KMZ files: a zip archive holding a KML document (doc.kml by convention) and the images it
// refers to, as the globe and most phones save them.
#pragma once

#include <cstddef>
#include <optional>
#include <string>

namespace carvento::fileconv {

// Archives larger than this, or with more entries, are refused (a zip bomb expands a few
// kilobytes into gigabytes).
inline constexpr std::size_t kKmzMaxDocumentBytes = std::size_t{512} << 20;
inline constexpr long long kKmzMaxEntries = 100000;

// True when the file starts as a zip archive does.
bool LooksLikeZip(const std::string& path);

// The KML document of a KMZ file: doc.kml at the root of the archive, else the first .kml at
// its root, else the first .kml anywhere. Nothing, with the reason in `error`, when the archive
// cannot be read, holds no KML or would expand beyond the limits.
std::optional<std::string> ReadKmzDocument(const std::string& path, std::string& error);

} // namespace carvento::fileconv
